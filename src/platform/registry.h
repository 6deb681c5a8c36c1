// What CRegSettings needs of the registry: keys opened or created under a
// parent, typed values read and written, handles duplicated and closed. Every
// function returns the registry's status with Windows' numbers (0 success; see
// tskbase/reg_settings.h for the others).
//
// On Windows these are RegOpenKeyExW, RegCreateKeyExW, RegQueryValueExW,
// RegSetValueExW and RegCloseKey on the system registry. Elsewhere the same
// contract rests on an SQLite database of the user's: see
// posix/registry.cpp.
#ifndef TSKBASE_SRC_PLATFORM_REGISTRY_H
#define TSKBASE_SRC_PLATFORM_REGISTRY_H

#include <cstdint>

#include "tskbase/reg_settings.h"

namespace tsk::platform {

// Access rights of an open key.
inline constexpr uint32_t kKeyQueryValue = 0x1;
inline constexpr uint32_t kKeySetValue = 0x2;

// Status codes, with Windows' numbers.
namespace registry_status {
inline constexpr long kSuccess = 0;
inline constexpr long kNotFound = 2;          // ERROR_FILE_NOT_FOUND
inline constexpr long kAccessDenied = 5;      // ERROR_ACCESS_DENIED
inline constexpr long kInvalidHandle = 6;     // ERROR_INVALID_HANDLE
inline constexpr long kNotEnoughMemory = 8;   // ERROR_NOT_ENOUGH_MEMORY
inline constexpr long kInvalidParameter = 87; // ERROR_INVALID_PARAMETER
inline constexpr long kBadPathname = 161;     // ERROR_BAD_PATHNAME
inline constexpr long kMoreData = 234;        // ERROR_MORE_DATA
inline constexpr long kNoAccess = 998;        // ERROR_NOACCESS
inline constexpr long kBadDatabase = 1009;    // ERROR_BADDB
inline constexpr long kCannotOpen = 1011;     // ERROR_CANTOPEN
inline constexpr long kCannotRead = 1012;     // ERROR_CANTREAD
inline constexpr long kCannotWrite = 1013;    // ERROR_CANTWRITE
} // namespace registry_status

// Opens the existing key `subkey` of `parent` with `access`. A null or empty
// subkey opens `parent` again.
long openRegistryKey(tsk_hkey parent, const tsk_wchar_t* subkey, uint32_t access, tsk_hkey* key);

// Opens `subkey` of `parent` with `access`, creating it and the missing keys
// on its path first.
long createRegistryKey(tsk_hkey parent, const tsk_wchar_t* subkey, uint32_t access, tsk_hkey* key);

// Reads the value `name` (null: the default value) into `data` of *size
// bytes and stores its size in *size. A null `data` asks for the size only;
// with a null `size` as well, only whether the value exists. `data` without
// `size` is an invalid parameter; a value longer than *size gives 234 and
// leaves `data` as it was.
long queryRegistryValue(tsk_hkey key, const tsk_wchar_t* name, unsigned char* data,
                        tsk_dword* size);

// Writes the value `name` with `type` and `size` bytes of `data`.
long setRegistryValue(tsk_hkey key, const tsk_wchar_t* name, tsk_dword type,
                      const unsigned char* data, tsk_dword size);

// A second handle on the open key `key` with the same rights; closing one
// leaves the other open.
long duplicateRegistryKey(tsk_hkey key, tsk_hkey* copy);

long closeRegistryKey(tsk_hkey key);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_REGISTRY_H
