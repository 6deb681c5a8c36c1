// CRegSettings: one registry call per member, its status returned as it is.
#include "tskbase/reg_settings.h"

#include <string>

#include "platform/registry.h"

namespace {

namespace platform = tsk::platform;

using Traits = std::char_traits<tsk_wchar_t>;

constexpr tsk_dword kTypeString = 1;
constexpr tsk_dword kTypeBinary = 3;
constexpr tsk_dword kTypeNumber = 4;
constexpr tsk_dword kTypeStringList = 7;

// Bytes of `units` UTF-16 units.
tsk_dword bytesOf(size_t units) { return static_cast<tsk_dword>(units * sizeof(tsk_wchar_t)); }

// lstrlenW: a null string counts as empty.
size_t lengthOf(const tsk_wchar_t* text) { return text == nullptr ? 0 : Traits::length(text); }

// Units of a list of terminated strings up to and including the terminator
// of its closing empty string.
size_t listUnits(const tsk_wchar_t* list) {
  size_t units = 0;
  if (list != nullptr) {
    while (list[units] != 0) {
      units += Traits::length(list + units) + 1;
    }
  }
  return units + 1;
}

} // namespace

CRegSettings::CRegSettings() : key_(nullptr) {}

CRegSettings::CRegSettings(int readOnly, tsk_hkey parent, const tsk_wchar_t* subkey)
    : key_(nullptr) {
  OpenSubkey(readOnly, parent, subkey);
}

CRegSettings::~CRegSettings() { CloseKey(); }

CRegSettings::CRegSettings(const CRegSettings& other) : key_(nullptr) { *this = other; }

CRegSettings& CRegSettings::operator=(const CRegSettings& other) {
  if (this != &other) {
    CloseKey();
    if (other.key_ != nullptr && platform::duplicateRegistryKey(other.key_, &key_) != 0) {
      key_ = nullptr;
    }
  }
  return *this;
}

CRegSettings::operator tsk_hkey() const { return key_; }

void CRegSettings::CloseKey() {
  if (key_ != nullptr) {
    platform::closeRegistryKey(key_);
    key_ = nullptr;
  }
}

long CRegSettings::OpenSubkey(int readOnly, tsk_hkey parent, const tsk_wchar_t* subkey) {
  CloseKey();
  const long status =
      readOnly != 0 ? platform::openRegistryKey(parent, subkey, platform::kKeyQueryValue, &key_)
                    : platform::createRegistryKey(
                          parent, subkey, platform::kKeyQueryValue | platform::kKeySetValue, &key_);
  if (status != 0) {
    key_ = nullptr;
  }
  return status;
}

long CRegSettings::GetDWORD(const tsk_wchar_t* name, tsk_dword* value) const {
  tsk_dword size = 4;
  return platform::queryRegistryValue(key_, name, reinterpret_cast<unsigned char*>(value), &size);
}

long CRegSettings::GetString(const tsk_wchar_t* name, tsk_wchar_t* buffer, int capacity) const {
  if (capacity < 0) {
    return platform::registry_status::kInvalidParameter;
  }
  tsk_dword size = static_cast<tsk_dword>(capacity);
  return platform::queryRegistryValue(key_, name, reinterpret_cast<unsigned char*>(buffer), &size);
}

long CRegSettings::GetMultiString(const tsk_wchar_t* name, tsk_wchar_t* buffer,
                                  int capacity) const {
  return GetString(name, buffer, capacity);
}

long CRegSettings::GetBinary(const tsk_wchar_t* name, unsigned char* buffer,
                             tsk_dword* size) const {
  return GetVal(name, buffer, size);
}

long CRegSettings::GetSize(const tsk_wchar_t* name, tsk_dword* size) {
  return platform::queryRegistryValue(key_, name, nullptr, size);
}

long CRegSettings::SetDWORD(const tsk_wchar_t* name, tsk_dword value) const {
  const uint32_t number = static_cast<uint32_t>(value);
  return SetVal(name, kTypeNumber, reinterpret_cast<const unsigned char*>(&number), 4);
}

long CRegSettings::SetString(const tsk_wchar_t* name, const tsk_wchar_t* value) const {
  return SetVal(name, kTypeString, reinterpret_cast<const unsigned char*>(value),
                bytesOf(lengthOf(value) + 1));
}

long CRegSettings::SetMultiString(const tsk_wchar_t* name, const tsk_wchar_t* list) const {
  return SetVal(name, kTypeStringList, reinterpret_cast<const unsigned char*>(list),
                bytesOf(listUnits(list)));
}

long CRegSettings::SetBinary(const tsk_wchar_t* name, const unsigned char* data, int length) const {
  if (length < 0) {
    return platform::registry_status::kInvalidParameter;
  }
  return SetVal(name, kTypeBinary, data, static_cast<tsk_dword>(length));
}

long CRegSettings::GetVal(const tsk_wchar_t* name, unsigned char* buffer, tsk_dword* size) const {
  return platform::queryRegistryValue(key_, name, buffer, size);
}

long CRegSettings::SetVal(const tsk_wchar_t* name, tsk_dword type, const unsigned char* data,
                          tsk_dword length) const {
  return platform::setRegistryValue(key_, name, type, data, length);
}
