// CThreadLock and the threadLock_ functions, through the exported interface.
// Under Wine the exceptions cross from the DLL into this program, each with
// its own copy of the C++ runtime.
#include "tskbase/thread_lock.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "allocation_failure.h"
#include "background.h"

namespace {

using tsk::test::Background;

// What a call did: "ok", "fail" (TSK_FAIL), "lockId" (the out_of_range
// message) or another exception's text.
std::string outcome(const std::function<tsk_status()>& call) {
  try {
    return call() == TSK_OK ? "ok" : "fail";
  } catch (const std::out_of_range& error) {
    return error.what();
  } catch (const std::exception& error) {
    return std::string("other: ") + error.what();
  }
}

// Whether another thread gets lock `id` of `locks` with TryLock (and lets
// it go again).
bool othersGet(CThreadLock& locks, uint32_t id) {
  int32_t got = -1;
  Background([&] {
    got = locks.TryLock(id);
    if (got == 1) {
      locks.ReleaseLock(id);
    }
  }).ends();
  return got == 1;
}

// The index check guards every indexed member and flat function, before any
// lock is touched; the exception reaches the caller through the flat ones.
TEST(ThreadLock, IndexOutOfRangeThrowsLockId) {
  struct Case {
    uint32_t size;
    uint32_t id;
    const char* expected;
  };
  const Case cases[] = {
      {0, 0, "lockId"},          {4, 0, "ok"},      {4, 3, "ok"},           {4, 4, "lockId"},
      {4, 0xFFFFFFFF, "lockId"}, {1000, 999, "ok"}, {1000, 1000, "lockId"},
  };
  for (const Case& c : cases) {
    CThreadLock* handle = nullptr;
    ASSERT_EQ(threadLock_create(&handle, c.size), TSK_OK);
    CThreadLock& locks = *handle;
    EXPECT_EQ(locks.GetLocksSize(), c.size);
    const std::vector<std::string> seen = {
        outcome([&] { return threadLock_lock(handle, c.id); }),
        outcome([&] { return threadLock_unlock(handle, c.id); }),
        outcome([&] { return locks.TryLock(c.id) == 1 ? TSK_OK : TSK_FAIL; }), outcome([&] {
          locks.ReleaseLock(c.id);
          locks.ObtainLock(c.id);
          locks.ReleaseLock(c.id);
          return TSK_OK;
        })};
    EXPECT_EQ(seen, std::vector<std::string>(4, c.expected)) << c.size << " " << c.id;
    if (c.id < c.size) {
      EXPECT_TRUE(othersGet(locks, c.id)) << "every level was released";
    }
    EXPECT_EQ(threadLock_destroy(&handle), TSK_OK);
  }
}

// The flat functions refuse null handles and clear the caller's variable.
TEST(ThreadLock, FlatFunctionsCheckTheirHandles) {
  CThreadLock* handle = nullptr;
  EXPECT_EQ(threadLock_create(nullptr, 4), TSK_FAIL);
  EXPECT_EQ(threadLock_lock(nullptr, 0), TSK_FAIL);
  EXPECT_EQ(threadLock_unlock(nullptr, 0), TSK_FAIL);
  EXPECT_EQ(threadLock_destroy(nullptr), TSK_FAIL);
  EXPECT_EQ(threadLock_destroy(&handle), TSK_FAIL);
  ASSERT_EQ(threadLock_create(&handle, 4), TSK_OK);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(threadLock_destroy(&handle), TSK_OK);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(threadLock_destroy(&handle), TSK_FAIL);
}

// When memory runs out, creation fails cleanly: the constructor throws
// std::bad_alloc, threadLock_create returns TSK_FAIL and stores nothing.
TEST(ThreadLock, CreationFailsCleanlyWithoutMemory) {
  tsk::test::FailNthAllocation failing(1);
  EXPECT_THROW(CThreadLock(8), std::bad_alloc);
  tsk::testing::failNthAllocation(1);
  auto* untouched = reinterpret_cast<CThreadLock*>(0x1234);
  EXPECT_EQ(threadLock_create(&untouched, 8), TSK_FAIL);
  EXPECT_EQ(untouched, reinterpret_cast<CThreadLock*>(0x1234));
  EXPECT_EQ(failing.leaked(), 0);
}

// A thread that holds a lock gets 1 from TryLock, one level more; others get
// 0 until every level is released, and other indices never wait for it.
TEST(ThreadLock, RecursiveHoldsAndIndependentIndices) {
  CThreadLock locks(4);
  locks.ObtainLock(2);
  EXPECT_EQ(locks.TryLock(2), 1);
  EXPECT_FALSE(othersGet(locks, 2));
  Background otherIndex([&] {
    locks.ObtainLock(1);
    locks.ReleaseLock(1);
  });
  EXPECT_TRUE(otherIndex.ends()) << "index 1 waited for index 2";
  locks.ReleaseLock(2);
  EXPECT_FALSE(othersGet(locks, 2)) << "released too early";
  locks.ReleaseLock(2);
  EXPECT_TRUE(othersGet(locks, 2));
}

// Copies share the array: a lock held through one copy is held for the
// others, and the array outlives the object it was copied from.
TEST(ThreadLock, CopiesShareTheLocks) {
  auto* original = new CThreadLock(3);
  CThreadLock copy(*original);
  CThreadLock assigned(1);
  assigned = *original;
  CThreadLock& same = assigned;
  assigned = same;
  original->ObtainLock(0);
  EXPECT_FALSE(othersGet(copy, 0));
  EXPECT_FALSE(othersGet(assigned, 0));
  original->ReleaseLock(0);
  delete original;
  EXPECT_EQ(copy.GetLocksSize(), 3u);
  EXPECT_EQ(assigned.GetLocksSize(), 3u);
  copy.ObtainLock(2);
  EXPECT_FALSE(othersGet(assigned, 2));
  copy.ReleaseLock(2);
  EXPECT_TRUE(othersGet(assigned, 2));
}

// Threads that update counters under the lock of each counter's index lose
// no update.
TEST(ThreadLock, EachIndexGuardsItsOwnCounter) {
  constexpr int kThreads = 4, kRounds = 20000, kCounters = 3;
  CThreadLock* locks = nullptr;
  ASSERT_EQ(threadLock_create(&locks, kCounters), TSK_OK);
  std::vector<long long> counters(kCounters, 0);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < kRounds; ++i) {
          const uint32_t id = static_cast<uint32_t>((i + t) % kCounters);
          threadLock_lock(locks, id);
          ++counters[id];
          threadLock_unlock(locks, id);
        }
      });
    }
  }
  EXPECT_EQ(counters[0] + counters[1] + counters[2], kThreads * kRounds);
  threadLock_destroy(&locks);
}

} // namespace
