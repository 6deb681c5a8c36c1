// The platform's thread termination, wherever a thread can be. (Starting,
// suspending and resuming threads are driven through the thread pools.)
// Termination is preemptive on Windows and takes effect at safe points
// elsewhere; the threads here pass safe points where the library's own do.
#include "platform/sync.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include "background.h"
#include "lock/critical_section.h"
#include "platform.h"

namespace {

using namespace tsk::platform;
using tsk::ScopedLock;

// What a test thread sees and does.
struct Shared {
  std::atomic<bool> stop{false};
  Handle wake = createEvent(false, false);
  tsk::CriticalSection lock;
  ~Shared() { closeHandle(wake); }
};

uint32_t return7(void*) { return 7; }

// Passes a safe point at every step until told to stop.
uint32_t stepUntilStopped(void* argument) {
  for (auto* shared = static_cast<Shared*>(argument); !shared->stop;) {
    safePoint();
    std::this_thread::yield();
  }
  return 1;
}

// A thread pool's worker loop: one step per signal of its wake event.
uint32_t stepPerWake(void* argument) {
  for (auto* shared = static_cast<Shared*>(argument); !shared->stop;) {
    waitAtSafePoint(shared->wake, kInfinite);
  }
  return 2;
}

// Reaches safe points while holding a library lock.
uint32_t holdLockAtSafePoint(void* argument) {
  ScopedLock hold(static_cast<Shared*>(argument)->lock);
  for (;;) {
    safePoint();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// The exit code of a thread that ends within a generous limit, or -1.
int64_t exitCodeOnceEnded(Handle thread) {
  uint32_t code = 0;
  return waitForObject(thread, 20000) == WaitResult::kSignalled && threadExitCode(thread, &code)
             ? static_cast<int64_t>(code)
             : -1;
}

// An ended thread keeps its own code. Where termination is deferred the
// thread unwinds, freeing a lock it held (the library never does this on Windows).
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
    const Handle thread = createSuspendedThread(routine, &shared, nullptr);
    if (resume) {
      resumeThread(thread);
      std::this_thread::sleep_for(tsk::test::kSettle);
    }
    if (suspend) {
      suspendThread(thread);
    }
    EXPECT_TRUE(terminateThread(thread, 0x8000)) << where;
    EXPECT_EQ(exitCodeOnceEnded(thread), 0x8000) << where;
    EXPECT_TRUE(tsk::test::Background([&] { ScopedLock hold(shared.lock); }).ends()) << where;
    closeHandle(thread);
  }
  Shared shared;
  const Handle finished = createSuspendedThread(&return7, &shared, nullptr);
  resumeThread(finished);
  ASSERT_EQ(exitCodeOnceEnded(finished), 7);
  terminateThread(finished, 99);
  EXPECT_EQ(exitCodeOnceEnded(finished), 7);
  EXPECT_FALSE(terminateThread(nullptr, 1));
  closeHandle(finished);
}

} // namespace
