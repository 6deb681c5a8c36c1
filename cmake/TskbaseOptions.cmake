# Compile options shared by every target of the project: warnings, and the
# sanitizers selected with TSKBASE_SANITIZE. Targets link tskbase_options.
add_library(tskbase_options INTERFACE)
add_library(tskbase::options ALIAS tskbase_options)

target_compile_options(tskbase_options INTERFACE -Wall -Wextra)
if(TSKBASE_WERROR)
  target_compile_options(tskbase_options INTERFACE -Werror)
endif()

if(TSKBASE_SANITIZE)
  set(_tskbase_sanitize_flags -fsanitize=${TSKBASE_SANITIZE} -fno-omit-frame-pointer)
  if(TSKBASE_SANITIZE MATCHES "undefined")
    list(APPEND _tskbase_sanitize_flags -fno-sanitize-recover=all)
  endif()
  target_compile_options(tskbase_options INTERFACE ${_tskbase_sanitize_flags})
  target_link_options(tskbase_options INTERFACE ${_tskbase_sanitize_flags})
endif()

if(WIN32)
  # Everything a Windows binary of the project needs beyond system DLLs
  # (libgcc, libstdc++, winpthread) is linked in statically.
  target_link_options(tskbase_options INTERFACE -static)
endif()
