// The AVX-512 kernels (with VBMI2): whole windows of 64 bytes or 32 units
// at a time. The kinds of the positions come out of mask compares, every
// position is converted as if a character started there, and the lanes to
// keep are packed with the compress instructions. Writes are masked to
// exactly the elements converted.
#include "unicode/kernels.h"

#include <cstring>

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

// Every function here is compiled for this level alone.
#define TSK_AVX512                                                                                 \
  __attribute__((                                                                                  \
      target("avx512f,avx512bw,avx512cd,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))
#define TSK_KERNEL TSK_AVX512 inline __attribute__((always_inline))

TSK_KERNEL __m512i wide16(unsigned value) { return _mm512_set1_epi16(static_cast<short>(value)); }
TSK_KERNEL __m512i wide32(unsigned value) { return _mm512_set1_epi32(static_cast<int>(value)); }

TSK_KERNEL __m512i splatBytes(unsigned value) { return _mm512_set1_epi8(static_cast<char>(value)); }

TSK_KERNEL __m512i load512(const void* p) { return _mm512_load_si512(p); }

TSK_KERNEL __m256i halfOf(__m512i v, unsigned half) {
  return half == 0 ? _mm512_castsi512_si256(v) : _mm512_extracti64x4_epi64(v, 1);
}

TSK_KERNEL uint64_t lowBits(unsigned count) { return _bzhi_u64(~uint64_t{0}, count); }

struct WindowResult {
  unsigned read; // 0: the window holds ill-formed input, or its output does not fit
  unsigned written;
};

// Which way the windows of one conversion go. Each kind of window has a
// short way (plain ASCII, characters of one and two bytes) besides the
// general one, but text that keeps changing between the kinds would make
// the branch between them mispredict at almost every window. So once a
// window needs the general way, the windows after it keep to it until a
// few in a row could have gone a shorter way.
struct Route {
  bool general = false;
  unsigned easyInARow = 0;
};
constexpr unsigned kEasyWindowsToLeave = 2;

// Whether a window goes the general way; `needed` whether it must.
TSK_KERNEL bool goesTheGeneralWay(Route& route, bool needed) {
  if (!route.general) {
    route.general = needed;
    route.easyInARow = 0;
    return needed;
  }
  route.easyInARow = needed ? 0 : route.easyInARow + 1;
  if (route.easyInARow >= kEasyWindowsToLeave) {
    route.general = false;
  }
  return true;
}

// UTF-8 to UTF-16 in windows of 64 bytes. A window is checked as a whole:
// mask compares give the lead bytes of each length and the continuation
// bytes, one table lookup gives the bounds of the byte after each lead (the
// rule that excludes overlong forms, surrogates and values past U+10FFFF),
// and the continuation bytes must sit exactly where the leads say. Then
// every position is decoded as if a character started there, and the lanes
// that hold a character (or the low surrogate of a four-byte one) are
// compressed to the front. The next window starts where the last character
// that fits ends, so no character is ever split between two windows.

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
  alignas(64) unsigned char by[2][64];
  constexpr ShiftIndex() : by{} {
    for (unsigned shift = 1; shift <= 2; ++shift) {
      for (unsigned k = 0; k < 64; ++k) {
        by[shift - 1][k] = static_cast<unsigned char>(k + shift < 64 ? k + shift : 63);
      }
    }
  }
};
constexpr ShiftIndex kShift;

TSK_KERNEL __m512i bytesAfter(__m512i v, unsigned shift) {
  return _mm512_permutexvar_epi8(load512(kShift.by[shift - 1]), v);
}

// The UTF-16 units of 32 positions, as if a character started at each:
// `first`, `second` and `third` hold each position's byte and the two
// after it; the masks (bit k for position k) give the leads of two, three
// and four bytes and the positions that take a low surrogate.
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

// Lane k of half h holds byte 32h + k and the byte after it.
struct PairIndex {
  alignas(64) unsigned char half[2][64];
  constexpr PairIndex() : half{} {
    for (unsigned h = 0; h < 2; ++h) {
      for (unsigned k = 0; k < 32; ++k) {
        const unsigned at = 32 * h + k;
        half[h][2 * k] = static_cast<unsigned char>(at);
        half[h][2 * k + 1] = static_cast<unsigned char>(at < 63 ? at + 1 : 63);
      }
    }
  }
};
constexpr PairIndex kPairs;

// The UTF-16 units of 32 positions of a window that holds characters of
// one and two bytes only: each position's byte and the next in a 16-bit
// lane, where one multiply-add joins a lead's five bits to the six of its
// continuation.
TSK_KERNEL __m512i decodeTwoByte32(__m512i v, unsigned half, uint32_t ascii) {
  const __m512i pairs = _mm512_permutexvar_epi8(load512(kPairs.half[half]), v);
  const __m512i two = _mm512_maddubs_epi16(_mm512_and_si512(pairs, wide16(0x3F1F)), wide16(0x0140));
  return _mm512_mask_mov_epi16(two, ascii, _mm512_and_si512(pairs, wide16(0x00FF)));
}

// Where the characters that a full window of UTF-8 at s takes end: at the
// first character that starts in its last three bytes (it may go on past
// them), or after them all. Scalar code, so that the next window's load
// waits for nothing from the vector unit.
TSK_KERNEL unsigned windowEnd(const unsigned char* s) {
  uint32_t tail; // bytes 60..63, the last three in the high 24 bits
  std::memcpy(&tail, s + 60, 4);
  // Bit 7 of each byte that is a continuation (10xxxxxx).
  const uint32_t continuation = tail & ~(tail << 1) & 0x80808000;
  const uint64_t starts = (~continuation & 0x80808000) | (uint64_t{1} << 39); // or at 64
  return 60 + static_cast<unsigned>(_tzcnt_u64(starts)) / 8;
}

// The same for 32 units: a high surrogate in the last waits for the next.
TSK_KERNEL unsigned windowEnd(const tsk_wchar_t* s) { return (s[31] & 0xFC00) == 0xD800 ? 31 : 32; }

// Converts the characters of the window v whose first `size` bytes are the
// input's, up to `end`: the window's end (windowEnd) or, when the input
// ends with the window, `size`.
template <bool kWrite>
TSK_KERNEL WindowResult utf8Window(__m512i v, unsigned size, unsigned end, uint64_t nonAscii,
                                   tsk_wchar_t* d, size_t room, Route& route) {
  const uint64_t present = lowBits(size);
  uint64_t lead = _mm512_cmpge_epu8_mask(v, splatBytes(0xC0)) & present;
  const uint64_t continuation = nonAscii & ~lead & present;
  const uint64_t taken = lowBits(end);
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
    // Both halves decoded before either is stored, with no branch between
    // them, so that their work interleaves.
    const auto part = [](uint64_t mask, unsigned half) {
      return static_cast<uint32_t>(mask >> (32 * half));
    };
    __m512i units[2];
    if (goesTheGeneralWay(route, three != 0)) {
      const __m512i third = bytesAfter(v, 2);
      const uint64_t two = lead & ~three;
      const uint64_t threeOnly = three & ~four;
      for (unsigned half = 0; half < 2; ++half) {
        units[half] =
            decode32(halfOf(v, half), halfOf(second, half), halfOf(third, half), part(two, half),
                     part(threeOnly, half), part(four, half), part(lowSurrogate, half));
      }
    } else {
      for (unsigned half = 0; half < 2; ++half) {
        units[half] = decodeTwoByte32(v, half, part(~nonAscii, half));
      }
    }
    unsigned at = 0;
    for (unsigned half = 0; half < 2; ++half) {
      const uint32_t kept = part(keep, half);
      const auto count = static_cast<unsigned>(_mm_popcnt_u32(kept));
      _mm512_mask_storeu_epi16(d + at, _bzhi_u32(~0u, count),
                               _mm512_maskz_compress_epi16(kept, units[half]));
      at += count;
    }
  }
  return {end, written};
}

// Plain ASCII: the window's bytes widened, written exactly.
TSK_KERNEL void storeAscii(__m512i v, unsigned size, tsk_wchar_t* d) {
  _mm512_mask_storeu_epi16(d, _bzhi_u32(~0u, size), _mm512_cvtepu8_epi16(halfOf(v, 0)));
  _mm512_mask_storeu_epi16(d + 32, _bzhi_u32(~0u, size > 32 ? size - 32 : 0),
                           _mm512_cvtepu8_epi16(halfOf(v, 1)));
}

template <bool kWrite>
TSK_KERNEL WindowResult convertWindow(__m512i v, const unsigned char* s, unsigned size, bool last,
                                      tsk_wchar_t* d, size_t room, Route& route) {
  const uint64_t nonAscii = _mm512_movepi8_mask(v);
  if (nonAscii != 0 || route.general) {
    return utf8Window<kWrite>(v, size, last ? size : windowEnd(s), nonAscii, d, room, route);
  }
  if constexpr (kWrite) {
    if (room < size) {
      return {0, 0};
    }
    storeAscii(v, size, d);
  }
  return {size, size};
}

// UTF-16 to UTF-8 in windows of 32 units. Surrogates must come in pairs,
// high then low; a high one in the last unit of a window waits for the
// next. Each character's bytes are built in the 32-bit lane of its first
// unit, 16 lanes at a time, and the bytes to keep are compressed to the
// front. Windows of characters below U+0800 alone take a shorter way.

// 32-bit lane k of half h holds unit 16h + k and the unit after it (the
// last lane repeats the last unit).
struct UnitPairIndex {
  alignas(64) uint16_t half[2][32];
  constexpr UnitPairIndex() : half{} {
    for (unsigned h = 0; h < 2; ++h) {
      for (unsigned k = 0; k < 16; ++k) {
        const unsigned at = 16 * h + k;
        half[h][2 * k] = static_cast<uint16_t>(at);
        half[h][2 * k + 1] = static_cast<uint16_t>(at < 31 ? at + 1 : 31);
      }
    }
  }
};
constexpr UnitPairIndex kUnitPairs;

// What a character's UTF-8 form looks like, by the leading zero bits of
// its scalar value (index 0 standing for 32, a zero value): how far to
// shift the value so that its bytes' bits always lie at the same places,
// the length prefix and continuation marks of its bytes, and which of the
// four bytes it has.
struct ByLeadingZeros {
  alignas(64) uint32_t shift[32];
  alignas(64) uint32_t marks[32];
  alignas(64) uint32_t present[32];

  constexpr ByLeadingZeros() : shift{}, marks{}, present{} {
    constexpr uint32_t kPrefix[] = {0x00, 0xC0, 0xE0, 0xF0};
    for (unsigned index = 0; index < 32; ++index) {
      const unsigned bits = index == 0 ? 0 : 32 - index;
      const unsigned length = bits <= 7 ? 1 : bits <= 11 ? 2 : bits <= 16 ? 3 : 4;
      shift[index] = 6 * (4 - length);
      marks[index] = 0x80808000 | kPrefix[length - 1];
      present[index] = length == 4 ? 0xFFFFFFFF : (uint32_t{1} << (8 * length)) - 1;
    }
  }
};
constexpr ByLeadingZeros kByLeadingZeros;

TSK_KERNEL __m512i lookUp(const uint32_t (&table)[32], __m512i index) {
  return _mm512_permutex2var_epi32(load512(table), index, load512(table + 16));
}

// The UTF-8 bytes of 16 units, unit k's in 32-bit lane k, first byte
// lowest (a pair's four in its high surrogate's lane, none in the low
// one's), for the units in `lead` (those that start a character). The value, shifted by 6 bits per
// byte it lacks of four, has its bytes' bits at fixed places: one multishift gathers them and one
// logic step adds the marks. Sets `keep` to the bytes that belong to the text.
TSK_KERNEL __m512i encode16(__m512i u, unsigned half, uint32_t high, uint32_t lead,
                            uint64_t& keep) {
  // A pair's scalar value, (high - D800) << 10 | (low - DC00), plus 10000,
  // from one multiply-add of each unit and the next read as signed:
  // high * 1024 + low - 4010000. Computed whether or not the half holds a
  // pair: a branch here costs more than it saves.
  const __m512i pairs = _mm512_permutexvar_epi16(load512(kUnitPairs.half[half]), u);
  const __m512i value = _mm512_mask_add_epi32(_mm512_cvtepu16_epi32(halfOf(u, half)), high,
                                              _mm512_madd_epi16(pairs, wide32(0x00010400)),
                                              wide32(0x4010000 - 0x35FDC00));
  const __m512i zeros = _mm512_lzcnt_epi32(value);
  const __m512i present = _mm512_maskz_permutex2var_epi32(static_cast<__mmask16>(lead),
                                                          load512(kByLeadingZeros.present), zeros,
                                                          load512(kByLeadingZeros.present + 16));
  keep = _mm512_test_epi8_mask(present, present);
  // Byte j of a lane takes bits 18 - 6j and up of its shifted value.
  const __m512i fields =
      _mm512_multishift_epi64_epi8(_mm512_set1_epi64(0x20262C3200060C12),
                                   _mm512_sllv_epi32(value, lookUp(kByLeadingZeros.shift, zeros)));
  return _mm512_ternarylogic_epi32(fields, wide32(0x3F3F3FFF), lookUp(kByLeadingZeros.marks, zeros),
                                   0xEA); // (a & b) | c
}

// Units below U+0800 only: one or two bytes each, built in 16-bit lanes.
template <bool kWrite>
TSK_KERNEL unsigned encodeTwoByteWindow(__m512i u, uint32_t taken, uint32_t nonAscii,
                                        unsigned char* d) {
  const uint64_t keep =
      _pdep_u64(taken, 0x5555555555555555) | _pdep_u64(nonAscii, 0xAAAAAAAAAAAAAAAA);
  const auto count = static_cast<unsigned>(_mm_popcnt_u64(keep));
  if constexpr (kWrite) {
    // 110xxxxx 10xxxxxx, the first byte in the low half of the lane.
    const __m512i two =
        _mm512_or_si512(_mm512_or_si512(_mm512_srli_epi16(u, 6),
                                        _mm512_slli_epi16(_mm512_and_si512(u, wide16(0x3F)), 8)),
                        wide16(0x80C0));
    const __m512i bytes = _mm512_mask_mov_epi16(two, taken & ~nonAscii, u);
    _mm512_mask_storeu_epi8(d, lowBits(count), _mm512_maskz_compress_epi8(keep, bytes));
  }
  return count;
}

// Converts the units of the window u whose first `size` are the input's.
template <bool kWrite>
TSK_KERNEL WindowResult utf16Window(__m512i u, unsigned end, uint32_t nonAscii, unsigned char* d,
                                    size_t room, Route& route) {
  const __m512i kind = _mm512_and_si512(u, wide16(0xFC00));
  const uint32_t highs = _mm512_cmpeq_epi16_mask(kind, wide16(0xD800));
  const uint32_t lows = _mm512_cmpeq_epi16_mask(kind, wide16(0xDC00));
  const auto taken = static_cast<uint32_t>(lowBits(end));
  const uint32_t high = highs & taken;
  const uint32_t low = lows & taken;
  if (((uint64_t{high} << 1) ^ low) != 0) {
    return {0, 0};
  }
  nonAscii &= taken;
  const uint32_t aboveTwo = _mm512_mask_cmpge_epu16_mask(taken & ~low, u, wide16(0x800));
  if (!goesTheGeneralWay(route, aboveTwo != 0)) {
    if (kWrite && room < end + static_cast<unsigned>(_mm_popcnt_u32(nonAscii))) {
      return {0, 0};
    }
    return {end, encodeTwoByteWindow<kWrite>(u, taken, nonAscii, d)};
  }
  const uint32_t lead = taken & ~low;
  nonAscii &= lead;
  const auto written = static_cast<unsigned>(_mm_popcnt_u32(lead) + _mm_popcnt_u32(nonAscii) +
                                             _mm_popcnt_u32(aboveTwo) + _mm_popcnt_u32(high));
  if constexpr (kWrite) {
    if (room < written) {
      return {0, 0};
    }
    unsigned at = 0;
    for (unsigned half = 0; half < 2; ++half) {
      const unsigned shift = 16 * half;
      const auto part = [shift](uint32_t mask) { return (mask >> shift) & 0xFFFF; };
      uint64_t keep;
      const __m512i bytes = encode16(u, half, part(high), part(lead), keep);
      const auto count = static_cast<unsigned>(_mm_popcnt_u64(keep));
      _mm512_mask_storeu_epi8(d + at, lowBits(count), _mm512_maskz_compress_epi8(keep, bytes));
      at += count;
    }
  }
  return {end, written};
}

// Plain ASCII: the window's units narrowed, written exactly.
TSK_KERNEL void storeAscii(__m512i u, unsigned size, unsigned char* d) {
  _mm256_mask_storeu_epi8(d, static_cast<uint32_t>(lowBits(size)), _mm512_cvtepi16_epi8(u));
}

template <bool kWrite>
TSK_KERNEL WindowResult convertWindow(__m512i u, const tsk_wchar_t* s, unsigned size, bool last,
                                      unsigned char* d, size_t room, Route& route) {
  const uint32_t nonAscii = _mm512_test_epi16_mask(u, wide16(0xFF80));
  if (nonAscii != 0 || route.general) {
    return utf16Window<kWrite>(u, last ? size : windowEnd(s), nonAscii, d, room, route);
  }
  if constexpr (kWrite) {
    if (room < size) {
      return {0, 0};
    }
    storeAscii(u, size, d);
  }
  return {size, size};
}

// The window loop of both directions: 64 bytes of input at a time, each
// window starting where the previous one stopped. The last window is read
// with a masked load, which touches nothing past the input.
//
// With kUntilZero the input also ends at its first zero element. Its
// windows are then read whole wherever that stays within the page where
// the string is known to go on, so they may read past the zero, never
// into a page the string does not reach; the memory sanitizers, which
// would flag those reads, are told not to watch them.
#define TSK_UNWATCHED __attribute__((no_sanitize("address", "thread")))

constexpr size_t kPage = 4096;

// Whether `count` windows from p lie inside one page.
TSK_KERNEL bool windowsInPage(const void* p, unsigned count) {
  return (reinterpret_cast<uintptr_t>(p) & (kPage - 1)) <= kPage - 64 * count;
}

TSK_UNWATCHED TSK_KERNEL __m512i loadWhole(const void* p) { return _mm512_loadu_si512(p); }

TSK_KERNEL __m512i loadFirst(const unsigned char* p, unsigned count) {
  return _mm512_maskz_loadu_epi8(lowBits(count), p);
}
TSK_KERNEL __m512i loadFirst(const tsk_wchar_t* p, unsigned count) {
  return _mm512_maskz_loadu_epi16(static_cast<uint32_t>(lowBits(count)), p);
}
TSK_KERNEL uint64_t zerosIn(__m512i v, const unsigned char*) {
  return _mm512_cmpeq_epi8_mask(v, _mm512_setzero_si512());
}
TSK_KERNEL uint64_t zerosIn(__m512i v, const tsk_wchar_t*) {
  return _mm512_cmpeq_epi16_mask(v, _mm512_setzero_si512());
}

// Whether every element is ASCII and none is zero: one compare of each
// element less one against 7F.
TSK_KERNEL bool plainAscii(__m512i v, const unsigned char*) {
  return _mm512_cmpge_epu8_mask(_mm512_sub_epi8(v, splatBytes(1)), splatBytes(0x7F)) == 0;
}
TSK_KERNEL bool plainAscii(__m512i v, const tsk_wchar_t*) {
  return _mm512_cmpge_epu16_mask(_mm512_sub_epi16(v, wide16(1)), wide16(0x7F)) == 0;
}

// A window of a zero-terminated string at p, bounded by `left` elements:
// sets `size` to the elements it holds before the string's end (its zero,
// the bound) and `atZero` when a zero ends it.
template <typename In>
TSK_UNWATCHED TSK_KERNEL __m512i loadUntilZero(const In* p, size_t left, unsigned& size,
                                               bool& atZero) {
  constexpr unsigned kWidth = 64 / sizeof(In);
  __m512i v;
  if (left > kWidth && windowsInPage(p, 1)) {
    // Most windows: a whole one, inside the bound and inside one page.
    size = kWidth;
    v = loadWhole(p);
    const uint64_t zeros = zerosIn(v, p);
    atZero = zeros != 0;
    if (atZero) {
      size = static_cast<unsigned>(_tzcnt_u64(zeros));
    }
    return v;
  }
  const size_t inPage = (kPage - (reinterpret_cast<uintptr_t>(p) & (kPage - 1))) / sizeof(In);
  size = left < kWidth ? static_cast<unsigned>(left) : kWidth;
  if (inPage >= size) {
    v = size == kWidth ? _mm512_loadu_si512(p) : loadFirst(p, size);
  } else {
    v = loadFirst(p, static_cast<unsigned>(inPage));
    // Without a zero in this page the string goes on into the next one.
    if ((zerosIn(v, p) & lowBits(static_cast<unsigned>(inPage))) == 0 && left > inPage) {
      v = _mm512_loadu_si512(p);
    } else {
      size = static_cast<unsigned>(inPage);
    }
  }
  const uint64_t zeros = zerosIn(v, p) & lowBits(size);
  atZero = zeros != 0;
  if (atZero) {
    size = static_cast<unsigned>(_tzcnt_u64(zeros));
  }
  return v;
}

// Converts the plain ASCII (no zero) at the start of a zero-terminated
// string, two whole windows at a time, while they lie inside the bound,
// the room and one page; returns the elements converted. With d null it
// only counts.
template <typename In, typename Out>
TSK_UNWATCHED TSK_KERNEL size_t asciiRun(const In* s, size_t left, Out* d, size_t room) {
  constexpr size_t kStep = 2 * (64 / sizeof(In));
  size_t i = 0;
  while (left - i > kStep && room - i >= kStep && windowsInPage(s + i, 2)) {
    const __m512i first = loadWhole(s + i);
    const __m512i second = loadWhole(s + i + kStep / 2);
    if (!plainAscii(first, s) || !plainAscii(second, s)) {
      break;
    }
    if (d != nullptr) {
      storeAscii(first, kStep / 2, d + i);
      storeAscii(second, kStep / 2, d + i + kStep / 2);
    }
    i += kStep;
  }
  return i;
}

constexpr unsigned kAsciiWindowsToRun = 2;

template <bool kWrite, bool kUntilZero, typename In, typename Out>
TSK_KERNEL Progress windowLoop(const In* s, size_t n, Out* d, size_t cap) {
  constexpr unsigned kWidth = 64 / sizeof(In);
  size_t i = 0;
  size_t o = 0;
  Route route;
  // Plain ASCII windows in a row; a string starts as if after a run.
  unsigned asciiWindows = kAsciiWindowsToRun;
  while (i < n) {
    if constexpr (kUntilZero) {
      // Long runs of ASCII: two windows at a time, with one check for the
      // end and the kind together, once the windows before were plain
      // ASCII (text with a few other characters in every line would waste
      // the check at almost every window).
      if (asciiWindows >= kAsciiWindowsToRun) {
        const size_t run =
            asciiRun(s + i, n - i, kWrite ? d + o : nullptr, kWrite ? cap - o : SIZE_MAX);
        i += run;
        o += run;
        asciiWindows = 0;
      }
    }
    const size_t left = n - i;
    unsigned size = kWidth;
    bool atZero = false;
    __m512i v;
    if constexpr (kUntilZero) {
      v = loadUntilZero(s + i, left, size, atZero);
    } else if (left >= kWidth) {
      v = _mm512_loadu_si512(s + i);
    } else {
      size = static_cast<unsigned>(left);
      v = loadFirst(s + i, size);
    }
    const bool last = size < kWidth || left == kWidth;
    const WindowResult r =
        convertWindow<kWrite>(v, s + i, size, last, kWrite ? d + o : nullptr, cap - o, route);
    if (r.read == 0 && size != 0) {
      break;
    }
    i += r.read;
    o += r.written;
    asciiWindows = r.read == kWidth && r.written == kWidth ? asciiWindows + 1 : 0;
    if (last) {
      return {i, o, atZero};
    }
  }
  return {i, o, false};
}

template <typename In, typename Out>
TSK_AVX512 Progress windowKernel(const In* s, size_t n, Out* d, size_t cap) {
  return d == nullptr ? windowLoop<false, false>(s, n, static_cast<Out*>(nullptr), 0)
                      : windowLoop<true, false>(s, n, d, cap);
}

// Unwatched as a whole: the sanitizers instrument what is inlined into a
// function by that function's own attributes.
template <typename In, typename Out>
TSK_UNWATCHED TSK_AVX512 Progress windowKernelUntilZero(const In* s, size_t n, Out* d, size_t cap) {
  return d == nullptr ? windowLoop<false, true>(s, n, static_cast<Out*>(nullptr), 0)
                      : windowLoop<true, true>(s, n, d, cap);
}

} // namespace

const Kernels kAvx512Kernels = {
    Level::kAvx512,
    "avx512",
    windowKernel<unsigned char, tsk_wchar_t>,
    windowKernel<tsk_wchar_t, unsigned char>,
    windowKernelUntilZero<unsigned char, tsk_wchar_t>,
    windowKernelUntilZero<tsk_wchar_t, unsigned char>,
};

} // namespace tsk::unicode
