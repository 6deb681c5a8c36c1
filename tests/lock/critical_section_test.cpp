// The library's internal locks: CriticalSection through the Lock interface,
// ScopedLock, and the global g_debugLogLock.
#include "lock/critical_section.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "background.h"
#include "virtual_slot.h"

namespace {

using tsk::CriticalSection;
using tsk::Lock;
using tsk::ScopedLock;
using tsk::test::Background;

// A hold is recursive: another thread waits until every level is released,
// and a scoped hold ends on every way out of its scope.
TEST(CriticalSection, RecursiveHoldsAndScopes) {
  CriticalSection local;
  for (Lock* lock : {static_cast<Lock*>(&local), static_cast<Lock*>(&tsk::g_debugLogLock)}) {
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
    Background after([&] { ScopedLock hold(*lock); });
    EXPECT_TRUE(after.ends()) << "released by the exception";
  }
}

// Threads that count under one lock lose no count, and every thread sees the
// others' writes (the sanitizer checks the ordering).
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
          ScopedLock again(lock);
          ++counter;
        }
      });
    }
  }
  EXPECT_EQ(counter, kThreads * kRounds);
}

// Virtual slots in the order ObtainLock, ReleaseLock (and no destructor).
TEST(CriticalSection, LockSlotsKeepTheirOrder) {
  using tsk::test::virtualSlot;
  EXPECT_EQ((std::vector<int>{virtualSlot(&Lock::ObtainLock), virtualSlot(&Lock::ReleaseLock)}),
            (std::vector<int>{0, 1}));
}

} // namespace
