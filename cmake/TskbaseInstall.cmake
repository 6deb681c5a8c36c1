# Installs the library, its headers, a CMake package (find_package(tskbase))
# and a pkg-config file, in two components: `runtime` (the shared library)
# and `development` (everything a program needs to build against it). On
# Windows the development files include tskbase.lib and tskbase.def for
# Microsoft's linker, and the README and licence go to the top of the tree.
include(CMakePackageConfigHelpers)

set(TSKBASE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tskbase)

install(TARGETS tskbase EXPORT tskbaseTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
    NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(DIRECTORY include/tskbase ${TSKBASE_GENERATED_INCLUDE_DIR}/tskbase
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(EXPORT tskbaseTargets NAMESPACE tskbase:: DESTINATION ${TSKBASE_CMAKE_DIR}
  COMPONENT development)

configure_package_config_file(cmake/tskbaseConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tskbaseConfig.cmake
  INSTALL_DESTINATION ${TSKBASE_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tskbaseConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/tskbaseConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/tskbaseConfigVersion.cmake
  DESTINATION ${TSKBASE_CMAKE_DIR} COMPONENT development)

file(RELATIVE_PATH TSKBASE_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(cmake/tskbase.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tskbase.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tskbase.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

if(WIN32)
  include(TskbaseMsvcImportLibrary)
  install(FILES ${TSKBASE_MSVC_IMPORT_FILES}
    DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  install(FILES README.md LICENSE DESTINATION . COMPONENT runtime)
endif()
