#include "convert.h"

#include "core/heap.h"
#include "platform/text.h"
#include "utf.h"

#include <cstring>

namespace tsk::text {

int toWide(Encoding from, const char* src, int length, tsk_wchar_t* dst, int capacity) {
  return platform::multiByteToWide(static_cast<unsigned>(from), src, length, dst, capacity);
}

int toNarrow(Encoding to, const tsk_wchar_t* src, int length, char* dst, int capacity) {
  return platform::wideToMultiByte(static_cast<unsigned>(to), src, length, dst, capacity);
}

tsk_wchar_t* newWide(Encoding from, const char* src) {
  const int n = toWide(from, src, -1, nullptr, 0);
  if (n <= 0) {
    return nullptr;
  }
  auto* out = heap::allocateArray<tsk_wchar_t>(static_cast<size_t>(n));
  if (out != nullptr && toWide(from, src, -1, out, n) != n) {
    heap::release(out);
    out = nullptr;
  }
  return out;
}

char* newNarrow(Encoding to, const tsk_wchar_t* src) {
  const int n = toNarrow(to, src, -1, nullptr, 0);
  if (n <= 0) {
    return nullptr;
  }
  auto* out = heap::allocateArray<char>(static_cast<size_t>(n));
  if (out != nullptr && toNarrow(to, src, -1, out, n) != n) {
    heap::release(out);
    out = nullptr;
  }
  return out;
}

tsk_wchar_t* newWideCopy(const tsk_wchar_t* src) {
  if (src == nullptr) {
    return nullptr;
  }
  const size_t units = wideLength(src) + 1;
  auto* out = heap::allocateArray<tsk_wchar_t>(units);
  if (out != nullptr) {
    std::memcpy(out, src, units * sizeof(tsk_wchar_t));
  }
  return out;
}

} // namespace tsk::text
