// Runs a call on a thread of its own, so that a test can tell whether it is
// still blocked.
#ifndef TSKBASE_TESTS_LOCK_BACKGROUND_H
#define TSKBASE_TESTS_LOCK_BACKGROUND_H

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace tsk::test {

// Long enough for a thread that is not blocked to finish a short call on a
// loaded machine; only ever waited out where the call must stay blocked.
inline constexpr std::chrono::milliseconds kSettle{150};

// Whether `condition` holds within a generous limit, looking now and then.
template <typename Condition>
bool eventually(Condition condition) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
    if (std::chrono::steady_clock::now() > limit) {
      return false;
    }
  }
  return true;
}

// A call running on its own thread. The destructor waits for it to end.
class Background {
public:
  explicit Background(std::function<void()> call) : done_(std::async(std::launch::async, call)) {}

  // Whether the call ends within `limit`.
  bool endsWithin(std::chrono::milliseconds limit) {
    return done_.wait_for(limit) == std::future_status::ready;
  }
  // Still running after kSettle: blocked, as far as a test can tell.
  bool blocked() { return !endsWithin(kSettle); }
  // Ends within a generous limit: it was not blocked (or no longer is).
  bool ends() { return endsWithin(std::chrono::seconds(20)); }

private:
  std::future<void> done_;
};

} // namespace tsk::test

#endif // TSKBASE_TESTS_LOCK_BACKGROUND_H
