// The platform's threads: the suspended start, suspension and resumption,
// termination, exit codes and the identity functions. Suspension and
// termination are preemptive on Windows and take effect at safe points
// elsewhere; the tests hold for both by letting the threads pass safe
// points where the library's own threads would.
#include "platform/sync.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "background.h"
#include "lock/critical_section.h"
#include "platform.h"

namespace {

using namespace tsk::platform;
using tsk::test::eventually;
using tsk::test::kSettle;

// What a test thread sees and does.
struct Shared {
  std::atomic<uint32_t> id{0};
  std::atomic<int> steps{0};
  std::atomic<bool> stop{false};
  Handle wake = nullptr;
  tsk::CriticalSection* lock = nullptr;
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

// The worker loop of a thread pool: one step per signal of its wake event.
uint32_t stepPerWake(void* argument) {
  auto* shared = static_cast<Shared*>(argument);
  while (!shared->stop) {
    waitAtSafePoint(shared->wake, kInfinite);
    ++shared->steps;
  }
  return 2;
}

// Reaches a safe point while holding a library lock.
uint32_t holdLockAtSafePoint(void* argument) {
  auto* shared = static_cast<Shared*>(argument);
  tsk::ScopedLock hold(*shared->lock);
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

// A thread starts suspended, runs its routine once resumed, and reports its
// id (the one the routine sees) and its exit code.
TEST(PlatformThread, RunsOnceResumedAndReportsIdAndExitCode) {
  Shared shared;
  Thread thread(&noteIdAndReturn7, shared);
  ASSERT_NE(thread.handle(), nullptr);
  EXPECT_NE(thread.id(), 0u);
  EXPECT_FALSE(thread.ended(100)) << "suspended";
  EXPECT_EQ(thread.exitCode(), -1);
  EXPECT_EQ(shared.id.load(), 0u);
  EXPECT_EQ(resumeThread(thread.handle()), 1);
  ASSERT_TRUE(thread.ended());
  EXPECT_EQ(shared.id.load(), thread.id());
  EXPECT_EQ(thread.exitCode(), 7);
  EXPECT_EQ(createSuspendedThread(nullptr, nullptr, nullptr), nullptr);
}

// Suspension counts: each call returns the count before it, and the thread
// runs only at count 0.
TEST(PlatformThread, SuspendAndResumeCount) {
  Shared shared;
  Thread thread(&stepUntilStopped, shared);
  const std::vector<int32_t> counts = {
      suspendThread(thread.handle()), suspendThread(thread.handle()),
      resumeThread(thread.handle()),  resumeThread(thread.handle()),
      resumeThread(thread.handle()),  resumeThread(thread.handle())};
  EXPECT_EQ(counts, (std::vector<int32_t>{1, 2, 3, 2, 1, 0}));
  EXPECT_TRUE(eventually([&] { return shared.steps > 0; }));
  shared.stop = true;
  EXPECT_TRUE(thread.ended());
  EXPECT_EQ(resumeThread(nullptr), -1);
  EXPECT_EQ(suspendThread(nullptr), -1);
}

// A suspended thread makes no progress past its next safe point until it
// is resumed.
TEST(PlatformThread, SuspendedThreadHoldsUntilResumed) {
  Shared shared;
  Thread thread(&stepUntilStopped, shared);
  resumeThread(thread.handle());
  ASSERT_TRUE(eventually([&] { return shared.steps > 10; }));
  EXPECT_EQ(suspendThread(thread.handle()), 0);
  std::this_thread::sleep_for(kSettle); // up to the next safe point
  const int held = shared.steps;
  std::this_thread::sleep_for(kSettle);
  EXPECT_EQ(shared.steps.load(), held);
  EXPECT_EQ(resumeThread(thread.handle()), 1);
  EXPECT_TRUE(eventually([&] { return shared.steps > held; }));
  shared.stop = true;
  EXPECT_TRUE(thread.ended());
}

// A worker suspended while it waits for work does not start the step that a
// wake-up asks for until it is resumed; then it does, once.
TEST(PlatformThread, SuspendedWorkerStartsNoStepUntilResumed) {
  Shared shared;
  Thread thread(&stepPerWake, shared);
  shared.wake = createEvent(false, false);
  resumeThread(thread.handle());
  std::this_thread::sleep_for(kSettle); // waiting for its wake event
  EXPECT_EQ(suspendThread(thread.handle()), 0);
  setEvent(shared.wake);
  std::this_thread::sleep_for(kSettle);
  EXPECT_EQ(shared.steps.load(), 0);
  resumeThread(thread.handle());
  EXPECT_TRUE(eventually([&] { return shared.steps == 1; }));
  shared.stop = true;
  setEvent(shared.wake);
  EXPECT_TRUE(thread.ended());
  EXPECT_EQ(thread.exitCode(), 2);
  closeHandle(shared.wake);
}

// Termination ends a thread wherever the library's threads can be: waiting
// for work, suspended, not yet started. Its exit code is the one given; an
// ended thread keeps its own.
TEST(PlatformThread, TerminationEndsTheThreadWithTheGivenCode) {
  struct Case {
    const char* where;
    ThreadRoutine routine;
    bool resume;
    bool suspendAfterwards;
  };
  const Case cases[] = {
      {"waiting for work", &stepPerWake, true, false},
      {"suspended while waiting", &stepPerWake, true, true},
      {"never started", &stepPerWake, false, false},
      {"stepping", &stepUntilStopped, true, false},
  };
  for (const Case& c : cases) {
    Shared shared;
    shared.wake = createEvent(false, false);
    Thread thread(c.routine, shared);
    if (c.resume) {
      resumeThread(thread.handle());
      std::this_thread::sleep_for(kSettle);
    }
    if (c.suspendAfterwards) {
      suspendThread(thread.handle());
    }
    EXPECT_TRUE(terminateThread(thread.handle(), 0x8000)) << c.where;
    EXPECT_TRUE(thread.ended()) << c.where;
    EXPECT_EQ(thread.exitCode(), 0x8000) << c.where;
    closeHandle(shared.wake);
  }
  Shared shared;
  Thread finished(&noteIdAndReturn7, shared);
  resumeThread(finished.handle());
  ASSERT_TRUE(finished.ended());
  terminateThread(finished.handle(), 99);
  EXPECT_EQ(finished.exitCode(), 7);
  EXPECT_FALSE(terminateThread(nullptr, 1));
}

// Where termination is deferred, the thread unwinds: a library lock that it
// held is free afterwards. (Windows' TerminateThread gives no such promise;
// the library never terminates a thread that holds a lock there.)
TEST(PlatformThread, TerminationAtASafePointReleasesHeldLocks) {
  if (tsk::test::kWindows) {
    GTEST_SKIP() << "termination is immediate on Windows";
  }
  tsk::CriticalSection lock;
  Shared shared;
  shared.lock = &lock;
  Thread thread(&holdLockAtSafePoint, shared);
  resumeThread(thread.handle());
  ASSERT_TRUE(eventually([&] { return shared.steps == 1; }));
  terminateThread(thread.handle(), 5);
  ASSERT_TRUE(thread.ended());
  EXPECT_EQ(thread.exitCode(), 5);
  tsk::test::Background other([&] { tsk::ScopedLock hold(lock); });
  EXPECT_TRUE(other.ends()) << "the lock was left held";
}

// Thread ids differ between live threads; the process id and processor
// count are plausible; a sleep lasts at least as long as asked.
TEST(PlatformThread, IdentityAndSleep) {
  uint32_t otherId = 0;
  std::thread([&] { otherId = currentThreadId(); }).join();
  EXPECT_NE(currentThreadId(), 0u);
  EXPECT_NE(otherId, 0u);
  EXPECT_NE(otherId, currentThreadId());
  EXPECT_EQ(currentThreadId(), currentThreadId());
  EXPECT_NE(currentProcessId(), 0u);
  EXPECT_GE(processorCount(), 1u);
  const auto start = std::chrono::steady_clock::now();
  sleepMilliseconds(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
  safePoint(); // a thread the library did not start passes straight through
}

} // namespace
