// The string_ character functions: stepping, counting, search, case,
// replacing, stripping, bounded copying and formatting.
#include "tskbase/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "allocation_failure.h"
#include "narrow_encoding.h"
#include "platform/heap.h"
#include "string_test_util.h"

namespace {

using tsk::test::edited;
using tsk::test::FailNthAllocation;
using tsk::test::WString;
using EditA = char* (*)(char*);
using EditW = tsk_wchar_t* (*)(tsk_wchar_t*);

// "aé€" in UTF-8: characters of one, two and three bytes.
const char kMixed[] = "a\xC3\xA9\xE2\x82\xAC";

TEST(StringSteppingTest, NarrowStepsWholeCharacters) {
  TSK_USE_NARROW_ENCODING(kUtf8);
  EXPECT_EQ(string_incrementA(kMixed + 1), kMixed + 3);
  EXPECT_EQ(string_decrementA(kMixed, kMixed + 6), kMixed + 3);
  EXPECT_EQ(string_decrementA(kMixed, kMixed + 3), kMixed + 1);
  EXPECT_EQ(string_getLastCharA(kMixed), kMixed + 3);
  EXPECT_EQ(string_numCharsA(kMixed), 3u);
  EXPECT_EQ(string_getCharCountA("\xC3\xA9x\xC3\xA9", 0xC3A9), 2u);
  // The trail byte of é is not a character of its own.
  EXPECT_EQ(string_getCharCountA(kMixed, 0xA9), 0u);
  EXPECT_EQ(string_strchrA(kMixed, 0xE282AC), kMixed + 3);
  EXPECT_EQ(string_strstrA(kMixed, "\xA9"), nullptr);
  EXPECT_EQ(string_strstrA(kMixed, "\xE2\x82\xAC"), kMixed + 3);
}

TEST(StringSteppingTest, WideStepsUnits) {
  // In a buffer of exactly its size: a pattern longer than what is left
  // reads no unit past the terminator.
  const tsk_wchar_t exact[] = {'a', 'b', ';', 'c', ';', 0};
  const tsk_wchar_t* p = exact;
  EXPECT_EQ(string_incrementW(p), p + 1);
  EXPECT_EQ(string_decrementW(p, p + 2), p + 1);
  EXPECT_EQ(string_decrementW(p, p), nullptr);
  EXPECT_EQ(string_getLastCharW(p), p + 4);
  EXPECT_EQ(string_numCharsW(p), 5u);
  EXPECT_EQ(string_getCharCountW(p, ';'), 2u);
  EXPECT_EQ(string_getCharCountW(p, 0), 0u);
  EXPECT_EQ(string_strchrW(p, ';'), p + 2);
  EXPECT_EQ(string_strrchrW(p, ';'), p + 4);
  EXPECT_EQ(string_strstrW(p, TSK_W("c;")), p + 3);
  EXPECT_EQ(string_strstrW(p, TSK_W("")), nullptr);
  EXPECT_EQ(string_strstrW(p, TSK_W("c;and more")), nullptr);
  EXPECT_EQ(string_strstrW(p + 4, TSK_W(";;")), nullptr);
  const WString spaced = TSK_W(" \t\x3000x ");
  EXPECT_EQ(string_skipWhiteSpaceW(spaced.c_str()), spaced.c_str() + 3);
  // Null and empty strings.
  EXPECT_EQ(string_incrementA(nullptr), nullptr);
  EXPECT_EQ(string_decrementA(nullptr, "a"), nullptr);
  EXPECT_EQ(string_getLastCharA(""), nullptr);
  EXPECT_EQ(string_numCharsA(nullptr) + string_safeLengthW(nullptr), 0u);
  EXPECT_EQ(string_getCharCountA(nullptr, 'a') + string_getCharCountA("abc", 0), 0u);
  EXPECT_EQ(string_strstrA("abc", ""), nullptr);
  EXPECT_EQ(string_skipWhiteSpaceW(nullptr), nullptr);
  EXPECT_EQ(string_isSpaceW(0) + string_isSpaceW('x'), 0);
  EXPECT_EQ(string_isSpaceW(' '), 1);
}

TEST(StringReplaceTest, CaseCharactersAndNewlines) {
  EXPECT_EQ(edited("MiXed 1", string_toLowerA), "mixed 1");
  EXPECT_EQ(edited("MiXed 1", string_toUpperA), "MIXED 1");
  EXPECT_EQ(edited(TSK_W("MiXed 1"), string_toLowerW), TSK_W("mixed 1"));
  EXPECT_EQ(edited(TSK_W("MiXed 1"), string_toUpperW), TSK_W("MIXED 1"));
  EXPECT_EQ(edited(TSK_W("a.b.c"), [](tsk_wchar_t* s) { return string_replaceCharW(s, '.', '-'); }),
            TSK_W("a-b-c"));
  EXPECT_EQ(edited("a\\nb\\Nc\\\\nd\\x\\", string_replaceCRA), "a\nb\nc\\\nd\\x\\");
  EXPECT_EQ(edited(TSK_W("a\\nb\\Nc"), string_replaceCRW), TSK_W("a\nb\nc"));
  EXPECT_EQ(string_replaceCharA(nullptr, 'a', 'b'), nullptr);
  EXPECT_EQ(string_replaceCRA(nullptr), nullptr);
}

TEST(StringReplaceTest, ReplacesSingleByteCharactersOnly) {
  TSK_USE_NARROW_ENCODING(kUtf8);
  const char text[] = "\xC3\xA9/\xC3\xA9/";
  EXPECT_EQ(edited(text, [](char* s) { return string_replaceCharA(s, '/', '\\'); }),
            "\xC3\xA9\\\xC3\xA9\\");
  // 0xA9 is only ever the second byte of é here: nothing changes.
  EXPECT_EQ(edited(text, [](char* s) { return string_replaceCharA(s, 0xA9, 'x'); }), text);
  // Case mapping in the C locale never touches a byte of a multibyte character.
  EXPECT_EQ(edited("ab\xC3\xA9Z", string_toUpperA), "AB\xC3\xA9Z");
  EXPECT_EQ(edited("AB\xC3\x89z", string_toLowerA), "ab\xC3\x89z");
}

TEST(StringStripTest, SkippingRuleAndCountedEnds) {
  // After a removal the next character is kept: half of each run stays.
  const struct {
    const char* in;
    EditA edit;
    const char* out;
  } narrow[] = {
      {"\\\\x\\\"y", [](char* s) { return string_stripCharA(s, '\\'); }, "\\x\"y"},
      {"x\\", [](char* s) { return string_stripCharA(s, '\\'); }, "x"},
      {"a  b ", string_stripWhiteSpaceA, "a b"},
      {"\x01\x01\x01z\x02", string_stripCtlCharA, "\x01z"},
      {"abc\"", [](char* s) { return string_stripTrailingCharA(s, '"', 1); }, "abc"},
      {"abc\"", [](char* s) { return string_stripTrailingCharA(s, '"', 0); }, "abc\""},
      {"abc\"", [](char* s) { return string_stripTrailingCharA(s, '"', -3); }, "abc\""},
      {"\"\"", [](char* s) { return string_stripTrailingCharA(s, '"', 5); }, ""},
      {"00102", [](char* s) { return string_stripLeadingCharA(s, '0', 1); }, "0102"},
      {"\r\n\tx\r\n", [](char* s) { return string_stripLeadingCtlCharA(s, 2); }, "\tx\r\n"},
      {"\r\n\tx\r\n", [](char* s) { return string_stripTrailingCtlCharA(s, 9); }, "\r\n\tx"},
  };
  for (const auto& c : narrow) {
    EXPECT_EQ(edited(c.in, c.edit), c.out) << testing::PrintToString(c.in);
  }
  EXPECT_EQ(edited(TSK_W("a,,,,b,"), [](tsk_wchar_t* s) { return string_stripCharW(s, ','); }),
            TSK_W("a,,b"));
  // The wide forms remove every control and space character.
  EXPECT_EQ(edited(TSK_W("ab\x01\r\n"), string_stripCtlCharW), TSK_W("ab"));
  EXPECT_EQ(edited(TSK_W(" a \t b  "), string_stripWhiteSpaceW), TSK_W("ab"));
}

TEST(StringStripTest, NarrowStripsWholeCharacters) {
  TSK_USE_NARROW_ENCODING(kUtf8);
  EXPECT_EQ(edited("\xC3\xA9,\xE2\x82\xAC,", [](char* s) { return string_stripCharA(s, ','); }),
            "\xC3\xA9\xE2\x82\xAC");
  // A byte that is no character on its own matches nothing.
  EXPECT_EQ(edited("\xC3\xA9", [](char* s) { return string_stripCharA(s, 0xA9); }), "\xC3\xA9");
  EXPECT_EQ(edited(" \t\xC3\xA9 \xC3\xA9 \n", string_stripLeadWhiteSpaceA), "\xC3\xA9 \xC3\xA9 \n");
  EXPECT_EQ(edited(" \xC3\xA9 \xC3\xA9 \n", string_stripTrailWhiteSpaceA), " \xC3\xA9 \xC3\xA9");
  EXPECT_EQ(edited(" \xC3\xA9  \xE2\x82\xAC", string_stripWhiteSpaceA), "\xC3\xA9 \xE2\x82\xAC");
}

// In Latin-1 the character argument is cut to a byte.
TEST(StringStripTest, NarrowCharacterArgumentInLatin1) {
  TSK_USE_NARROW_ENCODING(kLatin1);
  EXPECT_EQ(edited("\xE9t\xE9", [](char* s) { return string_stripCharA(s, 0x1E9); }), "t");
  EXPECT_EQ(edited("t\xE9\xE9", [](char* s) { return string_stripTrailingCharA(s, 0xE9, 9); }),
            "t");
}

TEST(StringStripTest, FailedConversionOrAllocationLeavesTheString) {
  TSK_USE_NARROW_ENCODING(kUtf8);
  // A stray byte comes back as the three bytes of U+FFFD: no room for them.
  // The round trip runs whatever the character argument, so one that maps
  // to nothing (a trail byte, 0) fails on such a string just as ',' does.
  char stray[] = "a\xFF\x01";
  EXPECT_EQ(string_stripCtlCharA(stray), nullptr);
  for (const int32_t ch : {int32_t(','), int32_t(0xA9), int32_t(0), int32_t(0x100)}) {
    SCOPED_TRACE(ch);
    EXPECT_EQ(string_stripCharA(stray, ch), nullptr);
    EXPECT_EQ(string_stripLeadingCharA(stray, ch, 3), nullptr);
    EXPECT_EQ(string_stripTrailingCharA(stray, ch, 3), nullptr);
    EXPECT_STREQ(stray, "a\xFF\x01");
  }
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

TEST(StringStripTest, WideCharacterArgumentIsCompared32Bit) {
  // The argument is not cut to 16 bits: 0x1002C is no comma, -1 no U+FFFF.
  const WString ffff = WString(TSK_W("a,b,")) + tsk_wchar_t(0xFFFF);
  for (const int32_t ch : {int32_t(0x1002C), int32_t(-1), int32_t(0xFFFF2C)}) {
    const auto strip = [ch](tsk_wchar_t* s) { return string_stripCharW(s, ch); };
    const auto trailing = [ch](tsk_wchar_t* s) { return string_stripTrailingCharW(s, ch, 9); };
    EXPECT_EQ(edited(ffff.c_str(), strip), ffff) << ch;
    EXPECT_EQ(edited(ffff.c_str(), trailing), ffff) << ch;
  }
  EXPECT_EQ(
      edited(ffff.c_str(), [](tsk_wchar_t* s) { return string_stripTrailingCharW(s, 0xFFFF, 9); }),
      TSK_W("a,b,"));
}

TEST(StringCopyTest, CopyAndConcatenateKeepWithinSize) {
  tsk_wchar_t w[8];
  std::fill(std::begin(w), std::end(w), tsk_wchar_t('#'));
  EXPECT_EQ(string_safeCopyW(TSK_W("abcdef"), w, 4), TSK_OK);
  EXPECT_EQ(WString(w, 5), WString(TSK_W("abc\0#"), 5));
  EXPECT_EQ(string_safeCopyW(TSK_W("abcdef"), w, 0), TSK_FAIL);
  EXPECT_EQ(string_safeCopyW(nullptr, w, 4), TSK_FAIL);
  char a[6];
  std::memset(a, '#', sizeof a);
  EXPECT_EQ(string_safeCopyA("ab", a, sizeof a), TSK_OK);
  EXPECT_EQ(std::string(a, sizeof a), std::string("ab\0\0\0\0", 6));
  EXPECT_EQ(string_safeCopyA("ab", nullptr, 1), TSK_FAIL);

  tsk_wchar_t cat[4] = {'a', 'b', 0, '#'};
  EXPECT_EQ(string_safeConcatenateW(TSK_W("cd"), cat, 4), TSK_OK);
  EXPECT_EQ(WString(cat), TSK_W("abc"));
  // A destination that already fills the size is left alone.
  tsk_wchar_t full[3] = {'x', 'y', 'z'};
  EXPECT_EQ(string_safeConcatenateW(TSK_W("q"), full, 3), TSK_FAIL);
  EXPECT_EQ(full[2], 'z');
  EXPECT_EQ(string_safeConcatenateW(TSK_W("q"), cat, 0), TSK_FAIL);
}

// The four bounded formatters are one template; the va_list forms are the
// same calls and need no case of their own.
TEST(StringFormatTest, OverflowLeavesTheLastElement) {
  char a[6];
  std::memset(a, '#', sizeof a);
  EXPECT_EQ(string_safeSprintfA(a, sizeof a, "%s-%d", "ab", 12), TSK_OK);
  EXPECT_STREQ(a, "ab-12");
  std::memset(a, '#', sizeof a);
  EXPECT_EQ(string_safeSprintfA(a, sizeof a, "%s-%d", "ab", 123), TSK_FAIL);
  EXPECT_EQ(std::string(a, sizeof a), "ab-12#");
  tsk_wchar_t w[4];
  std::fill(std::begin(w), std::end(w), tsk_wchar_t('#'));
  EXPECT_EQ(string_safeSprintfW(w, 4, TSK_W("%d%s"), 12, TSK_W("xy")), TSK_FAIL);
  EXPECT_EQ(WString(w, 4), TSK_W("12x#"));
  EXPECT_EQ(string_safeSprintfW(w, 4, TSK_W("%c%c"), 'o', 'k'), TSK_OK);
  EXPECT_EQ(WString(w), TSK_W("ok"));
  EXPECT_EQ(string_safeSprintfA(a, 0, "x"), TSK_FAIL);
  EXPECT_EQ(string_safeSprintfA(nullptr, 4, "x"), TSK_FAIL);
  EXPECT_EQ(string_safeSprintfW(w, 4, nullptr), TSK_FAIL);
}

// Allocates from the caller's runtime heap, as an allocation function must.
size_t g_requested = 0;
void* recordingAllocate(size_t bytes) {
  g_requested = bytes;
  return tsk::platform::heapAllocate(bytes);
}
void* refusingAllocate(size_t) { return nullptr; }

TEST(StringFormatTest, SprintfAllocAsksForTheExactSize) {
  tsk_wchar_t* s = string_sprintfAllocW(recordingAllocate, TSK_W("%s=%d"), TSK_W("key"), 42);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(WString(s), TSK_W("key=42"));
  EXPECT_EQ(g_requested, 7 * sizeof(tsk_wchar_t));
  tsk::platform::heapRelease(s);
  EXPECT_EQ(string_sprintfAllocW(refusingAllocate, TSK_W("x")), nullptr);
  EXPECT_EQ(string_sprintfAllocW(nullptr, TSK_W("x")), nullptr);
  EXPECT_EQ(string_sprintfAllocW(recordingAllocate, nullptr), nullptr);
}

} // namespace
