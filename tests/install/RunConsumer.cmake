cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}")
  endif()
endfunction()

set(prefix ${SCRATCH}/prefix)
file(REMOVE_RECURSE ${SCRATCH})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# find_package(tskbase)
run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${SCRATCH}/cmake -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${SCRATCH}/cmake)
run(${SCRATCH}/cmake/consumer)

# pkg-config
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  foreach(lib ${prefix}/lib64 ${prefix}/lib/x86_64-linux-gnu)
    if(EXISTS ${lib}/pkgconfig)
      set(ENV{PKG_CONFIG_PATH} ${lib}/pkgconfig)
    endif()
  endforeach()
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs tskbase
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know tskbase")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(${CXX} ${CONSUMER}/consumer.cpp ${flags} -o ${SCRATCH}/consumer-pc)
  string(REGEX MATCH "-L([^ ;]+)" _ "${flags}")
  set(ENV{LD_LIBRARY_PATH} ${CMAKE_MATCH_1})
  run(${SCRATCH}/consumer-pc)
endif()
