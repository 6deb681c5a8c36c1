// What the thread-pool tests share: a gate that holds every routine reaching
// it until the test opens it (so that workers stay RUNNING for as long as a
// test needs), a counting routine, and the log "debug.txt" in a scratch
// current directory.
#ifndef TSKBASE_TESTS_THREADPOOL_POOL_SUPPORT_H
#define TSKBASE_TESTS_THREADPOOL_POOL_SUPPORT_H

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../lock/background.h"
#include "scratch_directory.h"

namespace tsk::test {

// A routine (the pools' routine type) that adds one to an std::atomic<int>.
inline uint32_t countRun(void* counter) {
  ++*static_cast<std::atomic<int>*>(counter);
  return 0;
}

struct Gate {
  std::atomic<bool> open{false};
  std::atomic<int> arrived{0}, departed{0};

  // Lets the routines still held through, and waits until they are gone.
  ~Gate() {
    open = true;
    eventually([this] { return departed == arrived; });
  }
  // The routine, with the gate as its argument.
  static uint32_t pass(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    ++gate->arrived;
    eventually([gate] { return gate->open.load(); });
    ++gate->departed; // the last touch of the gate
    return 0;
  }
  bool reached(int count) const {
    return eventually([&] { return arrived >= count; });
  }
};

// Makes a fresh scratch directory the current directory while it lives.
class InScratchDirectory {
public:
  InScratchDirectory() { std::filesystem::current_path(directory_.path()); }
  ~InScratchDirectory() { std::filesystem::current_path(previous_); }

private:
  std::filesystem::path previous_ = std::filesystem::current_path();
  ScratchDirectory directory_;
};

// Text as a C runtime in text mode writes it, back in "\n" lines.
inline std::string withoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

// The log file's text so far ("" while there is none).
inline std::string logText() {
  std::ostringstream text;
  text << std::ifstream("debug.txt", std::ios::binary).rdbuf();
  return withoutCarriageReturns(text.str());
}

inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    lines.push_back(line);
  }
  return lines;
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_THREADPOOL_POOL_SUPPORT_H
