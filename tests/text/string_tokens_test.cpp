// The string_ tokens, search and replace, fractions, number reading, the
// environment variable and path strings.
#include "tskbase/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "allocation_failure.h"
#include "environment.h"
#include "narrow_encoding.h"
#include "string_test_util.h"

namespace {

using tsk::test::edited;
using tsk::test::FailNthAllocation;
using tsk::test::WString;

uint32_t countA(const char* str, const char* delims) {
  uint32_t count = 99;
  EXPECT_EQ(string_getTokenCountA(str, delims, &count), TSK_OK);
  return count;
}

uint32_t countW(const tsk_wchar_t* str, const tsk_wchar_t* delims) {
  uint32_t count = 99;
  EXPECT_EQ(string_getTokenCountW(str, delims, &count), TSK_OK);
  return count;
}

// Every token that string_getToken takes one after the other; the counter
// must agree.
std::vector<std::string> tokensA(const char* str, const char* delims) {
  std::vector<std::string> out;
  std::vector<char> token(std::strlen(str) + 1);
  for (const char* p = str;
       p != nullptr && string_getTokenA(p, delims, token.data(), &p) == TSK_OK;) {
    out.emplace_back(token.data());
  }
  EXPECT_EQ(countA(str, delims), out.size()) << "count";
  return out;
}

std::vector<WString> tokensW(const tsk_wchar_t* str, const tsk_wchar_t* delims) {
  std::vector<WString> out;
  tsk_wchar_t token[64];
  for (const tsk_wchar_t* p = str;
       p != nullptr && string_getTokenW(p, delims, 64, token, &p) == TSK_OK;) {
    out.emplace_back(token);
  }
  EXPECT_EQ(countW(str, delims), out.size()) << "count";
  return out;
}

using Tokens = std::vector<std::string>;

TEST(StringTokenTest, NarrowSkipsOneDelimiterWideSkipsAll) {
  EXPECT_EQ(tokensA("++abc", "+"), (Tokens{"", "abc"}));
  EXPECT_EQ(tokensA("a+++b,c", "+,"), (Tokens{"a", "", "b", "c"}));
  EXPECT_EQ(tokensA("a,,", ","), (Tokens{"a", ""}));

  tsk_wchar_t wtoken[8];
  EXPECT_EQ(tokensW(TSK_W("++a+++b,c"), TSK_W("+,")),
            (std::vector<WString>{TSK_W("a"), TSK_W("b"), TSK_W("c")}));
  char token[8];
  EXPECT_EQ(string_getTokenA("", ",", token, nullptr), TSK_FAIL);
  EXPECT_EQ(string_getTokenA("a", "", token, nullptr), TSK_FAIL);
  EXPECT_EQ(string_getTokenW(TSK_W("a"), nullptr, 8, wtoken, nullptr), TSK_FAIL);
}

TEST(StringTokenTest, NarrowTokensKeepMultibyteCharactersWhole) {
  TSK_USE_NARROW_ENCODING(kUtf8);
  // 0xA9 as a delimiter byte never cuts the é (C3 A9) that carries it.
  EXPECT_EQ(tokensA("\xC3\xA9\xA9x,\xE2\x82\xAC", ",\xA9"),
            (Tokens{"\xC3\xA9", "x", "\xE2\x82\xAC"}));
  // A delimiter byte that begins a character ends the token there, and the
  // next token starts after the whole character, not on its trail byte.
  char token[8];
  const char* next = nullptr;
  const char text[] = "ab\xC3\xA9\x63\x64\xC3\xA9"; // "abécdé"
  EXPECT_EQ(string_getTokenA(text, "\xC3", token, &next), TSK_OK);
  EXPECT_STREQ(token, "ab");
  EXPECT_EQ(next, text + 4);
  EXPECT_EQ(tokensA(text, "\xC3"), (Tokens{"ab", "cd"}));
  EXPECT_EQ(tokensA("\xE2\x82\xAC\xE2\x82\xAC", "\xE2"), (Tokens{"", ""}));
}

TEST(StringTokenTest, WideTokenMustFitTheBuffer) {
  const WString text = TSK_W("abc;d");
  tsk_wchar_t token[4] = {'#', '#', '#', '#'};
  const tsk_wchar_t* next = text.c_str() + 1;
  EXPECT_EQ(string_getTokenW(text.c_str(), TSK_W(";"), 3, token, &next), TSK_FAIL);
  EXPECT_EQ(string_getTokenW(text.c_str(), TSK_W(";"), 0, token, &next), TSK_FAIL);
  EXPECT_EQ(token[0], '#');
  EXPECT_EQ(next, text.c_str() + 1);
  EXPECT_EQ(string_getTokenW(text.c_str(), TSK_W(";"), 4, token, &next), TSK_OK);
  EXPECT_EQ(WString(token), TSK_W("abc"));
  EXPECT_EQ(next, text.c_str() + 4);
}

TEST(StringTokenTest, TokenByIndex) {
  tsk_wchar_t token[4];
  std::fill(std::begin(token), std::end(token), tsk_wchar_t('#'));
  EXPECT_EQ(string_getTokenByIndexW(TSK_W("x;y;z"), TSK_W(";"), 1, token, 4), TSK_OK);
  EXPECT_EQ(WString(token, 4), WString(TSK_W("y\0\0\0"), 4));
  EXPECT_EQ(string_getTokenByIndexW(TSK_W(";;x;y;z"), TSK_W(";"), 2, token, 4), TSK_OK);
  EXPECT_EQ(WString(token), TSK_W("z"));
  std::fill(std::begin(token), std::end(token), tsk_wchar_t('#'));
  EXPECT_EQ(string_getTokenByIndexW(TSK_W("x;y;z"), TSK_W(";"), 3, token, 4), TSK_FAIL);
  EXPECT_EQ(string_getTokenByIndexW(TSK_W("x;y;z"), TSK_W(";"), -1, token, 4), TSK_FAIL);
  // An earlier token too long for the buffer fails the call as well.
  EXPECT_EQ(string_getTokenByIndexW(TSK_W("long;y"), TSK_W(";"), 1, token, 4), TSK_FAIL);
  EXPECT_EQ(token[0], '#');
}

TEST(StringTokenTest, Counts) {
  // Empty tokens count except at the end; the 128-byte and 256-unit scratch
  // sizes stop the count at a token that does not fit.
  const std::string fits(127, 'n');
  const std::string longer[] = {
      "a,b", "a,,", "a,", "a,,,b", "", "a," + fits + ",b", "a," + fits + "n,b"};
  const uint32_t expected[] = {2, 2, 1, 3, 0, 3, 1};
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(countA(longer[i].c_str(), ","), expected[i]) << longer[i];
  }
  const WString wfits(255, 'w');
  EXPECT_EQ(countW((TSK_W("a,") + wfits + TSK_W(",b")).c_str(), TSK_W(",")), 3u);
  EXPECT_EQ(countW((TSK_W("a,") + wfits + TSK_W("w,b")).c_str(), TSK_W(",")), 1u);
  EXPECT_EQ(countA("a,b", nullptr), 0u);
  uint32_t count = 7;
  EXPECT_EQ(string_getTokenCountW(TSK_W("a"), nullptr, &count), TSK_FAIL);
  EXPECT_EQ(string_getTokenCountA(nullptr, ",", &count), TSK_FAIL);
  EXPECT_EQ(string_getTokenCountA("a", ",", nullptr), TSK_FAIL);
  EXPECT_EQ(count, 7u);
}

TEST(StringSearchAndReplaceTest, ReplacesTheFirstOccurrence) {
  const auto replaceA = [](const char* pattern, const char* replacement) {
    return [=](char* s) {
      EXPECT_EQ(string_searchAndReplaceA(s, pattern, replacement), TSK_OK);
      return s;
    };
  };
  EXPECT_EQ(edited("one-two-two", replaceA("two", "2")), "one-2-two");
  EXPECT_EQ(edited("a-b", replaceA("-", "<->"), 2), "a<->b");
  EXPECT_EQ(edited("abc", replaceA("abc", "")), "");
  EXPECT_EQ(edited("abc", replaceA("x", "y")), "abc");
  EXPECT_EQ(edited("abc", replaceA("", "y")), "abc");
  char text[] = "abc";
  EXPECT_EQ(string_searchAndReplaceA(text, nullptr, "x"), TSK_FAIL);
  EXPECT_EQ(string_searchAndReplaceA(text, "b", nullptr), TSK_FAIL);
  EXPECT_EQ(string_searchAndReplaceW(nullptr, TSK_W("b"), TSK_W("x")), TSK_FAIL);
  FailNthAllocation fail(1);
  EXPECT_EQ(string_searchAndReplaceA(text, "b", "x"), TSK_FAIL);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(fail.leaked(), 0);
}

TEST(StringSearchAndReplaceTest, MatchesOnlyWholeCharacters) {
  TSK_USE_NARROW_ENCODING(kUtf8);
  char text[] = "\xC3\xA9\xA9";
  EXPECT_EQ(string_searchAndReplaceA(text, "\xA9", "!"), TSK_OK);
  EXPECT_STREQ(text, "\xC3\xA9!");
  // Nor one that ends inside a character: the search goes on to the next
  // occurrence of whole characters (a lone lead byte is one of them).
  char lead[] = "\xC3\xA9x";
  EXPECT_EQ(string_searchAndReplaceA(lead, "\xC3", "Q"), TSK_OK);
  EXPECT_STREQ(lead, "\xC3\xA9x");
  char later[] = "x\xC3\xA9-x\xC3";
  EXPECT_EQ(string_searchAndReplaceA(later, "x\xC3", "Q"), TSK_OK);
  EXPECT_STREQ(later, "x\xC3\xA9-Q");
}

// The fraction text of `value`, checking that the wide form writes the same.
template <typename T>
std::string frac(T value) {
  char out[32];
  tsk_wchar_t wide[32];
  if constexpr (sizeof(T) == sizeof(double)) {
    EXPECT_EQ(string_convertDoubleToFracA(value, out), TSK_OK);
    EXPECT_EQ(string_convertDoubleToFracW(value, wide), TSK_OK);
  } else {
    EXPECT_EQ(string_convertFloatToFracA(value, out), TSK_OK);
    EXPECT_EQ(string_convertFloatToFracW(value, wide), TSK_OK);
  }
  EXPECT_EQ(WString(wide), WString(out, out + std::strlen(out)));
  return out;
}

TEST(StringFractionTest, ThirtySecondsOrTruncatedDecimals) {
  // Truncated, not rounded: 0.0312 is no thirty-second, and rounding would
  // make 1/32 of 0.03124999. Negative values keep their sign in both parts;
  // the longest text has 21 characters.
  EXPECT_EQ(frac(3.25), "3 1/4");
  EXPECT_EQ(frac(0.5), "1/2");
  EXPECT_EQ(frac(0.09375), "3/32");
  EXPECT_EQ(frac(12.0625), "12 1/16");
  EXPECT_EQ(frac(7.0), "7");
  EXPECT_EQ(frac(0.0), "");
  EXPECT_EQ(frac(2.3), "2.300000");
  EXPECT_EQ(frac(0.0312), "0.031200");
  EXPECT_EQ(frac(0.03124999), "0.031250");
  EXPECT_EQ(frac(-0.5), "-2/4");
  EXPECT_EQ(frac(-2.25), "-2 -1/4");
  EXPECT_EQ(frac(-3.1234), "-3 -0.123400");
  EXPECT_EQ(frac(-2147483647.1234), "-2147483647 -0.123400");
  EXPECT_EQ(frac(-2147483648.5), "-2147483648 -2/4");
  EXPECT_EQ(frac(2147483647.5), "2147483647 1/2");
  // The float variant always joins the parts with a space.
  const std::pair<float, const char*> floats[] = {
      {3.25f, "3 1/4"}, {3.0f, "3 "}, {3.3f, "3 0.300000"}, {0.5f, "1/2"}, {-1.5f, "-1 -2/4"}};
  for (const auto& [value, text] : floats) {
    EXPECT_EQ(frac(value), text) << value;
  }
}

TEST(StringFractionTest, ValuesBeyondThirtyTwoBitsFailWithoutWriting) {
  char out[32] = "##";
  tsk_wchar_t wide[32] = {'#', 0};
  for (const double value : {3e9, -2147483649.0, std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(string_convertDoubleToFracA(value, out), TSK_FAIL);
    EXPECT_EQ(string_convertDoubleToFracW(value, wide), TSK_FAIL);
  }
  for (const float value : {3e9f, -2147483904.0f, std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(string_convertFloatToFracA(value, out), TSK_FAIL);
    EXPECT_EQ(string_convertFloatToFracW(value, wide), TSK_FAIL);
  }
  EXPECT_STREQ(out, "##");
  EXPECT_EQ(wide[0], '#');
  EXPECT_EQ(string_convertDoubleToFracA(1.0, nullptr), TSK_FAIL);
  EXPECT_EQ(string_convertFloatToFracW(1.0f, nullptr), TSK_FAIL);
}

TEST(StringReadLongTest, ReadsUnsignedDecimals) {
  // Whitespace after the number is taken; a value above INT32_MAX becomes it.
  uint32_t value = 7;
  const WString texts[] = {TSK_W("  42 x"), TSK_W(" \t "), TSK_W("4294967295\x01")};
  const size_t taken[] = {5, 3, 10};
  const uint32_t values[] = {42, 0, 2147483647};
  for (size_t i = 0; i < std::size(texts); ++i) {
    EXPECT_EQ(string_readLongW(texts[i].c_str(), &value), texts[i].c_str() + taken[i]);
    EXPECT_EQ(value, values[i]);
  }
  for (const tsk_wchar_t* bad : {TSK_W("12ab"), TSK_W("12345678901"), TSK_W("-5"), TSK_W("x")}) {
    value = 7;
    EXPECT_EQ(string_readLongW(bad, &value), nullptr);
    EXPECT_EQ(value, 0u);
  }
  EXPECT_EQ(string_readLongW(nullptr, &value), nullptr);
  EXPECT_EQ(string_readLongW(texts[0].c_str(), nullptr), nullptr);
}

TEST(StringConfigVarTest, CopiesTheValueCut) {
  tsk::test::ScopedEnvironmentVariable variable("TSKBASE_STRING_TEST", "value");
  char buf[4] = "##";
  EXPECT_EQ(string_getConfigVarA(buf, "TSKBASE_STRING_TEST", sizeof buf), TSK_OK);
  EXPECT_STREQ(buf, "val");
  char big[16];
  EXPECT_EQ(string_getConfigVarA(big, "TSKBASE_STRING_TEST", sizeof big), TSK_OK);
  EXPECT_STREQ(big, "value");
  EXPECT_EQ(string_getConfigVarA(big, "TSKBASE_STRING_TEST_UNSET", sizeof big), TSK_FAIL);
  EXPECT_EQ(string_getConfigVarA(big, "", sizeof big), TSK_FAIL);
  EXPECT_EQ(string_getConfigVarA(big, "TSKBASE_STRING_TEST", 0), TSK_FAIL);
  EXPECT_EQ(string_getConfigVarA(nullptr, "TSKBASE_STRING_TEST", 4), TSK_FAIL);
}

TEST(StringPathTest, BackslashSeparatedPaths) {
  EXPECT_EQ(edited(TSK_W("c:\\a.b\\file"), string_stripFileExtW), TSK_W("c:\\a.b\\file"));
  EXPECT_EQ(edited(TSK_W("c:\\a.b\\file.tar.gz"), string_stripFileExtW),
            TSK_W("c:\\a.b\\file.tar"));
  EXPECT_EQ(edited(TSK_W("c:\\dir\\file.txt"), string_stripFilePathW), TSK_W("file.txt"));
  EXPECT_EQ(edited("c:\\dir\\file.txt", string_stripFileNameA), "c:\\dir\\");
  EXPECT_EQ(edited("c:/dir/file", string_stripFileNameA), "c:/dir/file");
  EXPECT_EQ(edited("dir", string_addFileSeperatorA, 1), "dir\\");
  EXPECT_EQ(edited("dir\\", string_addFileSeperatorA, 1), "dir\\");
  EXPECT_EQ(edited(TSK_W(""), string_addFileSeperatorW, 1), TSK_W("\\"));
  EXPECT_EQ(string_stripFilePathA(nullptr), nullptr);
  EXPECT_EQ(string_addFileSeperatorW(nullptr), nullptr);

  tsk_wchar_t dir[] = {'d', 'i', 'r', '/', '/', 0};
  string_removeTerminatingSlashW(dir);
  EXPECT_EQ(WString(dir), TSK_W("dir/"));
  tsk_wchar_t empty[] = {0, '#'};
  string_removeTerminatingSlashW(empty);
  EXPECT_EQ(empty[1], '#');
  string_removeTerminatingSlashW(nullptr);
}

TEST(StringPathTest, NarrowPathsFindWholeCharacters) {
  TSK_USE_NARROW_ENCODING(kUtf8);
  EXPECT_EQ(edited("d\xC3\xA9\\f\xE2\x82\xAC.t", string_stripFileExtA), "d\xC3\xA9\\f\xE2\x82\xAC");
  EXPECT_EQ(edited("d\xC3\xA9\\f\xE2\x82\xAC.t", string_stripFilePathA), "f\xE2\x82\xAC.t");
}

} // namespace
