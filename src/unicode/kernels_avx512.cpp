// The AVX-512 kernels: 64 elements of ASCII at a time, and mixed-width
// blocks of 32 bytes or 16 units in 512-bit registers: the kinds of the
// positions come out of mask compares, and the lanes to keep are packed
// with the compress instructions (VBMI2), with no tables.
#include "unicode/block_tables.h"
#include "unicode/kernels.h"
#include "unicode/utf.h"

#include <immintrin.h>

// GCC 12's AVX-512 intrinsics pass a deliberately undefined vector as the
// unused merge source of unmasked forms, which its own flow analysis then
// reports as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace tsk::unicode {

namespace {

#define TSK_UNICODE_TARGET "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt"
#include "unicode/mixed_blocks.h"

TSK_KERNEL __m256i load256(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// Bit k set when (byte k of v & mask) == value.
TSK_KERNEL uint32_t bytesWhere(__m256i v, unsigned mask, unsigned value) {
  return _mm256_cmpeq_epi8_mask(_mm256_and_si256(v, _mm256_set1_epi8(static_cast<char>(mask))),
                                _mm256_set1_epi8(static_cast<char>(value)));
}

TSK_KERNEL __m512i wide16(unsigned value) { return _mm512_set1_epi16(static_cast<short>(value)); }
TSK_KERNEL __m512i wide32(unsigned value) { return _mm512_set1_epi32(static_cast<int>(value)); }

struct Ascii64 {
  static constexpr unsigned kWidth = 64;
  static constexpr size_t kUtf8Read = 35;
  static constexpr size_t kUtf8Room = 32;
  static constexpr size_t kUtf16Read = 17;
  static constexpr size_t kUtf16Room = 64;

  // The characters that start in the 32 bytes at s, of any width, as
  // utf8Block in mixed_blocks.h does for 16: one 16-bit lane per position,
  // decoded as if a character started there, then compressed.
  template <bool kWrite>
  TSK_KERNEL static BlockResult utf8Block(const unsigned char* s, tsk_wchar_t* d) {
    const __m256i v0 = load256(s);
    const __m256i v1 = load256(s + 1);
    const __m256i v2 = load256(s + 2);
    const uint64_t ascii = ~static_cast<uint32_t>(_mm256_movemask_epi8(v0));
    const uint64_t cont = bytesWhere(v0, 0xC0, 0x80);
    uint64_t lead2 = bytesWhere(v0, 0xE0, 0xC0);
    uint64_t lead3 = bytesWhere(v0, 0xF0, 0xE0);
    uint64_t lead4 = bytesWhere(v0, 0xF8, 0xF0);
    if ((ascii | cont | lead2 | lead3 | lead4) != 0xFFFFFFFF) {
      return {0, 0};
    }
    const unsigned positions = 32 - static_cast<unsigned>(lead4 >> 31);
    const uint64_t inBlock = (uint64_t{1} << positions) - 1;
    lead2 &= inBlock;
    lead3 &= inBlock;
    lead4 &= inBlock;
    const uint64_t leads = lead2 | lead3 | lead4;
    const uint64_t missing = (leads & ~uint64_t{bytesWhere(v1, 0xC0, 0x80)}) |
                             ((lead3 | lead4) & ~uint64_t{bytesWhere(v2, 0xC0, 0x80)}) |
                             (lead4 & ~uint64_t{bytesWhere(load256(s + 3), 0xC0, 0x80)});
    const uint64_t expected = (leads << 1) | ((lead3 | lead4) << 2) | (lead4 << 3);
    if ((missing | ((cont ^ expected) & inBlock)) != 0) {
      return {0, 0};
    }
    const __m512i b0 = _mm512_cvtepu8_epi16(v0);
    const __m512i c1 = _mm512_and_si512(_mm512_cvtepu8_epi16(v1), wide16(0x3F));
    const __m512i c2 = _mm512_and_si512(_mm512_cvtepu8_epi16(v2), wide16(0x3F));
    const __m512i tail = _mm512_or_si512(_mm512_slli_epi16(c1, 6), c2);
    const __m512i two =
        _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(b0, wide16(0x1F)), 6), c1);
    const __m512i three = _mm512_or_si512(_mm512_slli_epi16(b0, 12), tail);
    // The scalar value shifted right by 10: the high surrogate less D7C0.
    const __m512i planeBits =
        _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(b0, wide16(0x07)), 8),
                                        _mm512_slli_epi16(c1, 2)),
                        _mm512_srli_epi16(c2, 4));
    const __m512i top5 = _mm512_and_si512(three, wide16(0xF800));
    const auto l2 = static_cast<__mmask32>(lead2);
    const auto l3 = static_cast<__mmask32>(lead3);
    const auto l4 = static_cast<__mmask32>(lead4);
    const uint64_t bad = _mm512_mask_cmplt_epu16_mask(l2, two, wide16(0x80)) |
                         _mm512_mask_cmpeq_epi16_mask(l3, top5, _mm512_setzero_si512()) |
                         _mm512_mask_cmpeq_epi16_mask(l3, top5, wide16(0xD800)) |
                         _mm512_mask_cmplt_epu16_mask(l4, planeBits, wide16(0x40)) |
                         _mm512_mask_cmpgt_epu16_mask(l4, planeBits, wide16(0x43F));
    if (bad != 0) {
      return {0, 0};
    }
    const uint64_t keep = (ascii | leads | (lead4 << 1)) & inBlock;
    if constexpr (kWrite) {
      const __m512i low = _mm512_or_si512(_mm512_and_si512(tail, wide16(0x3FF)), wide16(0xDC00));
      __m512i unit = _mm512_mask_mov_epi16(b0, static_cast<__mmask32>(lead4 << 1), low);
      unit = _mm512_mask_mov_epi16(unit, l2, two);
      unit = _mm512_mask_mov_epi16(unit, l3, three);
      unit = _mm512_mask_mov_epi16(unit, l4, _mm512_add_epi16(planeBits, wide16(0xD7C0)));
      _mm512_storeu_si512(d, _mm512_maskz_compress_epi16(static_cast<__mmask32>(keep), unit));
    }
    const auto overhang = static_cast<unsigned>(__builtin_popcountll(expected >> positions));
    return {positions + overhang, static_cast<unsigned>(__builtin_popcountll(keep))};
  }

  // The characters that start in the 16 units at s, as utf16Block in
  // mixed_blocks.h does for 8: the UTF-8 bytes of each unit in a 32-bit
  // lane, then the bytes to keep compressed.
  template <bool kWrite>
  TSK_KERNEL static BlockResult utf16Block(const tsk_wchar_t* s, unsigned char* d) {
    const __m256i u16 = load256(s);
    const __m256i next16 = load256(s + 1);
    const __m256i kind = _mm256_set1_epi16(static_cast<short>(0xFC00));
    const uint32_t high = _mm256_cmpeq_epi16_mask(_mm256_and_si256(u16, kind),
                                                  _mm256_set1_epi16(static_cast<short>(0xD800)));
    const uint32_t low = _mm256_cmpeq_epi16_mask(_mm256_and_si256(u16, kind),
                                                 _mm256_set1_epi16(static_cast<short>(0xDC00)));
    const uint32_t nextLow = _mm256_cmpeq_epi16_mask(_mm256_and_si256(next16, kind),
                                                     _mm256_set1_epi16(static_cast<short>(0xDC00)));
    const uint32_t inBlock = (high & 0x8000) != 0 ? 0x7FFF : 0xFFFF;
    if (((high & ~nextLow) | (low ^ (high << 1))) & inBlock) {
      return {0, 0};
    }
    const __m512i u = _mm512_cvtepu16_epi32(u16);
    const auto isAscii = static_cast<__mmask16>(_mm512_cmplt_epu32_mask(u, wide32(0x80)));
    const auto isTwo = static_cast<__mmask16>(_mm512_cmplt_epu32_mask(u, wide32(0x800)) & ~isAscii);
    const auto isHigh = static_cast<__mmask16>(high);
    const auto isLow = static_cast<__mmask16>(low);
    // Bytes per lane: 1, 2 or 3 (a pair's first three bytes in the high
    // surrogate's lane, its last in the low one's); none past the block.
    __m512i length = _mm512_maskz_mov_epi32(static_cast<__mmask16>(inBlock), wide32(3));
    length = _mm512_mask_mov_epi32(length, isTwo, wide32(2));
    length = _mm512_mask_mov_epi32(length, static_cast<__mmask16>(isAscii | isLow), wide32(1));
    length = _mm512_maskz_mov_epi32(static_cast<__mmask16>(inBlock), length);
    const __m512i byteIndex = _mm512_set1_epi32(0x03020100);
    const __m512i lengthBytes = _mm512_mullo_epi32(length, wide32(0x01010101));
    const __mmask64 keep = _mm512_cmplt_epu8_mask(byteIndex, lengthBytes);
    if constexpr (kWrite) {
      const __m512i next = _mm512_cvtepu16_epi32(next16);
      const __m512i low6 = wide32(0x3F);
      const __m512i cont = wide32(0x80);
      const __m512i pair = _mm512_sub_epi32(u, wide32(0xD7C0)); // the scalar value >> 10
      const __m512i lowBits = _mm512_or_si512(_mm512_and_si512(u, low6), cont);
      const __m512i midBits =
          _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi32(u, 6), low6), cont);
      __m512i b0 = _mm512_or_si512(_mm512_srli_epi32(u, 12), wide32(0xE0));
      b0 = _mm512_mask_mov_epi32(b0, isHigh,
                                 _mm512_or_si512(_mm512_srli_epi32(pair, 8), wide32(0xF0)));
      b0 = _mm512_mask_mov_epi32(b0, isLow, lowBits);
      b0 = _mm512_mask_mov_epi32(b0, isTwo, _mm512_or_si512(_mm512_srli_epi32(u, 6), wide32(0xC0)));
      b0 = _mm512_mask_mov_epi32(b0, isAscii, u);
      __m512i b1 = _mm512_mask_mov_epi32(midBits, isTwo, lowBits);
      b1 = _mm512_mask_mov_epi32(
          b1, isHigh, _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi32(pair, 2), low6), cont));
      const __m512i pairThird = _mm512_or_si512(
          _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(pair, wide32(3)), 4),
                          _mm512_and_si512(_mm512_srli_epi32(next, 6), wide32(0x0F))),
          cont);
      const __m512i b2 = _mm512_mask_mov_epi32(lowBits, isHigh, pairThird);
      const __m512i bytes =
          _mm512_or_si512(_mm512_or_si512(b0, _mm512_slli_epi32(b1, 8)), _mm512_slli_epi32(b2, 16));
      _mm512_storeu_si512(d, _mm512_maskz_compress_epi8(keep, bytes));
    }
    return {inBlock == 0xFFFF ? 16u : 15u, static_cast<unsigned>(__builtin_popcountll(keep))};
  }

  template <bool kWrite>
  TSK_KERNEL static unsigned asciiFromUtf8(const unsigned char* s, tsk_wchar_t* d) {
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
  TSK_KERNEL static unsigned asciiFromUtf16(const tsk_wchar_t* s, unsigned char* d) {
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
