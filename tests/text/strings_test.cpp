// The string_ character functions: stepping, counting, search, case,
// replacing, stripping, bounded copying and formatting.
#include "tskbase/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "narrow_encoding.h"
#include "string_test_util.h"

namespace {

using tsk::test::editedA;
using tsk::test::editedW;
using tsk::test::FailNthAllocation;
using tsk::test::NarrowEncoding;
using tsk::test::ScopedNarrowEncoding;
using tsk::test::WString;

// "aé€" in UTF-8: characters of one, two and three bytes.
const char kMixed[] = "a\xC3\xA9\xE2\x82\xAC";

TEST(StringSteppingTest, NarrowStepsWholeCharacters) {
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  EXPECT_EQ(string_incrementA(kMixed + 1), kMixed + 3);
  EXPECT_EQ(string_decrementA(kMixed, kMixed + 6), kMixed + 3);
  EXPECT_EQ(string_decrementA(kMixed, kMixed + 3), kMixed + 1);
  EXPECT_EQ(string_getLastCharA(kMixed), kMixed + 3);
  EXPECT_EQ(string_numCharsA(kMixed), 3u);
  EXPECT_EQ(string_safeLengthA(kMixed), 6u);
  EXPECT_EQ(string_getCharCountA("\xC3\xA9x\xC3\xA9", 0xC3A9), 2u);
  // The trail byte of é is not a character of its own.
  EXPECT_EQ(string_getCharCountA(kMixed, 0xA9), 0u);
  EXPECT_EQ(string_strchrA(kMixed, 0xE282AC), kMixed + 3);
  EXPECT_EQ(string_strstrA(kMixed, "\xA9"), nullptr);
  EXPECT_EQ(string_strstrA(kMixed, "\xE2\x82\xAC"), kMixed + 3);
}

TEST(StringSteppingTest, WideStepsUnits) {
  const WString s = TSK_W("ab;c;");
  const tsk_wchar_t* p = s.c_str();
  EXPECT_EQ(string_incrementW(p), p + 1);
  EXPECT_EQ(string_nextCharW(p + 1), p + 2);
  EXPECT_EQ(string_decrementW(p, p + 2), p + 1);
  EXPECT_EQ(string_decrementW(p, p), nullptr);
  EXPECT_EQ(string_getLastCharW(p), p + 4);
  EXPECT_EQ(string_numCharsW(p), 5u);
  EXPECT_EQ(string_safeLengthW(p), 5u);
  EXPECT_EQ(string_getCharCountW(p, ';'), 2u);
  EXPECT_EQ(string_getCharCountW(p, 0), 0u);
  EXPECT_EQ(string_strchrW(p, ';'), p + 2);
  EXPECT_EQ(string_strrchrW(p, ';'), p + 4);
  EXPECT_EQ(string_strchrW(p, 0), p + 5);
  EXPECT_EQ(string_strstrW(p, TSK_W("c;")), p + 3);
  EXPECT_EQ(string_strstrW(p, TSK_W("")), nullptr);
  // A pattern longer than what is left: no unit past the terminator is read
  // (the text sits in a buffer of exactly its size).
  const std::vector<tsk_wchar_t> exact(s.c_str(), s.c_str() + s.size() + 1);
  EXPECT_EQ(string_strstrW(exact.data(), TSK_W("c;and more")), nullptr);
  EXPECT_EQ(string_strstrW(exact.data() + 4, TSK_W(";;")), nullptr);
  const WString spaced = TSK_W(" \t\x3000x ");
  EXPECT_EQ(string_skipWhiteSpaceW(spaced.c_str()), spaced.c_str() + 3);
  EXPECT_EQ(string_skipWhiteSpaceW(p), p);
}

TEST(StringSteppingTest, NullAndEmptyStrings) {
  EXPECT_EQ(string_incrementA(nullptr), nullptr);
  EXPECT_EQ(string_incrementW(nullptr), nullptr);
  EXPECT_EQ(string_decrementA(nullptr, "a"), nullptr);
  EXPECT_EQ(string_getLastCharA(""), nullptr);
  EXPECT_EQ(string_getLastCharW(TSK_W("")), nullptr);
  EXPECT_EQ(string_numCharsA(nullptr), 0u);
  EXPECT_EQ(string_safeLengthW(nullptr), 0u);
  EXPECT_EQ(string_getCharCountA(nullptr, 'a'), 0u);
  EXPECT_EQ(string_getCharCountA("abc", 0), 0u);
  EXPECT_EQ(string_strchrA(nullptr, 'a'), nullptr);
  EXPECT_EQ(string_strstrA("abc", ""), nullptr);
  EXPECT_EQ(string_strstrA("", "a"), nullptr);
  EXPECT_EQ(string_toLowerA(nullptr), nullptr);
  EXPECT_EQ(string_skipWhiteSpaceW(nullptr), nullptr);
  EXPECT_EQ(string_isSpaceW(0), 0);
  EXPECT_EQ(string_isSpaceW(' '), 1);
  EXPECT_EQ(string_isSpaceW('x'), 0);
}

TEST(StringCaseTest, MapsInPlace) {
  EXPECT_EQ(editedA("MiXed 1", string_toLowerA), "mixed 1");
  EXPECT_EQ(editedA("MiXed 1", string_toUpperA), "MIXED 1");
  EXPECT_EQ(editedW(TSK_W("MiXed 1"), string_toLowerW), TSK_W("mixed 1"));
  EXPECT_EQ(editedW(TSK_W("MiXed 1"), string_toUpperW), TSK_W("MIXED 1"));
}

TEST(StringReplaceTest, ReplacesSingleByteCharactersOnly) {
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  const std::string text = "\xC3\xA9/\xC3\xA9/";
  EXPECT_EQ(editedA(text, [](char* s) { return string_replaceCharA(s, '/', '\\'); }),
            "\xC3\xA9\\\xC3\xA9\\");
  // 0xA9 is only ever the second byte of é here: nothing changes.
  EXPECT_EQ(editedA(text, [](char* s) { return string_replaceCharA(s, 0xA9, 'x'); }), text);
  EXPECT_EQ(
      editedW(TSK_W("a.b.c"), [](tsk_wchar_t* s) { return string_replaceCharW(s, '.', '-'); }),
      TSK_W("a-b-c"));
  EXPECT_EQ(string_replaceCharA(nullptr, 'a', 'b'), nullptr);
}

TEST(StringReplaceTest, BackslashNBecomesNewline) {
  EXPECT_EQ(editedA("a\\nb\\Nc\\\\nd\\x\\", string_replaceCRA), "a\nb\nc\\\nd\\x\\");
  EXPECT_EQ(editedW(TSK_W("a\\nb\\Nc"), string_replaceCRW), TSK_W("a\nb\nc"));
  EXPECT_EQ(editedW(TSK_W(""), string_replaceCRW), TSK_W(""));
  EXPECT_EQ(string_replaceCRA(nullptr), nullptr);
}

TEST(StringStripTest, SkippingRuleLeavesHalfOfEachRun) {
  const auto commaW = [](tsk_wchar_t* s) { return string_stripCharW(s, ','); };
  EXPECT_EQ(editedW(TSK_W("a,,,b"), commaW), TSK_W("a,b"));
  EXPECT_EQ(editedW(TSK_W("a,b"), commaW), TSK_W("ab"));
  EXPECT_EQ(editedW(TSK_W("a,,,,b,"), commaW), TSK_W("a,,b"));
  EXPECT_EQ(editedW(TSK_W(",,"), commaW), TSK_W(","));
  const auto backslash = [](char* s) { return string_stripCharA(s, '\\'); };
  EXPECT_EQ(editedA("\\\\x\\\"y", backslash), "\\x\"y");
  EXPECT_EQ(editedA("x\\", backslash), "x");
  EXPECT_EQ(editedA("a  b ", string_stripWhiteSpaceA), "a b");
  EXPECT_EQ(editedA("\x01\x01\x01z\x02", string_stripCtlCharA), "\x01z");
}

TEST(StringStripTest, WideRemovesEveryControlAndSpace) {
  EXPECT_EQ(editedW(TSK_W("ab\x01"
                          "c"),
                    string_stripCtlCharW),
            TSK_W("abc"));
  EXPECT_EQ(editedW(TSK_W("word\r\n"), string_stripCtlCharW), TSK_W("word"));
  EXPECT_EQ(editedW(TSK_W(" a \t b  "), string_stripWhiteSpaceW), TSK_W("ab"));
  EXPECT_EQ(editedW(TSK_W("  a b "), string_stripLeadWhiteSpaceW), TSK_W("a b "));
  EXPECT_EQ(editedW(TSK_W("  a b \t"), string_stripTrailWhiteSpaceW), TSK_W("  a b"));
  EXPECT_EQ(editedW(TSK_W("   "), string_stripTrailWhiteSpaceW), TSK_W(""));
}

TEST(StringStripTest, LeadingAndTrailingHonourTheCount) {
  const auto trailingQuote = [](int32_t max) {
    return [max](char* s) { return string_stripTrailingCharA(s, '"', max); };
  };
  EXPECT_EQ(editedA("abc\"", trailingQuote(1)), "abc");
  EXPECT_EQ(editedA("abc\"", trailingQuote(0)), "abc\"");
  EXPECT_EQ(editedA("abc\"", trailingQuote(-3)), "abc\"");
  EXPECT_EQ(editedA("\"\"", trailingQuote(5)), "");
  EXPECT_EQ(
      editedW(TSK_W("x;;;"), [](tsk_wchar_t* s) { return string_stripTrailingCharW(s, ';', 2); }),
      TSK_W("x;"));
  EXPECT_EQ(
      editedW(TSK_W("00102"), [](tsk_wchar_t* s) { return string_stripLeadingCharW(s, '0', 5); }),
      TSK_W("102"));
  EXPECT_EQ(editedA("00102", [](char* s) { return string_stripLeadingCharA(s, '0', 1); }), "0102");
  EXPECT_EQ(editedA("\r\n\tx\r\n", [](char* s) { return string_stripLeadingCtlCharA(s, 2); }),
            "\tx\r\n");
  EXPECT_EQ(editedA("\r\n\tx\r\n", [](char* s) { return string_stripTrailingCtlCharA(s, 9); }),
            "\r\n\tx");
  EXPECT_EQ(
      editedW(TSK_W("\n\nx\n\n"), [](tsk_wchar_t* s) { return string_stripLeadingCtlCharW(s, 9); }),
      TSK_W("x\n\n"));
  EXPECT_EQ(editedW(TSK_W("\n\nx\n\n"),
                    [](tsk_wchar_t* s) { return string_stripTrailingCtlCharW(s, 1); }),
            TSK_W("\n\nx\n"));
}

TEST(StringStripTest, NarrowStripsWholeCharacters) {
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  EXPECT_EQ(editedA("\xC3\xA9,\xE2\x82\xAC,", [](char* s) { return string_stripCharA(s, ','); }),
            "\xC3\xA9\xE2\x82\xAC");
  // A byte that is no character on its own matches nothing.
  EXPECT_EQ(editedA("\xC3\xA9", [](char* s) { return string_stripCharA(s, 0xA9); }), "\xC3\xA9");
  EXPECT_EQ(editedA(" \t\xC3\xA9 \xC3\xA9 \n", string_stripLeadWhiteSpaceA),
            "\xC3\xA9 \xC3\xA9 \n");
  EXPECT_EQ(editedA(" \xC3\xA9 \xC3\xA9 \n", string_stripTrailWhiteSpaceA), " \xC3\xA9 \xC3\xA9");
  EXPECT_EQ(editedA(" \xC3\xA9  \xE2\x82\xAC", string_stripWhiteSpaceA), "\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(editedA(" \n ", string_stripTrailWhiteSpaceA), "");
}

TEST(StringStripTest, NarrowCharacterArgumentInLatin1) {
  ScopedNarrowEncoding latin1(NarrowEncoding::kLatin1);
  TSK_REQUIRE_NARROW_ENCODING(latin1, "Latin-1");
  EXPECT_EQ(editedA("\xE9t\xE9", [](char* s) { return string_stripCharA(s, 0x1E9); }), "t");
  EXPECT_EQ(editedA("t\xE9\xE9", [](char* s) { return string_stripTrailingCharA(s, 0xE9, 9); }),
            "t");
}

TEST(StringStripTest, FailedConversionLeavesTheString) {
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  // A stray byte comes back as the three bytes of U+FFFD: no room for them.
  // The round trip runs whatever the character argument, so one that maps
  // to nothing (a trail byte, 0) fails on such a string just as ',' does.
  char stray[] = "a\xFF\x01";
  EXPECT_EQ(string_stripCtlCharA(stray), nullptr);
  EXPECT_STREQ(stray, "a\xFF\x01");
  for (const int32_t ch : {int32_t(','), int32_t(0xA9), int32_t(0), int32_t(0x100)}) {
    SCOPED_TRACE(ch);
    EXPECT_EQ(string_stripCharA(stray, ch), nullptr);
    EXPECT_EQ(string_stripLeadingCharA(stray, ch, 3), nullptr);
    EXPECT_EQ(string_stripTrailingCharA(stray, ch, 3), nullptr);
    EXPECT_STREQ(stray, "a\xFF\x01");
  }
}

TEST(StringStripTest, WideCharacterArgumentIsCompared32Bit) {
  // The argument is not cut to 16 bits: 0x1002C is no comma, -1 no U+FFFF.
  const WString commas = TSK_W("a,b,");
  const WString ffff = WString(TSK_W("a")) + tsk_wchar_t(0xFFFF);
  for (const int32_t ch : {int32_t(0x1002C), int32_t(-1), int32_t(0xFFFF2C)}) {
    SCOPED_TRACE(ch);
    for (const WString& text : {commas, ffff}) {
      EXPECT_EQ(editedW(text, [ch](tsk_wchar_t* s) { return string_stripCharW(s, ch); }), text);
      EXPECT_EQ(editedW(text, [ch](tsk_wchar_t* s) { return string_stripLeadingCharW(s, ch, 9); }),
                text);
      EXPECT_EQ(editedW(text, [ch](tsk_wchar_t* s) { return string_stripTrailingCharW(s, ch, 9); }),
                text);
    }
  }
  EXPECT_EQ(editedW(ffff, [](tsk_wchar_t* s) { return string_stripTrailingCharW(s, 0xFFFF, 9); }),
            TSK_W("a"));
  EXPECT_EQ(editedW(commas, [](tsk_wchar_t* s) { return string_stripCharW(s, ','); }), TSK_W("ab"));
}

TEST(StringStripTest, FailedAllocationLeavesTheString) {
  char text[] = "a,b";
  {
    FailNthAllocation fail(1);
    EXPECT_EQ(string_stripCharA(text, ','), nullptr);
    EXPECT_EQ(fail.leaked(), 0);
  }
  EXPECT_STREQ(text, "a,b");
  EXPECT_EQ(string_stripCharA(nullptr, ','), nullptr);
  EXPECT_EQ(string_stripCtlCharW(nullptr), nullptr);
}

TEST(StringCopyTest, CopiesAtMostSizeMinusOne) {
  tsk_wchar_t w[8];
  std::fill(std::begin(w), std::end(w), tsk_wchar_t('#'));
  EXPECT_EQ(string_safeCopyW(TSK_W("abcdef"), w, 4), TSK_OK);
  EXPECT_EQ(WString(w), TSK_W("abc"));
  EXPECT_EQ(w[4], '#');
  EXPECT_EQ(string_safeCopyW(TSK_W("abcdef"), w, 0), TSK_FAIL);
  EXPECT_EQ(string_safeCopyW(nullptr, w, 4), TSK_FAIL);

  char a[6];
  std::memset(a, '#', sizeof a);
  EXPECT_EQ(string_safeCopyA("ab", a, sizeof a), TSK_OK);
  EXPECT_EQ(std::string(a, sizeof a), std::string("ab\0\0\0\0", 6));
  EXPECT_EQ(string_safeCopyA("ab", nullptr, 1), TSK_FAIL);
}

TEST(StringCopyTest, ConcatenateKeepsWithinSize) {
  tsk_wchar_t w[4] = {'a', 'b', 0, '#'};
  EXPECT_EQ(string_safeConcatenateW(TSK_W("cd"), w, 4), TSK_OK);
  EXPECT_EQ(WString(w), TSK_W("abc"));
  EXPECT_EQ(string_safeConcatenateW(TSK_W(""), w, 4), TSK_OK);
  EXPECT_EQ(WString(w), TSK_W("abc"));
  // A destination that already fills the size is left alone.
  tsk_wchar_t full[3] = {'x', 'y', 'z'};
  EXPECT_EQ(string_safeConcatenateW(TSK_W("q"), full, 3), TSK_FAIL);
  EXPECT_EQ(full[2], 'z');
  EXPECT_EQ(string_safeConcatenateW(TSK_W("q"), w, 0), TSK_FAIL);
}

tsk_status viaVsprintfA(char* buf, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const tsk_status status = string_safeVsprintfA(buf, size, format, args);
  va_end(args);
  return status;
}

tsk_status viaVsprintfW(tsk_wchar_t* buf, size_t size, const tsk_wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const tsk_status status = string_safeVsprintfW(buf, size, format, args);
  va_end(args);
  return status;
}

TEST(StringFormatTest, OverflowLeavesTheLastElement) {
  char a[6];
  std::memset(a, '#', sizeof a);
  EXPECT_EQ(string_safeSprintfA(a, sizeof a, "%s-%d", "ab", 12), TSK_OK);
  EXPECT_STREQ(a, "ab-12");
  std::memset(a, '#', sizeof a);
  EXPECT_EQ(string_safeSprintfA(a, sizeof a, "%s-%d", "ab", 123), TSK_FAIL);
  EXPECT_EQ(std::string(a, sizeof a), "ab-12#");
  std::memset(a, '#', sizeof a);
  EXPECT_EQ(viaVsprintfA(a, sizeof a, "%05d", 7), TSK_OK);
  EXPECT_STREQ(a, "00007");

  tsk_wchar_t w[4];
  std::fill(std::begin(w), std::end(w), tsk_wchar_t('#'));
  EXPECT_EQ(string_safeSprintfW(w, 4, TSK_W("%d%s"), 12, TSK_W("xy")), TSK_FAIL);
  EXPECT_EQ(WString(w, 4), TSK_W("12x#"));
  EXPECT_EQ(viaVsprintfW(w, 4, TSK_W("%c%c"), 'o', 'k'), TSK_OK);
  EXPECT_EQ(WString(w), TSK_W("ok"));
  EXPECT_EQ(string_safeSprintfA(a, 0, "x"), TSK_FAIL);
  EXPECT_EQ(string_safeSprintfA(nullptr, 4, "x"), TSK_FAIL);
  EXPECT_EQ(string_safeSprintfW(w, 4, nullptr), TSK_FAIL);
}

size_t g_requested = 0;
void* recordingAllocate(size_t bytes) {
  g_requested = bytes;
  return std::malloc(bytes);
}
void* refusingAllocate(size_t) { return nullptr; }

TEST(StringFormatTest, SprintfAllocAsksForTheExactSize) {
  tsk_wchar_t* s = string_sprintfAllocW(recordingAllocate, TSK_W("%s=%d"), TSK_W("key"), 42);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(WString(s), TSK_W("key=42"));
  EXPECT_EQ(g_requested, 7 * sizeof(tsk_wchar_t));
  std::free(s);
  EXPECT_EQ(string_sprintfAllocW(refusingAllocate, TSK_W("x")), nullptr);
  EXPECT_EQ(string_sprintfAllocW(nullptr, TSK_W("x")), nullptr);
  EXPECT_EQ(string_sprintfAllocW(recordingAllocate, nullptr), nullptr);
}

} // namespace
