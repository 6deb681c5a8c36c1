# Installs the library, its headers, a CMake package (find_package(tskbase))
# and a pkg-config file.
include(CMakePackageConfigHelpers)

set(TSKBASE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tskbase)

install(TARGETS tskbase EXPORT tskbaseTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/tskbase DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT tskbaseTargets NAMESPACE tskbase:: DESTINATION ${TSKBASE_CMAKE_DIR})

configure_package_config_file(cmake/tskbaseConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tskbaseConfig.cmake
  INSTALL_DESTINATION ${TSKBASE_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tskbaseConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/tskbaseConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/tskbaseConfigVersion.cmake
  DESTINATION ${TSKBASE_CMAKE_DIR})

file(RELATIVE_PATH TSKBASE_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(cmake/tskbase.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tskbase.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tskbase.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
