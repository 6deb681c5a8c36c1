// Random UTF-8 and UTF-16 text in runs of one width and of mixed widths,
// optionally with ill-formed pieces.
#ifndef TSKBASE_TESTS_SUPPORT_RANDOM_UTF_H
#define TSKBASE_TESTS_SUPPORT_RANDOM_UTF_H

#include "tskbase/common.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tsk::test {

using WideString = std::basic_string<tsk_wchar_t>;

// A scalar value whose UTF-8 form has `width` bytes, edges favoured.
inline char32_t randomScalar(std::mt19937& rng, unsigned width) {
  static constexpr char32_t kLow[5] = {0, 0x01, 0x80, 0x800, 0x10000};
  static constexpr char32_t kHigh[5] = {0, 0x7F, 0x7FF, 0xFFFF, 0x10FFFF};
  static constexpr char32_t kEdges[] = {0x7F,   0x80,   0x7FF,  0x800,   0xD7FF,
                                        0xE000, 0xFFFD, 0xFFFF, 0x10000, 0x10FFFF};
  const uint32_t pick = rng();
  if (pick % 8 == 0) {
    for (unsigned k = 0; k < 10; ++k) {
      const char32_t edge = kEdges[(pick / 8 + k) % 10];
      if (edge >= kLow[width] && edge <= kHigh[width]) {
        return edge;
      }
    }
  }
  char32_t c = kLow[width] + pick % (kHigh[width] - kLow[width] + 1);
  return c >= 0xD800 && c <= 0xDFFF ? c + 0x800 : c;
}

// Scalar values in runs: each run has one width, or a random width per
// character, and 1 to 40 characters.
inline std::vector<char32_t> randomScalars(std::mt19937& rng, size_t count) {
  std::vector<char32_t> codes;
  while (codes.size() < count) {
    const unsigned runWidth = rng() % 6; // 0, 5: mixed
    const size_t run = 1 + rng() % 40;
    for (size_t k = 0; k < run && codes.size() < count; ++k) {
      const unsigned width = runWidth >= 1 && runWidth <= 4 ? runWidth : 1 + rng() % 4;
      codes.push_back(randomScalar(rng, width));
    }
  }
  return codes;
}

inline void appendUtf8(std::string& out, char32_t c) {
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  const int trail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  out += static_cast<char>(kLead[trail] | (c >> (6 * trail)));
  for (int k = trail - 1; k >= 0; --k) {
    out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  }
}

inline void appendUtf16(WideString& out, char32_t c) {
  if (c >= 0x10000) {
    out += static_cast<tsk_wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<tsk_wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    out += static_cast<tsk_wchar_t>(c);
  }
}

// UTF-8 of `count` random characters; with `illFormed`, about one piece in
// 30 is an ill-formed one instead.
inline std::string randomUtf8(std::mt19937& rng, size_t count, bool illFormed) {
  // Stray and missing continuations, overlong forms, an encoded surrogate,
  // values above U+10FFFF, bytes that never occur.
  static const char* const kBad[] = {"\x80",
                                     "\xBF\x80",
                                     "\xC2",
                                     "\xC0\xAF",
                                     "\xC1\xBF",
                                     "\xE0\x80\x80",
                                     "\xE0\x9F\xBF",
                                     "\xED\xA0\x80",
                                     "\xE4\xB8",
                                     "\xF0\x8F\xBF\xBF",
                                     "\xF0\x9F\x98",
                                     "\xF4\x90\x80\x80",
                                     "\xF5\x80\x80\x80",
                                     "\xF8",
                                     "\xFF"};
  std::string out;
  for (const char32_t c : randomScalars(rng, count)) {
    if (illFormed && rng() % 30 == 0) {
      out += kBad[rng() % (sizeof kBad / sizeof kBad[0])];
    }
    appendUtf8(out, c);
  }
  return out;
}

// UTF-16 of `count` random characters; with `illFormed`, about one piece
// in 30 is an unpaired surrogate or a reversed pair instead.
inline WideString randomUtf16(std::mt19937& rng, size_t count, bool illFormed) {
  static const WideString kBad[] = {{0xD800}, {0xDBFF}, {0xDC00}, {0xDFFF}, {0xDC00, 0xD800}};
  WideString out;
  for (const char32_t c : randomScalars(rng, count)) {
    if (illFormed && rng() % 30 == 0) {
      out += kBad[rng() % 5];
    }
    appendUtf16(out, c);
  }
  return out;
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_RANDOM_UTF_H
