// UTF-8 -> UTF-16 and back through stringCnv_utf8ToWcs and
// stringCnv_wcsToUTF8, beside ICU (u_strFromUTF8, u_strToUTF8) and glibc's
// iconv, on ASCII, accented Latin and CJK text of 1 KiB and 1 MiB.
// Throughput counts UTF-8 bytes.
#include "tskbase/stringcnv.h"

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ustring.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

enum Kind { kAscii, kLatin, kCjk };

const char* const kSamples[] = {
    "The quick brown fox jumps over the lazy dog; pack my box with five dozen jugs. ",
    "Zo\xC3\xAB trinkt im Caf\xC3\xA9 einen gro\xC3\x9F"
    "en Kaffee, na\xC3\xAFve fa\xC3\xA7"
    "ade, cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
    "e \xC3\xA0 la fran\xC3\xA7"
    "aise, \xC3\xBC"
    "ber Stra\xC3\x9F"
    "en. ",
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0\xE3\x81\xA8"
    "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE7\xAC\xA6\xE7\x9A\x84\xE6\xB7\xB7\xE5\x90\x88"
    "\xE7\xA4\xBA\xE4\xBE\x8B\xE3\x80\x82",
};
const char* const kKindNames[] = {"ascii", "latin", "cjk"};

// Sample text repeated to `size` bytes, cut at a sample boundary.
std::string utf8Text(Kind kind, size_t size) {
  const std::string sample = kSamples[kind];
  std::string text;
  while (text.size() + sample.size() <= size) {
    text += sample;
  }
  return text;
}

std::basic_string<tsk_wchar_t> utf16Text(const std::string& utf8) {
  tsk_wchar_t* wide = nullptr;
  if (stringCnv_utf8ToWcsAlloc(utf8.c_str(), &wide) != TSK_OK) {
    throw std::runtime_error("cannot convert the sample text");
  }
  std::basic_string<tsk_wchar_t> text(wide);
  free(wide);
  return text;
}

struct Fixture {
  explicit Fixture(const benchmark::State& state)
      : utf8(utf8Text(static_cast<Kind>(state.range(0)), static_cast<size_t>(state.range(1)))),
        utf16(utf16Text(utf8)), wideOut(utf8.size() + 1), narrowOut(utf8.size() * 2 + 1) {}

  void finish(benchmark::State& state) const {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(utf8.size()));
    state.SetLabel(kKindNames[state.range(0)]);
  }

  std::string utf8;
  std::basic_string<tsk_wchar_t> utf16;
  std::vector<tsk_wchar_t> wideOut;
  std::vector<char> narrowOut;
};

void ToWide_tskbase(benchmark::State& state) {
  Fixture f(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        stringCnv_utf8ToWcs(f.utf8.c_str(), f.wideOut.data(), f.wideOut.size()));
    benchmark::ClobberMemory();
  }
  f.finish(state);
}

void ToWide_icu(benchmark::State& state) {
  Fixture f(state);
  for (auto _ : state) {
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(f.wideOut.data(), static_cast<int32_t>(f.wideOut.size()), &length, f.utf8.data(),
                  static_cast<int32_t>(f.utf8.size()), &error);
    benchmark::DoNotOptimize(length);
    benchmark::ClobberMemory();
  }
  f.finish(state);
}

void ToWide_iconv(benchmark::State& state) {
  Fixture f(state);
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  for (auto _ : state) {
    char* in = f.utf8.data();
    size_t inLeft = f.utf8.size();
    char* out = reinterpret_cast<char*>(f.wideOut.data());
    size_t outLeft = f.wideOut.size() * sizeof(tsk_wchar_t);
    benchmark::DoNotOptimize(iconv(cd, &in, &inLeft, &out, &outLeft));
    benchmark::ClobberMemory();
  }
  iconv_close(cd);
  f.finish(state);
}

void ToUtf8_tskbase(benchmark::State& state) {
  Fixture f(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        stringCnv_wcsToUTF8(f.utf16.c_str(), f.narrowOut.data(), f.narrowOut.size()));
    benchmark::ClobberMemory();
  }
  f.finish(state);
}

void ToUtf8_icu(benchmark::State& state) {
  Fixture f(state);
  const auto* src = reinterpret_cast<const UChar*>(f.utf16.data());
  for (auto _ : state) {
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strToUTF8(f.narrowOut.data(), static_cast<int32_t>(f.narrowOut.size()), &length, src,
                static_cast<int32_t>(f.utf16.size()), &error);
    benchmark::DoNotOptimize(length);
    benchmark::ClobberMemory();
  }
  f.finish(state);
}

void ToUtf8_iconv(benchmark::State& state) {
  Fixture f(state);
  iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
  for (auto _ : state) {
    char* in = reinterpret_cast<char*>(f.utf16.data());
    size_t inLeft = f.utf16.size() * sizeof(tsk_wchar_t);
    char* out = f.narrowOut.data();
    size_t outLeft = f.narrowOut.size();
    benchmark::DoNotOptimize(iconv(cd, &in, &inLeft, &out, &outLeft));
    benchmark::ClobberMemory();
  }
  iconv_close(cd);
  f.finish(state);
}

void textArgs(benchmark::internal::Benchmark* b) {
  for (int kind : {kAscii, kLatin, kCjk}) {
    for (int size : {1 << 10, 1 << 20}) {
      b->Args({kind, size});
    }
  }
  b->ArgNames({"text", "bytes"});
}

} // namespace

BENCHMARK(ToWide_tskbase)->Apply(textArgs);
BENCHMARK(ToWide_icu)->Apply(textArgs);
BENCHMARK(ToWide_iconv)->Apply(textArgs);
BENCHMARK(ToUtf8_tskbase)->Apply(textArgs);
BENCHMARK(ToUtf8_icu)->Apply(textArgs);
BENCHMARK(ToUtf8_iconv)->Apply(textArgs);
BENCHMARK_MAIN();
