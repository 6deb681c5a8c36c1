// The UTF-8 / UTF-16 transcoders, checked against a one-character-at-a-time
// reference built from the single-character encoder and decoder.
#include "text/utf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "guarded_memory.h"
#include "random_utf.h"

namespace {

using namespace tsk::text;
using tsk::test::GuardedArray;
using WString = std::basic_string<tsk_wchar_t>;

// Reference encoders, written apart from the library's.
template <typename S>
S encoded(const std::vector<char32_t>& codes) {
  S out;
  for (const char32_t c : codes) {
    if constexpr (sizeof(out[0]) == 1) {
      tsk::test::appendUtf8(out, c);
    } else {
      tsk::test::appendUtf16(out, c);
    }
  }
  return out;
}
const auto utf16Of = encoded<WString>;
const auto utf8Of = encoded<std::string>;

// Converts `in` from memory that ends at a page end with exactly the room
// measured, then with less, which must fail without writing past it.
template <typename Out, typename In>
std::basic_string<Out> converted(Transcoded (*convert)(const In*, size_t, Out*, size_t),
                                 const std::basic_string<In>& in, bool allRooms = false) {
  const GuardedArray<In> src(in.data(), in.size());
  const size_t need = convert(src.get(), in.size(), nullptr, 0).count;
  const std::basic_string<Out> fill(need + 4, Out(sizeof(Out) == 1 ? 0x23 : 0x7777));
  std::basic_string<Out> out = fill;
  const Transcoded written = convert(src.get(), in.size(), out.data(), need);
  EXPECT_TRUE(written.fits);
  EXPECT_EQ(written.count, need);
  EXPECT_EQ(out[need], fill[need]);
  std::vector<size_t> rooms = {need / 2, need - 1};
  if (allRooms) {
    rooms.resize(need);
    std::iota(rooms.begin(), rooms.end(), size_t{0});
  }
  for (const size_t room : rooms) {
    if (room < need) {
      std::basic_string<Out> shorter = fill;
      EXPECT_FALSE(convert(src.get(), in.size(), shorter.data(), room).fits);
      EXPECT_EQ(shorter.substr(room), fill.substr(room)) << room << " of " << need;
    }
  }
  out.resize(need);
  return out;
}

WString toUtf16(const std::string& s, bool all = false) { return converted(utf8ToUtf16, s, all); }
std::string toUtf8(const WString& w, bool all = false) { return converted(utf16ToUtf8, w, all); }

TEST(Utf, EveryScalarValueRoundTrips) {
  std::vector<char32_t> codes;
  for (char32_t c = 1; c < 0x110000; c += (c < 0x10000 ? 1 : 97)) {
    if (!isSurrogate(c)) {
      codes.push_back(c);
    }
  }
  codes.push_back(0x10FFFF);
  const std::string utf8 = utf8Of(codes);
  const WString utf16 = utf16Of(codes);
  EXPECT_EQ(toUtf16(utf8), utf16);
  EXPECT_EQ(toUtf8(utf16), utf8);
}

// Reference: UTF-8 to UTF-16 one character at a time through the decoder.
WString utf16OneByOne(const std::string& s) {
  std::vector<char32_t> codes;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (size_t i = 0; i < s.size();) {
    const Utf8Char c = decodeUtf8(p + i, s.size() - i);
    codes.push_back(c.code);
    i += c.length;
  }
  return utf16Of(codes);
}

// Reference: UTF-16 to UTF-8 one unit (or surrogate pair) at a time.
std::string utf8OneByOne(const WString& w) {
  std::vector<char32_t> codes;
  for (size_t i = 0; i < w.size(); ++i) {
    if (isHighSurrogate(w[i]) && i + 1 < w.size() && isLowSurrogate(w[i + 1])) {
      codes.push_back(0x10000 + ((w[i] - 0xD800u) << 10) + (w[i + 1] - 0xDC00u));
      ++i;
    } else {
      codes.push_back(isSurrogate(w[i]) ? kReplacementChar : w[i]);
    }
  }
  return utf8Of(codes);
}

// Width changes, ill-formed pieces and zeros at every position of a block.
TEST(Utf, RandomTextConvertsAsTheReferenceDoes) {
  std::mt19937 rng(8);
  for (int round = 0; round < 3000; ++round) {
    const size_t count = rng() % 160;
    const bool illFormed = round % 2 == 1;
    std::string utf8 = tsk::test::randomUtf8(rng, count, illFormed);
    WString utf16 = tsk::test::randomUtf16(rng, count, illFormed);
    if (round % 50 == 0) {
      utf8.insert(rng() % (utf8.size() + 1), 1, '\0');
      utf16.insert(rng() % (utf16.size() + 1), 1, tsk_wchar_t{0});
    }
    const bool everyRoom = round % 10 == 0;
    ASSERT_EQ(toUtf16(utf8, everyRoom), utf16OneByOne(utf8)) << "round " << round;
    ASSERT_EQ(toUtf8(utf16, everyRoom), utf8OneByOne(utf16)) << "round " << round;
  }
}

// Zeros are characters and a BOM is kept.
TEST(Utf, IllFormedUtf8BecomesOneReplacementPerMaximalSubpart) {
  const tsk_wchar_t r = 0xFFFD;
  EXPECT_EQ(toUtf16("\x80"), (WString{r}));
  EXPECT_EQ(toUtf16("\xC3"), (WString{r}));
  EXPECT_EQ(toUtf16("\xC3z"), (WString{r, 'z'}));
  EXPECT_EQ(toUtf16("\xE2\x82z"), (WString{r, 'z'}));
  EXPECT_EQ(toUtf16("\xF0\x9F\x98z"), (WString{r, 'z'}));
  EXPECT_EQ(toUtf16("\xC0\xAF"), (WString{r, r}));
  EXPECT_EQ(toUtf16("\xE0\x80\xAF"), (WString{r, r, r}));
  EXPECT_EQ(toUtf16("\xED\xA0\x80"), (WString{r, r, r}));
  EXPECT_EQ(toUtf16("\xF4\x90\x80\x80"), (WString{r, r, r, r}));
  EXPECT_EQ(toUtf16("\xF5\x80"), (WString{r, r}));
  EXPECT_EQ(toUtf16(std::string("a\0b", 3)), (WString{'a', 0, 'b'}));
  EXPECT_EQ(toUtf16("\xEF\xBB\xBFx"), (WString{0xFEFF, 'x'}));
  const Utf8Char truncated = decodeUtf8(reinterpret_cast<const unsigned char*>("\xF0\x9F\x98"), 3);
  EXPECT_FALSE(truncated.valid);
  EXPECT_EQ(truncated.length, 3u);
  // Unpaired surrogates become replacement characters too.
  const std::string rep = "\xEF\xBF\xBD";
  EXPECT_EQ(toUtf8(WString{0xDC00, 'x', 0xD800, 0xD800, 0xDC00, 0xDBFF}),
            rep + "x" + rep + "\xF0\x90\x80\x80" + rep);
}

// The scan reads aligned blocks out of the sanitizers' sight.
TEST(Utf, WideLengthAtEveryAlignmentAndLimit) {
  alignas(16) tsk_wchar_t buffer[64];
  for (size_t start = 0; start < 8; ++start) {
    for (size_t length = 0; length <= 40; ++length) {
      std::fill(std::begin(buffer), std::end(buffer), TSK_W('x'));
      buffer[start + length] = 0;
      const tsk_wchar_t* s = buffer + start;
      SCOPED_TRACE(testing::Message() << "start " << start << ", length " << length);
      EXPECT_EQ(wideLength(s), length);
      // At 0 length - 1 is SIZE_MAX.
      for (size_t max : {size_t{0}, length / 2, length - 1, length, length + 1, length + 9}) {
        EXPECT_EQ(wideLength(s, max), std::min(length, max)) << "max " << max;
      }
    }
  }
}

TEST(Utf, WideLengthStopsAtAPageEnd) {
  const WString text(24, TSK_W('y'));
  for (size_t units = 0; units <= text.size(); ++units) {
    SCOPED_TRACE(testing::Message() << units << " units");
    // Terminated on the last unit before the page end.
    const WString terminated = text.substr(0, units) + TSK_W('\0');
    const GuardedArray<tsk_wchar_t> withTerminator(terminated.data(), terminated.size());
    EXPECT_EQ(wideLength(withTerminator.get()), units);
    EXPECT_EQ(wideLength(withTerminator.get(), units + 1), units);
    EXPECT_EQ(wideLength(withTerminator.get(), SIZE_MAX), units);
    // Not terminated at all: the limit is the array's end.
    const GuardedArray<tsk_wchar_t> bare(text.data(), units);
    EXPECT_EQ(wideLength(bare.get(), units), units);
  }
}

} // namespace
