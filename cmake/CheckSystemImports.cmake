# Script mode:
#   cmake -DOBJDUMP=... -DBINARY=... -DRUNTIME=msvcrt|ucrt [-DALSO=name;...]
#         -P CheckSystemImports.cmake
# Fails when BINARY imports from a DLL that is not part of Windows (nor one of
# the ALSO names), or when its C runtime is not RUNTIME alone: msvcrt.dll, or
# the Universal C Runtime (ucrtbase.dll, reached through the api-ms-win-crt-*
# forwarders). Two runtimes in one binary would each keep a heap of their own.
cmake_minimum_required(VERSION 3.25)

set(system_dlls
  advapi32 bcrypt gdi32 kernel32 kernelbase msvcrt ntdll ole32 oleaut32 rpcrt4
  shell32 shlwapi user32 ucrtbase ws2_32 ${ALSO})

execute_process(COMMAND ${OBJDUMP} -p ${BINARY}
  OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${BINARY}")
endif()

set(runtimes "")
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: ([^\n]+)\\.[dD][lL][lL]" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${BINARY} imports ${dll}.dll, which is not a system DLL")
  endif()
  if(dll MATCHES "^msvcr")
    list(APPEND runtimes msvcrt)
  elseif(dll STREQUAL "ucrtbase" OR dll MATCHES "^api-ms-win-crt-")
    list(APPEND runtimes ucrt)
  endif()
endforeach()
list(REMOVE_DUPLICATES runtimes)
if(NOT runtimes STREQUAL RUNTIME)
  message(FATAL_ERROR "${BINARY} links the C runtimes '${runtimes}', not ${RUNTIME} alone")
endif()
