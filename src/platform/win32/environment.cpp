#include "platform/environment.h"

#include <windows.h>

namespace tsk::platform {

size_t environmentValueSize(const tsk_wchar_t* name) {
  return GetEnvironmentVariableW(name, nullptr, 0);
}

size_t readEnvironmentValue(const tsk_wchar_t* name, tsk_wchar_t* buffer, size_t capacity) {
  const DWORD size = static_cast<DWORD>(capacity);
  const DWORD length = GetEnvironmentVariableW(name, buffer, size);
  // A value that grew since it was measured comes back as the size it needs.
  return length < size ? length : 0;
}

bool setEnvironmentValue(const tsk_wchar_t* name, const tsk_wchar_t* value) {
  return SetEnvironmentVariableW(name, value) != 0;
}

} // namespace tsk::platform
