// A test buffer pre-filled with a marker byte, so that tests can tell which
// bytes a call wrote and which it left alone.
#ifndef TSKBASE_TESTS_SUPPORT_BYTE_BUFFER_H
#define TSKBASE_TESTS_SUPPORT_BYTE_BUFFER_H

#include <cstddef>
#include <initializer_list>
#include <vector>

namespace tsk::test {

inline constexpr unsigned char kUntouched = 0xCC;

class ByteBuffer {
public:
  explicit ByteBuffer(size_t size = 256) : bytes_(size, kUntouched) {}

  unsigned char* data() { return bytes_.data(); }
  unsigned char* at(size_t offset) { return bytes_.data() + offset; }

  // The first `count` bytes, for comparison with an expected layout.
  std::vector<unsigned char> head(size_t count) const {
    return {bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count)};
  }

  // True when bytes [from, to) still hold the marker.
  bool untouched(size_t from, size_t to) const {
    for (size_t i = from; i < to; ++i) {
      if (bytes_[i] != kUntouched) {
        return false;
      }
    }
    return true;
  }

private:
  std::vector<unsigned char> bytes_;
};

inline std::vector<unsigned char> bytes(std::initializer_list<unsigned char> list) {
  return list;
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_BYTE_BUFFER_H
