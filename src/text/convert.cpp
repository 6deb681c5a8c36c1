#include "convert.h"

#include "core/heap.h"
#include "platform/text.h"
#include "utf.h"

#include <climits>
#include <cstring>

namespace tsk::text {

int toWide(Encoding from, const char* src, int length, tsk_wchar_t* dst, int capacity) {
  return platform::multiByteToWide(static_cast<unsigned>(from), src, length, dst, capacity);
}

int toNarrow(Encoding to, const tsk_wchar_t* src, int length, char* dst, int capacity) {
  return platform::wideToMultiByte(static_cast<unsigned>(to), src, length, dst, capacity);
}

namespace {

// The platform's one pass, or else the text measured first and converted
// with its explicit length.
template <typename In, typename Out, typename OnePass, typename Measure, typename Convert>
int untilZero(const In* src, size_t bound, Out* dst, int capacity, OnePass onePass, Measure measure,
              Convert convert) {
  const int n = onePass(src, bound, dst, capacity);
  if (n != platform::kDeferred) {
    return n < 0 ? -1 : n;
  }
  const size_t length = measure(src, bound);
  if (length == 0) {
    return 0;
  }
  if (length > INT_MAX) {
    return -1;
  }
  const int r = convert(src, static_cast<int>(length), dst, capacity);
  return r == 0 ? -1 : r;
}

} // namespace

int utf8ToWideUntilZero(const char* src, size_t bound, tsk_wchar_t* dst, int capacity) {
  return untilZero(src, bound, dst, capacity, platform::utf8ToWideUntilZero, narrowLength,
                   [](const char* s, int n, tsk_wchar_t* d, int c) {
                     return toWide(Encoding::kUtf8, s, n, d, c);
                   });
}

int wideToUtf8UntilZero(const tsk_wchar_t* src, size_t bound, char* dst, int capacity) {
  return untilZero(
      src, bound, dst, capacity, platform::wideToUtf8UntilZero,
      [](const tsk_wchar_t* s, size_t max) { return wideLength(s, max); },
      [](const tsk_wchar_t* s, int n, char* d, int c) {
        return toNarrow(Encoding::kUtf8, s, n, d, c);
      });
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
