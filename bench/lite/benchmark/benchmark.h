// A stand-in for the part of Google Benchmark that the format benchmark
// uses, for the MinGW cross build, which has no Google Benchmark of its own
// (its benchmark runs under Wine). Each benchmark is calibrated to about
// 0.2 s of the thread's processor time, then run --benchmark_repetitions
// times (default 5); the median processor time per iteration is printed,
// one line per benchmark. Processor time rather than wall time, so that
// other work on a shared machine counts less. The filter
// (--benchmark_filter) is a regular expression, as in Google Benchmark.
#ifndef TSKBASE_BENCH_LITE_BENCHMARK_H
#define TSKBASE_BENCH_LITE_BENCHMARK_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

namespace benchmark {

template <typename T>
void DoNotOptimize(const T& value) {
  asm volatile("" : : "r,m"(value) : "memory");
}

class State {
public:
  explicit State(uint64_t iterations) : iterations_(iterations) {}

  // Marked so that the unused loop variable draws no warning.
  struct __attribute__((unused)) Value {};
  struct Iterator {
    uint64_t left;
    bool operator!=(const Iterator& other) const { return left != other.left; }
    void operator++() { --left; }
    Value operator*() const { return Value(); }
  };
  Iterator begin() const { return {iterations_}; }
  Iterator end() const { return {0}; }
  uint64_t iterations() const { return iterations_; }

private:
  uint64_t iterations_;
};

using Function = void (*)(State&);

namespace lite {

struct Options {
  std::string filter = ".";
  int repetitions = 5;
};

inline std::vector<std::pair<std::string, Function>>& registry() {
  static std::vector<std::pair<std::string, Function>> benchmarks;
  return benchmarks;
}

inline Options& options() {
  static Options value;
  return value;
}

// The calling thread's processor time in seconds.
inline double threadTime() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) * 1e-7;
}

// Processor seconds that `iterations` iterations take.
inline double timeOf(Function f, uint64_t iterations) {
  State state(iterations);
  const double start = threadTime();
  f(state);
  return threadTime() - start;
}

} // namespace lite

inline void RegisterBenchmark(const char* name, Function f) {
  lite::registry().emplace_back(name, f);
}

inline void Initialize(int* argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--benchmark_filter=", 0) == 0) {
      lite::options().filter = arg.substr(std::strlen("--benchmark_filter="));
    } else if (arg.rfind("--benchmark_repetitions=", 0) == 0) {
      lite::options().repetitions = std::max(1, std::atoi(arg.c_str() + 24));
    } else {
      argv[kept++] = argv[i];
    }
  }
  *argc = kept;
}

inline bool ReportUnrecognizedArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::fprintf(stderr, "%s: unrecognized argument '%s'\n", argv[0], argv[i]);
  }
  return argc > 1;
}

// Repetitions go round all the benchmarks in turn, so that a change in the
// machine's load falls on a formatter and its peer alike.
inline void RunSpecifiedBenchmarks() {
  struct Run {
    std::string name;
    Function f;
    uint64_t iterations = 1000;
    std::vector<double> times;
  };
  const std::regex filter(lite::options().filter);
  std::vector<Run> runs;
  for (const auto& [name, f] : lite::registry()) {
    if (std::regex_search(name, filter)) {
      runs.push_back({name, f, 1000, {}});
    }
  }
  for (Run& run : runs) {
    while (lite::timeOf(run.f, run.iterations) < 0.1) {
      run.iterations *= 4;
    }
    run.iterations *= 2; // 0.2 s or more
  }
  for (int r = 0; r < lite::options().repetitions; ++r) {
    for (Run& run : runs) {
      run.times.push_back(lite::timeOf(run.f, run.iterations) * 1e9 /
                          static_cast<double>(run.iterations));
    }
  }
  std::printf("%-32s %12s %12s\n", "Benchmark", "Time (ns)", "Iterations");
  for (Run& run : runs) {
    std::sort(run.times.begin(), run.times.end());
    std::printf("%-32s %12.1f %12llu\n", run.name.c_str(), run.times[run.times.size() / 2],
                static_cast<unsigned long long>(run.iterations));
  }
}

inline void Shutdown() {}

} // namespace benchmark

#endif // TSKBASE_BENCH_LITE_BENCHMARK_H
