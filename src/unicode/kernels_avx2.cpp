// The AVX2 kernels: 32 elements of ASCII at a time in 256-bit registers,
// and the mixed-width blocks (mixed_blocks.h) in their VEX form wherever a
// character outside ASCII comes.
#include "unicode/block_tables.h"
#include "unicode/kernels.h"
#include "unicode/utf.h"

#include <immintrin.h>

namespace tsk::unicode {

namespace {

#define TSK_UNICODE_TARGET "avx2,bmi,bmi2,popcnt"
#include "unicode/mixed_blocks.h"

struct Ascii32 : Blocks128 {
  static constexpr unsigned kWidth = 32;

  template <bool kWrite>
  TSK_KERNEL static unsigned asciiFromUtf8(const unsigned char* s, tsk_wchar_t* d) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    if constexpr (kWrite) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d),
                          _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 16),
                          _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
    }
    const auto nonAscii = static_cast<uint32_t>(_mm256_movemask_epi8(v));
    return nonAscii == 0 ? 32 : static_cast<unsigned>(__builtin_ctz(nonAscii));
  }

  template <bool kWrite>
  TSK_KERNEL static unsigned asciiFromUtf16(const tsk_wchar_t* s, unsigned char* d) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 16));
    if constexpr (kWrite) {
      // packus works within 128-bit halves: put the quarters back in order.
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d),
                          _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
    }
    const __m256i high = _mm256_set1_epi16(static_cast<short>(0xFF80));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i okA = _mm256_cmpeq_epi16(_mm256_and_si256(a, high), zero);
    const __m256i okB = _mm256_cmpeq_epi16(_mm256_and_si256(b, high), zero);
    const __m256i ok = _mm256_permute4x64_epi64(_mm256_packs_epi16(okA, okB), 0xD8);
    const auto notAscii = ~static_cast<uint32_t>(_mm256_movemask_epi8(ok));
    return notAscii == 0 ? 32 : static_cast<unsigned>(__builtin_ctz(notAscii));
  }
};

} // namespace

const Kernels kAvx2Kernels = {
    Level::kAvx2, "avx2", utf8Kernel<Ascii32>, utf16Kernel<Ascii32>, nullptr, nullptr,
};

} // namespace tsk::unicode
