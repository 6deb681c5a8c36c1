#include "platform/library_lifetime.h"

#include <windows.h>

namespace tsk::platform {

void keepLibraryLoaded() {
  static const char anchor = 0;
  HMODULE library = nullptr;
  // Pinned: FreeLibrary no longer unloads the module containing `anchor`.
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&anchor), &library);
}

} // namespace tsk::platform
