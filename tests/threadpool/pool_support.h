// What the thread-pool tests share: a gate that holds every routine reaching
// it until the test opens it (so that workers stay RUNNING for as long as a
// test needs), a counting routine, and the log "debug.txt", which the tests
// make land in a scratch directory.
#ifndef TSKBASE_TESTS_THREADPOOL_POOL_SUPPORT_H
#define TSKBASE_TESTS_THREADPOOL_POOL_SUPPORT_H

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
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

class Gate {
public:
  Gate() = default;
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;
  // Lets the routines still held through, and waits until they are gone.
  ~Gate() {
    open();
    eventually([this] { return departed_ == arrived_; });
  }

  // The routine, with the gate as its argument.
  static uint32_t pass(void* gate) {
    auto* self = static_cast<Gate*>(gate);
    ++self->arrived_;
    {
      std::unique_lock<std::mutex> hold(self->mutex_);
      self->opened_.wait(hold, [self] { return self->open_; });
    }
    ++self->departed_; // the last touch of the gate
    return 0;
  }

  void open() {
    std::lock_guard<std::mutex> hold(mutex_);
    open_ = true;
    opened_.notify_all();
  }
  int arrived() const { return arrived_; }
  bool reached(int count) const {
    return eventually([&] { return arrived_ >= count; });
  }
  bool left(int count) const {
    return eventually([&] { return departed_ >= count; });
  }

private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
  std::atomic<int> arrived_{0};
  std::atomic<int> departed_{0};
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
