# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix thread model,
# so that std::thread is available to the tests).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TSKBASE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TSKBASE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TSKBASE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TSKBASE_MINGW_PREFIX}-windres)

# Everything links against the Universal C Runtime (ucrtbase.dll, through the
# api-ms-win-crt-* forwarders) rather than msvcrt.dll: the library hands heap
# blocks to its callers and takes some back, which is safe only when both use
# the same runtime's heap, and programs built with Microsoft's current
# compilers use UCRT. Debian's MinGW-w64 (GCC 12) has no -mcrtdll option; the
# specs file swaps the runtime library, and _UCRT selects UCRT's declarations.
set(_tskbase_ucrt "-D_UCRT -specs=${CMAKE_CURRENT_LIST_DIR}/mingw-w64-ucrt.specs")
set(CMAKE_C_FLAGS_INIT "${_tskbase_ucrt}")
set(CMAKE_CXX_FLAGS_INIT "${_tskbase_ucrt}")

set(CMAKE_FIND_ROOT_PATH /usr/${TSKBASE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
