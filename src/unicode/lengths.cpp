// Lengths of zero-terminated strings.
#include "unicode/utf.h"

#include <cstdint>

#include <emmintrin.h>

namespace tsk::unicode {

namespace {

// Bit k set when byte k of the 16 at p is zero; the same for 16-bit units
// (two bits per unit). They read past the terminator within its aligned
// block, like boundedLength below, and are hidden from the sanitizers with it.
#define TSK_UNWATCHED __attribute__((no_sanitize("address", "thread")))
TSK_UNWATCHED inline unsigned zeroMask(const unsigned char* p) {
  const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
}
TSK_UNWATCHED inline unsigned zeroMask(const tsk_wchar_t* p) {
  const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, _mm_setzero_si128())));
}

// Scans aligned 16-byte blocks once the position is aligned. An aligned
// block never crosses a page, so reading the elements behind the terminator
// in the same block is safe; the memory sanitizers, which would flag those
// reads, are told not to watch this function.
template <typename T>
TSK_UNWATCHED size_t boundedLength(const T* str, size_t max) {
  size_t n = 0;
  for (; n < max && (reinterpret_cast<uintptr_t>(str + n) & 15) != 0; ++n) {
    if (str[n] == 0) {
      return n;
    }
  }
  constexpr size_t kPerBlock = 16 / sizeof(T);
  for (; n < max; n += kPerBlock) {
    const unsigned mask = zeroMask(str + n);
    if (mask != 0) {
      const size_t end = n + static_cast<size_t>(__builtin_ctz(mask)) / sizeof(T);
      return end < max ? end : max;
    }
  }
  return max;
}

} // namespace

size_t wideLength(const tsk_wchar_t* str) { return boundedLength(str, SIZE_MAX); }

size_t wideLength(const tsk_wchar_t* str, size_t max) { return boundedLength(str, max); }

size_t narrowLength(const char* str, size_t max) {
  return boundedLength(reinterpret_cast<const unsigned char*>(str), max);
}

} // namespace tsk::unicode
