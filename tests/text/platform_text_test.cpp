// The platform text services: the conversion contract, classification and
// case mapping of UTF-16 units, and the multibyte character functions in a
// UTF-8 and a Latin-1 narrow encoding. On Windows these run against the real
// system functions, so the same expectations hold the POSIX stand-ins to
// Windows' behaviour.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "guarded_memory.h"
#include "narrow_encoding.h"

namespace {

using namespace tsk::platform;
using WString = std::basic_string<tsk_wchar_t>;
using tsk::test::GuardedArray;
using tsk::test::NarrowEncoding;
using tsk::test::ScopedNarrowEncoding;

const unsigned char* bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

TEST(PlatformText, ConversionMeasuresConvertsAndNeverCuts) {
  tsk_wchar_t w[8];
  EXPECT_EQ(multiByteToWide(kUtf8CodePage, "abc", -1, nullptr, 0), 4); // with terminator
  EXPECT_EQ(multiByteToWide(kUtf8CodePage, "abc", 3, nullptr, 0), 3);
  EXPECT_EQ(multiByteToWide(kUtf8CodePage, "abc", -1, w, 3), 0); // no room for the zero
  ASSERT_EQ(multiByteToWide(kUtf8CodePage, "abc", -1, w, 4), 4);
  EXPECT_EQ(WString(w), TSK_W("abc"));
  EXPECT_EQ(multiByteToWide(kUtf8CodePage, "abc", 0, w, 8), 0); // invalid length
  ASSERT_EQ(multiByteToWide(kUtf8CodePage, "a\0b", 3, w, 8), 3);
  EXPECT_EQ(w[1], 0);
  EXPECT_EQ(w[2], 'b');

  char n[8];
  const tsk_wchar_t euro[] = {0x20AC, 0};
  EXPECT_EQ(wideToMultiByte(kUtf8CodePage, euro, -1, nullptr, 0), 4);
  EXPECT_EQ(wideToMultiByte(kUtf8CodePage, euro, -1, n, 3), 0);
  ASSERT_EQ(wideToMultiByte(kUtf8CodePage, euro, -1, n, 4), 4);
  EXPECT_STREQ(n, "\xE2\x82\xAC");
  EXPECT_EQ(wideToMultiByte(kUtf8CodePage, nullptr, -1, n, 4), 0);
}

TEST(PlatformText, Latin1CodePageConversions) {
  ScopedNarrowEncoding latin1(NarrowEncoding::kLatin1);
  TSK_REQUIRE_NARROW_ENCODING(latin1, "Latin-1");
  tsk_wchar_t w[8];
  ASSERT_EQ(multiByteToWide(kAnsiCodePage, "\xC4\xFF", -1, w, 8), 3);
  EXPECT_EQ(WString(w), (WString{0xC4, 0xFF}));
  char n[8];
  const tsk_wchar_t text[] = {'x', 0xFC, 0x0416, 0xD83D, 0xDE00, 0};
  EXPECT_EQ(wideToMultiByte(kAnsiCodePage, text, -1, nullptr, 0), 6);
  ASSERT_EQ(wideToMultiByte(kAnsiCodePage, text, -1, n, 8), 6);
  EXPECT_STREQ(n, "x\xFC???"); // Ж, and each half of the emoji
  EXPECT_EQ(wideToMultiByte(kAnsiCodePage, text, -1, n, 5), 0);

  // The multibyte functions see one byte per character.
  const auto* s = bytes("\xE9t\xE9");
  EXPECT_EQ(mbsLen(s), 3u);
  EXPECT_EQ(mbsInc(s), s + 1);
  EXPECT_EQ(mbsDec(s, s + 3), s + 2);
  EXPECT_EQ(mbsChr(s, 0xE9), s);
  EXPECT_EQ(mbsRChr(s, 0xE9), s + 2);
  EXPECT_EQ(mbsNInc(s, 2), s + 2);
  EXPECT_EQ(mbLen("\xE9", 1), 1);
  tsk_wchar_t unit = 0;
  EXPECT_EQ(mbToWc(&unit, "\xE9", 1), 1);
  EXPECT_EQ(unit, 0xE9);
}

TEST(PlatformText, Utf8MultibyteCharactersAreNeverSplit) {
  ScopedNarrowEncoding utf8(NarrowEncoding::kUtf8);
  TSK_REQUIRE_NARROW_ENCODING(utf8, "UTF-8");
  // a é € 😀, then a stray continuation byte and x.
  const auto* s = bytes("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x80x");
  EXPECT_EQ(mbsInc(s), s + 1);
  EXPECT_EQ(mbsInc(s + 1), s + 3);
  EXPECT_EQ(mbsInc(s + 3), s + 6);
  EXPECT_EQ(mbsInc(s + 6), s + 10);
  EXPECT_EQ(mbsInc(s + 10), s + 11); // a byte that begins nothing counts as one
  EXPECT_EQ(mbsInc(s + 2), s + 3);
  EXPECT_EQ(mbsLen(s), 6u);
  EXPECT_EQ(mbsNInc(s, 3), s + 6);
  EXPECT_EQ(mbsNInc(s, 100), s + 12);
  EXPECT_EQ(mbsDec(s, s + 10), s + 6);
  EXPECT_EQ(mbsDec(s, s + 11), s + 10);
  EXPECT_EQ(mbsDec(s, s + 3), s + 1);
  EXPECT_EQ(mbsDec(s, s + 2), s + 1); // inside é: the byte before
  EXPECT_EQ(mbsDec(s, s), nullptr);

  EXPECT_EQ(mbsChr(s, 0xE282AC), s + 3);
  EXPECT_EQ(mbsChr(s, 0xA9), nullptr); // a trail byte is no character
  EXPECT_EQ(mbsChr(s, 0), s + 12);
  const auto* twice = bytes("\xC3\xA9-\xC3\xA9");
  EXPECT_EQ(mbsRChr(twice, 0xC3A9), twice + 3);
  EXPECT_EQ(mbsStr(s, bytes("\x82\xAC")), nullptr); // only at boundaries
  EXPECT_EQ(mbsStr(s, bytes("\xE2\x82\xAC")), s + 3);
  EXPECT_EQ(mbsStr(s, bytes("")), s);

  EXPECT_EQ(mbLen("\xC3\xA9", 2), 2);
  EXPECT_EQ(mbLen("\xC3\xA9", 1), -1);
  EXPECT_EQ(mbLen("\x80", 1), -1);
  EXPECT_EQ(mbLen("", 1), 0);
  tsk_wchar_t unit = 0;
  EXPECT_EQ(mbToWc(&unit, "\xE2\x82\xAC", 3), 3);
  EXPECT_EQ(unit, 0x20AC);
  EXPECT_EQ(mbToWc(&unit, "\xF0\x9F\x98\x80", 4), -1); // needs two units

  EXPECT_TRUE(isMbcSpace(0xE38080)); // ideographic space
  EXPECT_FALSE(isMbcSpace(0xE4B8AD));

  // In the C locale case mapping touches ASCII letters only, and never a
  // byte of a multibyte character.
  char text[] = "ab\xC3\xA9Z";
  EXPECT_STREQ(reinterpret_cast<char*>(mbsUpr(reinterpret_cast<unsigned char*>(text))),
               "AB\xC3\xA9Z");
  EXPECT_STREQ(reinterpret_cast<char*>(mbsLwr(reinterpret_cast<unsigned char*>(text))),
               "ab\xC3\xA9z");
}

// A lead byte right before the terminator is a character of one byte; the
// step never passes the terminator (the guard page behind it would fault).
TEST(PlatformText, MbsIncNeverStepsPastATerminator) {
  for (const char* text : {"", "a", "\xC3", "x\xE2\x82", "\xF0\x9F\x98", "\x81", "\x82\x40"}) {
    const size_t length = std::strlen(text);
    const GuardedArray<unsigned char> s(bytes(text), length + 1);
    const unsigned char* end = s.get() + length;
    const unsigned char* p = s.get();
    while (p < end) {
      p = mbsInc(p);
    }
    EXPECT_EQ(p, end) << "text of " << length << " bytes";
    EXPECT_EQ(mbsInc(end), end + 1);
  }
}

TEST(PlatformText, WideClassificationMatchesWindowsForLatin1) {
  for (unsigned u = 0; u < 0x100; ++u) {
    const auto unit = static_cast<tsk_wchar_t>(u);
    const bool space = (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0xA0;
    const bool control = u < 0x20 || (u >= 0x7F && u <= 0x9F);
    EXPECT_EQ(isWideSpace(unit), space) << std::hex << u;
    EXPECT_EQ(isWideControl(unit), control) << std::hex << u;
  }
  for (tsk_wchar_t unit : {0x1680, 0x2000, 0x2007, 0x200A, 0x2028, 0x2029, 0x202F, 0x3000}) {
    EXPECT_TRUE(isWideSpace(unit)) << std::hex << unsigned{unit};
  }
  for (tsk_wchar_t unit : {0x200B, 0x200E, 0x202E, 0x2060}) {
    EXPECT_TRUE(isWideControl(unit)) << std::hex << unsigned{unit};
    EXPECT_FALSE(isWideSpace(unit)) << std::hex << unsigned{unit};
  }
  EXPECT_FALSE(isWideSpace(0x85)); // NEL is a control character only
  EXPECT_FALSE(isWideSpace(0x4E2D));
  EXPECT_FALSE(isWideControl(0x4E2D));
}

TEST(PlatformText, WideDigitsAreDecimalDigitsOfAnyScript) {
  for (unsigned u = 0; u < 0x100; ++u) {
    const bool digit = (u >= '0' && u <= '9') || u == 0xB2 || u == 0xB3 || u == 0xB9;
    EXPECT_EQ(isWideDigit(static_cast<tsk_wchar_t>(u)), digit) << std::hex << u;
  }
  // Arabic-Indic, Devanagari, Thai and fullwidth digits, at both ends.
  for (tsk_wchar_t unit : {0x0660, 0x0669, 0x0966, 0x096F, 0x0E50, 0x0E59, 0xFF10, 0xFF19}) {
    EXPECT_TRUE(isWideDigit(unit)) << std::hex << unsigned{unit};
  }
  // Other numbers are not decimal digits: fractions, Roman numerals,
  // superscript zero, CJK numerals, and the neighbours of digit ranges.
  for (tsk_wchar_t unit : {0x00BC, 0x2160, 0x2070, 0x4E00, 0x065F, 0x066A, 0xFF1A, 0xFFFF}) {
    EXPECT_FALSE(isWideDigit(unit)) << std::hex << unsigned{unit};
  }
}

TEST(PlatformText, WideCaseMappingInTheCLocaleTouchesAsciiOnly) {
  ScopedNarrowEncoding cLocale(NarrowEncoding::kUtf8);
  WString text;
  for (unsigned u = 0x20; u < 0x250; ++u) {
    text += static_cast<tsk_wchar_t>(u);
  }
  WString upper = text;
  WString lower = text;
  EXPECT_EQ(wcsUpr(upper.data()), upper.data());
  wcsLwr(lower.data());
  for (size_t i = 0; i < text.size(); ++i) {
    const tsk_wchar_t u = text[i];
    EXPECT_EQ(upper[i], u >= 'a' && u <= 'z' ? u - 32 : u) << std::hex << unsigned{u};
    EXPECT_EQ(lower[i], u >= 'A' && u <= 'Z' ? u + 32 : u) << std::hex << unsigned{u};
  }
}

TEST(PlatformText, NumbersComeFromTheCLibrary) {
  char buf[32];
  EXPECT_EQ(formatNumber(buf, sizeof buf, "%+08.3f", 3.14159), 8);
  EXPECT_STREQ(buf, "+003.142");
  EXPECT_EQ(formatNumber(buf, sizeof buf, "%e", 12345.0), 12);
  EXPECT_STREQ(buf, "1.234500e+04"); // two exponent digits on every platform
  EXPECT_EQ(formatNumber(buf, 4, "%lld", 123456789LL), 9);
  EXPECT_STREQ(buf, "123");
}

} // namespace
