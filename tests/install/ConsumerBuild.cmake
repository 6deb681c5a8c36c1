# Functions for script-mode tests that build the consumer project against an
# installed or unpacked copy of the library, the way its users do. They read:
#   CONSUMER   the consumer project's folder
#   GENERATOR  the CMake generator for the consumer's build
#   CXX        the C++ compiler
#   VERSION    the version the consumer must report
#   TOOLCHAIN  optional: a CMake toolchain file (the Windows cross build)
#   RUNNER     optional: runs a Windows program (the build tree's wine-run.sh)

include(${CMAKE_CURRENT_LIST_DIR}/../support/TestScript.cmake)

# Runs `program` (natively, or through RUNNER beside a copy of the DLL) and
# checks that it reports the expected version of the library.
function(consumer_run program prefix)
  if(RUNNER)
    get_filename_component(dir ${program} DIRECTORY)
    file(COPY ${prefix}/bin/tskbase.dll DESTINATION ${dir})
    set(command ${RUNNER} ${program})
  else()
    set(command ${program})
  endif()
  execute_process(COMMAND ${command} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${program} failed (${rc}):\n${out}")
  endif()
  if(NOT out MATCHES "tskbase ${VERSION}")
    message(FATAL_ERROR "${program} reports\n${out}\nnot tskbase ${VERSION}")
  endif()
endfunction()

# find_package(tskbase) with the package folder under `prefix`.
function(consumer_with_find_package prefix scratch)
  set(options -DCMAKE_CXX_COMPILER=${CXX})
  if(TOOLCHAIN)
    # A cross build searches only its own root: the package is named directly.
    file(GLOB_RECURSE config ${prefix}/*/tskbaseConfig.cmake)
    get_filename_component(package_dir "${config}" DIRECTORY)
    list(APPEND options -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -Dtskbase_DIR=${package_dir}
      -DCMAKE_EXE_LINKER_FLAGS=-static)
  else()
    list(APPEND options -DCMAKE_PREFIX_PATH=${prefix})
  endif()
  run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${scratch}/cmake -G ${GENERATOR} ${options})
  run(${CMAKE_COMMAND} --build ${scratch}/cmake)
  file(GLOB program ${scratch}/cmake/consumer ${scratch}/cmake/consumer.exe)
  consumer_run(${program} ${prefix})
endfunction()

# The output of `pkg-config OPTION tskbase`, as a list.
function(pkg_config option out)
  execute_process(COMMAND ${PKG_CONFIG} ${option} tskbase
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config ${option} does not know tskbase")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(${out} "${flags}" PARENT_SCOPE)
endfunction()

# The compiler run directly with the flags of `pkg-config tskbase`.
function(consumer_with_pkg_config prefix scratch)
  find_program(PKG_CONFIG pkg-config REQUIRED)
  file(GLOB_RECURSE pc_file ${prefix}/*/tskbase.pc)
  get_filename_component(pc_dir "${pc_file}" DIRECTORY)
  # Only this folder: a copy installed elsewhere on the machine must not count.
  set(ENV{PKG_CONFIG_LIBDIR} ${pc_dir})
  pkg_config(--modversion modversion)
  if(NOT modversion STREQUAL VERSION)
    message(FATAL_ERROR "pkg-config reports version '${modversion}', not ${VERSION}")
  endif()
  pkg_config(--cflags cflags)
  pkg_config(--libs libs)
  file(MAKE_DIRECTORY ${scratch}/pkg-config)
  set(program ${scratch}/pkg-config/consumer)
  if(RUNNER)
    # MinGW's own runtime linked in, tskbase.dll through its import library.
    run(${CXX} -static ${CONSUMER}/consumer.cpp ${cflags} -Wl,-Bdynamic ${libs} -Wl,-Bstatic
      -o ${program}.exe)
    consumer_run(${program}.exe ${prefix})
  else()
    run(${CXX} ${CONSUMER}/consumer.cpp ${cflags} ${libs} -o ${program})
    string(REGEX MATCH "-L([^;]+)" _ "${libs}")
    set(ENV{LD_LIBRARY_PATH} ${CMAKE_MATCH_1})
    consumer_run(${program} ${prefix})
  endif()
endfunction()
