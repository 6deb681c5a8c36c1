// The platform's synchronisation objects: events and mutexes, unnamed and
// named, and the waits on them. On Windows these run against the real system
// objects, so the same expectations hold the POSIX stand-ins to Windows'
// behaviour.
#include "platform/sync.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "background.h"
#include "lock_process.h"

namespace {

using namespace tsk::platform;
using tsk::test::Background;
using tsk::test::eventually;

// A handle closed at the end of a scope.
using Owned = std::unique_ptr<void, bool (*)(Handle)>;
Owned own(Handle handle) { return Owned(handle, &closeHandle); }

// Events and mutexes behave alike unnamed and named: the tests of the
// fixture run on both. Waiters reach the object through a handle of their
// own: a named object's by name, as another process reaches it, an unnamed
// one's as a duplicate.
class PlatformSyncObjects : public ::testing::TestWithParam<bool> {
protected:
  Owned makeEvent(bool manualReset, bool signalled) {
    return make([=](const tsk_wchar_t* name) {
      return createNamedEvent(name, manualReset, signalled, nullptr);
    });
  }
  Owned makeMutex() {
    return make([](const tsk_wchar_t* name) { return createNamedMutex(name, nullptr); });
  }
  // Another handle to `object`, the event or mutex made last.
  Owned another(const Owned& object) {
    return own(GetParam() ? make_(name_.c_str()) : duplicateHandle(object.get()));
  }

private:
  // A null name makes an unnamed object.
  Owned make(std::function<Handle(const tsk_wchar_t*)> maker) {
    make_ = std::move(maker);
    name_ = tsk::test::wide(tsk::test::uniqueLockName("sync"));
    return own(make_(GetParam() ? name_.c_str() : nullptr));
  }

  std::function<Handle(const tsk_wchar_t*)> make_;
  tsk::test::WideString name_;
};

INSTANTIATE_TEST_SUITE_P(, PlatformSyncObjects, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

// Runs a script on an event: S sets, R resets, W waits with time-out 0 (on
// another handle) and notes "+" (signalled) or "-" (timed out).
std::string runEventScript(Handle event, Handle waiting, const char* script) {
  std::string seen;
  for (const char* op = script; *op != 0; ++op) {
    if (*op == 'S') {
      setEvent(event);
    } else if (*op == 'R') {
      resetEvent(event);
    } else {
      const WaitResult result = waitForObject(waiting, 0);
      seen += result == WaitResult::kSignalled ? '+' : result == WaitResult::kTimedOut ? '-' : '!';
    }
  }
  return seen;
}

// Without waiters: an auto-reset event lets one wait through per signal and
// does not count signals; a manual-reset event stays signalled until reset.
TEST_P(PlatformSyncObjects, EventStatesWithoutWaiters) {
  struct Case {
    bool manualReset;
    bool initiallySignalled;
    const char* script;
    const char* expected;
  };
  const Case cases[] = {
      {false, false, "W", "-"},     {false, true, "WW", "+-"},  {false, false, "SWW", "+-"},
      {false, false, "SSWW", "+-"}, {false, true, "RW", "-"},   {false, false, "SRW", "-"},
      {true, false, "W", "-"},      {true, true, "WWW", "+++"}, {true, false, "SWWRW", "++-"},
      {true, false, "SSRW", "-"},   {true, false, "RSW", "+"},
  };
  for (const Case& c : cases) {
    Owned event = makeEvent(c.manualReset, c.initiallySignalled);
    Owned waiting = another(event);
    EXPECT_EQ(runEventScript(event.get(), waiting.get(), c.script), c.expected)
        << (c.manualReset ? "manual " : "auto ") << c.initiallySignalled << " " << c.script;
  }
}

// Threads blocked on an auto-reset event: one signal releases exactly one of
// them, and two signals in a row release two (the second is not lost while
// the first waiter has yet to wake).
TEST_P(PlatformSyncObjects, AutoResetEventReleasesOneBlockedWaiterPerSignal) {
  Owned event = makeEvent(false, false);
  Owned waiting = another(event);
  std::atomic<int> released{0};
  auto waiter = [&] {
    EXPECT_EQ(waitForObject(waiting.get(), kInfinite), WaitResult::kSignalled);
    ++released;
  };
  {
    Background a(waiter), b(waiter), c(waiter);
    EXPECT_TRUE(a.blocked() && b.blocked() && c.blocked());
    setEvent(event.get());
    setEvent(event.get());
    EXPECT_TRUE(eventually([&] { return released.load() == 2; }));
    std::this_thread::sleep_for(tsk::test::kSettle);
    EXPECT_EQ(released.load(), 2) << "the third waiter stays until one more signal";
    setEvent(event.get());
  }
  EXPECT_EQ(released.load(), 3);
  EXPECT_EQ(waitForObject(event.get(), 0), WaitResult::kTimedOut) << "no signal left over";
}

// A manual-reset event releases every thread blocked when it is set, even if
// it is reset again at once.
TEST_P(PlatformSyncObjects, ManualResetEventReleasesAllBlockedWaiters) {
  Owned event = makeEvent(true, false);
  Owned waiting = another(event);
  auto waiter = [&] { EXPECT_EQ(waitForObject(waiting.get(), kInfinite), WaitResult::kSignalled); };
  Background a(waiter), b(waiter);
  ASSERT_TRUE(a.blocked() && b.blocked());
  setEvent(event.get());
  resetEvent(event.get());
  EXPECT_TRUE(a.ends() && b.ends());
  EXPECT_EQ(waitForObject(event.get(), 0), WaitResult::kTimedOut);
}

// A time-out is reported as such, after the time has passed; a signal during
// a long wait is reported as a signal.
TEST_P(PlatformSyncObjects, TimeOutIsToldApartFromASignal) {
  Owned event = makeEvent(false, false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(waitForObject(event.get(), 60), WaitResult::kTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(55));

  WaitResult result = WaitResult::kFailed;
  Background waiter([&] { result = waitForObject(event.get(), 30000); });
  ASSERT_TRUE(waiter.blocked());
  setEvent(event.get());
  ASSERT_TRUE(waiter.ends());
  EXPECT_EQ(result, WaitResult::kSignalled);
}

// A mutex belongs to the thread that obtained it: recursive for it, closed
// to others, released only by it, level by level.
TEST_P(PlatformSyncObjects, MutexIsOwnedRecursivelyByOneThread) {
  Owned mutex = makeMutex();
  Owned otherHandle = another(mutex);
  auto otherThreadGets = [&] {
    WaitResult result = WaitResult::kFailed;
    bool released = false;
    Background other([&] {
      result = waitForObject(otherHandle.get(), 0);
      released = result == WaitResult::kSignalled && releaseMutex(otherHandle.get());
    });
    EXPECT_TRUE(other.ends());
    EXPECT_EQ(released, result == WaitResult::kSignalled);
    return result;
  };
  EXPECT_EQ(otherThreadGets(), WaitResult::kSignalled);
  ASSERT_EQ(waitForObject(mutex.get(), kInfinite), WaitResult::kSignalled);
  ASSERT_EQ(waitForObject(mutex.get(), 0), WaitResult::kSignalled);
  EXPECT_EQ(otherThreadGets(), WaitResult::kTimedOut);
  bool strangerReleased = true;
  Background([&] { strangerReleased = releaseMutex(mutex.get()); }).ends();
  EXPECT_FALSE(strangerReleased);
  EXPECT_TRUE(releaseMutex(mutex.get()));
  EXPECT_EQ(otherThreadGets(), WaitResult::kTimedOut) << "one level is still held";
  EXPECT_TRUE(releaseMutex(mutex.get()));
  EXPECT_FALSE(releaseMutex(mutex.get())) << "not held any more";
  EXPECT_EQ(otherThreadGets(), WaitResult::kSignalled);
}

// A thread that ends while holding a mutex hands it over abandoned: the next
// wait obtains it and says so, once. (The thread is joined, so it has really
// ended when the wait begins.)
TEST_P(PlatformSyncObjects, MutexOfAnEndedOwnerIsObtainedAbandoned) {
  for (const uint32_t timeout : {kInfinite, 0u, 5000u}) {
    Owned mutex = makeMutex();
    Owned ownerHandle = another(mutex);
    Background([&] {
      ASSERT_EQ(waitForObject(ownerHandle.get(), kInfinite), WaitResult::kSignalled);
      ASSERT_EQ(waitForObject(ownerHandle.get(), kInfinite), WaitResult::kSignalled);
    }).ends();
    EXPECT_EQ(waitForObject(mutex.get(), timeout), WaitResult::kAbandoned) << timeout;
    EXPECT_TRUE(releaseMutex(mutex.get())) << "the new owner holds one level";
    EXPECT_FALSE(releaseMutex(mutex.get()));
    EXPECT_EQ(waitForObject(mutex.get(), timeout), WaitResult::kSignalled);
    EXPECT_TRUE(releaseMutex(mutex.get()));
  }
}

// The operations check the kind of object behind a handle.
TEST(PlatformSync, HandlesOfTheWrongKindOrNoneFail) {
  Owned event = own(createEvent(true, true));
  Owned mutex = own(createMutex());
  EXPECT_FALSE(setEvent(mutex.get()));
  EXPECT_FALSE(resetEvent(mutex.get()));
  EXPECT_FALSE(releaseMutex(event.get()));
  EXPECT_FALSE(setEvent(nullptr));
  EXPECT_FALSE(closeHandle(nullptr));
  EXPECT_EQ(waitForObject(nullptr, 0), WaitResult::kFailed);
  EXPECT_EQ(waitForAll(nullptr, 1, 0), WaitResult::kFailed);
  EXPECT_EQ(waitForAll(nullptr, 0, 0), WaitResult::kSignalled);
  EXPECT_EQ(waitForObject(event.get(), 0), WaitResult::kSignalled) << "the event is unchanged";
}

uint32_t waitForGoThenReturnIndex(void* argument) {
  auto* go = static_cast<Handle*>(argument);
  waitForObject(go[0], kInfinite);
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(go[1]));
}

// Waiting for all of more thread handles than Windows takes at once (64)
// ends only when every thread has ended.
TEST(PlatformSync, WaitForAllTakesAnyNumberOfThreads) {
  constexpr size_t kThreads = 150;
  Owned go = own(createEvent(true, false));
  std::vector<std::array<Handle, 2>> arguments(kThreads);
  std::vector<Handle> threads;
  for (size_t i = 0; i < kThreads; ++i) {
    arguments[i] = {go.get(), reinterpret_cast<Handle>(static_cast<uintptr_t>(i + 100))};
    Handle thread = createSuspendedThread(&waitForGoThenReturnIndex, arguments[i].data(), nullptr);
    ASSERT_NE(thread, nullptr);
    resumeThread(thread);
    threads.push_back(thread);
  }
  EXPECT_EQ(waitForAll(threads.data(), threads.size(), 100), WaitResult::kTimedOut);
  setEvent(go.get());
  EXPECT_EQ(waitForAll(threads.data(), threads.size(), kInfinite), WaitResult::kSignalled);
  size_t rightCodes = 0;
  for (size_t i = 0; i < kThreads; ++i) {
    uint32_t code = 0;
    rightCodes += threadExitCode(threads[i], &code) && code == i + 100;
    closeHandle(threads[i]);
  }
  EXPECT_EQ(rightCodes, kThreads);
}

} // namespace
