# Script mode: checks the unpacked SDK zip at ROOT.
#   cmake -DROOT=... -DSOURCE=<source tree> -DNM=llvm-nm -P CheckSdkZip.cmake
# The zip holds exactly the expected files, and its tskbase.def and
# tskbase.lib name exactly the plain names that the library exports.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../support/TestScript.cmake)

# What a Windows user receives: the DLL; the import libraries for Microsoft's
# linker and for MinGW with the CMake package and pkg-config file; every
# public header of the source tree and the generated version header; the
# README and the licence.
file(GLOB headers RELATIVE ${SOURCE} ${SOURCE}/include/tskbase/*.h)
set(expected
  ${headers} include/tskbase/version.h
  bin/tskbase.dll
  lib/tskbase.lib lib/tskbase.def lib/libtskbase.dll.a
  lib/cmake/tskbase/tskbaseConfig.cmake lib/cmake/tskbase/tskbaseConfigVersion.cmake
  lib/cmake/tskbase/tskbaseTargets.cmake lib/cmake/tskbase/tskbaseTargets-release.cmake
  lib/pkgconfig/tskbase.pc
  README.md LICENSE)
expect_files(${ROOT} "${expected}")

# The names the library must export, from the list the export tests use.
file(STRINGS ${SOURCE}/tests/exports/exported_names.txt names REGEX "^[^#]")
list(SORT names)

file(STRINGS ${ROOT}/lib/tskbase.def def_lines REGEX "^  ")
list(TRANSFORM def_lines REPLACE "^ +([^ ]+).*" "\\1")
list(SORT def_lines)
if(NOT def_lines STREQUAL names)
  message(FATAL_ERROR "tskbase.def does not list the exported names:\n${def_lines}")
endif()

# Each name has its import address entry (__imp_NAME) in tskbase.lib.
run(${NM} --defined-only ${ROOT}/lib/tskbase.lib)
string(REGEX MATCHALL "__imp_[^\n]+" imports "${output}")
list(TRANSFORM imports REPLACE "^__imp_" "")
list(SORT imports)
if(NOT imports STREQUAL names)
  message(FATAL_ERROR "tskbase.lib does not import the exported names:\n${imports}")
endif()
list(LENGTH names count)
message(STATUS "the zip is complete; tskbase.lib imports the ${count} plain names")
