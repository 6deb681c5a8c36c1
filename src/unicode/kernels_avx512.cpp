// The AVX-512 kernels: 64 elements of ASCII at a time in 512-bit registers
// with mask compares, and the mixed-width blocks (mixed_blocks.h) in their
// EVEX/VEX form wherever a character outside ASCII comes.
#include "unicode/block_tables.h"
#include "unicode/kernels.h"
#include "unicode/utf.h"

#include <immintrin.h>

namespace tsk::unicode {

namespace {

#define TSK_UNICODE_TARGET "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt"
#include "unicode/mixed_blocks.h"

struct Ascii64 {
  static constexpr unsigned kWidth = 64;

  template <bool kWrite>
  TSK_KERNEL static unsigned fromUtf8(const unsigned char* s, tsk_wchar_t* d) {
    const __m512i v = _mm512_loadu_si512(s);
    if constexpr (kWrite) {
      _mm512_storeu_si512(
          d, _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s))));
      _mm512_storeu_si512(d + 32, _mm512_cvtepu8_epi16(_mm256_loadu_si256(
                                      reinterpret_cast<const __m256i*>(s + 32))));
    }
    const uint64_t nonAscii = _mm512_movepi8_mask(v);
    return nonAscii == 0 ? 64 : static_cast<unsigned>(__builtin_ctzll(nonAscii));
  }

  template <bool kWrite>
  TSK_KERNEL static unsigned fromUtf16(const tsk_wchar_t* s, unsigned char* d) {
    const __m512i a = _mm512_loadu_si512(s);
    const __m512i b = _mm512_loadu_si512(s + 32);
    if constexpr (kWrite) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d),
                          _mm512_maskz_cvtepi16_epi8(~__mmask32{0}, a));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 32),
                          _mm512_maskz_cvtepi16_epi8(~__mmask32{0}, b));
    }
    const __m512i high = _mm512_set1_epi16(static_cast<short>(0xFF80));
    const uint64_t notAscii = static_cast<uint64_t>(_mm512_test_epi16_mask(a, high)) |
                              (static_cast<uint64_t>(_mm512_test_epi16_mask(b, high)) << 32);
    return notAscii == 0 ? 64 : static_cast<unsigned>(__builtin_ctzll(notAscii));
  }
};

} // namespace

const Kernels kAvx512Kernels = {
    Level::kAvx512, "avx512", utf8Kernel<Ascii64>, utf16Kernel<Ascii64>, nullptr, nullptr,
};

} // namespace tsk::unicode
