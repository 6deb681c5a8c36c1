# Script mode: checks the two Debian packages, unpacked by Unpack.cmake into
# SCRATCH/RUNTIME and SCRATCH/DEVELOPMENT.
#   cmake -DSCRATCH=... "-DPACKAGES=<runtime .deb>;<development .deb>"
#         -DRUNTIME=libtskbase1 -DDEVELOPMENT=libtskbase-dev -DVERSION=1.2.3
#         -DSOURCE=<source tree> -P CheckDebPackages.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../support/TestScript.cmake)

function(read_output out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE rc
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect_field deb field expected)
  read_output(value dpkg-deb --field ${deb} ${field})
  if(NOT value STREQUAL expected)
    message(FATAL_ERROR "${deb}: ${field} is '${value}', not '${expected}'")
  endif()
endfunction()


list(GET PACKAGES 0 runtime_pattern)
list(GET PACKAGES 1 development_pattern)
file(GLOB runtime_deb ${runtime_pattern})
file(GLOB development_deb ${development_pattern})
read_output(architecture dpkg --print-architecture)
read_output(multiarch dpkg-architecture -qDEB_HOST_MULTIARCH)
set(libdir usr/lib/${multiarch})
set(library ${SCRATCH}/${RUNTIME}/${libdir}/libtskbase.so.${VERSION})

set(debs ${runtime_deb} ${development_deb})
set(names ${RUNTIME} ${DEVELOPMENT})
foreach(deb package IN ZIP_LISTS debs names)
  expect_field(${deb} Package ${package})
  expect_field(${deb} Version ${VERSION})
  expect_field(${deb} Architecture ${architecture})
endforeach()

# The runtime package is named after the library's SONAME (libtskbase.so.1
# gives libtskbase1), and its shlibs file lets other packages depend on it.
read_output(dynamic readelf -d ${library})
string(REGEX MATCH "Library soname: \\[lib([^]]+)\\.so\\.([0-9]+)\\]" _ "${dynamic}")
set(major ${CMAKE_MATCH_2})
set(soname_package lib${CMAKE_MATCH_1}${major})
if(NOT soname_package STREQUAL RUNTIME)
  message(FATAL_ERROR "the SONAME asks for package ${soname_package}, not ${RUNTIME}")
endif()
read_output(shlibs dpkg-deb --info ${runtime_deb} shlibs)
if(NOT shlibs STREQUAL "libtskbase ${major} ${RUNTIME} (>= ${VERSION})")
  message(FATAL_ERROR "unexpected shlibs file: ${shlibs}")
endif()

# Every library that libtskbase loads (its NEEDED entries) belongs to a
# package that the runtime package depends on.
read_output(depends dpkg-deb --field ${runtime_deb} Depends)
string(REGEX MATCHALL "(^|[,|] *)[^ ,|]+" depended "${depends}")
list(TRANSFORM depended REPLACE "^[,|] *" "")
string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${dynamic}")
list(TRANSFORM needed REPLACE "Shared library: \\[([^]]+)\\]" "\\1")
foreach(soname IN LISTS needed)
  # The copy for this architecture: other architectures' copies may be there.
  read_output(owners dpkg-query --search "*/${multiarch}/${soname}")
  string(REGEX MATCH "^([^:,]+)" owner "${owners}")
  if(NOT owner IN_LIST depended)
    message(FATAL_ERROR "${soname} comes from ${owner}, which '${depends}' lacks")
  endif()
endforeach()

# The development package requires the runtime of exactly its version.
expect_field(${development_deb} Depends "${RUNTIME} (= ${VERSION})")

# Each package holds its own files and nothing else.
expect_files(${SCRATCH}/${RUNTIME} "${libdir}/libtskbase.so.${VERSION};${libdir}/libtskbase.so.${major};usr/share/doc/${RUNTIME}/copyright")
file(GLOB headers RELATIVE ${SOURCE}/include ${SOURCE}/include/tskbase/*.h)
list(TRANSFORM headers PREPEND usr/include/)
set(cmake_dir ${libdir}/cmake/tskbase)
expect_files(${SCRATCH}/${DEVELOPMENT} "${headers};usr/include/tskbase/version.h;${libdir}/libtskbase.so;${cmake_dir}/tskbaseConfig.cmake;${cmake_dir}/tskbaseConfigVersion.cmake;${cmake_dir}/tskbaseTargets.cmake;${cmake_dir}/tskbaseTargets-release.cmake;${libdir}/pkgconfig/tskbase.pc;usr/share/doc/${DEVELOPMENT}/copyright")
message(STATUS "${RUNTIME} (${depends}) and ${DEVELOPMENT} ${VERSION} check out")
