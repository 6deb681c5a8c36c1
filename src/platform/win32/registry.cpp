// The system registry. Key handles are duplicated with DuplicateHandle, which
// keeps the rights they were opened with; the predefined root keys are not
// handles of this process and are copied as they are.
#include "platform/registry.h"

#include <windows.h>

namespace tsk::platform {

namespace {

static_assert(sizeof(tsk_dword) == sizeof(DWORD) && sizeof(tsk_hkey) == sizeof(HKEY));

// HKEY_CLASSES_ROOT to HKEY_CURRENT_USER_LOCAL_SETTINGS and the like.
bool isPredefined(HKEY key) {
  const auto value = reinterpret_cast<intptr_t>(key);
  return value >= INT32_MIN && value < INT32_MIN + 0x100;
}

} // namespace

long openRegistryKey(tsk_hkey parent, const tsk_wchar_t* subkey, uint32_t access, tsk_hkey* key) {
  return RegOpenKeyExW(parent, subkey, 0, access, key);
}

long createRegistryKey(tsk_hkey parent, const tsk_wchar_t* subkey, uint32_t access, tsk_hkey* key) {
  return RegCreateKeyExW(parent, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key,
                         nullptr);
}

long queryRegistryValue(tsk_hkey key, const tsk_wchar_t* name, unsigned char* data,
                        tsk_dword* size) {
  return RegQueryValueExW(key, name, nullptr, nullptr, data, size);
}

long setRegistryValue(tsk_hkey key, const tsk_wchar_t* name, tsk_dword type,
                      const unsigned char* data, tsk_dword size) {
  return RegSetValueExW(key, name, 0, type, data, size);
}

long duplicateRegistryKey(tsk_hkey key, tsk_hkey* copy) {
  if (isPredefined(key)) {
    *copy = key;
    return ERROR_SUCCESS;
  }
  HANDLE duplicate = nullptr;
  const HANDLE process = GetCurrentProcess();
  if (!DuplicateHandle(process, key, process, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return static_cast<long>(GetLastError());
  }
  *copy = static_cast<HKEY>(duplicate);
  return ERROR_SUCCESS;
}

long closeRegistryKey(tsk_hkey key) { return RegCloseKey(key); }

} // namespace tsk::platform
