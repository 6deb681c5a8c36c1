# Script mode: cmake -DOBJDUMP=... -DBINARY=... [-DALSO=name;...] -P CheckSystemImports.cmake
# Fails when BINARY imports from a DLL that is not part of Windows (nor one of
# the ALSO names), or when its C runtime is not the Universal C Runtime alone:
# blocks that cross between a caller and the library are safe only when both
# use the same runtime's heap, and callers built with Microsoft's current
# compilers use UCRT (ucrtbase.dll, reached through the api-ms-win-crt-*
# forwarders).
cmake_minimum_required(VERSION 3.25)

set(system_dlls
  advapi32 bcrypt gdi32 kernel32 kernelbase ntdll ole32 oleaut32 rpcrt4
  shell32 shlwapi user32 ucrtbase ws2_32 ${ALSO})

execute_process(COMMAND ${OBJDUMP} -p ${BINARY}
  OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${BINARY}")
endif()

set(ucrt FALSE)
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: ([^\n]+)\\.[dD][lL][lL]" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(dll MATCHES "^msvcr")
    message(FATAL_ERROR "${BINARY} imports ${dll}.dll: it must use the Universal C Runtime only")
  endif()
  if(dll STREQUAL "ucrtbase" OR dll MATCHES "^api-ms-win-crt-")
    set(ucrt TRUE)
  endif()
  if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${BINARY} imports ${dll}.dll, which is not a system DLL")
  endif()
endforeach()
if(NOT ucrt)
  message(FATAL_ERROR "${BINARY} does not import the Universal C Runtime")
endif()
