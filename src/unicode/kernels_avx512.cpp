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
// reports as (maybe) uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace tsk::unicode {

namespace {

#define TSK_UNICODE_TARGET "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt"
#include "unicode/mixed_blocks.h"

TSK_KERNEL __m256i load256(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

TSK_KERNEL __m512i wide16(unsigned value) { return _mm512_set1_epi16(static_cast<short>(value)); }
TSK_KERNEL __m512i wide32(unsigned value) { return _mm512_set1_epi32(static_cast<int>(value)); }

struct Ascii64 {
  static constexpr unsigned kWidth = 64;
  static constexpr size_t kUtf16Read = 17;
  static constexpr size_t kUtf16Room = 64;

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

// UTF-8 to UTF-16 in windows of 64 bytes. A window is checked as a whole:
// mask compares give the lead bytes of each length and the continuation
// bytes, one table lookup gives the bounds of the byte after each lead (the
// rule that excludes overlong forms, surrogates and values past U+10FFFF),
// and the continuation bytes must sit exactly where the leads say. Then
// every position is decoded as if a character started there, and the lanes
// that hold a character (or the low surrogate of a four-byte one) are
// compressed to the front. The next window starts where the last character
// that fits ends, so the loop carries no state from one window to the next.

constexpr unsigned kWindow = 64;

// The bounds of the byte that follows each lead byte C0..FF, indexed by its
// low six bits. Leads that no well-formed text holds get bounds that no
// byte meets.
struct SecondByteBounds {
  alignas(64) unsigned char low[64];
  alignas(64) unsigned char high[64];

  constexpr SecondByteBounds() : low{}, high{} {
    for (unsigned lead = 0xC0; lead <= 0xFF; ++lead) {
      unsigned lo = 0x80;
      unsigned hi = 0xBF;
      if (lead < 0xC2 || lead > 0xF4) {
        lo = 0xFF;
        hi = 0x00;
      } else if (lead == 0xE0) {
        lo = 0xA0; // shorter forms exist below U+0800
      } else if (lead == 0xED) {
        hi = 0x9F; // D800..DFFF are surrogates
      } else if (lead == 0xF0) {
        lo = 0x90; // shorter forms exist below U+10000
      } else if (lead == 0xF4) {
        hi = 0x8F; // nothing above U+10FFFF
      }
      low[lead - 0xC0] = static_cast<unsigned char>(lo);
      high[lead - 0xC0] = static_cast<unsigned char>(hi);
    }
  }
};
constexpr SecondByteBounds kSecondByte;

// Lane k takes byte k + shift (the last lanes repeat the last byte).
struct ShiftIndex {
  alignas(64) unsigned char by[3][64];
  constexpr ShiftIndex() : by{} {
    for (unsigned shift = 1; shift <= 3; ++shift) {
      for (unsigned k = 0; k < 64; ++k) {
        by[shift - 1][k] = static_cast<unsigned char>(k + shift < 64 ? k + shift : 63);
      }
    }
  }
};
constexpr ShiftIndex kShift;

TSK_KERNEL __m512i load512(const void* p) { return _mm512_load_si512(p); }

TSK_KERNEL __m512i bytesAfter(__m512i v, unsigned shift) {
  return _mm512_permutexvar_epi8(load512(kShift.by[shift - 1]), v);
}

TSK_KERNEL __m512i splatBytes(unsigned value) { return _mm512_set1_epi8(static_cast<char>(value)); }

struct WindowResult {
  unsigned read; // 0: the window holds ill-formed input, or its output does not fit
  unsigned written;
};

// The lead masks of one window, restricted to the characters it takes.
struct Leads {
  uint64_t any;   // C0..FF
  uint64_t three; // E0..FF
  uint64_t four;  // F0..FF
};

TSK_KERNEL __m256i halfOf(__m512i v, unsigned half) {
  return half == 0 ? _mm512_castsi512_si256(v) : _mm512_extracti64x4_epi64(v, 1);
}

// The UTF-16 units of 32 positions whose first three bytes are in b0, b1,
// b2, with their lead masks (bit k for position k).
TSK_KERNEL __m512i decode32(__m256i first, __m256i second, __m256i third, uint32_t two,
                            uint32_t three, uint32_t four, uint32_t lowSurrogate) {
  const __m512i b0 = _mm512_cvtepu8_epi16(first);
  const __m512i c1 = _mm512_and_si512(_mm512_cvtepu8_epi16(second), wide16(0x3F));
  const __m512i c2 = _mm512_and_si512(_mm512_cvtepu8_epi16(third), wide16(0x3F));
  const __m512i tail = _mm512_or_si512(_mm512_slli_epi16(c1, 6), c2);
  const __m512i twoUnit =
      _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(b0, wide16(0x1F)), 6), c1);
  const __m512i threeUnit = _mm512_or_si512(_mm512_slli_epi16(b0, 12), tail);
  // The scalar value shifted right by 10, plus D7C0: the high surrogate.
  const __m512i high = _mm512_add_epi16(
      _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(b0, wide16(0x07)), 8),
                                      _mm512_slli_epi16(c1, 2)),
                      _mm512_srli_epi16(c2, 4)),
      wide16(0xD7C0));
  // A low surrogate's lane holds the second byte of its character: its own
  // "tail" is the third and fourth bytes.
  const __m512i low = _mm512_or_si512(_mm512_and_si512(tail, wide16(0x3FF)), wide16(0xDC00));
  __m512i unit = _mm512_mask_mov_epi16(b0, lowSurrogate, low);
  unit = _mm512_mask_mov_epi16(unit, two, twoUnit);
  unit = _mm512_mask_mov_epi16(unit, three, threeUnit);
  return _mm512_mask_mov_epi16(unit, four, high);
}

// Converts the characters of the window v whose first `size` bytes are the
// input's. With `last` false the window stops before any character that
// might not end within it; with `last` true the input ends with the window.
template <bool kWrite>
TSK_KERNEL WindowResult utf8Window(__m512i v, unsigned size, bool last, uint64_t nonAscii,
                                   tsk_wchar_t* d, size_t room) {
  const uint64_t present = _bzhi_u64(~uint64_t{0}, size);
  uint64_t lead = _mm512_cmpge_epu8_mask(v, splatBytes(0xC0)) & present;
  const uint64_t continuation = nonAscii & ~lead & present;
  // A character that starts in the last three bytes may go on past them.
  unsigned end = size;
  if (!last) {
    const uint64_t starts = ~continuation & present;
    end = size - 3 + static_cast<unsigned>(_tzcnt_u64((starts >> (size - 3)) | 8));
  }
  const uint64_t taken = _bzhi_u64(~uint64_t{0}, end);
  lead &= taken;
  const uint64_t three = _mm512_cmpge_epu8_mask(v, splatBytes(0xE0)) & taken;
  const uint64_t four = _mm512_cmpge_epu8_mask(v, splatBytes(0xF0)) & taken;
  const uint64_t expected = (lead << 1) | (three << 2) | (four << 3);
  // Leads so near the end of 64 bytes that their continuations would
  // shift out of the masks.
  const uint64_t cutShort = (lead >> 63) | (three >> 62) | (four >> 61);
  const __m512i second = bytesAfter(v, 1);
  const uint64_t outOfBounds =
      _mm512_mask_cmplt_epu8_mask(lead, second,
                                  _mm512_permutexvar_epi8(v, load512(kSecondByte.low))) |
      _mm512_mask_cmpgt_epu8_mask(lead, second,
                                  _mm512_permutexvar_epi8(v, load512(kSecondByte.high)));
  if ((((continuation & taken) ^ expected) | cutShort | outOfBounds) != 0) {
    return {0, 0};
  }
  const uint64_t lowSurrogate = four << 1;
  const uint64_t keep = (~continuation & taken) | lowSurrogate;
  const auto written = static_cast<unsigned>(_mm_popcnt_u64(keep));
  if constexpr (kWrite) {
    if (room < written) {
      return {0, 0};
    }
    const __m512i third = bytesAfter(v, 2);
    const uint64_t two = lead & ~three;
    const uint64_t threeOnly = three & ~four;
    unsigned at = 0;
    for (unsigned half = 0; half < 2; ++half) {
      const unsigned shift = 32 * half;
      const __m512i units = decode32(
          halfOf(v, half), halfOf(second, half), halfOf(third, half),
          static_cast<uint32_t>(two >> shift), static_cast<uint32_t>(threeOnly >> shift),
          static_cast<uint32_t>(four >> shift), static_cast<uint32_t>(lowSurrogate >> shift));
      const auto kept = static_cast<uint32_t>(keep >> shift);
      const auto count = static_cast<unsigned>(_mm_popcnt_u32(kept));
      _mm512_mask_storeu_epi16(d + at, _bzhi_u32(~0u, count),
                               _mm512_maskz_compress_epi16(kept, units));
      at += count;
    }
  }
  return {end, written};
}

// Plain ASCII: the window's bytes widened, written exactly.
TSK_KERNEL void widenAscii(__m512i v, unsigned size, tsk_wchar_t* d) {
  _mm512_mask_storeu_epi16(d, _bzhi_u32(~0u, size), _mm512_cvtepu8_epi16(halfOf(v, 0)));
  _mm512_mask_storeu_epi16(d + 32, _bzhi_u32(~0u, size > 32 ? size - 32 : 0),
                           _mm512_cvtepu8_epi16(halfOf(v, 1)));
}

template <bool kWrite>
TSK_KERNEL WindowResult utf8Step(__m512i v, unsigned size, bool last, tsk_wchar_t* d, size_t room) {
  const uint64_t nonAscii = _mm512_movepi8_mask(v);
  if (nonAscii != 0) {
    return utf8Window<kWrite>(v, size, last, nonAscii, d, room);
  }
  if constexpr (kWrite) {
    if (room < size) {
      return {0, 0};
    }
    widenAscii(v, size, d);
  }
  return {size, size};
}

template <bool kWrite>
TSK_KERNEL Progress utf8Windows(const unsigned char* s, size_t n, tsk_wchar_t* d, size_t cap) {
  size_t i = 0;
  size_t o = 0;
  while (n - i > kWindow) {
    const WindowResult r = utf8Step<kWrite>(_mm512_loadu_si512(s + i), kWindow, false,
                                            kWrite ? d + o : nullptr, cap - o);
    if (r.read == 0) {
      return {i, o, false};
    }
    i += r.read;
    o += r.written;
  }
  // The last bytes, at most one window: a masked load reads nothing past
  // them.
  const auto size = static_cast<unsigned>(n - i);
  if (size != 0) {
    const __m512i v = _mm512_maskz_loadu_epi8(_bzhi_u64(~uint64_t{0}, size), s + i);
    const WindowResult r = utf8Step<kWrite>(v, size, true, kWrite ? d + o : nullptr, cap - o);
    i += r.read;
    o += r.written;
  }
  return {i, o, false};
}

__attribute__((target(TSK_UNICODE_TARGET))) Progress
windowsFromUtf8(const unsigned char* s, size_t n, tsk_wchar_t* d, size_t cap) {
  return d == nullptr ? utf8Windows<false>(s, n, nullptr, 0) : utf8Windows<true>(s, n, d, cap);
}

} // namespace

const Kernels kAvx512Kernels = {
    Level::kAvx512, "avx512", windowsFromUtf8, utf16Kernel<Ascii64>, nullptr, nullptr,
};

} // namespace tsk::unicode
