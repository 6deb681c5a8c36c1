// Routines for the thread-pool tests: a gate that holds every routine that
// reaches it until the test opens it, so that workers stay RUNNING for as
// long as a test needs.
#ifndef TSKBASE_TESTS_THREADPOOL_GATE_H
#define TSKBASE_TESTS_THREADPOOL_GATE_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "../lock/background.h"

namespace tsk::test {

class Gate {
public:
  Gate() = default;
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;
  // Lets the routines still held through, and waits until they are gone.
  ~Gate() {
    open();
    eventually([this] { return departed_.load() == arrived_.load(); });
  }

  // A routine (the pools' routine type) for `this` as its argument: counts
  // its arrival, waits until the gate opens, counts its departure.
  static uint32_t pass(void* gate) {
    static_cast<Gate*>(gate)->passThrough();
    return 0;
  }

  void open() {
    std::lock_guard<std::mutex> hold(mutex_);
    open_ = true;
    opened_.notify_all();
  }

  int arrived() const { return arrived_.load(); }
  int departed() const { return departed_.load(); }
  // Whether `count` routines have reached the gate within a generous limit.
  bool reached(int count) const {
    return eventually([&] { return arrived_.load() >= count; });
  }
  bool left(int count) const {
    return eventually([&] { return departed_.load() >= count; });
  }

private:
  void passThrough() {
    ++arrived_;
    {
      std::unique_lock<std::mutex> hold(mutex_);
      opened_.wait(hold, [this] { return open_; });
    }
    ++departed_; // the last touch of the gate
  }

  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
  std::atomic<int> arrived_{0};
  std::atomic<int> departed_{0};
};

} // namespace tsk::test

#endif // TSKBASE_TESTS_THREADPOOL_GATE_H
