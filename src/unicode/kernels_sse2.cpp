// The SSE2 kernels, the x86-64 baseline. Runs of ASCII go through 16
// elements at a time, and so do runs of two- and of three-byte characters;
// a lone character between them goes alone. The UTF-8 blocks check what
// they take; a character that goes alone is decoded, and the kernel stops
// before one that is ill-formed.
#include "unicode/kernels.h"
#include "unicode/utf.h"

#include <cstdint>
#include <cstring>

#include <emmintrin.h>

namespace tsk::unicode {

namespace {

// Number of leading bytes below 0x80 among the 16 bytes at s (16: all).
inline unsigned asciiPrefix16(const unsigned char* s) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(v));
  return mask == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(mask));
}

// Widens 16 ASCII bytes to 16 units.
inline void widen16(const unsigned char* s, tsk_wchar_t* d) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v, zero));
}

// Number of leading units below 0x80 among the 16 units at s (16: all).
inline unsigned asciiPrefixUnits16(const tsk_wchar_t* s) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8));
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i zero = _mm_setzero_si128();
  const __m128i okA = _mm_cmpeq_epi16(_mm_and_si128(a, high), zero);
  const __m128i okB = _mm_cmpeq_epi16(_mm_and_si128(b, high), zero);
  // One bit per unit: pack the 16-bit lane results down to bytes.
  const unsigned ok = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(okA, okB)));
  return ok == 0xFFFF ? 16 : static_cast<unsigned>(__builtin_ctz(~ok));
}

// Narrows 16 ASCII units to 16 bytes.
inline void narrow16(const tsk_wchar_t* s, unsigned char* d) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(a, b));
}

// Set bits among the low 16 (no popcnt instruction in the baseline).
inline unsigned bitCount16(unsigned x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return (x + (x >> 8)) & 0x1Fu;
}

inline __m128i load16(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// Bit k set when byte k of the 64 at s is not ASCII.
inline uint64_t nonAsciiBytes64(const unsigned char* s) {
  uint64_t m = 0;
  for (int k = 0; k < 4; ++k) {
    m |= static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(load16(s + 16 * k))))
         << (16 * k);
  }
  return m;
}

// Bit k set when unit k of the 64 at s is not ASCII.
inline uint64_t nonAsciiUnits64(const tsk_wchar_t* s) {
  uint64_t m = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i a = load16(s + 16 * k);
    const __m128i b = load16(s + 16 * k + 8);
    // Signed saturation keeps the top bit of units from 8000, unsigned
    // saturation that of units from 0080 to 7FFF.
    const __m128i top = _mm_or_si128(_mm_packs_epi16(a, b), _mm_packus_epi16(a, b));
    m |= static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(top))) << (16 * k);
  }
  return m;
}

// UTF-8 block of ASCII and two-byte characters. Looks at the 17 bytes at s.
// Applies when the 16 bytes at s start on a character and hold nothing but
// ASCII and complete, well-formed two-byte characters (one starting at the
// last position takes the 17th byte with it). Returns the bytes taken (16 or
// 17) and sets `units` to the units produced, or returns 0. With kWrite,
// writes exactly `units` units at d.
template <bool kWrite>
inline unsigned twoByteBlock(const unsigned char* s, tsk_wchar_t* d, unsigned& units) {
  const __m128i v = load16(s);
  const __m128i next = load16(s + 1);
  const __m128i top2 = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i cont = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i isCont = _mm_cmpeq_epi8(_mm_and_si128(v, top2), cont);
  const __m128i nextCont = _mm_cmpeq_epi8(_mm_and_si128(next, top2), cont);
  // Signed bytes: C2..DF are -62..-33, ASCII is 0..127.
  const __m128i isLead = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(0xC1))),
                                       _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(0xE0))));
  const __m128i isAscii = _mm_cmpgt_epi8(v, _mm_set1_epi8(-1));
  const __m128i known = _mm_or_si128(_mm_or_si128(isAscii, isLead), isCont);
  // Every lead is followed by a continuation, and every continuation follows
  // a lead (none at position 0).
  const __m128i bad = _mm_or_si128(_mm_andnot_si128(nextCont, isLead),
                                   _mm_xor_si128(isCont, _mm_slli_si128(isLead, 1)));
  if ((static_cast<unsigned>(_mm_movemask_epi8(bad)) |
       (static_cast<unsigned>(_mm_movemask_epi8(known)) ^ 0xFFFFu)) != 0) {
    return 0;
  }
  const unsigned keep = ~static_cast<unsigned>(_mm_movemask_epi8(isCont)) & 0xFFFFu;
  units = bitCount16(keep);
  const unsigned taken = 16 + (static_cast<unsigned>(_mm_movemask_epi8(isLead)) >> 15);
  if constexpr (kWrite) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low5 = _mm_set1_epi16(0x1F);
    const __m128i low6 = _mm_set1_epi16(0x3F);
    alignas(16) uint16_t u[16];
    for (int half = 0; half < 2; ++half) {
      const __m128i b = half == 0 ? _mm_unpacklo_epi8(v, zero) : _mm_unpackhi_epi8(v, zero);
      const __m128i nb = half == 0 ? _mm_unpacklo_epi8(next, zero) : _mm_unpackhi_epi8(next, zero);
      const __m128i lead =
          half == 0 ? _mm_unpacklo_epi8(isLead, isLead) : _mm_unpackhi_epi8(isLead, isLead);
      const __m128i two =
          _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b, low5), 6), _mm_and_si128(nb, low6));
      const __m128i unit = _mm_or_si128(_mm_and_si128(lead, two), _mm_andnot_si128(lead, b));
      _mm_store_si128(reinterpret_cast<__m128i*>(u + 8 * half), unit);
    }
    // Position p writes at the number of characters starting before it (a
    // prefix sum of the kept positions), so that no store waits for the one
    // before: a continuation's unit is overwritten by the next position's.
    // The last position is written only if it is kept.
    __m128i at = _mm_and_si128(_mm_andnot_si128(isCont, _mm_set1_epi8(-1)), _mm_set1_epi8(1));
    at = _mm_add_epi8(at, _mm_slli_si128(at, 1));
    at = _mm_add_epi8(at, _mm_slli_si128(at, 2));
    at = _mm_add_epi8(at, _mm_slli_si128(at, 4));
    at = _mm_add_epi8(at, _mm_slli_si128(at, 8));
    alignas(16) uint8_t before[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(before), _mm_slli_si128(at, 1));
#pragma GCC unroll 16
    for (unsigned p = 0; p < 15; ++p) {
      d[before[p]] = u[p];
    }
    const unsigned o = before[15];
    const unsigned last = keep >> 15;
    d[o + last - 1] = last != 0 ? u[15] : u[14];
  }
  return taken;
}

// Four three-byte groups at bytes 0..11 of v, one per 32-bit lane.
inline __m128i spreadThrees(__m128i v) {
  const __m128i lane = _mm_set_epi32(0, 0, 0, 0x00FFFFFF);
  __m128i r = _mm_and_si128(v, lane);
  r = _mm_or_si128(r, _mm_and_si128(_mm_slli_si128(v, 1), _mm_slli_si128(lane, 4)));
  r = _mm_or_si128(r, _mm_and_si128(_mm_slli_si128(v, 2), _mm_slli_si128(lane, 8)));
  return _mm_or_si128(r, _mm_and_si128(_mm_slli_si128(v, 3), _mm_slli_si128(lane, 12)));
}

// Decodes the three-byte characters of spreadThrees; sets bad lanes in `bad`.
inline __m128i decodeThrees(__m128i t, __m128i& bad) {
  const __m128i shape =
      _mm_cmpeq_epi32(_mm_and_si128(t, _mm_set1_epi32(0x00C0C0F0)), _mm_set1_epi32(0x008080E0));
  const __m128i c =
      _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_slli_epi32(t, 12), _mm_set1_epi32(0xF000)),
                                _mm_and_si128(_mm_srli_epi32(t, 2), _mm_set1_epi32(0x0FC0))),
                   _mm_and_si128(_mm_srli_epi32(t, 16), _mm_set1_epi32(0x3F)));
  // Overlong forms have the top five bits clear; surrogates are D800..DFFF.
  const __m128i top5 = _mm_and_si128(c, _mm_set1_epi32(0xF800));
  bad = _mm_or_si128(bad, _mm_or_si128(_mm_cmpeq_epi32(top5, _mm_setzero_si128()),
                                       _mm_cmpeq_epi32(top5, _mm_set1_epi32(0xD800))));
  bad = _mm_or_si128(bad, _mm_cmpeq_epi32(shape, _mm_setzero_si128()));
  return c;
}

// UTF-8 block of eight well-formed three-byte characters: the 24 bytes at s
// (28 must be readable). Returns whether it applies; with kWrite, writes the
// eight units at d.
template <bool kWrite>
inline bool threeByteBlock(const unsigned char* s, tsk_wchar_t* d) {
  __m128i bad = _mm_setzero_si128();
  const __m128i a = decodeThrees(spreadThrees(load16(s)), bad);
  const __m128i b = decodeThrees(spreadThrees(load16(s + 12)), bad);
  if (_mm_movemask_epi8(bad) != 0) {
    return false;
  }
  if constexpr (kWrite) {
    // packs saturates signed values: shift the range down and back.
    const __m128i bias = _mm_set1_epi32(0x8000);
    const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(a, bias), _mm_sub_epi32(b, bias));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                     _mm_xor_si128(packed, _mm_set1_epi16(static_cast<short>(0x8000))));
  }
  return true;
}

// UTF-16 block of eight units below U+0800. Returns the bytes they take, or 0
// when the block does not apply; with kWrite, writes exactly those bytes.
template <bool kWrite>
inline unsigned belowU800Block(const tsk_wchar_t* s, unsigned char* d) {
  const __m128i u = load16(s);
  const __m128i zero = _mm_setzero_si128();
  if (_mm_movemask_epi8(_mm_cmpeq_epi16(
          _mm_and_si128(u, _mm_set1_epi16(static_cast<short>(0xF800))), zero)) != 0xFFFF) {
    return 0;
  }
  const __m128i ascii =
      _mm_cmpeq_epi16(_mm_and_si128(u, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
  // One bit per unit: set for two-byte characters.
  const unsigned two =
      ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, zero))) & 0xFFu;
  const unsigned bytes = 8 + bitCount16(two);
  if constexpr (kWrite) {
    // Two-byte form: lead in the low byte, continuation in the high byte.
    const __m128i pair =
        _mm_or_si128(_mm_or_si128(_mm_srli_epi16(u, 6), _mm_set1_epi16(static_cast<short>(0x80C0))),
                     _mm_slli_epi16(_mm_and_si128(u, _mm_set1_epi16(0x3F)), 8));
    alignas(16) uint16_t w[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(w),
                    _mm_or_si128(_mm_and_si128(ascii, u), _mm_andnot_si128(ascii, pair)));
    // Two bytes per unit at the sum of the lengths before it, so that no
    // store waits for the one before; an ASCII unit's second byte is
    // overwritten by the next unit. The last one writes exactly its own bytes.
    __m128i at = _mm_sub_epi16(_mm_set1_epi16(2), _mm_srli_epi16(ascii, 15));
    at = _mm_add_epi16(at, _mm_slli_si128(at, 2));
    at = _mm_add_epi16(at, _mm_slli_si128(at, 4));
    at = _mm_add_epi16(at, _mm_slli_si128(at, 8));
    alignas(16) uint16_t before[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(before), _mm_slli_si128(at, 2));
#pragma GCC unroll 8
    for (unsigned k = 0; k < 7; ++k) {
      std::memcpy(d + before[k], &w[k], 2);
    }
    const unsigned o = before[7];
    const unsigned lastTwo = two >> 7;
    d[o] = static_cast<unsigned char>(w[7]);
    d[o + lastTwo] = static_cast<unsigned char>(w[7] >> (8 * lastTwo));
  }
  return bytes;
}

// Twelve bytes from four 32-bit lanes of three bytes each.
inline void storeThrees(__m128i t, unsigned char* d) {
  // Two characters per 64-bit lane, then the two lanes side by side.
  const __m128i y = _mm_or_si128(
      _mm_and_si128(t, _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF)),
      _mm_and_si128(_mm_srli_epi64(t, 8), _mm_set_epi32(0xFFFF, static_cast<int>(0xFF000000),
                                                        0xFFFF, static_cast<int>(0xFF000000))));
  const __m128i z =
      _mm_or_si128(_mm_and_si128(y, _mm_set_epi32(0, 0, -1, -1)),
                   _mm_and_si128(_mm_srli_si128(y, 2),
                                 _mm_set_epi32(0, 0xFFFFFFFF, static_cast<int>(0xFFFF0000), 0)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), z);
  const auto tail = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(z, 8)));
  std::memcpy(d + 8, &tail, 4);
}

// UTF-16 block of eight units from U+0800 to U+FFFF, no surrogates: 24
// bytes. Returns whether it applies.
template <bool kWrite>
inline bool threeByteUnitsBlock(const tsk_wchar_t* s, unsigned char* d) {
  const __m128i u = load16(s);
  const __m128i top5 = _mm_and_si128(u, _mm_set1_epi16(static_cast<short>(0xF800)));
  const __m128i bad =
      _mm_or_si128(_mm_cmpeq_epi16(top5, _mm_setzero_si128()),
                   _mm_cmpeq_epi16(top5, _mm_set1_epi16(static_cast<short>(0xD800))));
  if (_mm_movemask_epi8(bad) != 0) {
    return false;
  }
  if constexpr (kWrite) {
    const __m128i b0 = _mm_or_si128(_mm_srli_epi16(u, 12), _mm_set1_epi16(0xE0));
    const __m128i b1 = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(u, 6), _mm_set1_epi16(0x3F)),
                                    _mm_set1_epi16(0x80));
    const __m128i b2 = _mm_or_si128(_mm_and_si128(u, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
    const __m128i first = _mm_or_si128(b0, _mm_slli_epi16(b1, 8));
    storeThrees(_mm_unpacklo_epi16(first, b2), d);
    storeThrees(_mm_unpackhi_epi16(first, b2), d + 12);
  }
  return true;
}

// One well-formed UTF-8 character at s[i] (i < n) to UTF-16; the caller
// knows that two units fit. False, with nothing done, for an ill-formed one.
template <bool kWrite>
inline bool utf8Step(const unsigned char* s, size_t n, size_t& i, tsk_wchar_t* d, size_t& o) {
  const unsigned b0 = s[i];
  if (b0 < 0x80) {
    if constexpr (kWrite) {
      d[o] = static_cast<tsk_wchar_t>(b0);
    }
    ++i;
    ++o;
    return true;
  }
  const Utf8Char c = decodeUtf8(s + i, n - i);
  if (!c.valid) {
    return false;
  }
  if constexpr (kWrite) {
    if (c.code >= 0x10000) {
      d[o] = static_cast<tsk_wchar_t>(0xD7C0 + (c.code >> 10));
      d[o + 1] = static_cast<tsk_wchar_t>(0xDC00 + (c.code & 0x3FF));
    } else {
      d[o] = static_cast<tsk_wchar_t>(c.code);
    }
  }
  i += c.length;
  o += c.code >= 0x10000 ? 2 : 1;
  return true;
}

template <bool kWrite>
Progress fromUtf8(const unsigned char* s, size_t n, tsk_wchar_t* d, size_t cap) {
  size_t i = 0;
  size_t o = 0;
  // Windows of 64 bytes: one mask of the bytes that are not ASCII gives the
  // length of every ASCII run in the window, so that finding the next run
  // waits for no load. Each run is written as a whole 16-unit block: the
  // units past it (at most 15) are overwritten by the output of the input
  // left, which is at least 48 bytes and so at least 16 units. A step writes
  // at most 16 units for the run and, after at most 15 of them, 16 more.
  while (n - i >= 112 && (!kWrite || cap - o >= 31)) {
    const unsigned char* const w = s + i;
    const uint64_t nonAscii = nonAsciiBytes64(w);
    if (nonAscii == 0 && (!kWrite || cap - o >= 64)) {
      if constexpr (kWrite) {
        for (unsigned k = 0; k < 64; k += 16) {
          widen16(w + k, d + o + k);
        }
      }
      i += 64;
      o += 64;
      continue;
    }
    size_t p = 0;
    while (p <= 48 && (!kWrite || cap - o >= 31)) {
      const auto run =
          static_cast<unsigned>(__builtin_ctzll((nonAscii >> p) | (uint64_t{1} << 16)));
      if (kWrite && run != 0) {
        widen16(w + p, d + o);
      }
      p += run;
      o += run;
      if (run == 16) {
        continue;
      }
      // A lone two-byte character before ASCII, the common case in Latin
      // scripts, inline.
      const unsigned c0 = w[p];
      const unsigned c1 = w[p + 1];
      if (((c0 - 0xC2u < 0x1Eu) & ((c1 & 0xC0u) == 0x80u) & (w[p + 2] < 0x80u)) != 0) {
        if constexpr (kWrite) {
          d[o] = static_cast<tsk_wchar_t>(((c0 & 0x1Fu) << 6) | (c1 & 0x3Fu));
        }
        p += 2;
        ++o;
        continue;
      }
      if (c0 >= 0xE0) {
        if (threeByteBlock<kWrite>(w + p, kWrite ? d + o : nullptr)) {
          p += 24;
          o += 8;
          continue;
        }
      } else if (w[p + 2] >= 0x80) {
        unsigned units = 0;
        const unsigned taken = twoByteBlock<kWrite>(w + p, kWrite ? d + o : nullptr, units);
        if (taken != 0) {
          p += taken;
          o += units;
          continue;
        }
      }
      size_t at = i + p;
      if (!utf8Step<kWrite>(s, n, at, d, o)) {
        return {at, o, false};
      }
      p = at - i;
    }
    i += p;
  }
  // The main loop writes without checks: a step writes at most 16 units for
  // an ASCII run and, after at most 15 of them, 16 more. It writes the whole
  // of a 16-unit ASCII block even when only a prefix of it is ASCII: the
  // units past the prefix (at most 15) are overwritten by the output of the
  // input left, which is at least 45 bytes and so at least 15 units.
  while (n - i >= 64 && (!kWrite || cap - o >= 31)) {
    const unsigned ascii = asciiPrefix16(s + i);
    if (ascii != 0) {
      if constexpr (kWrite) {
        widen16(s + i, d + o);
      }
      i += ascii;
      o += ascii;
      if (ascii == 16) {
        continue;
      }
    }
    // s[i] is not ASCII. Runs of multibyte characters go through blocks; a
    // lone character between ASCII runs goes alone.
    if (s[i] >= 0xE0) {
      if (threeByteBlock<kWrite>(s + i, kWrite ? d + o : nullptr)) {
        i += 24;
        o += 8;
        continue;
      }
    } else if (s[i + 2] >= 0x80) {
      unsigned units = 0;
      const unsigned taken = twoByteBlock<kWrite>(s + i, kWrite ? d + o : nullptr, units);
      if (taken != 0) {
        i += taken;
        o += units;
        continue;
      }
    }
    if (!utf8Step<kWrite>(s, n, i, d, o)) {
      break;
    }
  }
  return {i, o, false};
}

// One UTF-16 character at s[i] (i < n), a unit or a surrogate pair, to
// UTF-8; the caller knows that four bytes fit. False, with nothing done, for
// an unpaired surrogate.
template <bool kWrite>
inline bool utf16Step(const tsk_wchar_t* s, size_t n, size_t& i, unsigned char* d, size_t& o) {
  char32_t code = s[i];
  size_t units = 1;
  if (isSurrogate(code)) {
    if (!isHighSurrogate(code) || n - i < 2 || !isLowSurrogate(s[i + 1])) {
      return false;
    }
    code = 0x10000 + ((code - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
    units = 2;
  }
  if constexpr (kWrite) {
    o += encodeUtf8(code, d + o);
  } else {
    o += utf8Length(code);
  }
  i += units;
  return true;
}

template <bool kWrite>
Progress fromUtf16(const tsk_wchar_t* s, size_t n, unsigned char* d, size_t cap) {
  size_t i = 0;
  size_t o = 0;
  // Windows of 64 units, as in fromUtf8: the bytes past an ASCII run's own
  // (at most 15) are overwritten by the output of the input left, at least
  // 32 units and so at least 32 bytes. A step writes at most 16 bytes for
  // the run and, after at most 15 of them, 24 more.
  while (n - i >= 96 && (!kWrite || cap - o >= 39)) {
    const tsk_wchar_t* const w = s + i;
    const uint64_t nonAscii = nonAsciiUnits64(w);
    if (nonAscii == 0 && (!kWrite || cap - o >= 64)) {
      if constexpr (kWrite) {
        for (unsigned k = 0; k < 64; k += 16) {
          narrow16(w + k, d + o + k);
        }
      }
      i += 64;
      o += 64;
      continue;
    }
    size_t p = 0;
    while (p <= 48 && (!kWrite || cap - o >= 39)) {
      const auto run =
          static_cast<unsigned>(__builtin_ctzll((nonAscii >> p) | (uint64_t{1} << 16)));
      if (kWrite && run != 0) {
        narrow16(w + p, d + o);
      }
      p += run;
      o += run;
      if (run == 16) {
        continue;
      }
      // A lone character below U+0800 before ASCII, the common case in
      // Latin scripts, inline.
      const unsigned u0 = w[p];
      if (((u0 < 0x800u) & (w[p + 1] < 0x80u)) != 0) {
        if constexpr (kWrite) {
          const auto pair = static_cast<uint16_t>(0x80C0u | (u0 >> 6) | ((u0 & 0x3Fu) << 8));
          std::memcpy(d + o, &pair, 2);
        }
        ++p;
        o += 2;
        continue;
      }
      if (u0 >= 0x800) {
        if (threeByteUnitsBlock<kWrite>(w + p, kWrite ? d + o : nullptr)) {
          p += 8;
          o += 24;
          continue;
        }
      } else if (w[p + 1] >= 0x80) {
        const unsigned bytes = belowU800Block<kWrite>(w + p, kWrite ? d + o : nullptr);
        if (bytes != 0) {
          p += 8;
          o += bytes;
          continue;
        }
      }
      size_t at = i + p;
      if (!utf16Step<kWrite>(s, n, at, d, o)) {
        return {at, o, false};
      }
      p = at - i;
    }
    i += p;
  }
  // The main loop writes without checks: a step writes at most 16 bytes for
  // an ASCII run and, after at most 15 of them, 24 more. It writes the whole
  // of a 16-byte ASCII block even when only a prefix of it is ASCII: the
  // bytes past the prefix (at most 15) are overwritten by the output of the
  // input left, which is at least 17 units and so at least 17 bytes.
  while (n - i >= 32 && (!kWrite || cap - o >= 39)) {
    const unsigned ascii = asciiPrefixUnits16(s + i);
    if (ascii != 0) {
      if constexpr (kWrite) {
        narrow16(s + i, d + o);
      }
      i += ascii;
      o += ascii;
      if (ascii == 16) {
        continue;
      }
    }
    // s[i] is not ASCII. Runs of multibyte characters go through blocks; a
    // lone character between ASCII runs goes alone.
    if (s[i] >= 0x800) {
      if (threeByteUnitsBlock<kWrite>(s + i, kWrite ? d + o : nullptr)) {
        i += 8;
        o += 24;
        continue;
      }
    } else if (s[i + 1] >= 0x80) {
      const unsigned bytes = belowU800Block<kWrite>(s + i, kWrite ? d + o : nullptr);
      if (bytes != 0) {
        i += 8;
        o += bytes;
        continue;
      }
    }
    if (!utf16Step<kWrite>(s, n, i, d, o)) {
      break;
    }
  }
  return {i, o, false};
}

} // namespace

const Kernels kSse2Kernels = {
    Level::kSse2,
    "sse2",
    [](const unsigned char* s, size_t n, tsk_wchar_t* d, size_t capacity) {
      return d == nullptr ? fromUtf8<false>(s, n, nullptr, 0) : fromUtf8<true>(s, n, d, capacity);
    },
    [](const tsk_wchar_t* s, size_t n, unsigned char* d, size_t capacity) {
      return d == nullptr ? fromUtf16<false>(s, n, nullptr, 0) : fromUtf16<true>(s, n, d, capacity);
    },
    nullptr,
    nullptr,
};

} // namespace tsk::unicode
