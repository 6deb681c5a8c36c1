#include "platform/library_lifetime.h"

#include <dlfcn.h>

namespace tsk::platform {

void keepLibraryLoaded() {
  static const char anchor = 0;
  Dl_info library;
  if (dladdr(&anchor, &library) == 0 || library.dli_fname == nullptr) {
    return;
  }
  // Finds the library already loaded and marks it to stay; the reference
  // that this takes is never given back.
  dlopen(library.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

} // namespace tsk::platform
