// The platform's threads (the suspended start, suspension, termination, exit
// codes, identity) and the library's CriticalSection on them. Suspension and
// termination are preemptive on Windows and take effect at safe points
// elsewhere; the threads here pass safe points where the library's own do.
#include "platform/sync.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "background.h"
#include "lock/critical_section.h"
#include "platform.h"
#include "virtual_slot.h"

namespace {

using namespace tsk::platform;
using tsk::CriticalSection;
using tsk::ScopedLock;
using tsk::test::Background;
using tsk::test::eventually;
using tsk::test::kSettle;

// What a test thread sees and does.
struct Shared {
  std::atomic<uint32_t> id{0};
  std::atomic<int> steps{0};
  std::atomic<bool> stop{false};
  Handle wake = createEvent(false, false);
  CriticalSection lock;
  ~Shared() { closeHandle(wake); }
};

uint32_t noteIdAndReturn7(void* argument) {
  static_cast<Shared*>(argument)->id = currentThreadId();
  return 7;
}

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
      : handle_(createSuspendedThread(routine, &shared, &id_)) {}
  ~Thread() { closeHandle(handle_); }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  Handle handle() const { return handle_; }
  uint32_t id() const { return id_; }
  bool ended(uint32_t milliseconds = 20000) {
    return waitForObject(handle_, milliseconds) == WaitResult::kSignalled;
  }
  // The exit code, or -1 while the thread runs.
  int64_t exitCode() {
    uint32_t code = 0;
    return threadExitCode(handle_, &code) ? static_cast<int64_t>(code) : -1;
  }

private:
  uint32_t id_ = 0;
  Handle handle_;
};

// A thread starts suspended, runs once resumed, and reports the id its
// routine sees and its exit code; ids differ between live threads.
TEST(PlatformThread, RunsOnceResumedAndReportsIdAndExitCode) {
  Shared shared;
  Thread thread(&noteIdAndReturn7, shared);
  ASSERT_NE(thread.handle(), nullptr);
  EXPECT_FALSE(thread.ended(100)) << "suspended";
  EXPECT_EQ(thread.exitCode(), -1);
  EXPECT_EQ(resumeThread(thread.handle()), 1);
  ASSERT_TRUE(thread.ended());
  EXPECT_EQ(shared.id.load(), thread.id());
  EXPECT_NE(thread.id(), currentThreadId());
  EXPECT_NE(thread.id(), 0u);
  EXPECT_EQ(thread.exitCode(), 7);
  EXPECT_EQ(createSuspendedThread(nullptr, nullptr, nullptr), nullptr);
  EXPECT_GE(processorCount(), 1u);
  const auto start = std::chrono::steady_clock::now();
  sleepMilliseconds(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
}

// Each call returns the suspension count before it; a suspended thread makes
// no progress past its next safe point, nor starts the step a wake-up asks
// for, until resumed.
TEST(PlatformThread, SuspensionCountsAndHolds) {
  for (ThreadRoutine routine : {&stepUntilStopped, &stepPerWake}) {
    Shared shared;
    Thread thread(routine, shared);
    const std::vector<int32_t> counts = {
        suspendThread(thread.handle()), suspendThread(thread.handle()),
        resumeThread(thread.handle()), resumeThread(thread.handle()),
        resumeThread(thread.handle())};
    EXPECT_EQ(counts, (std::vector<int32_t>{1, 2, 3, 2, 1}));
    std::this_thread::sleep_for(kSettle); // stepping, or waiting for its wake event
    EXPECT_EQ(suspendThread(thread.handle()), 0);
    setEvent(shared.wake);
    std::this_thread::sleep_for(kSettle); // up to the next safe point
    const int held = shared.steps;
    EXPECT_TRUE(routine == &stepUntilStopped || held == 0) << "a step after the wake-up";
    std::this_thread::sleep_for(kSettle);
    EXPECT_EQ(shared.steps.load(), held);
    EXPECT_EQ(resumeThread(thread.handle()), 1);
    EXPECT_TRUE(eventually([&] { return shared.steps > held; }));
    shared.stop = true;
    setEvent(shared.wake);
    EXPECT_TRUE(thread.ended());
    EXPECT_EQ(thread.exitCode(), routine == &stepPerWake ? 2 : 1);
  }
  EXPECT_EQ(resumeThread(nullptr), -1);
  EXPECT_EQ(suspendThread(nullptr), -1);
}

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
  Thread finished(&noteIdAndReturn7, shared);
  resumeThread(finished.handle());
  ASSERT_TRUE(finished.ended());
  terminateThread(finished.handle(), 99);
  EXPECT_EQ(finished.exitCode(), 7);
  EXPECT_FALSE(terminateThread(nullptr, 1));
}

// CriticalSection and the global g_debugLogLock: recursive holds that
// another thread waits out level by level, a scoped hold that ends on every
// way out, slots in the order ObtainLock, ReleaseLock.
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
  using tsk::test::virtualSlot;
  EXPECT_EQ(std::pair(virtualSlot(&tsk::Lock::ObtainLock), virtualSlot(&tsk::Lock::ReleaseLock)),
            std::pair(0, 1));
}

// Threads counting under one lock lose no count and see each other's writes
// (the thread sanitizer checks the ordering).
TEST(CriticalSection, ExcludesConcurrentHolders) {
  constexpr int kThreads = 4, kRounds = 20000;
  CriticalSection lock;
  long long counter = 0; // guarded by lock
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
          ScopedLock hold(lock);
          ++counter;
        }
      });
    }
  }
  EXPECT_EQ(counter, kThreads * kRounds);
}

} // namespace
