# Script mode: builds a C program against the unpacked SDK zip at ROOT the
# way a Visual Studio user does, without MinGW and without a C runtime, and
# runs it under Wine.
#   cmake -DROOT=... -DSCRATCH=... -DPROGRAM=c_api_test.c -DKERNEL32=kernel32.def
#         -DCLANG=clang -DLLD_LINK=lld-link -DDLLTOOL=llvm-dlltool
#         -DRUNNER=wine-run.sh -P RunMsvcConsumer.cmake
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../support/TestScript.cmake)

# C for the Microsoft ABI, freestanding: only the compiler's own headers
# (stddef.h, stdint.h, stdarg.h) besides the zip's.
set(compile ${CLANG} --target=x86_64-pc-windows-msvc -std=c11 -ffreestanding -nostdlibinc
  -Wall -Wextra -Werror -pedantic -O2 -I${ROOT}/include -c)

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})

# Every header with plain functions compiles in this mode, also the ones the
# program does not call.
file(GLOB headers ${ROOT}/include/tskbase/*.h)
set(includes "")
foreach(header IN LISTS headers)
  file(READ ${header} text)
  if(text MATCHES "TSKBASE_EXTERN_C_BEGIN" OR header MATCHES "/(common|version)\\.h$")
    get_filename_component(name ${header} NAME)
    string(APPEND includes "#include <tskbase/${name}>\n")
  endif()
endforeach()
file(WRITE ${SCRATCH}/headers.c "${includes}int headersCompile;\n")
run(${compile} ${SCRATCH}/headers.c -o ${SCRATCH}/headers.obj)

# kernel32 through an import library of the three functions the program
# calls, since there is no Windows SDK here.
run(${DLLTOOL} -m i386:x86-64 -d ${KERNEL32} -l ${SCRATCH}/kernel32.lib)
run(${compile} -DTSK_NO_C_RUNTIME ${PROGRAM} -o ${SCRATCH}/consumer.obj)
run(${LLD_LINK} /nologo /entry:consumer_main /subsystem:console /nodefaultlib
  /out:${SCRATCH}/consumer.exe ${SCRATCH}/consumer.obj ${ROOT}/lib/tskbase.lib
  ${SCRATCH}/kernel32.lib)

file(COPY ${ROOT}/bin/tskbase.dll DESTINATION ${SCRATCH})
run(${RUNNER} ${SCRATCH}/consumer.exe)
message(STATUS "${output}")
if(NOT output MATCHES "all checks passed")
  message(FATAL_ERROR "the program did not pass its checks")
endif()
