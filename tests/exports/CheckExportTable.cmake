# Script mode: compares the plain (unmangled) names that BINARY exports with
# the list in NAMES. Run as:
#   cmake -DNM=... -DOBJDUMP=... -DWINDOWS=0|1 -DBINARY=... -DNAMES=... -P CheckExportTable.cmake
cmake_minimum_required(VERSION 3.25)

file(STRINGS ${NAMES} expected REGEX "^[^#]")

cmake_minimum_required(VERSION 3.25)

if(WINDOWS)
  execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  # The table runs from its heading to the next blank line.
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
  string(SUBSTRING "${dump}" ${start} -1 table)
  string(FIND "${table}" "\n\n" end)
  string(SUBSTRING "${table}" 0 ${end} table)
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
  list(TRANSFORM rows REPLACE "^\\[ *[0-9]+\\] " "")
else()
  execute_process(COMMAND ${NM} -D --defined-only ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  string(REGEX MATCHALL "[0-9a-f]+ [TDBRVWtdbr] [^\n]+" rows "${dump}")
  list(TRANSFORM rows REPLACE "^[0-9a-f]+ [A-Za-z] " "")
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not read the export table of ${BINARY}")
endif()

# Plain names must be exactly the listed ones. C++ names (classes, stack
# strings) must belong to one of the public C++ names in CPP_NAMES: anything
# else, internal helpers or test hooks among them, must stay hidden.
set(exported "")
set(stray "")
foreach(name IN LISTS rows)
  if(NOT name MATCHES "^_Z")
    list(APPEND exported ${name})
    continue()
  endif()
  # Instantiations of the standard library's templates, and their type
  # information (_ZTI, _ZTS), keep the default visibility that its headers
  # give them; they are not the library's own.
  if(name MATCHES "^_Z(T[IS])?[ZNK]*(St|9__gnu_cxx)")
    continue()
  endif()
  set(known FALSE)
  foreach(public IN LISTS CPP_NAMES)
    string(LENGTH "${public}" length)
    if(name MATCHES "${length}${public}")
      set(known TRUE)
    endif()
  endforeach()
  if(NOT known)
    list(APPEND stray ${name})
  endif()
endforeach()
if(stray)
  message(FATAL_ERROR "C++ names exported that are not part of the interface: ${stray}")
endif()

set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
set(extra ${exported})
list(REMOVE_ITEM extra ${expected})
list(LENGTH expected expected_count)
if(missing OR extra)
  message(FATAL_ERROR "export table differs from the list\n  missing: ${missing}\n  unexpected: ${extra}")
endif()
message(STATUS "${expected_count} plain names exported, no others")
