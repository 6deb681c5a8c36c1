# Script mode: unpacks release artefacts into a fresh DEST.
#   cmake -DDEST=... "-DARCHIVES=a.zip;b_*.deb" -P Unpack.cmake
# Each entry may be a pattern and must match one file. A zip is extracted
# into DEST; a Debian package with dpkg-deb -x into DEST/PACKAGE, where it
# lies alone, and into DEST/root, where all packages lie together as they
# would on an installed system.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${DEST})
file(MAKE_DIRECTORY ${DEST})
foreach(pattern IN LISTS ARCHIVES)
  file(GLOB archive ${pattern})
  list(LENGTH archive found)
  if(NOT found EQUAL 1)
    message(FATAL_ERROR "expected one artefact ${pattern}, found ${found}: run cpack first")
  endif()
  if(archive MATCHES "\\.zip$")
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archive}
      WORKING_DIRECTORY ${DEST} RESULT_VARIABLE rc)
  else()
    get_filename_component(name ${archive} NAME)
    string(REGEX REPLACE "_.*" "" package ${name})
    execute_process(COMMAND dpkg-deb -x ${archive} ${DEST}/${package} RESULT_VARIABLE rc)
    if(rc EQUAL 0)
      execute_process(COMMAND dpkg-deb -x ${archive} ${DEST}/root RESULT_VARIABLE rc)
    endif()
  endif()
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not unpack ${archive}")
  endif()
endforeach()
