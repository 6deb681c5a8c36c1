# Runs the Windows test executables under Wine, in a private prefix inside the
# build tree. The prefix is created once by the build (target wine_prefix);
# nothing outside the build tree is touched.
find_program(TSKBASE_WINE wine REQUIRED)
find_program(TSKBASE_WINESERVER wineserver REQUIRED)

set(TSKBASE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(TSKBASE_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${TSKBASE_WINE_RUN}
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE
  @ONLY)

# Every executable target created from here on runs through the wrapper,
# which is what makes ctest work the same way as natively.
set(CMAKE_CROSSCOMPILING_EMULATOR ${TSKBASE_WINE_RUN})

add_custom_command(
  OUTPUT ${TSKBASE_WINEPREFIX}/system.reg
  COMMAND ${TSKBASE_WINE_RUN} --init
  COMMENT "Creating the Wine prefix for the tests"
  VERBATIM)
add_custom_target(wine_prefix ALL DEPENDS ${TSKBASE_WINEPREFIX}/system.reg)
