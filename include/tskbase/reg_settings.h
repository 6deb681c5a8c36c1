/// @file
/// tskbase/reg_settings.h - typed values of one open registry key.
///
/// CRegSettings holds one open key of the registry and reads and writes its
/// values: 32-bit numbers (type 4), strings (1), lists of strings (7) and raw
/// bytes (3). Every member makes one registry call and returns the registry's
/// status unchanged, with Windows' numbers on every platform:
///
/// @verbatim
///   0 success, 2 value or key not found, 5 access denied (a write through a
///   key opened read-only), 6 invalid handle (no key open), 87 invalid
///   parameter, 161 bad path (a subkey path that starts with '\'), 234 more
///   data (the value does not fit the buffer), 998 no access (null data with
///   a non-zero size).
/// @endverbatim
///
/// Sizes are in bytes, strings included; a negative size is an invalid
/// parameter. Reads copy the value as stored, whatever its type, and add no
/// terminator. A null or empty value name is the key's default value.
///
/// @code
///   CRegSettings settings(0, TSK_HKEY_CURRENT_USER, TSK_W("Software\\Tarsk\\Viewer"));
///   if (settings != nullptr) {
///     settings.SetDWORD(TSK_W("Zoom"), 150);
///   }
/// @endcode
///
/// On Windows this is the system registry, and tsk_hkey is HKEY, so that the
/// HKEY_ constants and keys opened elsewhere can be passed as they are.
/// Elsewhere the library keeps the registry itself, in an SQLite database in
/// the user's configuration directory ($XDG_CONFIG_HOME/tskbase/registry.db,
/// ~/.config when that is unset) that several processes share safely and
/// that survives a crash during a write. Every root lives there, so nothing
/// is shared between users, TSK_HKEY_LOCAL_MACHINE included. Key and value
/// names match without regard to the case of the letters A to Z.
///
/// A copy of an object holds a key of its own, a duplicate of the original's
/// handle with the same rights, so that each closes only its own. An object
/// belongs to one thread at a time.
#ifndef TSKBASE_REG_SETTINGS_H
#define TSKBASE_REG_SETTINGS_H

#include <cstdint>

#include "tskbase/common.h"

/// @typedef tsk_hkey
/// A registry key handle: HKEY on Windows, an opaque handle elsewhere.
/// @typedef tsk_dword
/// A registry number and size: DWORD on Windows (unsigned long), uint32_t
/// elsewhere; 32 bits on both.
#if defined(_WIN32)
struct HKEY__;
typedef struct HKEY__* tsk_hkey;
typedef unsigned long tsk_dword; // DWORD
#else
struct tsk_registry_key;
typedef struct tsk_registry_key* tsk_hkey;
typedef uint32_t tsk_dword;
#endif

/// Root key number `n`, with the value of Windows' HKEY_ constants.
#define TSK_HKEY_ROOT(n) ((tsk_hkey)(intptr_t)(INT32_MIN + (n)))
#define TSK_HKEY_CLASSES_ROOT TSK_HKEY_ROOT(0)   ///< HKEY_CLASSES_ROOT
#define TSK_HKEY_CURRENT_USER TSK_HKEY_ROOT(1)   ///< HKEY_CURRENT_USER
#define TSK_HKEY_LOCAL_MACHINE TSK_HKEY_ROOT(2)  ///< HKEY_LOCAL_MACHINE
#define TSK_HKEY_USERS TSK_HKEY_ROOT(3)          ///< HKEY_USERS
#define TSK_HKEY_CURRENT_CONFIG TSK_HKEY_ROOT(5) ///< HKEY_CURRENT_CONFIG

/// One open registry key and typed access to its values.
class TSKBASE_API CRegSettings {
public:
  /// No key open.
  CRegSettings();
  /// OpenSubkey(readOnly, parent, subkey), whose status is not kept: after a
  /// failure the object holds no key, which the conversion shows as null.
  CRegSettings(int readOnly, tsk_hkey parent, const tsk_wchar_t* subkey);
  /// CloseKey.
  ~CRegSettings();
  /// The copy holds a duplicate of `other`'s key, or none.
  CRegSettings(const CRegSettings& other);
  /// Closes this object's key, then holds a duplicate of `other`'s, or none.
  CRegSettings& operator=(const CRegSettings& other);

  /// The open key, or null.
  operator tsk_hkey() const;

  /// Closes the key, if one is open.
  void CloseKey();

  /// Closes the key held so far, then opens `subkey` of `parent`: with
  /// `readOnly` non-zero an existing key for reading only; otherwise for
  /// reading and writing, creating it and any missing keys on its path. The
  /// path's parts are separated by '\'; an empty or null path opens `parent`
  /// itself again. Returns the status; after a failure no key is open.
  long OpenSubkey(int readOnly, tsk_hkey parent, const tsk_wchar_t* subkey);

  /// Reads a value into *value (4 bytes); 234 when it is longer.
  long GetDWORD(const tsk_wchar_t* name, tsk_dword* value) const;
  /// Reads a value into `buffer` of `capacity` bytes. The buffer holds a
  /// terminated string only if the stored value carries its terminator.
  long GetString(const tsk_wchar_t* name, tsk_wchar_t* buffer, int capacity) const;
  /// The same as GetString; a list holds its closing empty string as stored.
  long GetMultiString(const tsk_wchar_t* name, tsk_wchar_t* buffer, int capacity) const;
  /// Reads a value into `buffer` of *size bytes and stores the value's size
  /// in *size, also when it does not fit (234). A null buffer only asks for
  /// the size.
  long GetBinary(const tsk_wchar_t* name, unsigned char* buffer, tsk_dword* size) const;
  /// Stores the size of a value in bytes in *size.
  long GetSize(const tsk_wchar_t* name, tsk_dword* size);

  /// Writes a 32-bit number (type 4).
  long SetDWORD(const tsk_wchar_t* name, tsk_dword value) const;
  /// Writes a string with its terminator (type 1): an empty one is 2 bytes.
  long SetString(const tsk_wchar_t* name, const tsk_wchar_t* value) const;
  /// Writes a list of strings (type 7): `list` holds each string with its
  /// terminator and ends with an empty string, which is stored too. The list
  /// "a", "bc" is 12 bytes; the empty list is 2.
  long SetMultiString(const tsk_wchar_t* name, const tsk_wchar_t* list) const;
  /// Writes `length` raw bytes (type 3).
  long SetBinary(const tsk_wchar_t* name, const unsigned char* data, int length) const;

private:
  long GetVal(const tsk_wchar_t* name, unsigned char* buffer, tsk_dword* size) const;
  long SetVal(const tsk_wchar_t* name, tsk_dword type, const unsigned char* data,
              tsk_dword length) const;

  tsk_hkey key_;
};

#endif // TSKBASE_REG_SETTINGS_H
