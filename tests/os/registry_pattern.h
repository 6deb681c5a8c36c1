// The values that the registry writers of the multi-process tests write, and
// a reader of values. The values are 4 KiB that
// name their writer and index in the first 8 bytes, the rest following from
// those, so that a reader can tell a whole value from a torn one.
#ifndef TSKBASE_TESTS_OS_REGISTRY_PATTERN_H
#define TSKBASE_TESTS_OS_REGISTRY_PATTERN_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "scratch_directory.h"
#include "tskbase/reg_settings.h"

namespace tsk::test {

inline std::vector<unsigned char> registryPattern(uint32_t writer, uint32_t index) {
  std::vector<unsigned char> value(4096);
  const uint32_t header[] = {writer, index};
  std::memcpy(value.data(), header, sizeof header);
  for (size_t i = sizeof header; i < value.size(); ++i) {
    value[i] = static_cast<unsigned char>(writer * 31 + index * 7 + i);
  }
  return value;
}

inline bool isRegistryPattern(const std::vector<unsigned char>& value) {
  uint32_t header[2] = {};
  std::memcpy(header, value.data(), value.size() < sizeof header ? 0 : sizeof header);
  return value == registryPattern(header[0], header[1]);
}

// The bytes of the value `name`; empty when it cannot be read.
inline std::vector<unsigned char> readValue(const CRegSettings& settings, const WideString& name) {
  tsk_dword size = 0;
  std::vector<unsigned char> value;
  if (settings.GetBinary(name.c_str(), nullptr, &size) == 0) {
    value.resize(size);
    if (settings.GetBinary(name.c_str(), value.data(), &size) != 0) {
      value.clear();
    }
  }
  return value;
}

inline WideString registryValueName(uint32_t writer, uint32_t index) {
  return toWide("w" + std::to_string(writer) + "-" + std::to_string(index));
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_OS_REGISTRY_PATTERN_H
