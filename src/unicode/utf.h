// UTF-8 and UTF-16 building blocks: string lengths, and the decoding and
// encoding of single characters. Everything here is pure computation on the
// caller's memory: no allocation, no locale, no state. The bulk transcoders
// are in unicode/transcode.h.
//
// Ill-formed UTF-8 decodes as U+FFFD, one per maximal subpart of an
// ill-formed sequence (a lead byte with the continuation bytes that still
// fit it), or per stray byte. Overlong forms, encoded surrogates and values
// above U+10FFFF are ill-formed.
#ifndef TSKBASE_SRC_UNICODE_UTF_H
#define TSKBASE_SRC_UNICODE_UTF_H

#include "tskbase/common.h"

#include <cstddef>
#include <cstdint>

namespace tsk::unicode {

static_assert(sizeof(tsk_wchar_t) == 2, "wide text is UTF-16");

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Units of a zero-terminated UTF-16 string, terminator excluded.
size_t wideLength(const tsk_wchar_t* str);
// The same, but looks at no more than `max` units: min(length, max).
size_t wideLength(const tsk_wchar_t* str, size_t max);
// Bytes of a zero-terminated string, looking at no more than `max`:
// min(length, max).
size_t narrowLength(const char* str, size_t max);

inline bool isHighSurrogate(uint32_t unit) { return (unit & 0xFC00) == 0xD800; }
inline bool isLowSurrogate(uint32_t unit) { return (unit & 0xFC00) == 0xDC00; }
inline bool isSurrogate(uint32_t unit) { return (unit & 0xF800) == 0xD800; }

// One character decoded from UTF-8. `length` is the number of bytes it
// takes (1 to 4); for an ill-formed sequence `valid` is false, `code` is
// U+FFFD and `length` the size of the maximal subpart (at least 1).
struct Utf8Char {
  char32_t code;
  unsigned length;
  bool valid;
};

inline bool isContinuation(unsigned byte) { return (byte & 0xC0) == 0x80; }

// Decodes the character at `s`, looking at no more than `avail` bytes
// (avail >= 1).
inline Utf8Char decodeUtf8(const unsigned char* s, size_t avail) {
  const unsigned b0 = s[0];
  if (b0 < 0x80) {
    return {b0, 1, true};
  }
  if (b0 < 0xC2 || b0 > 0xF4) {
    return {kReplacementChar, 1, false};
  }
  if (b0 < 0xE0) {
    if (avail >= 2 && isContinuation(s[1])) {
      return {((b0 & 0x1Fu) << 6) | (s[1] & 0x3Fu), 2, true};
    }
    return {kReplacementChar, 1, false};
  }
  // The second byte's range excludes overlong forms (E0, F0), surrogates
  // (ED) and values above U+10FFFF (F4).
  unsigned lo = 0x80;
  unsigned hi = 0xBF;
  if (b0 == 0xE0) {
    lo = 0xA0;
  } else if (b0 == 0xED) {
    hi = 0x9F;
  } else if (b0 == 0xF0) {
    lo = 0x90;
  } else if (b0 == 0xF4) {
    hi = 0x8F;
  }
  if (avail < 2 || s[1] < lo || s[1] > hi) {
    return {kReplacementChar, 1, false};
  }
  if (avail < 3 || !isContinuation(s[2])) {
    return {kReplacementChar, 2, false};
  }
  if (b0 < 0xF0) {
    return {((b0 & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu), 3, true};
  }
  if (avail < 4 || !isContinuation(s[3])) {
    return {kReplacementChar, 3, false};
  }
  return {((b0 & 0x07u) << 18) | ((s[1] & 0x3Fu) << 12) | ((s[2] & 0x3Fu) << 6) | (s[3] & 0x3Fu), 4,
          true};
}

// The byte count of the UTF-8 form of `code`.
inline unsigned utf8Length(char32_t code) {
  return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
}

// Writes the UTF-8 form of `code` (a scalar value, not a surrogate, at most
// U+10FFFF) to `out`, which has room for 4 bytes; returns the byte count.
inline unsigned encodeUtf8(char32_t code, unsigned char* out) {
  if (code < 0x80) {
    out[0] = static_cast<unsigned char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
  return 4;
}

} // namespace tsk::unicode

#endif // TSKBASE_SRC_UNICODE_UTF_H
