// The stringCnv_ family: buffer, allocating and array forms, their failure
// rules and their cuts.
#include "tskbase/stringcnv.h"
#include "tskbase/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "allocation_failure.h"
#include "narrow_encoding.h"
#include "platform.h"
#include "random_utf.h"
#include "unicode/dispatch.h"
#include "utf8_buffer_forms.h"

namespace {

using WString = std::basic_string<tsk_wchar_t>;
using tsk::test::countAllocations;
using tsk::test::FailNthAllocation;

constexpr tsk_wchar_t kMark = 0x2A2A; // fills wide buffers before a call

WString wide(const tsk_wchar_t* s) { return s == nullptr ? WString() : WString(s); }

// The allocating UTF-8 forms, their result copied and released.
WString utf8ToWide(const char* s) {
  tsk_wchar_t* w = nullptr;
  EXPECT_EQ(stringCnv_utf8ToWcsAlloc(s, &w), TSK_OK);
  const WString out = wide(w);
  string_freeA(w);
  return out;
}

std::string wideToUtf8(const tsk_wchar_t* s) {
  char* n = nullptr;
  EXPECT_EQ(stringCnv_wcsToUTF8Alloc(s, &n), TSK_OK);
  const std::string out = n == nullptr ? "" : n;
  string_freeA(n);
  return out;
}

// ASCII text of either width as a std::string.
template <typename C>
std::string ascii(const C* s) {
  std::string out;
  for (; s != nullptr && *s != 0; ++s) {
    out += static_cast<char>(*s);
  }
  return out;
}

template <typename T>
void freeArray(T** array, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    string_freeA(array[i]);
  }
  string_freeA(array);
}

TEST(StringCnv, EmptySourceConvertsToEmptyStringInEveryForm) {
  tsk_wchar_t w[8] = {kMark, kMark, kMark, kMark, kMark};
  char n[8] = "xyzxyzx";
  EXPECT_EQ(stringCnv_mbsToWcs("", w, 4) | stringCnv_utf8ToWcs("", w + 4, 4) |
                stringCnv_wcsToMbs(TSK_W(""), n, 4) | stringCnv_wcsToUTF8(TSK_W(""), n + 4, 4),
            TSK_OK);
  EXPECT_EQ(w[0] | w[4] | n[0] | n[4], 0);
  // The ANSI allocating forms hand out two elements, both zero.
  tsk_wchar_t *wa = nullptr, *wu = nullptr;
  char *na = nullptr, *nu = nullptr;
  ASSERT_EQ(stringCnv_mbsToWcsAlloc("", &wa) | stringCnv_wcsToMbsAlloc(TSK_W(""), &na) |
                stringCnv_utf8ToWcsAlloc("", &wu) | stringCnv_wcsToUTF8Alloc(TSK_W(""), &nu),
            TSK_OK);
  EXPECT_EQ(wa[0] | wa[1] | na[0] | na[1] | wu[0] | nu[0], 0);
  for (void* p : {static_cast<void*>(wa), static_cast<void*>(na), static_cast<void*>(wu),
                  static_cast<void*>(nu)}) {
    string_freeA(p);
  }
}

TEST(StringCnv, NullArgumentsAndZeroCapacitiesFailWithoutWriting) {
  tsk_wchar_t w[2] = {kMark, kMark};
  char n[2] = {'x', 'x'};
  tsk_wchar_t* const wMarker = w;
  tsk_wchar_t* wp = wMarker;
  char* np = n;
  tsk_wchar_t** wpp = &wp;
  const tsk_wchar_t* one[] = {TSK_W("a")};
  const char* narrow[] = {"a"};
  const tsk_status results[] = {
      stringCnv_mbsToWcs(nullptr, w, 2),      stringCnv_mbsToWcs("a", nullptr, 2),
      stringCnv_mbsToWcs("a", w, 0),          stringCnv_mbsToWcs("a", w, -1),
      stringCnv_mbsToTcs("a", w, 0),          stringCnv_utf8ToWcs("a", w, 0),
      stringCnv_utf8ToWcs(nullptr, w, 2),     stringCnv_tcsToWcs(TSK_W("a"), w, 0),
      stringCnv_wcsToTcs(nullptr, w, 2),      stringCnv_wcsToMbs(TSK_W("a"), n, 0),
      stringCnv_wcsToMbs(nullptr, n, 2),      stringCnv_tcsToMbs(TSK_W("a"), n, 0),
      stringCnv_wcsToUTF8(TSK_W("a"), n, 0),  stringCnv_wcsToUTF8(TSK_W("a"), nullptr, 2),
      stringCnv_mbsToWcsAlloc(nullptr, &wp),  stringCnv_mbsToTcsAlloc("a", nullptr),
      stringCnv_utf8ToWcsAlloc(nullptr, &wp), stringCnv_tcsToWcsAlloc(nullptr, &wp),
      stringCnv_wcsToTcsAlloc(nullptr, &wp),  stringCnv_wcsToMbsAlloc(nullptr, &np),
      stringCnv_tcsToMbsAlloc(nullptr, &np),  stringCnv_wcsToUTF8Alloc(nullptr, &np),
      stringCnv_mbspToWcsp(nullptr, 1, &wpp), stringCnv_utf8pToWcsp(nullptr, 1, &wpp),
      stringCnv_wcspToMbsp(one, 1, nullptr),  stringCnv_mbspToWcsp(narrow, -1, &wpp)};
  for (size_t i = 0; i < std::size(results); ++i) {
    EXPECT_EQ(results[i], TSK_FAIL) << "call " << i;
  }
  EXPECT_EQ(WString(w, 2), WString(2, kMark));
  EXPECT_EQ(n[0], 'x');
  // Allocating and array forms leave the result alone on null arguments.
  EXPECT_EQ(wp, wMarker);
  EXPECT_EQ(np, n);
  EXPECT_EQ(wpp, &wp);
}

TEST(StringCnv, AnsiBufferFormsFailRatherThanCut) {
  tsk_wchar_t w[8];
  EXPECT_EQ(stringCnv_mbsToWcs("abcde", w, 5), TSK_FAIL); // one element short
  EXPECT_EQ(stringCnv_mbsToTcs("abcd", w, 4), TSK_FAIL);
  std::fill(std::begin(w), std::end(w), kMark);
  // Element capacity - 1 is zeroed whatever the conversion left there.
  ASSERT_EQ(stringCnv_mbsToWcs("ab", w, 8), TSK_OK);
  EXPECT_EQ(wide(w), TSK_W("ab"));
  EXPECT_EQ(w[3], kMark);
  EXPECT_EQ(w[7], 0);

  char n[8];
  EXPECT_EQ(stringCnv_wcsToMbs(TSK_W("abcdefgh"), n, 8), TSK_FAIL);
  ASSERT_EQ(stringCnv_wcsToMbs(TSK_W("abcdefg"), n, 8), TSK_OK);
  EXPECT_STREQ(n, "abcdefg");
  // Nothing fits before the failure: the first byte is still cleared.
  TSK_USE_NARROW_ENCODING(kUtf8);
  std::memset(n, 'x', sizeof n);
  EXPECT_EQ(stringCnv_wcsToMbs(TSK_W("\u00e9"), n, 1), TSK_FAIL);
  EXPECT_EQ(n[0], 0);
  // In UTF-8 the room counts bytes and units, not characters.
  const char* text = "\xC3\xA9t\xE2\x82\xAC";
  EXPECT_EQ(stringCnv_mbsToWcs(text, w, 3), TSK_FAIL);
  ASSERT_EQ(stringCnv_mbsToWcs(text, w, 4), TSK_OK);
  EXPECT_EQ(wide(w), (WString{0xE9, 't', 0x20AC}));
}

// On short random text, well-formed or not: the UTF-8 buffer forms keep the
// conversion of the source's first capacity - 1 elements, cut to capacity - 1
// (even inside a character), and fail when it needs more than capacity.
TEST(StringCnv, Utf8BufferFormsKeepTheFirstCapacityMinusOneElements) {
  std::mt19937 rng(2024);
  const auto kept = [](bool ok, const auto& buffer) {
    return ok ? std::optional(std::basic_string(buffer.c_str())) : std::nullopt;
  };
  for (int round = 0; round < 4000; ++round) {
    const std::string utf8 = tsk::test::randomUtf8(rng, rng() % 6, round % 2 == 1);
    const WString utf16 = tsk::test::randomUtf16(rng, rng() % 6, round % 2 == 1);
    WString w(1 + rng() % (utf8.size() + 2), kMark);
    std::string n(1 + rng() % (3 * utf16.size() + 2), '*');
    const bool wideOk = stringCnv_utf8ToWcs(utf8.c_str(), w.data(), w.size()) == TSK_OK;
    const bool narrowOk = stringCnv_wcsToUTF8(utf16.c_str(), n.data(), n.size()) == TSK_OK;
    ASSERT_EQ(kept(wideOk, w), tsk::test::utf8ToWcsModel(utf8, w.size())) << w.size();
    ASSERT_EQ(kept(narrowOk, n), tsk::test::wcsToUtf8Model(utf16, n.size())) << n.size();
  }
}

TEST(StringCnv, AllocatingFormsRoundTripUtf8AndCopyWideText) {
  const char* text = "Gr\xC3\xBC\xC3\x9F"
                     "e \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80!";
  const WString w = utf8ToWide(text);
  EXPECT_EQ(w, (WString{'G', 'r', 0xFC, 0xDF, 'e', ' ', 0x4E2D, 0x6587, ' ', 0xD83D, 0xDE00, '!'}));
  EXPECT_EQ(wideToUtf8(w.c_str()), text);
  // An incomplete last character is replaced, and the text still ends there.
  EXPECT_EQ(utf8ToWide("a\xF0\x9F"), (WString{'a', 0xFFFD}));
  tsk_wchar_t* copy = nullptr;
  ASSERT_EQ(stringCnv_wcsToTcsAlloc(w.c_str(), &copy), TSK_OK);
  EXPECT_EQ(wide(copy), w);
  // The buffer copy needs room for the terminator and writes nothing more.
  EXPECT_EQ(stringCnv_wcsToTcs(TSK_W("abcd"), copy, 4), TSK_FAIL);
  EXPECT_EQ(copy[0], 'G');
  ASSERT_EQ(stringCnv_tcsToWcs(TSK_W("xy"), copy, 5), TSK_OK);
  EXPECT_EQ(wide(copy), TSK_W("xy"));
  EXPECT_EQ(copy[3], 0xDF);
  string_freeA(copy);
}

// One allocation each; on failure the ANSI forms and wide copies leave the
// result alone, the UTF-8 forms set it to null.
template <typename S, typename R>
void checkAllocatingForm(const char* name, tsk_status (*convert)(const S*, R**), const S* src,
                         bool untouchedOnFailure) {
  SCOPED_TRACE(name);
  R* result = nullptr;
  EXPECT_EQ(countAllocations([&] { convert(src, &result); }), 1);
  ASSERT_NE(result, nullptr);
  string_freeA(result);
  R* const marker = reinterpret_cast<R*>(&result);
  result = marker;
  FailNthAllocation failure(1);
  EXPECT_EQ(convert(src, &result), TSK_FAIL);
  EXPECT_EQ(result, untouchedOnFailure ? marker : nullptr);
  EXPECT_EQ(failure.leaked(), 0);
}

// Each transcoding level of the shipped library gives the exported forms the
// results of the level without kernels.
TEST(StringCnv, Utf8ConversionsAgreeAtEveryTranscodingLevel) {
  const auto convertAll = [] {
    std::mt19937 rng(1515);
    std::pair<std::vector<WString>, std::vector<std::string>> r;
    for (int round = 0; round < 80; ++round) {
      const std::string utf8 = tsk::test::randomUtf8(rng, rng() % 400, round % 2 == 1);
      const WString utf16 = tsk::test::randomUtf16(rng, rng() % 400, round % 2 == 1);
      const size_t room = 1 + rng() % (utf8.size() + 1);
      WString w(room, kMark);
      std::string n(room, '*');
      const bool wideFits = stringCnv_utf8ToWcs(utf8.c_str(), w.data(), room) == TSK_OK;
      const bool narrowFits = stringCnv_wcsToUTF8(utf16.c_str(), n.data(), room) == TSK_OK;
      r.first.insert(r.first.end(), {utf8ToWide(utf8.c_str()), wideFits ? w.c_str() : WString{1}});
      r.second.insert(r.second.end(), {wideToUtf8(utf16.c_str()), narrowFits ? n.c_str() : "-"});
    }
    return r;
  };
  ASSERT_TRUE(tsk::testing::forceTranscodingLevel(0));
  const auto reference = convertAll();
  for (unsigned level = 1; level <= tsk::testing::supportedTranscodingLevel(); ++level) {
    ASSERT_TRUE(tsk::testing::forceTranscodingLevel(level));
    EXPECT_TRUE(convertAll() == reference) << "level " << level;
  }
  tsk::testing::forceTranscodingLevel(tsk::testing::supportedTranscodingLevel());
}

TEST(StringCnv, AllocatingFormsKeepTheirPromisesWhenMemoryRunsOut) {
  const tsk_wchar_t* w = TSK_W("abc");
  checkAllocatingForm("mbsToWcsAlloc", stringCnv_mbsToWcsAlloc, "abc", true);
  checkAllocatingForm("mbsToTcsAlloc", stringCnv_mbsToTcsAlloc, "abc", true);
  checkAllocatingForm("wcsToMbsAlloc", stringCnv_wcsToMbsAlloc, w, true);
  checkAllocatingForm("tcsToMbsAlloc", stringCnv_tcsToMbsAlloc, w, true);
  checkAllocatingForm("tcsToWcsAlloc", stringCnv_tcsToWcsAlloc, w, true);
  checkAllocatingForm("wcsToTcsAlloc", stringCnv_wcsToTcsAlloc, w, true);
  checkAllocatingForm("utf8ToWcsAlloc", stringCnv_utf8ToWcsAlloc, "abc", false);
  checkAllocatingForm("wcsToUTF8Alloc", stringCnv_wcsToUTF8Alloc, w, false);
}

// A null member, or one whose allocation fails, becomes null; a failed array
// block fails the call and leaves the result alone.
template <typename S, typename R>
void checkArrayForm(const char* name, tsk_status (*convert)(const S* const*, int32_t, R***),
                    const S* const* src) {
  SCOPED_TRACE(name);
  R** result = nullptr;
  EXPECT_EQ(countAllocations([&] { convert(src, 3, &result); }), 3);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(ascii(result[0]) + "|" + ascii(result[2]), "one|three");
  EXPECT_EQ(result[1], nullptr);
  freeArray(result, 3);
  R** const marker = reinterpret_cast<R**>(&result);
  result = marker;
  {
    FailNthAllocation failure(1); // the array block
    EXPECT_EQ(convert(src, 3, &result), TSK_FAIL);
    EXPECT_EQ(result, marker);
    EXPECT_EQ(failure.leaked(), 0);
  }
  FailNthAllocation failure(2); // the first member
  ASSERT_EQ(convert(src, 3, &result), TSK_OK);
  EXPECT_EQ(result[0], nullptr);
  EXPECT_EQ(result[1], nullptr);
  EXPECT_EQ(ascii(result[2]), "three");
  EXPECT_EQ(failure.leaked(), 2); // the block and one member, no more
  freeArray(result, 3);
}

TEST(StringCnv, ArrayFormsConvertEachMemberAndKeepTheirPromisesWhenMemoryRunsOut) {
  const char* n[] = {"one", nullptr, "three"};
  const tsk_wchar_t* w[] = {TSK_W("one"), nullptr, TSK_W("three")};
  checkArrayForm("mbspToWcsp", stringCnv_mbspToWcsp, n);
  checkArrayForm("utf8pToWcsp", stringCnv_utf8pToWcsp, n);
  checkArrayForm("wcspToMbsp", stringCnv_wcspToMbsp, w);
  checkArrayForm("wcspToUTF8p", stringCnv_wcspToUTF8p, w);

  const char* utf8[] = {"\xC3\xA9"};
  tsk_wchar_t** e = nullptr;
  ASSERT_EQ(stringCnv_utf8pToWcsp(utf8, 1, &e), TSK_OK);
  EXPECT_EQ(wide(e[0]), WString(1, 0xE9));
  freeArray(e, 1);
  e = nullptr; // a count of 0 still allocates
  ASSERT_EQ(stringCnv_utf8pToWcsp(utf8, 0, &e), TSK_OK);
  EXPECT_NE(e, nullptr);
  string_freeA(e);
}

TEST(StringCnv, AnsiFormsFollowALatin1NarrowEncoding) {
  TSK_USE_NARROW_ENCODING(kLatin1);
  tsk_wchar_t w[8];
  ASSERT_EQ(stringCnv_mbsToWcs("\xE9t\xE9", w, 8), TSK_OK);
  EXPECT_EQ(wide(w), (WString{0xE9, 't', 0xE9}));
  EXPECT_EQ(stringCnv_mbsToWcs("\xE9t\xE9", w, 3), TSK_FAIL);

  // Characters the code page lacks become '?', each half of a pair too.
  char n[16];
  const tsk_wchar_t text[] = {0xE9, 't', 0x4E2D, 0xD83D, 0xDE00, 0};
  ASSERT_EQ(stringCnv_wcsToMbs(text, n, 16), TSK_OK);
  EXPECT_STREQ(n, "\xE9t???");
  EXPECT_EQ(stringCnv_wcsToMbs(text, n, 5), TSK_FAIL);

  // UTF-8 forms do not depend on the narrow encoding.
  ASSERT_EQ(stringCnv_wcsToUTF8(text, n, 16), TSK_OK);
  EXPECT_STREQ(n, "\xC3\xA9t\xE4\xB8\xAD\xF0\x9F\x98\x80");
}

// Under Latin-1 the narrow conversions go through each thread's iconv
// converters on POSIX.
TEST(StringCnv, ConcurrentConversionsDoNotInterfere) {
  TSK_USE_NARROW_ENCODING(kLatin1);
  const std::string text = "caf\xC3\xA9 \xE6\x96\x87 " + std::string(100, 'x');
  const std::string ansi = "caf\xE9 ? " + std::string(100, 'x');
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        tsk_wchar_t *w = nullptr, *wideAgain = nullptr;
        char *back = nullptr, *narrow = nullptr;
        failures[t] += stringCnv_utf8ToWcsAlloc(text.c_str(), &w) != TSK_OK ||
                       stringCnv_wcsToUTF8Alloc(w, &back) != TSK_OK || text != back ||
                       stringCnv_wcsToMbsAlloc(w, &narrow) != TSK_OK || ansi != narrow ||
                       stringCnv_mbsToWcsAlloc(narrow, &wideAgain) != TSK_OK ||
                       wide(wideAgain).size() != ansi.size() || wideAgain[3] != 0xE9;
        string_freeA(wideAgain);
        string_freeA(narrow);
        string_freeA(back);
        string_freeA(w);
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
      string_freeA(n);
    }
  }
};

thread_local ConvertsAtThreadExit t_convertsAtExit;

// Runs after the thread's converters were released: it must still work and
// leave no converter open.
TEST(StringCnv, ConversionsInThreadExitDestructorsStillWork) {
  if (tsk::test::kWindows) {
    // The converters are cached per thread only where iconv serves the
    // narrow encoding; and MinGW's runtime releases thread-local storage
    // before the destructors of thread_local objects have run.
    GTEST_SKIP() << "no per-thread converter cache on Windows";
  }
  TSK_USE_NARROW_ENCODING(kLatin1);
  std::string converted;
  std::thread([&] {
    t_convertsAtExit.out = &converted;
    tsk_wchar_t* w = nullptr;
    ASSERT_EQ(stringCnv_mbsToWcsAlloc("\xE9", &w), TSK_OK);
    string_freeA(w);
  }).join();
  EXPECT_EQ(converted, "\xE9t?");
}

} // namespace
