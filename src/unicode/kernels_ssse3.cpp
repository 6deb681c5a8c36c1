// The SSSE3 kernels: 16 elements of ASCII at a time, and the mixed-width
// blocks (mixed_blocks.h) wherever a character outside ASCII comes.
#include "unicode/block_tables.h"
#include "unicode/kernels.h"
#include "unicode/utf.h"

#include <tmmintrin.h>

namespace tsk::unicode {

namespace {

#define TSK_UNICODE_TARGET "ssse3"
#include "unicode/mixed_blocks.h"

struct Ascii16 : Blocks128 {
  static constexpr unsigned kWidth = 16;

  template <bool kWrite>
  TSK_KERNEL static unsigned asciiFromUtf8(const unsigned char* s, tsk_wchar_t* d) {
    const __m128i v = load128(s);
    if constexpr (kWrite) {
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v, zero));
    }
    const unsigned nonAscii = static_cast<unsigned>(_mm_movemask_epi8(v)) | 0x10000;
    return static_cast<unsigned>(__builtin_ctz(nonAscii));
  }

  template <bool kWrite>
  TSK_KERNEL static unsigned asciiFromUtf16(const tsk_wchar_t* s, unsigned char* d) {
    const __m128i a = load128(s);
    const __m128i b = load128(s + 8);
    if constexpr (kWrite) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(a, b));
    }
    const __m128i high = splat16(0xFF80);
    const __m128i zero = _mm_setzero_si128();
    const __m128i okA = _mm_cmpeq_epi16(_mm_and_si128(a, high), zero);
    const __m128i okB = _mm_cmpeq_epi16(_mm_and_si128(b, high), zero);
    const unsigned ok = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(okA, okB)));
    return static_cast<unsigned>(__builtin_ctz(~ok | 0x10000));
  }
};

} // namespace

const Kernels kSsse3Kernels = {
    Level::kSsse3, "ssse3", utf8Kernel<Ascii16>, utf16Kernel<Ascii16>, nullptr, nullptr,
};

} // namespace tsk::unicode
