# Checks after every link that a Windows binary imports only from DLLs that
# ship with Windows itself: the C++ runtime must be linked in statically.
function(tskbase_check_system_imports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND}
      -DOBJDUMP=${CMAKE_OBJDUMP}
      -DBINARY=$<TARGET_FILE:${target}>
      -P ${PROJECT_SOURCE_DIR}/cmake/CheckSystemImports.cmake
    VERBATIM)
endfunction()
