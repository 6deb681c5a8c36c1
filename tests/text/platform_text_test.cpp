// The platform text services, which on Windows are the system functions: the
// same expectations hold the POSIX stand-ins to Windows' behaviour.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "guarded_memory.h"
#include "narrow_encoding.h"
#include "random_utf.h"

#if defined(_WIN32)
#include <windows.h>

#include <random>

#include "unicode/dispatch.h"
#endif

namespace {

using namespace tsk::platform;
using WString = std::basic_string<tsk_wchar_t>;
using tsk::test::GuardedArray;
using tsk::test::NarrowEncoding;
using tsk::test::ScopedNarrowEncoding;

const unsigned char* bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

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

// The character before each position, against a walk from the start, in every
// narrow encoding at hand. The text lies right after a guard page: a step back
// may read only the bytes that can continue a character.
TEST(PlatformText, MbsDecReadsOnlyTheRunBeforeThePosition) {
  const std::string chinese(" \xD6\xD0\xCE\xC4"); // 中文
  std::string longRun = " ";
  for (int i = 0; i < 200; ++i) {
    longRun += "\xD6\xD0";
  }
  const struct {
    NarrowEncoding encoding;
    const char* name;
    std::vector<std::string> texts;
  } cases[] = {
      {NarrowEncoding::kLatin1, "Latin-1", {"a\xE9t\xFC  x\xFF"}},
      {NarrowEncoding::kUtf8, "UTF-8", {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x80x\xC3"}},
      {NarrowEncoding::kGb18030,
       "GB18030",
       {chinese + "  ", " \x81\x30\x81\x30!", "!\xD6", " \x81\x30", " \x81\x30\x81",
        "x\xD6\x40\xD6\xD6\xD0",
        " \xFF\x80"
        "a",
        longRun + "\x81\x30\x81\x30" + longRun}},
  };
  for (const auto& c : cases) {
    ScopedNarrowEncoding encoding(c.encoding);
    if (!encoding.active()) {
      continue;
    }
    for (const std::string& text : c.texts) {
      const tsk::test::GuardedArray<unsigned char> guarded(bytes(text.c_str()), text.size(),
                                                           tsk::test::Guard::kBefore);
      const unsigned char* s = guarded.get();
      const unsigned char* farBehind = s - 64;
      std::vector<const unsigned char*> boundaries; // by the walk from the start
      for (const unsigned char* p = s; p < s + text.size(); p = mbsInc(p)) {
        boundaries.push_back(p);
      }
      for (size_t end = 2; end <= text.size(); ++end) {
        const unsigned char* pos = s + end;
        // The character that ends at pos, or pos - 1 when pos lies inside one.
        const unsigned char* expected = pos - 1;
        for (size_t i = 0; i < boundaries.size(); ++i) {
          const unsigned char* next =
              i + 1 < boundaries.size() ? boundaries[i + 1] : mbsInc(boundaries[i]);
          if (next == pos) {
            expected = boundaries[i];
          }
        }
        EXPECT_EQ(mbsDec(farBehind, pos) - s, expected - s)
            << c.name << " text of " << text.size() << " bytes, position " << end;
      }
    }
  }
}

TEST(PlatformText, WideClassificationMatchesWindows) {
  for (unsigned u = 0; u < 0x100; ++u) {
    const auto unit = static_cast<tsk_wchar_t>(u);
    EXPECT_EQ(isWideSpace(unit), (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0xA0) << u;
    EXPECT_EQ(isWideControl(unit), u < 0x20 || (u >= 0x7F && u <= 0x9F)) << u;
    EXPECT_EQ(isWideDigit(unit), (u >= '0' && u <= '9') || u == 0xB2 || u == 0xB3 || u == 0xB9)
        << u;
  }
  // Unicode space separators; format characters, which are controls only.
  for (tsk_wchar_t unit : {0x1680, 0x2000, 0x2007, 0x200A, 0x2028, 0x2029, 0x202F, 0x3000}) {
    EXPECT_TRUE(isWideSpace(unit) && !isWideControl(unit)) << unsigned{unit};
  }
  for (tsk_wchar_t unit : {0x200B, 0x200E, 0x202E, 0x2060}) {
    EXPECT_TRUE(isWideControl(unit) && !isWideSpace(unit)) << unsigned{unit};
  }
  // Arabic-Indic, Devanagari, Thai and fullwidth digits, at both ends; not
  // fractions, Roman numerals, superscript zero, CJK numerals, or the
  // neighbours of digit ranges.
  for (tsk_wchar_t unit : {0x0660, 0x0669, 0x0966, 0x096F, 0x0E50, 0x0E59, 0xFF10, 0xFF19}) {
    EXPECT_TRUE(isWideDigit(unit)) << unsigned{unit};
  }
  for (tsk_wchar_t unit : {0x00BC, 0x2160, 0x2070, 0x4E00, 0x065F, 0x066A, 0xFF1A, 0xFFFF}) {
    EXPECT_FALSE(isWideDigit(unit) || isWideSpace(unit) || isWideControl(unit)) << unsigned{unit};
  }
}

TEST(PlatformText, WideCaseMappingInTheCLocaleTouchesAsciiOnly) {
  ScopedNarrowEncoding cLocale(NarrowEncoding::kUtf8);
  WString upper, lower;
  for (unsigned u = 0x20; u < 0x250; ++u) {
    upper += static_cast<tsk_wchar_t>(u);
  }
  lower = upper;
  EXPECT_EQ(wcsUpr(upper.data()), upper.data());
  EXPECT_EQ(wcsLwr(lower.data()), lower.data());
  for (size_t i = 0; i < upper.size(); ++i) {
    const auto u = static_cast<tsk_wchar_t>(0x20 + i);
    EXPECT_EQ(upper[i], u >= 'a' && u <= 'z' ? u - 32 : u) << unsigned{u};
    EXPECT_EQ(lower[i], u >= 'A' && u <= 'Z' ? u + 32 : u) << unsigned{u};
  }
}

// Zero-terminated text keeps its terminator after an incomplete last
// character. (Wine's converter takes it into the character.)
TEST(PlatformText, IncompleteLastCharacterKeepsTheTerminator) {
  const char* text = "a\xF0\x9F";
  WString out(4, 0x2A);
  EXPECT_EQ(multiByteToWide(kUtf8CodePage, text, -1, nullptr, 0), 3);
  EXPECT_EQ(multiByteToWide(kUtf8CodePage, text, -1, out.data(), 3), 3);
  EXPECT_EQ(out, (WString{'a', 0xFFFD, 0, 0x2A}));
  EXPECT_EQ(multiByteToWide(kUtf8CodePage, text, -1, out.data(), 2), 0);
}

#if defined(_WIN32)
// One call's observable result: the count, the output it covers, and the
// error code of a failure.
template <typename Out>
std::pair<int, std::basic_string<Out>> outcome(int count, const std::basic_string<Out>& out) {
  return {count, count == 0 ? std::basic_string<Out>(1, static_cast<Out>(GetLastError()))
                            : out.substr(0, static_cast<size_t>(count))};
}

// Code page 65001 goes through the library's transcoders, which must give the
// system's own result. Wine keeps the high half of a pair that the room cuts
// and succeeds where Windows fails with ERROR_INSUFFICIENT_BUFFER (as we do).
int wineCuts = 0;

template <typename Out>
std::pair<int, std::basic_string<Out>> windowsOutcome(int count, const std::basic_string<Out>& out,
                                                      int room) {
  if (sizeof(Out) == 2 && room > 0 && count == room &&
      (static_cast<unsigned>(out[static_cast<size_t>(room) - 1]) & 0xFC00) == 0xD800) {
    ++wineCuts;
    return {0, std::basic_string<Out>(1, static_cast<Out>(ERROR_INSUFFICIENT_BUFFER))};
  }
  return outcome(count, out);
}

template <typename In, typename Out, typename Ours, typename Theirs>
void expectTheSystemsOwn(const std::basic_string<In>& text, Ours ours, Theirs theirs) {
  for (const int length : {-1, static_cast<int>(text.size())}) {
    const int need = theirs(text.c_str(), length, nullptr, 0);
    if (length == -1 && need == theirs(text.c_str(), static_cast<int>(text.size()), nullptr, 0)) {
      continue; // Wine lost the terminator (see IncompleteLastCharacterKeepsTheTerminator)
    }
    for (const int room : {0, need, need - 1, need / 2}) {
      std::basic_string<Out> a(static_cast<size_t>(need) + 1, 0), b = a;
      SetLastError(0);
      const auto mine = windowsOutcome(ours(text.c_str(), length, a.data(), room), a, room);
      SetLastError(0);
      const auto system = windowsOutcome(
          theirs(text.c_str(), length, room == 0 ? nullptr : b.data(), room), b, room);
      ASSERT_EQ(mine, system) << "room " << room << " of " << need << ", length " << length;
    }
  }
}

TEST(PlatformText, Utf8CodePageIsTheSystemsOwnAtEveryLevel) {
  std::mt19937 rng(65001);
  for (unsigned level = 0; level < tsk::unicode::kLevelCount; ++level) {
    if (!tsk::unicode::selectLevel(static_cast<tsk::unicode::Level>(level))) {
      continue;
    }
    SCOPED_TRACE(testing::Message() << "level " << level);
    for (int round = 0; round < 60; ++round) {
      const bool illFormed = round % 2 == 1;
      expectTheSystemsOwn<char, tsk_wchar_t>(
          tsk::test::randomUtf8(rng, rng() % 300, illFormed),
          [](const char* s, int n, tsk_wchar_t* d, int room) {
            return multiByteToWide(kUtf8CodePage, s, n, d, room);
          },
          [](const char* s, int n, tsk_wchar_t* d, int room) {
            return MultiByteToWideChar(CP_UTF8, 0, s, n, d, room);
          });
      expectTheSystemsOwn<tsk_wchar_t, char>(
          tsk::test::randomUtf16(rng, rng() % 300, illFormed),
          [](const tsk_wchar_t* s, int n, char* d, int room) {
            return wideToMultiByte(kUtf8CodePage, s, n, d, room);
          },
          [](const tsk_wchar_t* s, int n, char* d, int room) {
            return WideCharToMultiByte(CP_UTF8, 0, s, n, d, room, nullptr, nullptr);
          });
    }
  }
  // Only rooms that end inside a pair, a few of all the calls.
  EXPECT_LT(wineCuts, 200);
}
#endif

} // namespace
