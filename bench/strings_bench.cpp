// The string_ family on lines of about 1 KB: walking and counting tokens,
// stripping in place (narrow character stripping goes through a UTF-16
// copy), search and replace, and fractions.
#include "tskbase/strings.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using WString = std::basic_string<tsk_wchar_t>;

// "field0;field1;...": about 1 KB.
std::string fieldLine() {
  std::string line;
  for (int i = 0; line.size() < 1000; ++i) {
    line += "field" + std::to_string(i) + ";";
  }
  return line;
}

WString widen(const std::string& s) { return WString(s.begin(), s.end()); }

void TokenWalkA(benchmark::State& state) {
  const std::string line = fieldLine();
  char token[64];
  for (auto _ : state) {
    const char* p = line.c_str();
    while (p != nullptr && string_getTokenA(p, ";", token, &p) == TSK_OK) {
      benchmark::DoNotOptimize(token);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(TokenWalkA);

void TokenWalkW(benchmark::State& state) {
  const WString line = widen(fieldLine());
  const WString delims = widen(";");
  tsk_wchar_t token[64];
  for (auto _ : state) {
    const tsk_wchar_t* p = line.c_str();
    while (p != nullptr && string_getTokenW(p, delims.c_str(), 64, token, &p) == TSK_OK) {
      benchmark::DoNotOptimize(token);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size() * 2));
}
BENCHMARK(TokenWalkW);

void TokenCountW(benchmark::State& state) {
  const WString line = widen(fieldLine());
  const WString delims = widen(";");
  uint32_t count = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(string_getTokenCountW(line.c_str(), delims.c_str(), &count));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size() * 2));
}
BENCHMARK(TokenCountW);

// Each strip works on a fresh copy of the line.
template <typename Strip>
void stripBench(benchmark::State& state, Strip strip) {
  const std::string line = fieldLine();
  std::vector<char> buf(line.size() + 1);
  for (auto _ : state) {
    std::copy(line.c_str(), line.c_str() + line.size() + 1, buf.begin());
    benchmark::DoNotOptimize(strip(buf.data()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}

void StripCharA(benchmark::State& state) {
  stripBench(state, [](char* s) { return string_stripCharA(s, ';'); });
}
BENCHMARK(StripCharA);

void StripWhiteSpaceA(benchmark::State& state) { stripBench(state, string_stripWhiteSpaceA); }
BENCHMARK(StripWhiteSpaceA);

void ReplaceCharA(benchmark::State& state) {
  stripBench(state, [](char* s) { return string_replaceCharA(s, ';', ','); });
}
BENCHMARK(ReplaceCharA);

void SearchAndReplaceA(benchmark::State& state) {
  stripBench(state, [](char* s) { return string_searchAndReplaceA(s, "field99;", "x;"); });
}
BENCHMARK(SearchAndReplaceA);

void DoubleToFracA(benchmark::State& state) {
  char out[32];
  double value = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(string_convertDoubleToFracA(value, out));
    value = value > 1000.0 ? 0.0 : value + 0.03125;
  }
}
BENCHMARK(DoubleToFracA);

} // namespace

BENCHMARK_MAIN();
