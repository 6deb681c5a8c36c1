// UTF-8 -> UTF-16 and back through the exported zero-terminated functions
// stringCnv_utf8ToWcs and stringCnv_wcsToUTF8, beside the converters a user
// would pick instead, in the same run: on Linux ICU (u_strFromUTF8,
// u_strToUTF8), glibc's iconv and a plain character loop; under Wine (the
// Windows build, on the small stand-in for Google Benchmark) the system's
// MultiByteToWideChar and WideCharToMultiByte. Eight kinds of text
// (text_corpora.h) at 64 B, 1 KiB and 1 MiB of UTF-8.
//
// Names are Direction/corpus/bytes/peer; throughput counts UTF-8 bytes.
#include "tskbase/stringcnv.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "text_corpora.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#include <unicode/ustring.h>
#endif

namespace {

using WString = std::basic_string<tsk_wchar_t>;
using tsk::bench::corpora;

// A corpus at one size, in both forms, with room for either output.
struct Text {
  std::string utf8;
  WString utf16;
  std::vector<tsk_wchar_t> wideOut;
  std::vector<char> narrowOut;
};

const Text& textOf(size_t corpus, size_t size) {
  static std::map<std::pair<size_t, size_t>, Text> cache;
  auto [it, fresh] = cache.try_emplace({corpus, size});
  if (fresh) {
    Text& t = it->second;
    t.utf8 = tsk::bench::corpusText(corpora()[corpus], size);
    tsk_wchar_t* wide = nullptr;
    if (stringCnv_utf8ToWcsAlloc(t.utf8.c_str(), &wide) != TSK_OK) {
      throw std::runtime_error("cannot convert the sample text");
    }
    t.utf16 = wide;
    free(wide);
    t.wideOut.resize(t.utf8.size() + 1);
    t.narrowOut.resize(t.utf16.size() * 3 + 1);
  }
  return it->second;
}

// The plain loop a user might write: one character at a time, with the
// checks that well-formed input needs, U+FFFD for the rest.
size_t scalarToWide(const char* src, size_t n, tsk_wchar_t* dst) {
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  size_t o = 0;
  for (size_t i = 0; i < n;) {
    const unsigned b = s[i];
    unsigned code = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      code = b;
    } else if (b >= 0xC2 && b < 0xE0 && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
      code = ((b & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if (b >= 0xE0 && b < 0xF0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 &&
               (s[i + 2] & 0xC0) == 0x80) {
      code = ((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
      if (code < 0x800 || (code >= 0xD800 && code < 0xE000)) {
        code = 0xFFFD;
        len = 1;
      }
    } else if (b >= 0xF0 && b < 0xF5 && i + 3 < n && (s[i + 1] & 0xC0) == 0x80 &&
               (s[i + 2] & 0xC0) == 0x80 && (s[i + 3] & 0xC0) == 0x80) {
      code = ((b & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
             (s[i + 3] & 0x3F);
      len = 4;
      if (code < 0x10000 || code > 0x10FFFF) {
        code = 0xFFFD;
        len = 1;
      }
    }
    if (code >= 0x10000) {
      dst[o++] = static_cast<tsk_wchar_t>(0xD7C0 + (code >> 10));
      dst[o++] = static_cast<tsk_wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
      dst[o++] = static_cast<tsk_wchar_t>(code);
    }
    i += len;
  }
  return o;
}

size_t scalarToUtf8(const tsk_wchar_t* src, size_t n, char* dst) {
  auto* d = reinterpret_cast<unsigned char*>(dst);
  size_t o = 0;
  for (size_t i = 0; i < n; ++i) {
    unsigned code = src[i];
    if (code >= 0xD800 && code < 0xE000) {
      if (code < 0xDC00 && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (src[++i] - 0xDC00u);
      } else {
        code = 0xFFFD;
      }
    }
    if (code < 0x80) {
      d[o++] = static_cast<unsigned char>(code);
    } else if (code < 0x800) {
      d[o++] = static_cast<unsigned char>(0xC0 | (code >> 6));
      d[o++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      d[o++] = static_cast<unsigned char>(0xE0 | (code >> 12));
      d[o++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
      d[o++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    } else {
      d[o++] = static_cast<unsigned char>(0xF0 | (code >> 18));
      d[o++] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
      d[o++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
      d[o++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    }
  }
  return o;
}

// One conversion of the text by one peer; returns a count to keep.
using Convert = long (*)(Text& t, bool toWide);

long tskbase(Text& t, bool toWide) {
  return toWide ? stringCnv_utf8ToWcs(t.utf8.c_str(), t.wideOut.data(), t.wideOut.size())
                : stringCnv_wcsToUTF8(t.utf16.c_str(), t.narrowOut.data(), t.narrowOut.size());
}

long scalar(Text& t, bool toWide) {
  return static_cast<long>(toWide
                               ? scalarToWide(t.utf8.data(), t.utf8.size(), t.wideOut.data())
                               : scalarToUtf8(t.utf16.data(), t.utf16.size(), t.narrowOut.data()));
}

#if defined(_WIN32)
long system(Text& t, bool toWide) {
  return toWide ? MultiByteToWideChar(CP_UTF8, 0, t.utf8.c_str(), -1, t.wideOut.data(),
                                      static_cast<int>(t.wideOut.size()))
                : WideCharToMultiByte(CP_UTF8, 0, t.utf16.c_str(), -1, t.narrowOut.data(),
                                      static_cast<int>(t.narrowOut.size()), nullptr, nullptr);
}

const std::pair<const char*, Convert> kPeers[] = {
    {"tskbase", tskbase}, {"system", system}, {"scalar", scalar}};
#else
long icu(Text& t, bool toWide) {
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = 0;
  if (toWide) {
    u_strFromUTF8(reinterpret_cast<UChar*>(t.wideOut.data()),
                  static_cast<int32_t>(t.wideOut.size()), &length, t.utf8.data(),
                  static_cast<int32_t>(t.utf8.size()), &error);
  } else {
    u_strToUTF8(t.narrowOut.data(), static_cast<int32_t>(t.narrowOut.size()), &length,
                reinterpret_cast<const UChar*>(t.utf16.data()),
                static_cast<int32_t>(t.utf16.size()), &error);
  }
  return length;
}

long iconvPeer(Text& t, bool toWide) {
  // One converter per direction, opened once, as a user would keep it.
  static const iconv_t toUtf16 = iconv_open("UTF-16LE", "UTF-8");
  static const iconv_t toUtf8 = iconv_open("UTF-8", "UTF-16LE");
  char* in = toWide ? t.utf8.data() : reinterpret_cast<char*>(t.utf16.data());
  size_t inLeft = toWide ? t.utf8.size() : t.utf16.size() * sizeof(tsk_wchar_t);
  char* out = toWide ? reinterpret_cast<char*>(t.wideOut.data()) : t.narrowOut.data();
  size_t outLeft = toWide ? t.wideOut.size() * sizeof(tsk_wchar_t) : t.narrowOut.size();
  return static_cast<long>(iconv(toWide ? toUtf16 : toUtf8, &in, &inLeft, &out, &outLeft));
}

const std::pair<const char*, Convert> kPeers[] = {
    {"tskbase", tskbase}, {"icu", icu}, {"iconv", iconvPeer}, {"scalar", scalar}};
#endif

constexpr size_t kPeerCount = sizeof kPeers / sizeof kPeers[0];
constexpr size_t kSizeCount = sizeof tsk::bench::kCorpusSizes / sizeof(size_t);
constexpr size_t kCaseCount = 8 * kSizeCount * 2 * kPeerCount;

// Case i: peer, then direction, then size, then corpus (the peers of one
// row sit side by side in the output).
template <size_t I>
void runCase(benchmark::State& state) {
  constexpr size_t peer = I % kPeerCount;
  constexpr bool toWide = (I / kPeerCount) % 2 == 0;
  constexpr size_t size = tsk::bench::kCorpusSizes[(I / kPeerCount / 2) % kSizeCount];
  constexpr size_t corpus = I / kPeerCount / 2 / kSizeCount;
  Text& t = const_cast<Text&>(textOf(corpus, size));
  for (auto _ : state) {
    benchmark::DoNotOptimize(kPeers[peer].second(t, toWide));
    asm volatile("" : : : "memory"); // the output counts as read
  }
#if !defined(_WIN32)
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(t.utf8.size()));
#endif
}

template <size_t... I>
void registerCases(std::index_sequence<I...>) {
  static_assert(sizeof...(I) == kCaseCount);
  using Run = void (*)(benchmark::State&);
  const Run runs[] = {runCase<I>...};
  for (size_t i = 0; i < kCaseCount; ++i) {
    const size_t peer = i % kPeerCount;
    const bool toWide = (i / kPeerCount) % 2 == 0;
    const size_t size = tsk::bench::kCorpusSizes[(i / kPeerCount / 2) % kSizeCount];
    const size_t corpus = i / kPeerCount / 2 / kSizeCount;
    const std::string name = std::string(toWide ? "ToWide/" : "ToUtf8/") + corpora()[corpus].name +
                             "/" + std::to_string(size) + "/" + kPeers[peer].first;
    benchmark::RegisterBenchmark(name.c_str(), runs[i]);
  }
}

} // namespace

int main(int argc, char** argv) {
  if (corpora().size() != 8) {
    return 1;
  }
  registerCases(std::make_index_sequence<kCaseCount>());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
