#include "platform/module.h"

#include <windows.h>

namespace tsk::platform {

uint32_t readExecutablePath(tsk_wchar_t* buffer, size_t capacity) {
  const DWORD size = static_cast<DWORD>(capacity);
  const DWORD length = GetModuleFileNameW(nullptr, buffer, size);
  if (length == 0) {
    return GetLastError();
  }
  // A path that fills the whole buffer was cut.
  return length >= size ? ERROR_INSUFFICIENT_BUFFER : 0;
}

} // namespace tsk::platform
