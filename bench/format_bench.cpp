// The formatter (string_safeSprintfA/W, stackStr_Sprintf) beside the C
// library a caller would use instead: glibc's snprintf and swprintf on Linux,
// msvcrt's _snprintf and _snwprintf on Windows. Each row formats the same
// text both ways, narrow and wide, with arguments that change from call to
// call: a log line, integers alone, floating point alone, text alone, and a
// format heavy with widths and precisions.
//
// Benchmarks are named Row/width/formatter; the ratio of a row is the peer's
// time over ours.
#include "tskbase/stackstr.h"
#include "tskbase/strings.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// ---- Formatters -----------------------------------------------------------------

struct Ours {
  static constexpr const char* kNarrowName = "tskbase";
  static constexpr const char* kWideName = "tskbase";
  using Wide = tsk_wchar_t;
  template <typename... A>
  static void format(char* buf, size_t size, const char* format, A... args) {
    benchmark::DoNotOptimize(string_safeSprintfA(buf, size, format, args...));
  }
  template <typename... A>
  static void format(tsk_wchar_t* buf, size_t size, const tsk_wchar_t* format, A... args) {
    benchmark::DoNotOptimize(string_safeSprintfW(buf, size, format, args...));
  }
  // The format as the formatter reads it: %s takes text of the format's own width.
  template <typename C>
  static std::basic_string<C> adapt(const std::string& format) {
    return std::basic_string<C>(format.begin(), format.end());
  }
};

struct CLibrary {
#if defined(_WIN32)
  static constexpr const char* kNarrowName = "_snprintf";
  static constexpr const char* kWideName = "_snwprintf";
  template <typename... A>
  static void format(char* buf, size_t size, const char* format, A... args) {
    benchmark::DoNotOptimize(_snprintf(buf, size, format, args...));
  }
  template <typename... A>
  static void format(wchar_t* buf, size_t size, const wchar_t* format, A... args) {
    benchmark::DoNotOptimize(_snwprintf(buf, size, format, args...));
  }
  // msvcrt's %s in a wide format takes wide text, as ours does.
  template <typename C>
  static std::basic_string<C> adapt(const std::string& format) {
    return std::basic_string<C>(format.begin(), format.end());
  }
#else
  static constexpr const char* kNarrowName = "snprintf";
  static constexpr const char* kWideName = "swprintf";
  template <typename... A>
  static void format(char* buf, size_t size, const char* format, A... args) {
    benchmark::DoNotOptimize(std::snprintf(buf, size, format, args...));
  }
  template <typename... A>
  static void format(wchar_t* buf, size_t size, const wchar_t* format, A... args) {
    benchmark::DoNotOptimize(std::swprintf(buf, size, format, args...));
  }
  // The C standard's wide %s takes narrow text: wide text needs %ls.
  template <typename C>
  static std::basic_string<C> adapt(const std::string& format) {
    std::basic_string<C> out;
    for (size_t i = 0; i < format.size(); ++i) {
      out += static_cast<C>(format[i]);
      if (format[i] != '%' || sizeof(C) == 1) {
        continue;
      }
      for (++i; i < format.size() &&
                std::string("-+ #0123456789.*").find(format[i]) != std::string::npos;
           ++i) {
        out += static_cast<C>(format[i]);
      }
      if (i < format.size() && format[i] == 's') {
        out += static_cast<C>('l');
      }
      if (i < format.size()) {
        out += static_cast<C>(format[i]);
      }
    }
    return out;
  }
#endif
  using Wide = wchar_t;
};

// ---- Rows -------------------------------------------------------------------------

constexpr size_t kRoom = 512;

// Text of one width: the format and the text arguments, widened once.
template <typename C>
struct Texts {
  std::basic_string<C> format;
  std::vector<std::basic_string<C>> words;

  template <typename F>
  Texts(F, const std::string& narrowFormat, const std::vector<std::string>& narrowWords)
      : format(F::template adapt<C>(narrowFormat)) {
    for (const std::string& word : narrowWords) {
      words.emplace_back(word.begin(), word.end());
    }
  }
  const C* word(size_t i) const { return words[i % words.size()].c_str(); }
};

const std::vector<std::string> kNames = {"scheduler",     "io",  "net-listener", "db",
                                         "cache-evictor", "main"};
const std::vector<std::string> kStates = {"idle", "running", "blocked", "stopping"};
const int kInts[] = {0, 7, 42, -318, 1024, 65535, -1000000, 123456789, 2147483647, -5};
const double kDoubles[] = {0.0, 0.25, 3.14159, 12.5, 99.999, 1234.5678, 0.000123, 6.02e23, -7.5};
constexpr size_t kValues = 9;

// "%s: worker %d of %u took %.3f ms (%08x) [%-10s]"
struct LogLine {
  template <typename C, typename F>
  static void run(benchmark::State& state) {
    const Texts<C> t(F(), "%s: worker %d of %u took %.3f ms (%08x) [%-10s]", kNames);
    const Texts<C> states(F(), "", kStates);
    C buf[kRoom];
    size_t i = 0;
    for (auto _ : state) {
      F::format(buf, kRoom, t.format.c_str(), t.word(i), static_cast<int>(i % 64), 64u,
                kDoubles[i % kValues], static_cast<unsigned>(i * 2654435761u), states.word(i));
      ++i;
    }
  }
};

// A lone %d.
struct Integer {
  template <typename C, typename F>
  static void run(benchmark::State& state) {
    const Texts<C> t(F(), "%d", {});
    C buf[kRoom];
    size_t i = 0;
    for (auto _ : state) {
      F::format(buf, kRoom, t.format.c_str(), kInts[i % 10]);
      ++i;
    }
  }
};

struct Integers {
  template <typename C, typename F>
  static void run(benchmark::State& state) {
    const Texts<C> t(F(), "id=%d size=%u flags=%x offset=%lld delta=%ld", {});
    C buf[kRoom];
    size_t i = 0;
    for (auto _ : state) {
      const int v = kInts[i % 10];
      F::format(buf, kRoom, t.format.c_str(), v, static_cast<unsigned>(v) >> 4,
                static_cast<unsigned>(i * 2654435761u), static_cast<long long>(v) * 1000003,
                static_cast<long>(v) / 3);
      ++i;
    }
  }
};

struct Floats {
  template <typename C, typename F>
  static void run(benchmark::State& state) {
    const Texts<C> t(F(), "%.3f ms, %g, %.2e", {});
    C buf[kRoom];
    size_t i = 0;
    for (auto _ : state) {
      F::format(buf, kRoom, t.format.c_str(), kDoubles[i % kValues], kDoubles[(i + 3) % kValues],
                kDoubles[(i + 5) % kValues]);
      ++i;
    }
  }
};

struct Text {
  template <typename C, typename F>
  static void run(benchmark::State& state) {
    const Texts<C> t(F(), "%s: connection from %s closed by the remote host (%s)",
                     {"listener", "198.51.100.23:50412", "connection reset by peer", "net",
                      "[2001:db8::1]:443", "idle timeout"});
    C buf[kRoom];
    size_t i = 0;
    for (auto _ : state) {
      F::format(buf, kRoom, t.format.c_str(), t.word(i), t.word(i + 1), t.word(i + 2));
      ++i;
    }
  }
};

struct Widths {
  template <typename C, typename F>
  static void run(benchmark::State& state) {
    const Texts<C> t(F(), "[%-12s|%8.3s|%+10d|%-8u|%#010x|%12.4f|%-10.2e|%*d]", kNames);
    C buf[kRoom];
    size_t i = 0;
    for (auto _ : state) {
      const int v = kInts[i % 10];
      F::format(buf, kRoom, t.format.c_str(), t.word(i), t.word(i + 1), v, static_cast<unsigned>(v),
                static_cast<unsigned>(i * 2654435761u), kDoubles[i % kValues],
                kDoubles[(i + 4) % kValues], static_cast<int>(i % 16), v);
      ++i;
    }
  }
};

// The log line through a stack string over a caller's buffer.
void logLineStackString(benchmark::State& state) {
  const Texts<tsk_wchar_t> t(Ours(), "%s: worker %d of %u took %.3f ms (%08x) [%-10s]", kNames);
  const Texts<tsk_wchar_t> states(Ours(), "", kStates);
  tsk_wchar_t buf[kRoom] = {};
  size_t i = 0;
  for (auto _ : state) {
    _TSKBASE_STACKSTR str;
    stackStr_Init(&str, buf, kRoom);
    benchmark::DoNotOptimize(stackStr_Sprintf(
        &str, t.format.c_str(), t.word(i), static_cast<int>(i % 64), 64u, kDoubles[i % kValues],
        static_cast<unsigned>(i * 2654435761u), states.word(i)));
    stackStr_Destroy(&str);
    ++i;
  }
}

// Registers a row four times: narrow and wide, ours and the C library's.
template <typename Row>
void registerRow(const std::string& name) {
  using Run = void (*)(benchmark::State&);
  const Run rows[] = {Row::template run<char, Ours>, Row::template run<char, CLibrary>,
                      Row::template run<Ours::Wide, Ours>,
                      Row::template run<CLibrary::Wide, CLibrary>};
  const std::string names[] = {name + "/A/" + Ours::kNarrowName,
                               name + "/A/" + CLibrary::kNarrowName, name + "/W/" + Ours::kWideName,
                               name + "/W/" + CLibrary::kWideName};
  for (size_t i = 0; i < 4; ++i) {
    benchmark::RegisterBenchmark(names[i].c_str(), rows[i]);
  }
}

} // namespace

int main(int argc, char** argv) {
  registerRow<LogLine>("LogLine");
  benchmark::RegisterBenchmark("LogLine/W/stackStr_Sprintf", logLineStackString);
  registerRow<Integer>("Integer");
  registerRow<Integers>("Integers");
  registerRow<Floats>("Floats");
  registerRow<Text>("Text");
  registerRow<Widths>("Widths");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
