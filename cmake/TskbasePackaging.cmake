# Release artefacts through CPack (cpack --preset package-linux or
# package-windows, or ./build.sh package):
#   Linux    two Debian packages: libtskbase<major> with the shared library
#            under its SONAME, and libtskbase-dev with the headers, the .so
#            link, the CMake package and the pkg-config file;
#   Windows  tskbase-<version>-win64.zip with the whole installed tree.
# Every version number comes from project(VERSION) in CMakeLists.txt.
set(TSKBASE_MAINTAINER "The tskbase developers" CACHE STRING
  "Maintainer named in the Debian packages")

set(CPACK_PACKAGE_NAME tskbase)
set(CPACK_PACKAGE_VENDOR "the tskbase developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "${TSKBASE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/TskbaseCPackOptions.cmake)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(TSKBASE_SDK_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
  set(CPACK_PACKAGE_FILE_NAME ${TSKBASE_SDK_NAME})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL runtime development)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtskbase${PROJECT_VERSION_MAJOR})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "general-purpose C and C++ utility library
The shared library of tskbase: packed byte buffers, text conversion and
string utilities, command lines, GUIDs, lock files, the recycle bin,
registry-style settings and more, with a plain C interface for most
families.")
  # Dependencies from the library's own imports (dpkg-shlibdeps), and a
  # shlibs file so that packages built against this one depend on it.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtskbase-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "general-purpose C and C++ utility library (development files)
The headers of tskbase, the link to its shared library, its CMake package
(find_package(tskbase)) and its pkg-config file (tskbase).")
  # The development package requires the runtime of exactly its version.
  set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

  # Debian keeps the licence of each package as /usr/share/doc/NAME/copyright.
  foreach(component RUNTIME DEVELOPMENT)
    string(TOLOWER ${component} name)
    install(FILES LICENSE RENAME copyright COMPONENT ${name}
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${component}_PACKAGE_NAME})
  endforeach()
endif()

include(CPack)
