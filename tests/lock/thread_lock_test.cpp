// CThreadLock and the threadLock_ functions through the exported interface.
// Under Wine the exceptions cross from the DLL into this program.
#include "tskbase/thread_lock.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "allocation_failure.h"
#include "background.h"

namespace {

// "ok", "fail" (TSK_FAIL), the out_of_range message or another exception's.
std::string outcome(const std::function<tsk_status()>& call) {
  try {
    return call() == TSK_OK ? "ok" : "fail";
  } catch (const std::out_of_range& error) {
    return error.what();
  } catch (const std::exception& error) {
    return std::string("other: ") + error.what();
  }
}

// Whether another thread gets lock `id` with TryLock (and lets it go).
bool othersGet(CThreadLock& locks, uint32_t id) {
  int32_t got = -1;
  tsk::test::Background([&] {
    if ((got = locks.TryLock(id)) == 1) {
      locks.ReleaseLock(id);
    }
  }).ends();
  return got == 1;
}

// The index is checked before any lock is touched; without memory creation
// stores and leaks nothing.
TEST(ThreadLock, IndexCheckHandlesAndCreation) {
  const std::tuple<uint32_t, uint32_t, const char*> cases[] = {
      {0, 0, "lockId"},          {4, 0, "ok"},      {4, 3, "ok"}, {4, 4, "lockId"},
      {4, 0xFFFFFFFF, "lockId"}, {1000, 999, "ok"},
  };
  for (const auto& [size, index, expected] : cases) {
    const uint32_t id = index; // clang 14 lambdas capture no structured binding
    CThreadLock* handle = nullptr;
    ASSERT_EQ(threadLock_create(&handle, size), TSK_OK);
    CThreadLock& locks = *handle;
    EXPECT_EQ(locks.GetLocksSize(), size);
    const std::vector<std::string> seen = {
        outcome([&] { return threadLock_lock(handle, id); }),
        outcome([&] { return threadLock_unlock(handle, id); }),
        outcome([&] { return locks.TryLock(id) == 1 ? TSK_OK : TSK_FAIL; }), outcome([&] {
          locks.ReleaseLock(id);
          locks.ObtainLock(id);
          locks.ReleaseLock(id);
          return TSK_OK;
        })};
    EXPECT_EQ(seen, std::vector<std::string>(4, expected)) << size << " " << id;
    EXPECT_TRUE(id >= size || othersGet(locks, id)) << "every level was released";
    EXPECT_EQ(threadLock_destroy(&handle), TSK_OK);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(threadLock_destroy(&handle), TSK_FAIL);
  }
  EXPECT_EQ(std::vector<tsk_status>({threadLock_create(nullptr, 4), threadLock_lock(nullptr, 0),
                                     threadLock_unlock(nullptr, 0), threadLock_destroy(nullptr)}),
            std::vector<tsk_status>(4, TSK_FAIL));

  tsk::test::FailNthAllocation failing(1);
  EXPECT_THROW(CThreadLock(8), std::bad_alloc);
  tsk::testing::failNthAllocation(1);
  auto* untouched = reinterpret_cast<CThreadLock*>(0x1234);
  EXPECT_EQ(threadLock_create(&untouched, 8), TSK_FAIL);
  EXPECT_EQ(untouched, reinterpret_cast<CThreadLock*>(0x1234));
  EXPECT_EQ(failing.leaked(), 0);
}

// Holds are recursive (TryLock gives 1 to the holder), other indices never
// wait for them, and copies share the array, which the last owner frees.
TEST(ThreadLock, RecursiveHoldsSharedByCopies) {
  tsk::test::FailNthAllocation counting(0);
  {
    auto* original = new CThreadLock(4);
    CThreadLock copy(*original), assigned(1);
    assigned = *original;
    CThreadLock& same = assigned;
    assigned = same;
    original->ObtainLock(2);
    EXPECT_EQ(original->TryLock(2), 1);
    EXPECT_FALSE(othersGet(copy, 2));
    EXPECT_TRUE(othersGet(assigned, 1)) << "index 1 waited for index 2";
    original->ReleaseLock(2);
    EXPECT_FALSE(othersGet(assigned, 2)) << "released too early";
    original->ReleaseLock(2);
    delete original;
    EXPECT_EQ(assigned.GetLocksSize(), 4u);
    copy.ObtainLock(3);
    EXPECT_FALSE(othersGet(assigned, 3));
    copy.ReleaseLock(3);
    EXPECT_TRUE(othersGet(assigned, 3));
  }
  EXPECT_EQ(counting.leaked(), 0);
}

// Threads updating counters under each counter's lock lose no update.
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
