// The values that the registry writers of the multi-process tests write: a
// block that names its writer and index in its first 8 bytes and whose other
// bytes follow from them, so that a reader can tell a whole value from a torn
// one.
#ifndef TSKBASE_TESTS_OS_REGISTRY_PATTERN_H
#define TSKBASE_TESTS_OS_REGISTRY_PATTERN_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "scratch_directory.h"

namespace tsk::test {

inline constexpr size_t kRegistryPatternBytes = 4096;

inline std::vector<unsigned char> registryPattern(uint32_t writer, uint32_t index) {
  std::vector<unsigned char> value(kRegistryPatternBytes);
  std::memcpy(value.data(), &writer, 4);
  std::memcpy(value.data() + 4, &index, 4);
  for (size_t i = 8; i < value.size(); ++i) {
    value[i] = static_cast<unsigned char>(writer * 31 + index * 7 + i);
  }
  return value;
}

inline bool isRegistryPattern(const std::vector<unsigned char>& value) {
  uint32_t writer = 0;
  uint32_t index = 0;
  if (value.size() != kRegistryPatternBytes) {
    return false;
  }
  std::memcpy(&writer, value.data(), 4);
  std::memcpy(&index, value.data() + 4, 4);
  return value == registryPattern(writer, index);
}

inline WideString registryValueName(uint32_t writer, uint32_t index) {
  return toWide("w" + std::to_string(writer) + "-" + std::to_string(index));
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_OS_REGISTRY_PATTERN_H
