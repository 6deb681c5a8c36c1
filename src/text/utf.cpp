// UTF-8 <-> UTF-16 transcoding. Each transcoder is one loop, instantiated
// twice: once measuring, once writing. Runs of ASCII go through 16 elements
// at a time (SSE2 where the target has it, 64-bit words otherwise).
#include "utf.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tsk::text {

namespace {

inline bool isContinuation(unsigned byte) { return (byte & 0xC0) == 0x80; }

#if defined(__SSE2__)

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

#else

inline unsigned asciiPrefix16(const unsigned char* s) {
  uint64_t words[2];
  std::memcpy(words, s, sizeof words);
  if (((words[0] | words[1]) & 0x8080808080808080ull) == 0) {
    return 16;
  }
  unsigned n = 0;
  while (s[n] < 0x80) {
    ++n;
  }
  return n;
}

inline void widen16(const unsigned char* s, tsk_wchar_t* d) {
  for (int i = 0; i < 16; ++i) {
    d[i] = s[i];
  }
}

inline unsigned asciiPrefixUnits16(const tsk_wchar_t* s) {
  unsigned n = 0;
  while (n < 16 && s[n] < 0x80) {
    ++n;
  }
  return n;
}

inline void narrow16(const tsk_wchar_t* s, unsigned char* d) {
  for (int i = 0; i < 16; ++i) {
    d[i] = static_cast<unsigned char>(s[i]);
  }
}

#endif

template <bool kWrite>
Transcoded fromUtf8(const unsigned char* s, size_t n, tsk_wchar_t* d, size_t cap) {
  size_t i = 0;
  size_t o = 0;
  while (i < n) {
    // Blocks are tried only at an ASCII byte, so that runs of multibyte
    // characters do not pay for them.
    if (s[i] < 0x80 && n - i >= 16) {
      const unsigned ascii = asciiPrefix16(s + i);
      if (ascii == 16 && (!kWrite || cap - o >= 16)) {
        if constexpr (kWrite) {
          widen16(s + i, d + o);
        }
        i += 16;
        o += 16;
        continue;
      }
      if (ascii != 0 && ascii != 16) {
        if constexpr (kWrite) {
          if (cap - o < ascii) {
            return {o, false};
          }
          for (unsigned k = 0; k < ascii; ++k) {
            d[o + k] = s[i + k];
          }
        }
        i += ascii;
        o += ascii;
      }
    }
    const unsigned b0 = s[i];
    if (b0 < 0x80) {
      if constexpr (kWrite) {
        if (o == cap) {
          return {o, false};
        }
        d[o] = static_cast<tsk_wchar_t>(b0);
      }
      ++i;
      ++o;
      continue;
    }
    // Two- and three-byte characters first, inline; everything else
    // (four bytes, ill-formed input) through the full decoder.
    if (b0 >= 0xC2 && b0 < 0xE0 && n - i >= 2 && isContinuation(s[i + 1])) {
      if constexpr (kWrite) {
        if (o == cap) {
          return {o, false};
        }
        d[o] = static_cast<tsk_wchar_t>(((b0 & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu));
      }
      i += 2;
      ++o;
      continue;
    }
    if (b0 >= 0xE0 && b0 < 0xF0 && n - i >= 3) {
      const unsigned b1 = s[i + 1];
      const unsigned b2 = s[i + 2];
      const unsigned code = ((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
      if (isContinuation(b1) && isContinuation(b2) && code >= 0x800 && !isSurrogate(code)) {
        if constexpr (kWrite) {
          if (o == cap) {
            return {o, false};
          }
          d[o] = static_cast<tsk_wchar_t>(code);
        }
        i += 3;
        ++o;
        continue;
      }
    }
    const Utf8Char c = decodeUtf8(s + i, n - i);
    i += c.length;
    if (c.code >= 0x10000) {
      if constexpr (kWrite) {
        if (cap - o < 2) {
          return {o, false};
        }
        const char32_t v = c.code - 0x10000;
        d[o] = static_cast<tsk_wchar_t>(0xD800 + (v >> 10));
        d[o + 1] = static_cast<tsk_wchar_t>(0xDC00 + (v & 0x3FF));
      }
      o += 2;
    } else {
      if constexpr (kWrite) {
        if (o == cap) {
          return {o, false};
        }
        d[o] = static_cast<tsk_wchar_t>(c.code);
      }
      ++o;
    }
  }
  return {o, true};
}

template <bool kWrite>
Transcoded fromUtf16(const tsk_wchar_t* s, size_t n, unsigned char* d, size_t cap) {
  size_t i = 0;
  size_t o = 0;
  while (i < n) {
    if (s[i] < 0x80 && n - i >= 16) {
      const unsigned ascii = asciiPrefixUnits16(s + i);
      if (ascii == 16 && (!kWrite || cap - o >= 16)) {
        if constexpr (kWrite) {
          narrow16(s + i, d + o);
        }
        i += 16;
        o += 16;
        continue;
      }
      if (ascii != 0 && ascii != 16) {
        if constexpr (kWrite) {
          if (cap - o < ascii) {
            return {o, false};
          }
          for (unsigned k = 0; k < ascii; ++k) {
            d[o + k] = static_cast<unsigned char>(s[i + k]);
          }
        }
        i += ascii;
        o += ascii;
      }
    }
    char32_t code = s[i];
    ++i;
    if (code < 0x800 && code >= 0x80) {
      if constexpr (kWrite) {
        if (cap - o < 2) {
          return {o, false};
        }
        d[o] = static_cast<unsigned char>(0xC0 | (code >> 6));
        d[o + 1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
      }
      o += 2;
      continue;
    }
    if (isSurrogate(code)) {
      if (isHighSurrogate(code) && i < n && isLowSurrogate(s[i])) {
        code = 0x10000 + ((code - 0xD800) << 10) + (s[i] - 0xDC00u);
        ++i;
      } else {
        code = kReplacementChar;
      }
    }
    const unsigned bytes = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    if constexpr (kWrite) {
      if (cap - o < bytes) {
        return {o, false};
      }
      encodeUtf8(code, d + o);
    }
    o += bytes;
  }
  return {o, true};
}

} // namespace

size_t wideLength(const tsk_wchar_t* str) {
  const tsk_wchar_t* p = str;
  while (true) {
    if (p[0] == 0) {
      return static_cast<size_t>(p - str);
    }
    if (p[1] == 0) {
      return static_cast<size_t>(p - str) + 1;
    }
    if (p[2] == 0) {
      return static_cast<size_t>(p - str) + 2;
    }
    if (p[3] == 0) {
      return static_cast<size_t>(p - str) + 3;
    }
    p += 4;
  }
}

#if defined(__SSE2__)

// Scans aligned 16-byte blocks once the position is aligned. An aligned
// block never crosses a page, so reading the units behind the terminator in
// the same block is safe; the memory sanitizers, which would flag those
// reads, are told not to watch this function.
__attribute__((no_sanitize("address", "thread"))) size_t wideLength(const tsk_wchar_t* str,
                                                                    size_t max) {
  size_t n = 0;
  for (; n < max && (reinterpret_cast<uintptr_t>(str + n) & 15) != 0; ++n) {
    if (str[n] == 0) {
      return n;
    }
  }
  const __m128i zero = _mm_setzero_si128();
  for (; n < max; n += 8) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(str + n));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)));
    if (mask != 0) {
      const size_t end = n + static_cast<size_t>(__builtin_ctz(mask)) / 2;
      return end < max ? end : max;
    }
  }
  return max;
}

#else

size_t wideLength(const tsk_wchar_t* str, size_t max) {
  size_t n = 0;
  while (n < max && str[n] != 0) {
    ++n;
  }
  return n;
}

#endif

Transcoded utf8ToUtf16(const char* src, size_t length, tsk_wchar_t* dst, size_t capacity) {
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  return dst == nullptr ? fromUtf8<false>(s, length, nullptr, 0)
                        : fromUtf8<true>(s, length, dst, capacity);
}

Transcoded utf16ToUtf8(const tsk_wchar_t* src, size_t length, char* dst, size_t capacity) {
  auto* d = reinterpret_cast<unsigned char*>(dst);
  return dst == nullptr ? fromUtf16<false>(src, length, nullptr, 0)
                        : fromUtf16<true>(src, length, d, capacity);
}

} // namespace tsk::text
