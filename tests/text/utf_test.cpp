// The UTF-8 / UTF-16 transcoders, checked against a one-character-at-a-time
// reference built from the single-character encoder and decoder.
#include "text/utf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "guarded_memory.h"

namespace {

using namespace tsk::text;
using tsk::test::GuardedArray;
using WString = std::basic_string<tsk_wchar_t>;

// Reference: UTF-16 of a list of code points.
WString utf16Of(const std::vector<char32_t>& codes) {
  WString w;
  for (char32_t c : codes) {
    if (c >= 0x10000) {
      w += static_cast<tsk_wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      w += static_cast<tsk_wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      w += static_cast<tsk_wchar_t>(c);
    }
  }
  return w;
}

// Reference: UTF-8 of a list of code points.
std::string utf8Of(const std::vector<char32_t>& codes) {
  std::string s;
  for (char32_t c : codes) {
    unsigned char bytes[4];
    s.append(reinterpret_cast<char*>(bytes), encodeUtf8(c, bytes));
  }
  return s;
}

WString toUtf16(const std::string& s) {
  const Transcoded measured = utf8ToUtf16(s.data(), s.size(), nullptr, 0);
  WString w(measured.count, 0);
  const Transcoded written = utf8ToUtf16(s.data(), s.size(), w.data(), w.size());
  EXPECT_TRUE(written.fits);
  EXPECT_EQ(written.count, measured.count);
  return w;
}

std::string toUtf8(const WString& w) {
  const Transcoded measured = utf16ToUtf8(w.data(), w.size(), nullptr, 0);
  std::string s(measured.count, 0);
  const Transcoded written = utf16ToUtf8(w.data(), w.size(), s.data(), s.size());
  EXPECT_TRUE(written.fits);
  EXPECT_EQ(written.count, measured.count);
  return s;
}

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

// Non-ASCII characters at every position around the 16-element blocks of
// the ASCII fast path.
TEST(Utf, FastPathBoundariesAndCapacities) {
  for (char32_t special : {char32_t{0xE9}, char32_t{0x4E2D}, char32_t{0x1F600}}) {
    for (size_t length = 0; length < 40; ++length) {
      for (size_t at = 0; at <= length; ++at) {
        std::vector<char32_t> codes(length, 'a');
        codes.insert(codes.begin() + static_cast<std::ptrdiff_t>(at), special);
        const std::string utf8 = utf8Of(codes);
        const WString utf16 = utf16Of(codes);
        ASSERT_EQ(toUtf16(utf8), utf16) << length << " " << at;
        ASSERT_EQ(toUtf8(utf16), utf8) << length << " " << at;

        // One element short of the need fails; the output never passes the
        // capacity.
        WString w(utf16.size() + 8, 0x7777);
        EXPECT_FALSE(utf8ToUtf16(utf8.data(), utf8.size(), w.data(), utf16.size() - 1).fits);
        EXPECT_EQ(w[utf16.size() - 1], 0x7777);
        std::string s(utf8.size() + 8, '#');
        EXPECT_FALSE(utf16ToUtf8(utf16.data(), utf16.size(), s.data(), utf8.size() - 1).fits);
        EXPECT_EQ(s[utf8.size() - 1], '#');
      }
    }
  }
}

TEST(Utf, IllFormedUtf8BecomesOneReplacementPerMaximalSubpart) {
  const tsk_wchar_t r = 0xFFFD;
  struct Case {
    std::string in;
    WString out;
  };
  const Case cases[] = {
      {"\x80", {r}},                           // stray continuation
      {"\xC3", {r}},                           // truncated at the end
      {"\xC3z", {r, 'z'}},                     // truncated before ASCII
      {"\xE2\x82z", {r, 'z'}},                 // lead + 1 of 2 continuations
      {"\xF0\x9F\x98z", {r, 'z'}},             // lead + 2 of 3
      {"\xC0\xAF", {r, r}},                    // overlong: never a lead byte
      {"\xE0\x80\xAF", {r, r, r}},             // overlong 3-byte form
      {"\xED\xA0\x80", {r, r, r}},             // encoded surrogate
      {"\xF4\x90\x80\x80", {r, r, r, r}},      // above U+10FFFF
      {"\xF5\x80", {r, r}},                    // invalid lead byte
      {std::string("a\0b", 3), {'a', 0, 'b'}}, // zeros are characters
      {"\xEF\xBB\xBFx", {0xFEFF, 'x'}},        // a BOM is kept
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toUtf16(c.in), c.out) << testing::PrintToString(c.in);
  }
  const Utf8Char truncated = decodeUtf8(reinterpret_cast<const unsigned char*>("\xF0\x9F\x98"), 3);
  EXPECT_FALSE(truncated.valid);
  EXPECT_EQ(truncated.length, 3u);
}

TEST(Utf, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(toUtf8(WString{0xD800}), replacement);
  EXPECT_EQ(toUtf8(WString{0xDC00, 'x'}), replacement + "x");
  EXPECT_EQ(toUtf8(WString{0xD800, 0xD800, 0xDC00}), replacement + "\xF0\x90\x80\x80");
  EXPECT_EQ(toUtf8(WString{'a', 0xDBFF}), "a" + replacement);
}

// The bounded scan reads in aligned blocks and is hidden from the memory
// sanitizers, so it is checked here at every alignment, around its limit, and
// against a page end.
TEST(Utf, WideLengthAtEveryAlignmentAndLimit) {
  alignas(16) tsk_wchar_t buffer[64];
  for (size_t start = 0; start < 8; ++start) {
    for (size_t length = 0; length <= 40; ++length) {
      std::fill(std::begin(buffer), std::end(buffer), TSK_W('x'));
      buffer[start + length] = 0;
      const tsk_wchar_t* s = buffer + start;
      SCOPED_TRACE(testing::Message() << "start " << start << ", length " << length);
      EXPECT_EQ(wideLength(s), length);
      for (size_t max : {size_t{0}, length / 2, length, length + 1, length + 9, SIZE_MAX}) {
        EXPECT_EQ(wideLength(s, max), std::min(length, max)) << "max " << max;
      }
      if (length > 0) {
        EXPECT_EQ(wideLength(s, length - 1), length - 1);
      }
    }
  }
}

TEST(Utf, WideLengthStopsAtAPageEnd) {
  const WString text(24, TSK_W('y'));
  for (size_t units = 0; units <= text.size(); ++units) {
    SCOPED_TRACE(testing::Message() << units << " units");
    // Terminated on the last unit before the page end.
    WString terminated = text.substr(0, units);
    terminated += TSK_W('\0');
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
