#include "convert.h"

#include "platform/text.h"
#include "utf.h"

#include <cstdlib>
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
  auto* out = static_cast<tsk_wchar_t*>(std::malloc(static_cast<size_t>(n) * sizeof(tsk_wchar_t)));
  if (out != nullptr && toWide(from, src, -1, out, n) != n) {
    std::free(out);
    out = nullptr;
  }
  return out;
}

char* newNarrow(Encoding to, const tsk_wchar_t* src) {
  const int n = toNarrow(to, src, -1, nullptr, 0);
  if (n <= 0) {
    return nullptr;
  }
  auto* out = static_cast<char*>(std::malloc(static_cast<size_t>(n)));
  if (out != nullptr && toNarrow(to, src, -1, out, n) != n) {
    std::free(out);
    out = nullptr;
  }
  return out;
}

tsk_wchar_t* newWideCopy(const tsk_wchar_t* src) {
  if (src == nullptr) {
    return nullptr;
  }
  const size_t bytes = (wideLength(src) + 1) * sizeof(tsk_wchar_t);
  auto* out = static_cast<tsk_wchar_t*>(std::malloc(bytes));
  if (out != nullptr) {
    std::memcpy(out, src, bytes);
  }
  return out;
}

} // namespace tsk::text
