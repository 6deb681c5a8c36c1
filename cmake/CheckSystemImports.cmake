# Script mode: cmake -DOBJDUMP=... -DBINARY=... -P CheckSystemImports.cmake
# Fails when BINARY imports from a DLL that is not part of Windows.
cmake_minimum_required(VERSION 3.25)

set(system_dlls
  advapi32 bcrypt gdi32 kernel32 kernelbase msvcrt ntdll ole32 oleaut32 rpcrt4
  shell32 shlwapi user32 ucrtbase ws2_32)

cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -p ${BINARY}
  OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${BINARY}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: ([^\n]+)\\.[dD][lL][lL]" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${BINARY} imports ${dll}.dll, which is not a system DLL")
  endif()
endforeach()
