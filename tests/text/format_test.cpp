// The formatter: numbers by the C rules with one text everywhere, Windows'
// text conventions, and the bounded, measuring and secure modes.
#include "text/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "guarded_memory.h"
#include "narrow_encoding.h"
#include "platform.h"
#include "platform/text.h"
#include "random_format.h"

namespace {

using tsk::text::formatBounded;
using tsk::text::formatLength;
using tsk::text::formatSecure;
using WString = std::basic_string<tsk_wchar_t>;
using tsk::test::GuardedArray;

WString widen(const std::string& s) { return WString(s.begin(), s.end()); }

// glibc's bounded formatter, or that of msvcrt, which the DLL stands in for.
template <typename... A>
int cLibraryFormat(char* buf, size_t size, const char* format, A... args) {
#if defined(_WIN32)
  return _snprintf(buf, size, format, args...);
#else
  return std::snprintf(buf, size, format, args...);
#endif
}

// The formatter, narrow and wide, against the C library, and with a short room.
template <typename... A>
void expectAsCLibrary(const char* format, const char* wideFormat, size_t room, A... args) {
  char narrow[2048], want[2048], cut[2048];
  tsk_wchar_t wide[2048];
  const int n = formatBounded(narrow, 2048, format, args...);
  const int w = formatBounded(wide, 2048, widen(wideFormat).c_str(), args...);
  const int k = cLibraryFormat(want, sizeof want, format, args...);
  const int c = formatBounded(cut, room, format, args...);
  ASSERT_GE(k, 0) << format;
  EXPECT_EQ(n, k) << format;
  EXPECT_EQ(w, k) << format;
  EXPECT_EQ(std::string(narrow, std::max(n, 0)), want) << format;
  EXPECT_EQ(WString(wide, std::max(w, 0)), widen(want)) << format;
  EXPECT_EQ(c, k <= static_cast<int>(room) ? k : -1) << format << " in " << room;
  EXPECT_EQ(std::string(cut, std::min(room, std::strlen(want))), std::string(want).substr(0, room));
}

// The same for ASCII formats against glibc; elsewhere the tables stand alone.
template <typename... A>
void expectAsPrintf(const char* format, A... args) {
  if (!tsk::test::kWindows) {
    expectAsCLibrary(format, format, 0, args...);
  }
}

// The formatter's narrow output alone, for arguments that only a narrow
// format takes.
template <typename... A>
std::string formatNarrow(const char* format, A... args) {
  char buf[1024];
  return formatBounded(buf, sizeof buf, format, args...) < 0 ? "<error>" : buf;
}

// One text on every platform: special values, rounding ties and the flag
// corners where C libraries part ways, each row checked narrow and wide.
TEST(Format, NumberCornersComeOutTheSameOnEveryPlatform) {
  volatile double zero = 0.0;
  const double runtimeNaN = zero / zero; // sign bit set on x86
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = HUGE_VAL;
  struct Row {
    const char* format;
    std::variant<long long, double> value;
    const char* expected;
  };
  const std::vector<Row> rows = {
      // # with o makes the first digit 0, also for 0 under precision 0.
      // Precision 0 writes no digit for 0; the sign flags still apply.
      {"%#.0llo|%#5.0llo|%#llx|%#08llx|%#-6llX|", 0LL, "0|    0|0|00000000|0     |"},
      {"%#llo|%#.3llo", 8LL, "010|010"},
      {"[%.0lld|%3.0lld|%+.0lld|% .0lld|%#.0llx]", 0LL, "[|   |+| |]"},
      {"%#08llx", 255LL, "0x0000ff"},
      // The sign flags belong to signed conversions only.
      {"[% llu|%+llu|% 4llx|%+ lld]", 5LL, "[5|5|   5|+5]"},
      // A precision turns the 0 flag off; - wins over 0; + wins over space.
      {"[%08.3lld|%-08lld|%+ lld]", -5LL, "[    -005|-5      |-5]"},
      {"%lld|%llu|%llo", -1LL, "-1|18446744073709551615|1777777777777777777777"},
      {"%lld", LLONG_MIN, "-9223372036854775808"},
      // NaN: no sign of its own, the flags' sign, spaces for padding.
      {"[%f|%e|%g|%a|%+f|% g|%08.2f|%-6e|%#a]", runtimeNaN,
       "[nan|nan|nan|nan|+nan| nan|     nan|nan   |nan]"},
      {"%F|%E|%G|%A", -nan, "NAN|NAN|NAN|NAN"},
      {"[%f|%+F|%08g|% e|%#.0f]", -inf, "[-inf|-INF|    -inf|-inf|-inf]"},
      {"[%f|%+F|% A]", inf, "[inf|+INF| INF]"},
      {"[%f|%g|%e|%a|%+.0f]", -0.0, "[-0.000000|-0|-0.000000e+00|-0x0p+0|-0]"},
      // Rounding to the precision: ties go to even on the exact value.
      {"[%.0f|%.0e|%.1f]", 0.5, "[0|5e-01|0.5]"},
      {"[%.0f|%.0e]", 1.5, "[2|2e+00]"},
      {"[%.0f|%.0e|%.2e]", 2.5, "[2|2e+00|2.50e+00]"},
      {"%.2f|%.1f", 1.125, "1.12|1.1"},
      {"%.1a|%.2a", 0x1.08p0, "0x1.0p+0|0x1.08p+0"},
      {"%.1a", 0x1.18p0, "0x1.2p+0"},
      {"%.1f", 0.05, "0.1"}, // 0.05 is a little more than a half-tenth
      // %g: the exponent after rounding chooses the style; # keeps zeros.
      {"%#.2g", 99.5, "1.0e+02"},
      {"%#g|%g", 999999.5, "1.00000e+06|1e+06"},
      {"%12.13g|%-12.13g|", 1e6, "     1000000|1000000     |"},
      {"%g", 100000.0, "100000"},
      {"%.3g|%g", 0.0001234, "0.000123|0.0001234"},
      {"%g|%G", 0.00001234, "1.234e-05|1.234E-05"},
      {"%#.0f|%#.0e|%#.1g|%#.0a", 2.0, "2.|2.e+00|2.|0x1.p+1"},
      {"%#g|%g|%#.3g", 0.0, "0.00000|0|0.00"},
      // Hexadecimal: shortest exact form, 0 flag after the prefix.
      {"%a|%A|%.3a", -2.5, "-0x1.4p+1|-0X1.4P+1|-0x1.400p+1"},
      {"%012.1a|%+a", 1.0, "0x00001.0p+0|+0x1p+0"},
      {"%a", 5e-324, "0x0.0000000000001p-1022"},
      {"%.0a", 1.9999999999999998, "0x2p+0"},
      // Exact digits well past a double's 17.
      {"%.20f", 0.1, "0.10000000000000000555"},
      {"%.3e|%e", 1.7976931348623157e308, "1.798e+308|1.797693e+308"},
      {"%e", 1e-310, "1.000000e-310"},
      {"[%+010.2f|%-+10.2f|% .3e]", 3.14159, "[+000003.14|+3.14     | 3.142e+00]"},
  };
  for (const Row& row : rows) {
    char narrow[128];
    tsk_wchar_t wide[128];
    // Each conversion of a row takes the same value (at most nine of them).
    const auto format = [&](auto v) {
      return std::pair{
          formatBounded(narrow, 128, row.format, v, v, v, v, v, v, v, v, v),
          formatBounded(wide, 128, widen(row.format).c_str(), v, v, v, v, v, v, v, v, v)};
    };
    const auto [n, w] = std::visit(format, row.value);
    const std::string expected = row.expected;
    EXPECT_EQ(n, static_cast<int>(expected.size())) << row.format;
    EXPECT_EQ(w, static_cast<int>(expected.size())) << row.format;
    EXPECT_EQ(std::string(narrow, std::max(n, 0)), expected) << row.format;
    EXPECT_EQ(WString(wide, std::max(w, 0)), widen(expected)) << row.format;
  }
  // Widths and precisions far past any buffer are counted, not stored.
  EXPECT_EQ(formatLength("%.100000f|%.3000e|%#.5000g", 1.0, 1e300, 0.5),
            100002 + 1 + 3007 + 1 + 5002);
}

TEST(Format, NumbersMatchPrintfWithSizePrefixesAndStars) {
  expectAsPrintf("%lld|%llu|%ld|%lx|%hd|%hhu|%hhd|%zu|%jd|%td", LLONG_MIN, ULLONG_MAX, -123456789L,
                 0xDEADBEEFUL, 70000, 300, 200, sizeof(long double), static_cast<intmax_t>(-5),
                 static_cast<ptrdiff_t>(-9));
  // Longer than the formatter's stack buffer.
  expectAsPrintf("%300d|%.400f|%f|%e", 12, 1.0 / 3.0, 1e308, -HUGE_VAL);
  // Star takes width and precision from the arguments; negative ones are
  // a left-justified width and no precision.
  expectAsPrintf("[%*d][%*d][%.*f][%.*f]", 5, 42, -5, 42, 2, 3.14159, -1, 0.5);
  EXPECT_EQ(formatNarrow("[%*.*s]", 6, 2, "abcdef"), "[    ab]");
  if constexpr (tsk::platform::kLongDoubleIsDouble) {
    // Callers built for Windows' convention pass a double for %Lf.
    EXPECT_EQ(formatNarrow("%Lf|%.3Le", 2.5, -1e300), formatNarrow("%f|%.3e", 2.5, -1e300));
  } else {
    expectAsPrintf("%Lf|%.3Le", 2.5L, -1e300L);
  }
  // Windows' size prefixes, and %p as sixteen upper-case hex digits.
  int object = 0;
  EXPECT_EQ(formatNarrow("%I64d|%I32x|%Iu|%p|%p", static_cast<long long>(-1) << 40, 0xABCDu,
                         SIZE_MAX, static_cast<void*>(&object), static_cast<void*>(nullptr)),
            formatNarrow(
                "%lld|%x|%zu|%016llX|%016llX", static_cast<long long>(-1) << 40, 0xABCDu, SIZE_MAX,
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&object)), 0ULL));
}

TEST(Format, RandomFormatsMatchTheCLibrary) {
  using tsk::test::FormatModel;
  std::mt19937 random(19);
  const auto next = [&] { return static_cast<uint8_t>(random()); };
  for (int i = 0; i < 4000; ++i) {
    const tsk::test::RandomFormat f = tsk::test::randomFormat(
        next, tsk::test::kWindows ? FormatModel::kWindowsRuntime : FormatModel::kGlibc);
    const size_t room = random() % 64;
    tsk::test::applyFormatArguments(
        [&](auto... a) {
          expectAsCLibrary(f.narrow.c_str(), f.wide.c_str(), room, a...);
          return 0;
        },
        f.args);
  }
}

// The decimal point is the numeric locale's, in both widths.
TEST(Format, DecimalPointFollowsTheNumericLocale) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  bool german = false;
  for (const char* name : {"de_DE.ISO-8859-1", "de_DE.iso88591", "German_Germany.1252"}) {
    german = german || std::setlocale(LC_NUMERIC, name) != nullptr;
  }
  if (!german) {
    GTEST_SKIP() << "no German numeric locale";
  }
  char n[64];
  tsk_wchar_t w[64];
  const int narrow = formatBounded(n, 64, "%.1f|%#.0e|%a|%g|%d", 0.5, 2.0, 1.5, 1e-5, 1000);
  const int wide = formatBounded(w, 64, TSK_W("%.1f|%#.0e|%a|%g|%d"), 0.5, 2.0, 1.5, 1e-5, 1000);
  std::setlocale(LC_NUMERIC, saved.c_str());
  const std::string expected = "0,5|2,e+00|0x1,8p+0|1e-05|1000";
  EXPECT_EQ(std::string(n, std::max(narrow, 0)), expected);
  EXPECT_EQ(WString(w, std::max(wide, 0)), widen(expected));
}

TEST(Format, TextArgumentsFollowWindowsConventions) {
  char n[64];
  tsk_wchar_t w[64];
  // Narrow format: %s narrow, %S wide; h narrow, l and w wide.
  ASSERT_EQ(formatBounded(n, 64, "%s|%S|%hs|%ls|%ws|%c%C%hc%lc%wc", "a", TSK_W("b"), "c",
                          TSK_W("d"), TSK_W("e"), 'a', TSK_W('b'), 'c', TSK_W('d'), TSK_W('e')),
            15);
  EXPECT_STREQ(n, "a|b|c|d|e|abcde");
  // Wide format: the reverse for %s, %S, %c and %C.
  ASSERT_EQ(formatBounded(w, 64, TSK_W("%s|%S|%hs|%ls|%ws|%c%C%hc%lc%wc"), TSK_W("a"), "b", "c",
                          TSK_W("d"), TSK_W("e"), TSK_W('a'), 'b', 'c', TSK_W('d'), TSK_W('e')),
            15);
  EXPECT_EQ(WString(w), TSK_W("a|b|c|d|e|abcde"));
  // Non-ASCII text of the format's own width is copied unit for unit.
  const tsk_wchar_t format[] = {0x4E2D, '%', 's', 0xD83D, 0xDE00, 0};
  const tsk_wchar_t arg[] = {0xE9, 0};
  ASSERT_EQ(formatBounded(w, 64, format, arg), 4);
  EXPECT_EQ(WString(w), (WString{0x4E2D, 0xE9, 0xD83D, 0xDE00}));

  // Width, precision, zero padding, null strings and %%.
  const char* null = nullptr;
  EXPECT_EQ(formatNarrow("[%5s|%-5s|%05s|%.2s|%3c|%s|%.3s|%S] 100%%", "ab", "ab", "ab", "abcdef",
                         'x', null, null, static_cast<const tsk_wchar_t*>(nullptr)),
            "[   ab|ab   |000ab|ab|  x|(null)|(nu|(null)] 100%");
  ASSERT_EQ(formatBounded(w, 16, TSK_W("[%S]"), null), 8);
  EXPECT_EQ(WString(w), TSK_W("[(null)]"));
}

// Arrays that end at a guard page: a read past the precision faults.
TEST(Format, PrecisionBoundsTheReadsOfUnterminatedArrays) {
  char n[32];
  tsk_wchar_t w[32];
  const GuardedArray<char> narrow("xy", 2);
  const tsk_wchar_t wideText[] = {'a', 'b'};
  const GuardedArray<tsk_wchar_t> wide(wideText, 2);
  const GuardedArray<char> noNarrow(nullptr, 0);
  const GuardedArray<tsk_wchar_t> noWide(nullptr, 0);

  EXPECT_EQ(formatBounded(n, 32, "[%.2s|%.*hs|%.2S|%5.*ls]", narrow.get(), 2, narrow.get(),
                          wide.get(), 2, wide.get()),
            16);
  EXPECT_STREQ(n, "[xy|xy|ab|   ab]");
  EXPECT_EQ(formatBounded(w, 32, TSK_W("[%.2S|%-3.*hs|%.2s|%.*ws]"), narrow.get(), 2, narrow.get(),
                          wide.get(), 2, wide.get()),
            14);
  EXPECT_EQ(WString(w), TSK_W("[xy|xy |ab|ab]"));
  // Precision 0 reads nothing at all.
  EXPECT_EQ(formatBounded(n, 32, "[%.0s%.0S%3.0S]", noNarrow.get(), noWide.get(), noWide.get()), 5);
  EXPECT_STREQ(n, "[   ]");
  EXPECT_EQ(formatBounded(w, 32, TSK_W("[%.0s%.0S]"), noWide.get(), noNarrow.get()), 2);
  EXPECT_EQ(WString(w), TSK_W("[]"));
}

TEST(Format, CrossWidthTextConvertsWithoutSplittingCharacters) {
  TSK_USE_NARROW_ENCODING(kUtf8);
  char n[64];
  tsk_wchar_t w[64];
  const tsk_wchar_t text[] = {'a', 0xE9, 0xD83D, 0xDE00, 0}; // a é 😀: 1 + 2 + 4 bytes
  // é would need a third byte of %.2S; width counts bytes.
  ASSERT_EQ(formatBounded(n, 64, "%S|%.2S|%.6S|%4S", text, text, text, TSK_W("\u00e9")), 18);
  EXPECT_STREQ(n, "a\xC3\xA9\xF0\x9F\x98\x80|a|a\xC3\xA9|  \xC3\xA9");
  const char* narrow = "a\xC3\xA9\xF0\x9F\x98\x80";
  // No half pair; ill-formed and unpaired text is replaced.
  ASSERT_EQ(formatBounded(w, 64, TSK_W("%S|%.3S|%hs"), narrow, narrow, "x\xFF"), 10);
  EXPECT_EQ(WString(w), (WString{'a', 0xE9, 0xD83D, 0xDE00, '|', 'a', 0xE9, '|', 'x', 0xFFFD}));
  ASSERT_EQ(formatBounded(n, 64, "%C", 0xD800), 3);
  EXPECT_STREQ(n, "\xEF\xBF\xBD");

  // Precision bounds the reads here too: a high surrogate as the last unit
  // (its partner would lie past the array), two bytes that make one unit.
  const tsk_wchar_t pairCut[] = {'a', 0xD83D};
  const GuardedArray<tsk_wchar_t> wide(pairCut, 2);
  EXPECT_EQ(formatBounded(n, 16, "[%.2S]", wide.get()), 3);
  EXPECT_STREQ(n, "[a]");
  const GuardedArray<char> accent("\xC3\xA9", 2);
  EXPECT_EQ(formatBounded(w, 16, TSK_W("[%.1S]"), accent.get()), 3);
  EXPECT_EQ(WString(w), (WString{'[', 0xE9, ']'}));
}

TEST(Format, CrossWidthTextInALatin1NarrowEncoding) {
  TSK_USE_NARROW_ENCODING(kLatin1);
  char n[64];
  tsk_wchar_t w[64];
  const tsk_wchar_t text[] = {0xE9, 0x4E2D, 0};
  ASSERT_EQ(formatBounded(n, 64, "%S", text), 2);
  EXPECT_STREQ(n, "\xE9?");
  ASSERT_EQ(formatBounded(w, 64, TSK_W("%S%C"), "\xE9t", 0xFC), 3);
  EXPECT_EQ(WString(w), (WString{0xE9, 't', 0xFC}));
}

TEST(Format, BoundedModeReportsFitFillAndOverflow) {
  char n[8];
  tsk_wchar_t w[8];
  // The result, and the room's elements with the one after it: text and
  // terminator fit; the text fills the room (no terminator); the text is
  // longer (the room is written).
  for (auto [room, arg, result, want] :
       {std::tuple<size_t, const char*, int, std::string>{6, "abcde", 5, {"abcde\0#", 7}},
        {5, "abcde", 5, "abcde#"},
        {5, "123456", -1, "12345#"},
        {0, "", 0, "#"},
        {0, "x", -1, "#"}}) {
    std::fill(std::begin(n), std::end(n), '#');
    std::fill(std::begin(w), std::end(w), '#');
    EXPECT_EQ(formatBounded(n, room, "%s", arg), result) << arg << " in " << room;
    EXPECT_EQ(formatBounded(w, room, TSK_W("%S"), arg), result) << arg << " in " << room;
    EXPECT_EQ(std::string(n, want.size()), want) << arg << " in " << room;
    EXPECT_EQ(WString(w, want.size()), widen(want)) << arg << " in " << room;
  }
  // No buffer and no room measures, as Windows' _vsnprintf does; no buffer
  // with room fails.
  EXPECT_EQ(formatBounded(static_cast<char*>(nullptr), 0, "%s-%d", "ab", 42), 5);
  EXPECT_EQ(formatBounded(static_cast<tsk_wchar_t*>(nullptr), 0, TSK_W("%S"), "xyz"), 3);
  EXPECT_EQ(formatBounded(static_cast<char*>(nullptr), 0, static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(formatBounded(static_cast<char*>(nullptr), 4, "x"), -1);
}

TEST(Format, MeasuringAndSecureModes) {
  EXPECT_EQ(formatLength("%s-%05d", "abc", 7), 9);
  EXPECT_EQ(formatLength(TSK_W("%S%%"), "xyz"), 4);
  // Widths are counted, not written one pad at a time.
  EXPECT_EQ(formatLength("%*s", INT_MAX, ""), INT_MAX);
  EXPECT_EQ(formatLength("%*s%*s", INT_MAX, "", 1, ""), -1); // past INT_MAX
  EXPECT_EQ(formatLength(TSK_W("%-*S"), INT_MAX - 1, "ab"), INT_MAX - 1);
  char n[16];
  std::fill(std::begin(n), std::end(n), '#');
  EXPECT_EQ(formatBounded(n, 8, "%*s", INT_MAX, "x"), -1);
  EXPECT_EQ(std::string(n, 9), "        #");

  tsk_wchar_t w[8];
  EXPECT_EQ(formatSecure(w, 8, TSK_W("%s"), TSK_W("1234567")), 7);
  EXPECT_EQ(WString(w), TSK_W("1234567"));
  std::fill(std::begin(w), std::end(w), '#');
  EXPECT_EQ(formatSecure(w, 8, TSK_W("%s"), TSK_W("12345678")), -1);
  EXPECT_EQ(w[0], 0);
  EXPECT_EQ(formatSecure(n, 0, "x"), -1);
  EXPECT_EQ(n[0], ' ');
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
  for (const char* format : {"%lls", "%99999999999d", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(formatLength(format, "x"), -1) << (format ? format : "null");
  }
  tsk_wchar_t w[4];
  EXPECT_EQ(formatSecure(w, 4, TSK_W("%y")), -1);
  EXPECT_EQ(w[0], 0);
}

} // namespace
