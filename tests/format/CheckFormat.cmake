cmake_minimum_required(VERSION 3.25)

file(GLOB_RECURSE sources
  ${ROOT}/include/*.h ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp
  ${ROOT}/tests/*.c ${ROOT}/bench/*.cpp ${ROOT}/examples/*.h ${ROOT}/examples/*.cpp
  ${ROOT}/fuzz/*.h ${ROOT}/fuzz/*.cpp)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${sources}
  RESULT_VARIABLE rc ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "not formatted (run clang-format -i on these):\n${out}")
endif()
