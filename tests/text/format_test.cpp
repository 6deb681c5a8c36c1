// The formatter: numbers as the C library gives them, Windows' conventions
// for text arguments, and the bounded, measuring and secure modes.
#include "text/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "guarded_memory.h"
#include "narrow_encoding.h"
#include "platform/text.h"

namespace {

using tsk::text::formatBounded;
using tsk::text::formatLength;
using tsk::text::formatSecure;
using WString = std::basic_string<tsk_wchar_t>;
using tsk::test::GuardedArray;
using tsk::test::NarrowEncoding;
using tsk::test::ScopedNarrowEncoding;

// The formatter's narrow and wide output for one format and its arguments.
// The wide format is the narrow one widened (formats here are ASCII).
struct Both {
  std::string narrow;
  WString wide;
  int narrowResult;
  int wideResult;
};

WString widen(const std::string& s) {
  WString w;
  for (unsigned char c : s) {
    w += static_cast<tsk_wchar_t>(c);
  }
  return w;
}

Both formatBoth(const char* format, ...) {
  Both both;
  char narrow[1024];
  tsk_wchar_t wide[1024];
  const WString wideFormat = widen(format);
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  both.narrowResult = tsk::text::vformatBounded(narrow, 1024, format, args);
  both.wideResult = tsk::text::vformatBounded(wide, 1024, wideFormat.c_str(), copy);
  va_end(copy);
  va_end(args);
  if (both.narrowResult >= 0) {
    both.narrow = narrow;
  }
  if (both.wideResult >= 0) {
    both.wide = wide;
  }
  return both;
}

// The formatter's narrow output alone, for arguments that only a narrow
// format takes.
std::string formatNarrow(const char* format, ...) {
  char buf[1024];
  va_list args;
  va_start(args, format);
  const int n = tsk::text::vformatBounded(buf, sizeof buf, format, args);
  va_end(args);
  return n < 0 ? "<error>" : buf;
}

std::string cFormat(const char* format, ...) {
  char buf[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

// Checks that a number comes out as the C library's printf has it, in both
// widths.
#define EXPECT_AS_PRINTF(format, value)                                                            \
  do {                                                                                             \
    const Both got = formatBoth(format, value);                                                    \
    const std::string want = cFormat(format, value);                                               \
    EXPECT_EQ(got.narrow, want) << format;                                                         \
    EXPECT_EQ(got.wide, widen(want)) << format;                                                    \
    EXPECT_EQ(got.narrowResult, static_cast<int>(want.size())) << format;                          \
    EXPECT_EQ(got.wideResult, static_cast<int>(want.size())) << format;                            \
  } while (0)

TEST(Format, IntegersMatchPrintfWithFlagsWidthsAndPrecisions) {
  for (const char* format : {"%d", "%i", "%5d", "%-5d|", "%05d", "%+d", "% d", "%.3d", "%8.3d",
                             "%-+8.3d|", "%.0d", "%x", "%#x", "%#010X", "%o", "%#o", "%u"}) {
    for (int value : {0, 7, -7, 42, INT_MAX, INT_MIN}) {
      EXPECT_AS_PRINTF(format, value);
    }
  }
  EXPECT_AS_PRINTF("%lld", LLONG_MIN);
  EXPECT_AS_PRINTF("%llu", ULLONG_MAX);
  EXPECT_AS_PRINTF("%ld", -123456789L);
  EXPECT_AS_PRINTF("%lx", 0xDEADBEEFUL);
  EXPECT_AS_PRINTF("%hd", 70000); // cut to short
  EXPECT_AS_PRINTF("%hhu", 300);  // cut to unsigned char
  EXPECT_AS_PRINTF("%hhd", 200);  // cut to signed char
  EXPECT_AS_PRINTF("%zu", sizeof(long double));
  EXPECT_AS_PRINTF("%jd", static_cast<intmax_t>(-5));
  EXPECT_AS_PRINTF("%td", static_cast<ptrdiff_t>(-9));
  EXPECT_AS_PRINTF("%300d", 12); // longer than the formatter's stack buffer
}

TEST(Format, FloatingPointMatchesPrintf) {
  for (const char* format : {"%f", "%.2f", "%10.3f", "%-10.1f|", "%+e", "%E", "%.0e", "%g", "%#g",
                             "%G", "%.10g", "%010.2f", "%0lf", "%a"}) {
    for (double value : {0.0, -0.0, 1.0, -2.5, 3.14159265358979, 1e-300, 6.02e23, 0.1}) {
      EXPECT_AS_PRINTF(format, value);
    }
  }
  EXPECT_AS_PRINTF("%.400f", 1.0 / 3.0);
  EXPECT_AS_PRINTF("%f", 1e308);
  if constexpr (tsk::platform::kLongDoubleIsDouble) {
    // Callers built for Windows' convention pass a double for %Lf.
    EXPECT_EQ(formatBoth("%Lf", 2.5).narrow, cFormat("%f", 2.5));
    EXPECT_EQ(formatBoth("%.3Le", -1e300).wide, widen(cFormat("%.3e", -1e300)));
  } else {
    EXPECT_AS_PRINTF("%Lf", 2.5L);
    EXPECT_AS_PRINTF("%.3Le", -1e300L);
  }
  EXPECT_AS_PRINTF("%f", HUGE_VAL);
  EXPECT_AS_PRINTF("%e", -HUGE_VAL);
}

TEST(Format, WindowsSizePrefixes) {
  EXPECT_EQ(formatBoth("%I64d", static_cast<long long>(-1) << 40).narrow,
            cFormat("%lld", static_cast<long long>(-1) << 40));
  EXPECT_EQ(formatBoth("%I32x", 0xABCDu).narrow, "abcd");
  EXPECT_EQ(formatBoth("%Iu", SIZE_MAX).narrow, cFormat("%zu", SIZE_MAX));
}

TEST(Format, StarTakesWidthAndPrecisionFromTheArguments) {
  EXPECT_EQ(formatBoth("[%*d]", 5, 42).narrow, "[   42]");
  EXPECT_EQ(formatBoth("[%*d]", -5, 42).narrow, "[42   ]"); // negative width: left
  EXPECT_EQ(formatBoth("[%.*f]", 2, 3.14159).narrow, "[3.14]");
  EXPECT_EQ(formatBoth("[%.*f]", -1, 0.5).narrow, "[0.500000]"); // negative: none
  EXPECT_EQ(formatNarrow("[%*.*s]", 6, 2, "abcdef"), "[    ab]");
}

TEST(Format, TextArgumentsFollowWindowsConventions) {
  char n[64];
  tsk_wchar_t w[64];
  // Narrow format: %s narrow, %S wide; h narrow, l and w wide.
  ASSERT_GE(formatBounded(n, 64, "%s|%S|%hs|%ls|%ws", "a", TSK_W("b"), "c", TSK_W("d"), TSK_W("e")),
            0);
  EXPECT_STREQ(n, "a|b|c|d|e");
  ASSERT_GE(formatBounded(n, 64, "%c%C%hc%lc%wc", 'a', TSK_W('b'), 'c', TSK_W('d'), TSK_W('e')), 0);
  EXPECT_STREQ(n, "abcde");
  // Wide format: the reverse for %s, %S, %c and %C.
  ASSERT_GE(formatBounded(w, 64, TSK_W("%s|%S|%hs|%ls|%ws"), TSK_W("a"), "b", "c", TSK_W("d"),
                          TSK_W("e")),
            0);
  EXPECT_EQ(WString(w), TSK_W("a|b|c|d|e"));
  ASSERT_GE(
      formatBounded(w, 64, TSK_W("%c%C%hc%lc%wc"), TSK_W('a'), 'b', 'c', TSK_W('d'), TSK_W('e')),
      0);
  EXPECT_EQ(WString(w), TSK_W("abcde"));
  // Non-ASCII text of the format's own width is copied unit for unit.
  const tsk_wchar_t format[] = {0x4E2D, '%', 's', 0xD83D, 0xDE00, 0};
  const tsk_wchar_t arg[] = {0xE9, 0};
  ASSERT_EQ(formatBounded(w, 64, format, arg), 4);
  EXPECT_EQ(WString(w), (WString{0x4E2D, 0xE9, 0xD83D, 0xDE00}));
}

TEST(Format, StringWidthPrecisionAndNull) {
  EXPECT_EQ(formatNarrow("[%5s]", "ab"), "[   ab]");
  EXPECT_EQ(formatNarrow("[%-5s]", "ab"), "[ab   ]");
  EXPECT_EQ(formatNarrow("[%05s]", "ab"), "[000ab]");
  EXPECT_EQ(formatNarrow("[%.2s]", "abcdef"), "[ab]");
  EXPECT_EQ(formatNarrow("[%3c]", 'x'), "[  x]");
  EXPECT_EQ(formatNarrow("[%s]", static_cast<const char*>(nullptr)), "[(null)]");
  EXPECT_EQ(formatNarrow("[%.3s]", static_cast<const char*>(nullptr)), "[(nu]");
  EXPECT_EQ(formatNarrow("[%S]", static_cast<const tsk_wchar_t*>(nullptr)), "[(null)]");
  tsk_wchar_t w[16];
  ASSERT_EQ(formatBounded(w, 16, TSK_W("[%S]"), static_cast<const char*>(nullptr)), 8);
  EXPECT_EQ(WString(w), TSK_W("[(null)]"));

  EXPECT_EQ(formatNarrow("100%% %s", "sure"), "100% sure");
}

// Arrays that end at a guard page: a read past the precision faults.
TEST(Format, PrecisionBoundsTheReadsOfUnterminatedArrays) {
  char n[16];
  tsk_wchar_t w[16];
  const GuardedArray<char> narrow("xy", 2);
  const tsk_wchar_t wideText[] = {'a', 'b'};
  const GuardedArray<tsk_wchar_t> wide(wideText, 2);
  const GuardedArray<char> noNarrow(nullptr, 0);
  const GuardedArray<tsk_wchar_t> noWide(nullptr, 0);

  EXPECT_EQ(formatBounded(n, 16, "[%.2s|%.*hs]", narrow.get(), 2, narrow.get()), 7);
  EXPECT_STREQ(n, "[xy|xy]");
  EXPECT_EQ(formatBounded(n, 16, "[%.2S|%5.*ls]", wide.get(), 2, wide.get()), 10);
  EXPECT_STREQ(n, "[ab|   ab]");
  EXPECT_EQ(formatBounded(w, 16, TSK_W("[%.2S|%-3.*hs]"), narrow.get(), 2, narrow.get()), 8);
  EXPECT_EQ(WString(w), TSK_W("[xy|xy ]"));
  EXPECT_EQ(formatBounded(w, 16, TSK_W("[%.2s|%.*ws]"), wide.get(), 2, wide.get()), 7);
  EXPECT_EQ(WString(w), TSK_W("[ab|ab]"));
  // Precision 0 reads nothing at all.
  EXPECT_EQ(formatBounded(n, 16, "[%.0s%.0S%3.0S]", noNarrow.get(), noWide.get(), noWide.get()), 5);
  EXPECT_STREQ(n, "[   ]");
  EXPECT_EQ(formatBounded(w, 16, TSK_W("[%.0s%.0S]"), noWide.get(), noNarrow.get()), 2);
  EXPECT_EQ(WString(w), TSK_W("[]"));
}

TEST(Format, PrecisionBoundsTheReadsOfUnterminatedMultibyteArrays) {
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  char n[16];
  tsk_wchar_t w[16];
  // A high surrogate as the last unit: its partner would lie past the array.
  const tsk_wchar_t pairCut[] = {'a', 0xD83D};
  const GuardedArray<tsk_wchar_t> wide(pairCut, 2);
  EXPECT_EQ(formatBounded(n, 16, "[%.2S]", wide.get()), 3);
  EXPECT_STREQ(n, "[a]");
  // Two bytes make one unit, which reaches the precision.
  const GuardedArray<char> accent("\xC3\xA9", 2);
  EXPECT_EQ(formatBounded(w, 16, TSK_W("[%.1S]"), accent.get()), 3);
  EXPECT_EQ(WString(w), (WString{'[', 0xE9, ']'}));
}

TEST(Format, WidthsAreCountedNotWrittenOnePadAtATime) {
  char n[16];
  std::fill(std::begin(n), std::end(n), '#');
  EXPECT_EQ(formatBounded(n, 8, "%*s", INT_MAX, "x"), -1);
  EXPECT_EQ(std::string(n, 9), "        #");
  EXPECT_EQ(formatLength("%*s", INT_MAX, ""), INT_MAX);
  EXPECT_EQ(formatLength("%*s%*s", INT_MAX, "", 1, ""), -1); // past INT_MAX
  EXPECT_EQ(formatLength(TSK_W("%-*S"), INT_MAX - 1, "ab"), INT_MAX - 1);
}

TEST(Format, CrossWidthTextConvertsWithoutSplittingCharacters) {
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  char n[64];
  tsk_wchar_t w[64];
  const tsk_wchar_t text[] = {'a', 0xE9, 0xD83D, 0xDE00, 0}; // a é 😀: 1 + 2 + 4 bytes
  ASSERT_EQ(formatBounded(n, 64, "%S", text), 7);
  EXPECT_STREQ(n, "a\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(formatBounded(n, 64, "[%.2S]", text), 3); // é would need a third byte
  EXPECT_STREQ(n, "[a]");
  EXPECT_EQ(formatBounded(n, 64, "[%.6S]", text), 5);
  EXPECT_STREQ(n, "[a\xC3\xA9]");
  EXPECT_EQ(formatBounded(n, 64, "[%4S]", TSK_W("\u00e9")), 6); // width counts bytes
  EXPECT_STREQ(n, "[  \xC3\xA9]");

  const char* narrow = "a\xC3\xA9\xF0\x9F\x98\x80";
  ASSERT_EQ(formatBounded(w, 64, TSK_W("%S"), narrow), 4);
  EXPECT_EQ(WString(w), (WString{'a', 0xE9, 0xD83D, 0xDE00}));
  ASSERT_EQ(formatBounded(w, 64, TSK_W("%.3S"), narrow), 2); // no half pair
  EXPECT_EQ(WString(w), (WString{'a', 0xE9}));

  // Ill-formed and unpaired text is replaced.
  ASSERT_EQ(formatBounded(w, 64, TSK_W("%hs"), "x\xFF"), 2);
  EXPECT_EQ(WString(w), (WString{'x', 0xFFFD}));
  ASSERT_EQ(formatBounded(n, 64, "%C", 0xD800), 3);
  EXPECT_STREQ(n, "\xEF\xBF\xBD");
}

TEST(Format, CrossWidthTextInALatin1NarrowEncoding) {
  ScopedNarrowEncoding latin1(NarrowEncoding::kLatin1);
  TSK_REQUIRE_NARROW_ENCODING(latin1, "Latin-1");
  char n[64];
  tsk_wchar_t w[64];
  const tsk_wchar_t text[] = {0xE9, 0x4E2D, 0};
  ASSERT_EQ(formatBounded(n, 64, "%S", text), 2);
  EXPECT_STREQ(n, "\xE9?");
  ASSERT_EQ(formatBounded(w, 64, TSK_W("%S%C"), "\xE9t", 0xFC), 3);
  EXPECT_EQ(WString(w), (WString{0xE9, 't', 0xFC}));
}

TEST(Format, PointersAreSixteenUpperCaseHexDigits) {
  int object = 0;
  const std::string want =
      cFormat("%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&object)));
  EXPECT_EQ(formatBoth("%p", static_cast<void*>(&object)).narrow, want);
  EXPECT_EQ(formatBoth("%p", static_cast<void*>(nullptr)).narrow, "0000000000000000");
}

TEST(Format, BoundedModeReportsFitFillAndOverflow) {
  tsk_wchar_t w[8];
  char n[8];
  std::fill(std::begin(n), std::end(n), '#');
  EXPECT_EQ(formatBounded(n, 6, "%s", "abcde"), 5); // text and terminator fit
  EXPECT_STREQ(n, "abcde");

  std::fill(std::begin(n), std::end(n), '#');
  EXPECT_EQ(formatBounded(n, 5, "%s", "abcde"), 5); // text fills the room
  EXPECT_EQ(std::string(n, 6), "abcde#");

  std::fill(std::begin(n), std::end(n), '#');
  EXPECT_EQ(formatBounded(n, 5, "%d", 123456), -1); // longer: room written
  EXPECT_EQ(std::string(n, 6), "12345#");

  std::fill(std::begin(w), std::end(w), '#');
  EXPECT_EQ(formatBounded(w, 4, TSK_W("%s"), TSK_W("abcdef")), -1);
  EXPECT_EQ(WString(w, 5), TSK_W("abcd#"));
  EXPECT_EQ(formatBounded(w, 0, TSK_W("")), 0);
  EXPECT_EQ(formatBounded(w, 0, TSK_W("x")), -1);

  // No buffer and no room measures, as Windows' _vsnprintf does; no buffer
  // with room fails.
  EXPECT_EQ(formatBounded(static_cast<char*>(nullptr), 0, "%s-%d", "ab", 42), 5);
  EXPECT_EQ(formatBounded(static_cast<tsk_wchar_t*>(nullptr), 0, TSK_W("%S"), "xyz"), 3);
  EXPECT_EQ(formatBounded(static_cast<char*>(nullptr), 0, static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(formatBounded(static_cast<char*>(nullptr), 4, "x"), -1);
}

TEST(Format, MeasuringModeCountsWithoutTerminator) {
  EXPECT_EQ(formatLength("%s-%05d", "abc", 7), 9);
  EXPECT_EQ(formatLength(TSK_W("%S%%"), "xyz"), 4);
  EXPECT_EQ(formatLength(""), 0);
  EXPECT_EQ(formatLength("%.500f", 1.0), 502);
}

TEST(Format, SecureModeFailsRatherThanCuts) {
  tsk_wchar_t w[8];
  EXPECT_EQ(formatSecure(w, 8, TSK_W("%s"), TSK_W("1234567")), 7);
  EXPECT_EQ(WString(w), TSK_W("1234567"));
  std::fill(std::begin(w), std::end(w), '#');
  EXPECT_EQ(formatSecure(w, 8, TSK_W("%s"), TSK_W("12345678")), -1);
  EXPECT_EQ(w[0], 0);
  char n[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(formatSecure(n, 0, "x"), -1);
  EXPECT_EQ(n[0], '#');
}

TEST(Format, MalformedConversionsFailAndKeepWhatCameBefore) {
  char n[16];
  std::fill(std::begin(n), std::end(n), '#');
  EXPECT_EQ(formatBounded(n, 16, "ab%k"), -1);
  EXPECT_EQ(std::string(n, 3), "ab#");
  EXPECT_EQ(n[15], '#'); // a formatting error is told apart from lack of room
  EXPECT_EQ(formatBounded(n, 16, "trailing %"), -1);
  int count = 0;
  EXPECT_EQ(formatBounded(n, 16, "x%n", &count), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(formatLength("%lls", "x"), -1);
  EXPECT_EQ(formatLength("%99999999999d", 1), -1);
  EXPECT_EQ(formatLength(static_cast<const char*>(nullptr)), -1);
  tsk_wchar_t w[4];
  EXPECT_EQ(formatSecure(w, 4, TSK_W("%y")), -1);
  EXPECT_EQ(w[0], 0);
}

} // namespace
