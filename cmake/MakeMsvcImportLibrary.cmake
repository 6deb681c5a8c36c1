# Script mode: writes a module-definition file with the plain C names that
# DLL exports and makes an import library for Microsoft's linker from it.
#   cmake -DREADOBJ=llvm-readobj -DDLLTOOL=llvm-dlltool -DDLL=.../tskbase.dll
#         -DVERSION=1.2.3 "-DOUTPUTS=.../tskbase.def;.../tskbase.lib"
#         -P MakeMsvcImportLibrary.cmake
# Names whose address lies outside the DLL's executable sections are marked
# DATA, so that the import library gives them no call thunk.
cmake_minimum_required(VERSION 3.25)

list(GET OUTPUTS 0 def_file)
list(GET OUTPUTS 1 lib_file)

function(read_dll option out)
  execute_process(COMMAND ${READOBJ} ${option} ${DLL}
    OUTPUT_VARIABLE dump RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${READOBJ} ${option} failed on ${DLL}: ${err}")
  endif()
  set(${out} "${dump}" PARENT_SCOPE)
endfunction()

# "start;end;start;end..." of the sections that hold executable code.
function(executable_ranges out)
  read_dll(--sections dump)
  string(REGEX MATCHALL "Section {[^}]*\\]" sections "${dump}")
  set(ranges "")
  foreach(section IN LISTS sections)
    if(section MATCHES "IMAGE_SCN_MEM_EXECUTE"
       AND section MATCHES "VirtualSize: (0x[0-9A-Fa-f]+)")
      set(size ${CMAKE_MATCH_1})
      string(REGEX MATCH "VirtualAddress: (0x[0-9A-Fa-f]+)" _ "${section}")
      math(EXPR end "${CMAKE_MATCH_1} + ${size}")
      math(EXPR start "${CMAKE_MATCH_1}")
      list(APPEND ranges ${start} ${end})
    endif()
  endforeach()
  set(${out} ${ranges} PARENT_SCOPE)
endfunction()

function(is_code rva ranges out)
  math(EXPR rva "${rva}")
  set(${out} FALSE PARENT_SCOPE)
  while(ranges)
    list(POP_FRONT ranges start end)
    if(rva GREATER_EQUAL start AND rva LESS end)
      set(${out} TRUE PARENT_SCOPE)
    endif()
  endwhile()
endfunction()

executable_ranges(code)
read_dll(--coff-exports dump)
string(REGEX MATCHALL "Name: [^\n]+\n *RVA: 0x[0-9A-Fa-f]+" exports "${dump}")
get_filename_component(dll_name ${DLL} NAME)
set(lines "; ${dll_name} ${VERSION}: the plain C names, for Microsoft's linker\n")
string(APPEND lines "LIBRARY ${dll_name}\nEXPORTS\n")
set(count 0)
foreach(export IN LISTS exports)
  string(REGEX MATCH "Name: ([^\n]+)\n *RVA: (0x[0-9A-Fa-f]+)" _ "${export}")
  set(name ${CMAKE_MATCH_1})
  set(rva ${CMAKE_MATCH_2})
  # C++ names (_Z...) belong to MinGW-built callers only.
  if(name MATCHES "^_Z")
    continue()
  endif()
  is_code(${rva} "${code}" in_code)
  if(in_code)
    string(APPEND lines "  ${name}\n")
  else()
    string(APPEND lines "  ${name} DATA\n")
  endif()
  math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "${DLL} exports no plain names")
endif()
file(WRITE ${def_file} "${lines}")

execute_process(
  COMMAND ${DLLTOOL} -m i386:x86-64 -d ${def_file} -D ${dll_name} -l ${lib_file}
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} could not make ${lib_file}: ${err}")
endif()
