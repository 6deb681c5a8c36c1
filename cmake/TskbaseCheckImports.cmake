# tskbase_check_system_imports(TARGET RUNTIME msvcrt|ucrt [ALSO dll...])
# Checks after every link that a Windows binary imports only from DLLs that
# ship with Windows itself (the C++ runtime must be linked in statically), or
# from the DLLs named after ALSO, and that its C runtime is RUNTIME alone.
function(tskbase_check_system_imports target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RUNTIME" "ALSO")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND}
      -DOBJDUMP=${CMAKE_OBJDUMP}
      -DBINARY=$<TARGET_FILE:${target}>
      -DRUNTIME=${arg_RUNTIME}
      "-DALSO=${arg_ALSO}"
      -P ${PROJECT_SOURCE_DIR}/cmake/CheckSystemImports.cmake
    VERBATIM)
endfunction()
