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

// Converts from memory that ends at a page end (a read past the input
// faults), measuring, then writing with exactly the room measured, then with
// one element less and with half, which must fail without writing past it.
WString checkedUtf16(const std::string& s) {
  const GuardedArray<char> in(s.data(), s.size());
  const Transcoded measured = utf8ToUtf16(in.get(), s.size(), nullptr, 0);
  WString w(measured.count + 4, 0x7777);
  const Transcoded written = utf8ToUtf16(in.get(), s.size(), w.data(), measured.count);
  EXPECT_TRUE(written.fits);
  EXPECT_EQ(written.count, measured.count);
  EXPECT_EQ(w[measured.count], 0x7777);
  for (size_t room : {measured.count - 1, measured.count / 2}) {
    if (room < measured.count) {
      WString shorter(measured.count + 4, 0x7777);
      EXPECT_FALSE(utf8ToUtf16(in.get(), s.size(), shorter.data(), room).fits);
      EXPECT_EQ(shorter.substr(room), WString(measured.count + 4 - room, 0x7777)) << room;
    }
  }
  w.resize(measured.count);
  return w;
}

std::string checkedUtf8(const WString& w) {
  const GuardedArray<tsk_wchar_t> in(w.data(), w.size());
  const Transcoded measured = utf16ToUtf8(in.get(), w.size(), nullptr, 0);
  std::string s(measured.count + 4, '#');
  const Transcoded written = utf16ToUtf8(in.get(), w.size(), s.data(), measured.count);
  EXPECT_TRUE(written.fits);
  EXPECT_EQ(written.count, measured.count);
  EXPECT_EQ(s[measured.count], '#');
  for (size_t room : {measured.count - 1, measured.count / 2}) {
    if (room < measured.count) {
      std::string shorter(measured.count + 4, '#');
      EXPECT_FALSE(utf16ToUtf8(in.get(), w.size(), shorter.data(), room).fits);
      EXPECT_EQ(shorter.substr(room), std::string(measured.count + 4 - room, '#')) << room;
    }
  }
  s.resize(measured.count);
  return s;
}

// Runs of two- and three-byte characters (alone and mixed with ASCII) go
// through blocks; something else at every position of runs of every length
// up to a few blocks must come out as the one-at-a-time reference says:
// ill-formed bytes, truncated and four-byte characters, unpaired surrogates,
// characters of another length. Covers blocks ending inside a character and
// surrogates at block edges, in the first window of 64 elements and past it.
TEST(Utf, MultibyteRunsWithSomethingElseAtEveryPosition) {
  const std::vector<std::vector<char32_t>> runs = {
      {0xE9},
      {0x4E2D, 0x3002},
      {'a', 0xE9, 'b', 'c', 0x7FF, 0x80},
      {0xFFFD, 0xFFFF, 0xE000, 0x800},
      // Long ASCII runs right before runs of three- and two-byte characters.
      {'a',    'b',   'c',    'd',    'e',    'f',    'g',    'h',    'i',    'j',
       'k',    'l',   0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D,
       0x4E2D, 'm',   'n',    'o',    'p',    'q',    'r',    's',    't',    'u',
       'v',    'w',   'x',    0x3B1,  0x3B2,  0x3B3,  0x3B4,  0x3B5,  0x3B6,  0x3B7,
       0x3B8,  0x3B9, 0x3BA,  0x3BB,  0x3BC,  0x3BD,  0x3BE,  0x3BF,  0x3C0,  0x3C1}};
  const std::string utf8Inserts[] = {"\x80",
                                     "\xC3",
                                     "\xE4\xB8",
                                     "\xF0\x9F\x98",
                                     "\xED\xA0\x80",
                                     "\xE0\x9F\xBF",
                                     "\xC1\xBF",
                                     "\xF0\x9F\x98\x80",
                                     "z",
                                     "\xC3\xA9",
                                     "\xE4\xB8\xAD",
                                     "\xFF"};
  const WString utf16Inserts[] = {{0xD800}, {0xDC00}, {0xDBFF, 0xDFFF}, {0xDC00, 0xD800},
                                  {'z'},    {0xE9},   {0x4E2D},         {0}};
  for (const auto& run : runs) {
    // Every length up to a few blocks, then some past the 64-element windows.
    std::vector<size_t> lengths;
    for (size_t length = 0; length < 44; ++length) {
      lengths.push_back(length);
    }
    lengths.insert(lengths.end(), {50, 63, 77, 96, 111, 139});
    for (const size_t length : lengths) {
      std::vector<char32_t> codes;
      for (size_t k = 0; k < length; ++k) {
        codes.push_back(run[k % run.size()]);
      }
      const std::string utf8 = utf8Of(codes);
      const WString utf16 = utf16Of(codes);
      ASSERT_EQ(checkedUtf16(utf8), utf16) << length;
      ASSERT_EQ(checkedUtf8(utf16), utf8) << length;
      // Every room too small fails without writing past it.
      for (size_t room = 0; room < utf16.size(); ++room) {
        WString w(utf16.size() + 4, 0x7777);
        ASSERT_FALSE(utf8ToUtf16(utf8.data(), utf8.size(), w.data(), room).fits);
        ASSERT_EQ(w.substr(room), WString(utf16.size() + 4 - room, 0x7777))
            << length << " " << room;
      }
      for (size_t room = 0; room < utf8.size(); ++room) {
        std::string s(utf8.size() + 4, '#');
        ASSERT_FALSE(utf16ToUtf8(utf16.data(), utf16.size(), s.data(), room).fits);
        ASSERT_EQ(s.substr(room), std::string(utf8.size() + 4 - room, '#'))
            << length << " " << room;
      }
      // Byte positions, so inserts also land inside characters.
      for (size_t at = 0; at <= utf8.size(); ++at) {
        for (const std::string& insert : utf8Inserts) {
          const std::string text = utf8.substr(0, at) + insert + utf8.substr(at);
          ASSERT_EQ(checkedUtf16(text), utf16OneByOne(text))
              << length << " " << at << " " << testing::PrintToString(insert);
        }
      }
      for (size_t at = 0; at <= utf16.size(); ++at) {
        for (const WString& insert : utf16Inserts) {
          const WString text = utf16.substr(0, at) + insert + utf16.substr(at);
          ASSERT_EQ(checkedUtf8(text), utf8OneByOne(text)) << length << " " << at;
        }
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
