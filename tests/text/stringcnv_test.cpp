// The stringCnv_ family: buffer, allocating and array forms, their failure
// rules and their cuts.
#include "tskbase/stringcnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "allocation_failure.h"
#include "narrow_encoding.h"

namespace {

using WString = std::basic_string<tsk_wchar_t>;
using tsk::test::countAllocations;
using tsk::test::FailNthAllocation;
using tsk::test::NarrowEncoding;
using tsk::test::ScopedNarrowEncoding;

constexpr tsk_wchar_t kMark = 0x2A2A; // fills wide buffers before a call

WString wide(const tsk_wchar_t* s) { return s == nullptr ? WString() : WString(s); }

// Frees a converted array and its members.
template <typename T>
void freeArray(T** array, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    std::free(array[i]);
  }
  std::free(array);
}

TEST(StringCnv, EmptySourceConvertsToEmptyStringInEveryForm) {
  tsk_wchar_t w[4] = {kMark, kMark, kMark, kMark};
  char n[4] = "xyz";
  EXPECT_EQ(stringCnv_mbsToWcs("", w, 4), TSK_OK);
  EXPECT_EQ(w[0], 0);
  EXPECT_EQ(stringCnv_mbsToTcs("", w, 4), TSK_OK);
  EXPECT_EQ(stringCnv_wcsToMbs(TSK_W(""), n, 4), TSK_OK);
  EXPECT_EQ(n[0], 0);
  std::memcpy(n, "xyz", 4);
  EXPECT_EQ(stringCnv_wcsToUTF8(TSK_W(""), n, 4), TSK_OK);
  EXPECT_EQ(n[0], 0);
  w[0] = kMark;
  EXPECT_EQ(stringCnv_utf8ToWcs("", w, 4), TSK_OK);
  EXPECT_EQ(w[0], 0);
  w[0] = kMark;
  EXPECT_EQ(stringCnv_tcsToWcs(TSK_W(""), w, 1), TSK_OK);
  EXPECT_EQ(w[0], 0);

  // The ANSI allocating forms hand out two elements, both zero.
  tsk_wchar_t* wa = nullptr;
  ASSERT_EQ(stringCnv_mbsToWcsAlloc("", &wa), TSK_OK);
  EXPECT_EQ(wa[0], 0);
  EXPECT_EQ(wa[1], 0);
  std::free(wa);
  char* na = nullptr;
  ASSERT_EQ(stringCnv_wcsToMbsAlloc(TSK_W(""), &na), TSK_OK);
  EXPECT_EQ(na[0], 0);
  EXPECT_EQ(na[1], 0);
  std::free(na);
  ASSERT_EQ(stringCnv_utf8ToWcsAlloc("", &wa), TSK_OK);
  EXPECT_EQ(wa[0], 0);
  std::free(wa);
  ASSERT_EQ(stringCnv_wcsToUTF8Alloc(TSK_W(""), &na), TSK_OK);
  EXPECT_EQ(na[0], 0);
  std::free(na);
  ASSERT_EQ(stringCnv_tcsToWcsAlloc(TSK_W(""), &wa), TSK_OK);
  EXPECT_EQ(wa[0], 0);
  std::free(wa);
}

TEST(StringCnv, NullArgumentsAndZeroCapacitiesFailWithoutWriting) {
  tsk_wchar_t w[2] = {kMark, kMark};
  char n[2] = {'x', 'x'};
  tsk_wchar_t* wp = reinterpret_cast<tsk_wchar_t*>(&w);
  char* np = n;

  EXPECT_EQ(stringCnv_mbsToWcs(nullptr, w, 2), TSK_FAIL);
  EXPECT_EQ(stringCnv_mbsToWcs("a", nullptr, 2), TSK_FAIL);
  EXPECT_EQ(stringCnv_mbsToWcs("a", w, 0), TSK_FAIL);
  EXPECT_EQ(stringCnv_mbsToWcs("a", w, -1), TSK_FAIL);
  EXPECT_EQ(stringCnv_mbsToTcs("a", w, 0), TSK_FAIL);
  EXPECT_EQ(stringCnv_utf8ToWcs("a", w, 0), TSK_FAIL);
  EXPECT_EQ(stringCnv_utf8ToWcs(nullptr, w, 2), TSK_FAIL);
  EXPECT_EQ(stringCnv_tcsToWcs(TSK_W("a"), w, 0), TSK_FAIL);
  EXPECT_EQ(stringCnv_wcsToTcs(nullptr, w, 2), TSK_FAIL);
  EXPECT_EQ(w[0], kMark);
  EXPECT_EQ(w[1], kMark);

  EXPECT_EQ(stringCnv_wcsToMbs(TSK_W("a"), n, 0), TSK_FAIL);
  EXPECT_EQ(stringCnv_wcsToMbs(nullptr, n, 2), TSK_FAIL);
  EXPECT_EQ(stringCnv_tcsToMbs(TSK_W("a"), n, 0), TSK_FAIL);
  EXPECT_EQ(stringCnv_wcsToUTF8(TSK_W("a"), n, 0), TSK_FAIL);
  EXPECT_EQ(stringCnv_wcsToUTF8(TSK_W("a"), nullptr, 2), TSK_FAIL);
  EXPECT_EQ(n[0], 'x');

  // Allocating and array forms leave the result alone on null arguments.
  EXPECT_EQ(stringCnv_mbsToWcsAlloc(nullptr, &wp), TSK_FAIL);
  EXPECT_EQ(stringCnv_mbsToTcsAlloc("a", nullptr), TSK_FAIL);
  EXPECT_EQ(stringCnv_utf8ToWcsAlloc(nullptr, &wp), TSK_FAIL);
  EXPECT_EQ(stringCnv_tcsToWcsAlloc(nullptr, &wp), TSK_FAIL);
  EXPECT_EQ(stringCnv_wcsToTcsAlloc(nullptr, &wp), TSK_FAIL);
  EXPECT_EQ(wp, reinterpret_cast<tsk_wchar_t*>(&w));
  EXPECT_EQ(stringCnv_wcsToMbsAlloc(nullptr, &np), TSK_FAIL);
  EXPECT_EQ(stringCnv_tcsToMbsAlloc(nullptr, &np), TSK_FAIL);
  EXPECT_EQ(stringCnv_wcsToUTF8Alloc(nullptr, &np), TSK_FAIL);
  EXPECT_EQ(np, n);

  tsk_wchar_t** wpp = &wp;
  EXPECT_EQ(stringCnv_mbspToWcsp(nullptr, 1, &wpp), TSK_FAIL);
  EXPECT_EQ(stringCnv_utf8pToWcsp(nullptr, 1, &wpp), TSK_FAIL);
  EXPECT_EQ(wpp, &wp);
  const tsk_wchar_t* one[] = {TSK_W("a")};
  EXPECT_EQ(stringCnv_wcspToMbsp(one, 1, nullptr), TSK_FAIL);
}

TEST(StringCnv, MbsToWcsFailsRatherThanCutsAndTerminatesTheLastElement) {
  tsk_wchar_t w[8];
  std::fill(std::begin(w), std::end(w), kMark);
  EXPECT_EQ(stringCnv_mbsToWcs("abcde", w, 5), TSK_FAIL); // one element short
  std::fill(std::begin(w), std::end(w), kMark);
  ASSERT_EQ(stringCnv_mbsToWcs("abcde", w, 6), TSK_OK);
  EXPECT_EQ(wide(w), TSK_W("abcde"));
  EXPECT_EQ(w[6], kMark);

  // Element capacity - 1 is zeroed whatever the conversion left there.
  std::fill(std::begin(w), std::end(w), kMark);
  ASSERT_EQ(stringCnv_mbsToWcs("ab", w, 8), TSK_OK);
  EXPECT_EQ(wide(w), TSK_W("ab"));
  EXPECT_EQ(w[3], kMark);
  EXPECT_EQ(w[7], 0);

  std::fill(std::begin(w), std::end(w), kMark);
  ASSERT_EQ(stringCnv_mbsToTcs("abc", w, 4), TSK_OK);
  EXPECT_EQ(wide(w), TSK_W("abc"));
  EXPECT_EQ(stringCnv_mbsToTcs("abcd", w, 4), TSK_FAIL);
}

TEST(StringCnv, WcsToMbsClearsTheFirstByteAndFailsRatherThanCuts) {
  char n[8];
  std::memset(n, 'x', sizeof n);
  EXPECT_EQ(stringCnv_wcsToMbs(TSK_W("abcdefgh"), n, 8), TSK_FAIL);
  std::memset(n, 'x', sizeof n);
  EXPECT_EQ(stringCnv_tcsToMbs(TSK_W("abcdefgh"), n, 8), TSK_FAIL);
  std::memset(n, 'x', sizeof n);
  ASSERT_EQ(stringCnv_wcsToMbs(TSK_W("abcdefg"), n, 8), TSK_OK);
  EXPECT_STREQ(n, "abcdefg");
  ASSERT_EQ(stringCnv_tcsToMbs(TSK_W("ab"), n, 3), TSK_OK);
  EXPECT_STREQ(n, "ab");

  // Nothing fits before the failure: the first byte is still cleared.
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  std::memset(n, 'x', sizeof n);
  EXPECT_EQ(stringCnv_wcsToMbs(TSK_W("\u00e9"), n, 1), TSK_FAIL);
  EXPECT_EQ(n[0], 0);
}

TEST(StringCnv, Utf8ToWcsKeepsTheFirstCapacityMinusOneBytes) {
  tsk_wchar_t w[16];
  ASSERT_EQ(stringCnv_utf8ToWcs("abcdefghij", w, 4), TSK_OK);
  EXPECT_EQ(wide(w), TSK_W("abc"));
  ASSERT_EQ(stringCnv_utf8ToWcs("abcdefghij", w, 1), TSK_OK);
  EXPECT_EQ(w[0], 0);

  // "aé€" is 1 + 2 + 3 bytes; cuts inside a character leave U+FFFD.
  const char* text = "a\xC3\xA9\xE2\x82\xAC";
  ASSERT_EQ(stringCnv_utf8ToWcs(text, w, 16), TSK_OK);
  EXPECT_EQ(wide(w), (WString{'a', 0xE9, 0x20AC}));
  ASSERT_EQ(stringCnv_utf8ToWcs(text, w, 3), TSK_OK); // keeps a and the lead of é
  EXPECT_EQ(wide(w), (WString{'a', 0xFFFD}));
  ASSERT_EQ(stringCnv_utf8ToWcs(text, w, 6), TSK_OK); // a, é, two bytes of €
  EXPECT_EQ(wide(w), (WString{'a', 0xE9, 0xFFFD}));

  // Ill-formed input is replaced, not refused.
  ASSERT_EQ(stringCnv_utf8ToWcs("x\xFFy\x80", w, 16), TSK_OK);
  EXPECT_EQ(wide(w), (WString{'x', 0xFFFD, 'y', 0xFFFD}));
}

TEST(StringCnv, WcsToUtf8KeepsTheFirstCapacityMinusOneUnitsIfTheirBytesFit) {
  char n[32];
  ASSERT_EQ(stringCnv_wcsToUTF8(TSK_W("abcdefghij"), n, 4), TSK_OK);
  EXPECT_STREQ(n, "abc");

  const WString twoByte(10, 0xE9);
  EXPECT_EQ(stringCnv_wcsToUTF8(twoByte.c_str(), n, 4), TSK_FAIL);
  ASSERT_EQ(stringCnv_wcsToUTF8(twoByte.c_str(), n, 21), TSK_OK);
  EXPECT_EQ(std::strlen(n), 20u);

  // Output of exactly capacity bytes: the last byte gives way to the
  // terminator, cutting "é".
  const tsk_wchar_t abe[] = {'a', 'b', 0xE9, 0};
  ASSERT_EQ(stringCnv_wcsToUTF8(abe, n, 4), TSK_OK);
  EXPECT_STREQ(n, "ab\xC3");

  // A cut between the halves of a surrogate pair leaves a lone surrogate,
  // whose U+FFFD (3 bytes) never fits.
  const tsk_wchar_t pair[] = {'a', 0xD83D, 0xDE00, 'b', 0};
  ASSERT_EQ(stringCnv_wcsToUTF8(pair, n, 7), TSK_OK);
  EXPECT_STREQ(n, "a\xF0\x9F\x98\x80"
                  "b");
  EXPECT_EQ(stringCnv_wcsToUTF8(pair, n, 3), TSK_FAIL);
  EXPECT_EQ(stringCnv_wcsToUTF8(pair, n, 4), TSK_FAIL);
  ASSERT_EQ(stringCnv_wcsToUTF8(pair, n, 6), TSK_OK); // 6 bytes: b gives way
  EXPECT_STREQ(n, "a\xF0\x9F\x98\x80");
  const tsk_wchar_t lone[] = {'a', 0xDC00, 'b', 0};
  ASSERT_EQ(stringCnv_wcsToUTF8(lone, n, 32), TSK_OK);
  EXPECT_STREQ(n, "a\xEF\xBF\xBD"
                  "b");
}

TEST(StringCnv, AllocatingFormsRoundTripUtf8) {
  const char* text = "Gr\xC3\xBC\xC3\x9F"
                     "e \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80!";
  tsk_wchar_t* w = nullptr;
  ASSERT_EQ(stringCnv_utf8ToWcsAlloc(text, &w), TSK_OK);
  EXPECT_EQ(wide(w),
            (WString{'G', 'r', 0xFC, 0xDF, 'e', ' ', 0x4E2D, 0x6587, ' ', 0xD83D, 0xDE00, '!'}));
  char* back = nullptr;
  ASSERT_EQ(stringCnv_wcsToUTF8Alloc(w, &back), TSK_OK);
  EXPECT_STREQ(back, text);
  tsk_wchar_t* copy = nullptr;
  ASSERT_EQ(stringCnv_wcsToTcsAlloc(w, &copy), TSK_OK);
  EXPECT_NE(copy, w);
  EXPECT_EQ(wide(copy), wide(w));
  std::free(copy);
  std::free(back);
  std::free(w);
}

TEST(StringCnv, ArrayFormsConvertEachMemberAndLeaveNullForNull) {
  const char* narrow[] = {"one", nullptr, "three"};
  tsk_wchar_t** w = nullptr;
  ASSERT_EQ(stringCnv_mbspToWcsp(narrow, 3, &w), TSK_OK);
  EXPECT_EQ(wide(w[0]), TSK_W("one"));
  EXPECT_EQ(w[1], nullptr);
  EXPECT_EQ(wide(w[2]), TSK_W("three"));

  char** n = nullptr;
  ASSERT_EQ(stringCnv_wcspToMbsp(w, 3, &n), TSK_OK);
  EXPECT_STREQ(n[0], "one");
  EXPECT_EQ(n[1], nullptr);
  EXPECT_STREQ(n[2], "three");
  freeArray(n, 3);

  ASSERT_EQ(stringCnv_wcspToUTF8p(w, 3, &n), TSK_OK);
  EXPECT_STREQ(n[2], "three");
  EXPECT_EQ(n[1], nullptr);
  freeArray(n, 3);
  freeArray(w, 3);

  const char* utf8[] = {"\xC3\xA9", nullptr};
  ASSERT_EQ(stringCnv_utf8pToWcsp(utf8, 2, &w), TSK_OK);
  EXPECT_EQ(wide(w[0]), WString(1, 0xE9));
  EXPECT_EQ(w[1], nullptr);
  freeArray(w, 2);

  // A count of 0 still allocates; a negative count fails.
  w = nullptr;
  ASSERT_EQ(stringCnv_utf8pToWcsp(utf8, 0, &w), TSK_OK);
  EXPECT_NE(w, nullptr);
  std::free(w);
  tsk_wchar_t** untouched = reinterpret_cast<tsk_wchar_t**>(&w);
  EXPECT_EQ(stringCnv_mbspToWcsp(narrow, -1, &untouched), TSK_FAIL);
  EXPECT_EQ(untouched, reinterpret_cast<tsk_wchar_t**>(&w));
}

// Each allocating form makes one allocation from the library heap; when it
// fails, the ANSI forms and the wide copies leave the result as it was, the
// UTF-8 forms leave null, and nothing is left allocated.
template <typename Result, typename Convert>
void checkAllocatingForm(const char* name, bool untouchedOnFailure, Convert convert) {
  SCOPED_TRACE(name);
  Result result = nullptr;
  EXPECT_EQ(countAllocations([&] { convert(&result); }), 1);
  ASSERT_NE(result, nullptr);
  std::free(result);

  const auto marker = reinterpret_cast<Result>(&result);
  result = marker;
  FailNthAllocation failure(1);
  EXPECT_EQ(convert(&result), TSK_FAIL);
  EXPECT_EQ(result, untouchedOnFailure ? marker : nullptr);
  EXPECT_EQ(failure.leaked(), 0);
}

TEST(StringCnv, AllocatingFormsKeepTheirPromisesWhenMemoryRunsOut) {
  const char* n = "abc";
  const tsk_wchar_t* w = TSK_W("abc");
  using W = tsk_wchar_t*;
  checkAllocatingForm<W>("mbsToWcsAlloc", true,
                         [&](W* r) { return stringCnv_mbsToWcsAlloc(n, r); });
  checkAllocatingForm<W>("mbsToTcsAlloc", true,
                         [&](W* r) { return stringCnv_mbsToTcsAlloc(n, r); });
  checkAllocatingForm<char*>("wcsToMbsAlloc", true,
                             [&](char** r) { return stringCnv_wcsToMbsAlloc(w, r); });
  checkAllocatingForm<char*>("tcsToMbsAlloc", true,
                             [&](char** r) { return stringCnv_tcsToMbsAlloc(w, r); });
  checkAllocatingForm<W>("utf8ToWcsAlloc", false,
                         [&](W* r) { return stringCnv_utf8ToWcsAlloc(n, r); });
  checkAllocatingForm<char*>("wcsToUTF8Alloc", false,
                             [&](char** r) { return stringCnv_wcsToUTF8Alloc(w, r); });
  checkAllocatingForm<W>("tcsToWcsAlloc", true,
                         [&](W* r) { return stringCnv_tcsToWcsAlloc(w, r); });
  checkAllocatingForm<W>("wcsToTcsAlloc", true,
                         [&](W* r) { return stringCnv_wcsToTcsAlloc(w, r); });
}

// The array forms: a failed array block fails the call and leaves the result
// as it was; a failed member becomes null and the others are converted.
template <typename Array, typename Convert, typename Text>
void checkArrayForm(const char* name, Convert convert, Text text) {
  SCOPED_TRACE(name);
  Array result = nullptr;
  EXPECT_EQ(countAllocations([&] { convert(&result); }), 4);
  freeArray(result, 3);

  const auto marker = reinterpret_cast<Array>(&result);
  result = marker;
  {
    FailNthAllocation failure(1); // the array block
    EXPECT_EQ(convert(&result), TSK_FAIL);
    EXPECT_EQ(result, marker);
    EXPECT_EQ(failure.leaked(), 0);
  }
  FailNthAllocation failure(3); // the second member
  ASSERT_EQ(convert(&result), TSK_OK);
  ASSERT_NE(result, marker);
  EXPECT_EQ(text(result[0]), "one");
  EXPECT_EQ(result[1], nullptr);
  EXPECT_EQ(text(result[2]), "three");
  EXPECT_EQ(failure.leaked(), 3); // the block and the two members, no more
  freeArray(result, 3);
}

std::string narrowed(const tsk_wchar_t* s) {
  std::string out;
  for (; *s != 0; ++s) {
    out += static_cast<char>(*s);
  }
  return out;
}

TEST(StringCnv, ArrayFormsKeepTheirPromisesWhenMemoryRunsOut) {
  const char* n[] = {"one", "two", "three"};
  const tsk_wchar_t* w[] = {TSK_W("one"), TSK_W("two"), TSK_W("three")};
  const auto same = [](const char* s) { return std::string(s); };
  using W = tsk_wchar_t**;
  checkArrayForm<W>(
      "mbspToWcsp", [&](W* r) { return stringCnv_mbspToWcsp(n, 3, r); }, narrowed);
  checkArrayForm<W>(
      "utf8pToWcsp", [&](W* r) { return stringCnv_utf8pToWcsp(n, 3, r); }, narrowed);
  checkArrayForm<char**>(
      "wcspToMbsp", [&](char*** r) { return stringCnv_wcspToMbsp(w, 3, r); }, same);
  checkArrayForm<char**>(
      "wcspToUTF8p", [&](char*** r) { return stringCnv_wcspToUTF8p(w, 3, r); }, same);
}

TEST(StringCnv, WideCopyNeedsRoomForTheTerminator) {
  tsk_wchar_t w[8];
  std::fill(std::begin(w), std::end(w), kMark);
  EXPECT_EQ(stringCnv_wcsToTcs(TSK_W("abcd"), w, 4), TSK_FAIL);
  EXPECT_EQ(w[0], kMark);
  ASSERT_EQ(stringCnv_wcsToTcs(TSK_W("abcd"), w, 5), TSK_OK);
  EXPECT_EQ(wide(w), TSK_W("abcd"));
  ASSERT_EQ(stringCnv_tcsToWcs(TSK_W("xy"), w, 8), TSK_OK);
  EXPECT_EQ(wide(w), TSK_W("xy"));
  EXPECT_EQ(w[3], 'd'); // a copy, not a fill
}

TEST(StringCnv, AnsiFormsFollowALatin1NarrowEncoding) {
  ScopedNarrowEncoding latin1(NarrowEncoding::kLatin1);
  TSK_REQUIRE_NARROW_ENCODING(latin1, "Latin-1");
  tsk_wchar_t w[8];
  ASSERT_EQ(stringCnv_mbsToWcs("\xE9t\xE9", w, 8), TSK_OK);
  EXPECT_EQ(wide(w), (WString{0xE9, 't', 0xE9}));
  EXPECT_EQ(stringCnv_mbsToWcs("\xE9t\xE9", w, 3), TSK_FAIL);

  // Characters the code page lacks become '?'.
  char n[8];
  const tsk_wchar_t text[] = {0xE9, 't', 0x4E2D, 0};
  ASSERT_EQ(stringCnv_wcsToMbs(text, n, 8), TSK_OK);
  EXPECT_STREQ(n, "\xE9t?");
  EXPECT_EQ(stringCnv_wcsToMbs(text, n, 3), TSK_FAIL);

  char* a = nullptr;
  ASSERT_EQ(stringCnv_tcsToMbsAlloc(text, &a), TSK_OK);
  EXPECT_STREQ(a, "\xE9t?");
  tsk_wchar_t* back = nullptr;
  ASSERT_EQ(stringCnv_mbsToTcsAlloc(a, &back), TSK_OK);
  EXPECT_EQ(wide(back), (WString{0xE9, 't', '?'}));
  std::free(back);
  std::free(a);

  // UTF-8 forms do not depend on the narrow encoding.
  ASSERT_EQ(stringCnv_wcsToUTF8(text, n, 8), TSK_OK);
  EXPECT_STREQ(n, "\xC3\xA9t\xE4\xB8\xAD");
}

TEST(StringCnv, AnsiFormsFollowAUtf8NarrowEncoding) {
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  tsk_wchar_t w[8];
  ASSERT_EQ(stringCnv_mbsToWcs("\xC3\xA9t\xE2\x82\xAC", w, 8), TSK_OK);
  EXPECT_EQ(wide(w), (WString{0xE9, 't', 0x20AC}));
  EXPECT_EQ(stringCnv_mbsToWcs("\xC3\xA9t\xE2\x82\xAC", w, 4), TSK_OK);
  EXPECT_EQ(stringCnv_mbsToWcs("\xC3\xA9t\xE2\x82\xAC", w, 3), TSK_FAIL);
  char n[8];
  ASSERT_EQ(stringCnv_wcsToMbs(w, n, 8), TSK_OK);
  EXPECT_STREQ(n, "\xC3\xA9t\xE2\x82\xAC");
  EXPECT_EQ(stringCnv_wcsToMbs(w, n, 6), TSK_FAIL);
}

// Under Latin-1 the narrow conversions go through each thread's iconv
// converters on POSIX.
TEST(StringCnv, ConcurrentConversionsDoNotInterfere) {
  ScopedNarrowEncoding latin1(NarrowEncoding::kLatin1);
  TSK_REQUIRE_NARROW_ENCODING(latin1, "Latin-1");
  const std::string text = "caf\xC3\xA9 \xE6\x96\x87 " + std::string(100, 'x');
  const std::string ansi = "caf\xE9 ? " + std::string(100, 'x');
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        tsk_wchar_t* w = nullptr;
        char* back = nullptr;
        if (stringCnv_utf8ToWcsAlloc(text.c_str(), &w) != TSK_OK ||
            stringCnv_wcsToUTF8Alloc(w, &back) != TSK_OK || text != back) {
          ++failures[t];
        }
        char* narrow = nullptr;
        tsk_wchar_t* wideAgain = nullptr;
        if (stringCnv_wcsToMbsAlloc(w, &narrow) != TSK_OK || ansi != narrow ||
            stringCnv_mbsToWcsAlloc(narrow, &wideAgain) != TSK_OK || wide(wideAgain)[3] != 0xE9 ||
            wide(wideAgain).size() != ansi.size()) {
          ++failures[t];
        }
        std::free(wideAgain);
        std::free(narrow);
        std::free(back);
        std::free(w);
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

// Converts in its destructor, at thread exit, after the library's own
// thread-local state may already be gone.
struct ConvertsAtThreadExit {
  std::string* out = nullptr;
  ~ConvertsAtThreadExit() {
    char* n = nullptr;
    const tsk_wchar_t text[] = {0xE9, 't', 0x4E2D, 0};
    if (out != nullptr && stringCnv_wcsToMbsAlloc(text, &n) == TSK_OK) {
      *out = n;
      std::free(n);
    }
  }
};

thread_local ConvertsAtThreadExit t_convertsAtExit;

// The conversion runs after the thread's converters were released (they
// were first used after this object was made); it must still work, and under
// the leak checker it must not leave converters open.
TEST(StringCnv, ConversionsInThreadExitDestructorsStillWork) {
  ScopedNarrowEncoding latin1(NarrowEncoding::kLatin1);
  TSK_REQUIRE_NARROW_ENCODING(latin1, "Latin-1");
  std::string converted;
  std::thread([&] {
    t_convertsAtExit.out = &converted;
    tsk_wchar_t* w = nullptr;
    ASSERT_EQ(stringCnv_mbsToWcsAlloc("\xE9", &w), TSK_OK);
    std::free(w);
  }).join();
  EXPECT_EQ(converted, "\xE9t?");
}

} // namespace
