# Helpers of the script-mode tests (cmake -P) that build, unpack and inspect.

# Runs a command; fails the test with its output unless it succeeds. The
# output is left in `output` in the caller's scope.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

# Fails unless the files under `root` (relative paths) are exactly `expected`.
function(expect_files root expected)
  file(GLOB_RECURSE present RELATIVE ${root} LIST_DIRECTORIES false ${root}/*)
  set(missing ${expected})
  list(REMOVE_ITEM missing ${present})
  set(extra ${present})
  list(REMOVE_ITEM extra ${expected})
  if(missing OR extra)
    message(FATAL_ERROR "${root} differs\n  missing: ${missing}\n  unexpected: ${extra}")
  endif()
endfunction()
