// The platform's thread termination, wherever a thread can be, and the
// library's CriticalSection. (Starting, suspending and resuming threads are
// driven through the thread pools.) Termination is preemptive on Windows and
// takes effect at safe points elsewhere; the threads here pass safe points
// where the library's own do.
#include "platform/sync.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "background.h"
#include "lock/critical_section.h"
#include "platform.h"

namespace {

using namespace tsk::platform;
using tsk::CriticalSection;
using tsk::ScopedLock;
using tsk::test::Background;
using tsk::test::kSettle;

// What a test thread sees and does.
struct Shared {
  std::atomic<int> steps{0};
  std::atomic<bool> stop{false};
  Handle wake = createEvent(false, false);
  CriticalSection lock;
  ~Shared() { closeHandle(wake); }
};

uint32_t return7(void*) { return 7; }

// Counts steps, passing a safe point before each, until told to stop.
uint32_t stepUntilStopped(void* argument) {
  auto* shared = static_cast<Shared*>(argument);
  while (!shared->stop) {
    safePoint();
    ++shared->steps;
    std::this_thread::yield();
  }
  return 1;
}

// A thread pool's worker loop: one step per signal of its wake event.
uint32_t stepPerWake(void* argument) {
  auto* shared = static_cast<Shared*>(argument);
  while (!shared->stop) {
    waitAtSafePoint(shared->wake, kInfinite);
    ++shared->steps;
  }
  return 2;
}

// Reaches safe points while holding a library lock.
uint32_t holdLockAtSafePoint(void* argument) {
  auto* shared = static_cast<Shared*>(argument);
  ScopedLock hold(shared->lock);
  ++shared->steps;
  for (;;) {
    safePoint();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

class Thread {
public:
  Thread(ThreadRoutine routine, Shared& shared)
      : handle_(createSuspendedThread(routine, &shared, nullptr)) {}
  ~Thread() { closeHandle(handle_); }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  Handle handle() const { return handle_; }
  bool ended(uint32_t milliseconds = 20000) {
    return waitForObject(handle_, milliseconds) == WaitResult::kSignalled;
  }
  // The exit code, or -1 while the thread runs.
  int64_t exitCode() {
    uint32_t code = 0;
    return threadExitCode(handle_, &code) ? static_cast<int64_t>(code) : -1;
  }

private:
  Handle handle_;
};

// Termination ends a thread wherever the library's threads can be, with the
// code given; an ended thread keeps its own. Where termination is deferred,
// the thread unwinds: a library lock it held is free afterwards. (Windows
// makes no such promise; the library never terminates a holder there.)
TEST(PlatformThread, TerminationEndsTheThreadWithTheGivenCode) {
  const std::tuple<const char*, ThreadRoutine, bool, bool> cases[] = {
      {"waiting for work", &stepPerWake, true, false},
      {"suspended while waiting", &stepPerWake, true, true},
      {"never started", &stepPerWake, false, false},
      {"stepping", &stepUntilStopped, true, false},
      {"holding a lock", &holdLockAtSafePoint, !tsk::test::kWindows, false},
  };
  for (const auto& [where, routine, resume, suspend] : cases) {
    Shared shared;
    Thread thread(routine, shared);
    if (resume) {
      resumeThread(thread.handle());
      std::this_thread::sleep_for(kSettle);
    }
    if (suspend) {
      suspendThread(thread.handle());
    }
    EXPECT_TRUE(terminateThread(thread.handle(), 0x8000)) << where;
    EXPECT_TRUE(thread.ended()) << where;
    EXPECT_EQ(thread.exitCode(), 0x8000) << where;
    EXPECT_TRUE(Background([&] { ScopedLock hold(shared.lock); }).ends()) << where;
  }
  Shared shared;
  Thread finished(&return7, shared);
  resumeThread(finished.handle());
  ASSERT_TRUE(finished.ended());
  terminateThread(finished.handle(), 99);
  EXPECT_EQ(finished.exitCode(), 7);
  EXPECT_FALSE(terminateThread(nullptr, 1));
}

// CriticalSection and the global g_debugLogLock: recursive holds that
// another thread waits out level by level, a scoped hold that ends on every
// way out. (Their exclusion under contention is the read-write lock's.)
TEST(CriticalSection, RecursiveHoldsAndScopes) {
  CriticalSection local;
  for (tsk::Lock* lock :
       {static_cast<tsk::Lock*>(&local), static_cast<tsk::Lock*>(&tsk::g_debugLogLock)}) {
    lock->ObtainLock();
    { ScopedLock again(*lock); }
    lock->ObtainLock();
    Background other([&] { ScopedLock hold(*lock); });
    EXPECT_TRUE(other.blocked());
    lock->ReleaseLock();
    EXPECT_TRUE(other.blocked()) << "one level is still held";
    lock->ReleaseLock();
    EXPECT_TRUE(other.ends());
    EXPECT_THROW(
        {
          ScopedLock hold(*lock);
          throw std::runtime_error("leaving the scope");
        },
        std::runtime_error);
    EXPECT_TRUE(Background([&] { ScopedLock hold(*lock); }).ends()) << "released by the throw";
  }
}

} // namespace
