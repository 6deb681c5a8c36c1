// RWLock and the rwlock_ functions through the exported interface.
#include "tskbase/rwlock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "allocation_failure.h"
#include "background.h"
#include "virtual_slot.h"

namespace {

using tsk::test::Background;

constexpr int32_t kWriter = 0;
constexpr int32_t kReader = 1;

// A lock made with rwlock_create and destroyed at the end of the scope.
struct Destroy {
  void operator()(RWLock* lock) const { rwlock_destroy(&lock); }
};
std::unique_ptr<RWLock, Destroy> made() {
  RWLock* lock = nullptr;
  EXPECT_EQ(rwlock_create(&lock), TSK_OK);
  return std::unique_ptr<RWLock, Destroy>(lock);
}

// Modes 0 and 1 only, no null handles; readers count claims, and a release
// with no reader inside fails.
TEST(RWLock, FlatFunctionsCheckHandlesModesAndCounts) {
  const auto lock = made();
  const auto claim = [&](int32_t mode) { return rwlock_claim(lock.get(), mode); };
  const auto release = [&](int32_t mode) { return rwlock_release(lock.get(), mode); };
  const std::vector<tsk_status> statuses = {rwlock_create(nullptr),
                                            rwlock_claim(nullptr, kReader),
                                            rwlock_release(nullptr, kReader),
                                            claim(2),
                                            claim(-1),
                                            release(2),
                                            release(kReader),
                                            rwlock_destroy(nullptr),
                                            claim(kReader),
                                            claim(kReader),
                                            release(kReader),
                                            release(kReader),
                                            release(kReader)};
  EXPECT_EQ(statuses, (std::vector<tsk_status>{TSK_FAIL, TSK_FAIL, TSK_FAIL, TSK_FAIL, TSK_FAIL,
                                               TSK_FAIL, TSK_FAIL, TSK_FAIL, TSK_OK, TSK_OK, TSK_OK,
                                               TSK_OK, TSK_FAIL}));
  EXPECT_TRUE(Background([&] {
                claim(kWriter);
                release(kWriter);
              }).ends());
  RWLock* handle = nullptr;
  ASSERT_EQ(rwlock_create(&handle), TSK_OK);
  EXPECT_EQ(rwlock_destroy(&handle), TSK_OK);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(rwlock_destroy(&handle), TSK_FAIL);
}

// Readers are preferred: they pass a waiting writer, and wait together for
// one inside.
TEST(RWLock, ReadersShareAndWritersAreAlone) {
  const auto lock = made();
  rwlock_claim(lock.get(), kReader);
  std::atomic<bool> writing{false};
  Background writer([&] {
    rwlock_claim(lock.get(), kWriter);
    writing = true;
    rwlock_release(lock.get(), kWriter);
  });
  EXPECT_TRUE(writer.blocked());
  Background([&] {
    rwlock_claim(lock.get(), kReader);
    EXPECT_FALSE(writing.load());
    rwlock_release(lock.get(), kReader);
  }).ends();
  EXPECT_TRUE(writer.blocked());
  EXPECT_EQ(rwlock_release(lock.get(), kReader), TSK_OK);
  EXPECT_TRUE(writer.ends() && writing);

  rwlock_claim(lock.get(), kWriter);
  std::atomic<int> inside{0};
  auto reader = [&] {
    rwlock_claim(lock.get(), kReader);
    ++inside;
    EXPECT_TRUE(tsk::test::eventually([&] { return inside.load() == 2; }));
    rwlock_release(lock.get(), kReader);
  };
  Background first(reader), second(reader);
  EXPECT_TRUE(first.blocked() && second.blocked());
  EXPECT_EQ(rwlock_release(lock.get(), kWriter), TSK_OK);
  EXPECT_TRUE(first.ends() && second.ends());
}

// Outside Initialize..Cleanup a claim returns at once and a release fails;
// without memory nothing is made or stored. Slots: destructor (two), then these.
TEST(RWLock, ClaimsNeedAnInitialisedLock) {
  RWLock lock;
  lock.Claim(kWriter);
  lock.Claim(kReader);
  EXPECT_EQ(lock.Release(kReader), 0x8000);
  EXPECT_EQ(lock.Release(kWriter), 0x8000);
  for (int round = 0; round < 2; ++round) { // initialised afresh after a cleanup
    ASSERT_EQ(lock.Initialize(), 0);
    lock.Claim(kReader);
    EXPECT_EQ(lock.Release(kReader), 0);
    lock.Claim(kWriter);
    EXPECT_EQ(lock.Release(kWriter), 0);
    lock.Cleanup();
    lock.Claim(kWriter);
    EXPECT_EQ(lock.Release(kWriter), 0x8000);
  }
  tsk::test::FailNthAllocation failing(1);
  RWLock starved;
  EXPECT_EQ(starved.Initialize(), 0x8000);
  EXPECT_EQ(starved.Release(kReader), 0x8000);
  tsk::testing::failNthAllocation(1);
  auto* untouched = reinterpret_cast<RWLock*>(0x1234);
  EXPECT_EQ(rwlock_create(&untouched), TSK_FAIL);
  EXPECT_EQ(untouched, reinterpret_cast<RWLock*>(0x1234));
  EXPECT_EQ(failing.leaked(), 0);
  using tsk::test::virtualSlot;
  EXPECT_EQ((std::vector<int>{virtualSlot(&RWLock::Initialize), virtualSlot(&RWLock::Claim),
                              virtualSlot(&RWLock::Release), virtualSlot(&RWLock::Cleanup)}),
            (std::vector<int>{2, 3, 4, 5}));
}

// Copies are one lock, closed once whichever copy cleans up or goes last.
TEST(RWLock, CopiesShareOneLock) {
  auto* original = new RWLock;
  ASSERT_EQ(original->Initialize(), 0);
  RWLock copy(*original);
  RWLock assigned;
  assigned = copy;
  RWLock& same = assigned;
  assigned = same;
  copy.Claim(kReader);
  Background writer([&] {
    original->Claim(kWriter);
    original->Release(kWriter);
  });
  EXPECT_TRUE(writer.blocked());
  EXPECT_EQ(assigned.Release(kReader), 0) << "the reader counts in every copy";
  EXPECT_TRUE(writer.ends());
  EXPECT_EQ(copy.Release(kReader), 0x8000);
  delete original;
  assigned.Claim(kWriter);
  EXPECT_EQ(copy.Release(kWriter), 0);
  copy.Cleanup();
  EXPECT_EQ(assigned.Release(kReader), 0x8000) << "closed for every copy";
}

// Readers leaving at the same moment once left their gate open while a
// writer held the lock.
TEST(RWLock, WritersAreAloneUnderStress) {
  constexpr int kReaders = 2, kWriters = 2, kRounds = 20000;
  const auto lock = made();
  std::atomic<int> readers{0}, writers{0}, writerEntries{0}, faults{0}, arrivals{0};
  std::atomic<bool> readersDone{false};
  {
    std::vector<std::jthread> writerThreads;
    for (int w = 0; w < kWriters; ++w) {
      writerThreads.emplace_back([&] {
        while (!readersDone.load()) {
          rwlock_claim(lock.get(), kWriter);
          faults += writers.fetch_add(1) != 0 || readers.load() != 0;
          ++writerEntries;
          std::this_thread::yield();
          faults += readers.load() != 0;
          writers.fetch_sub(1);
          rwlock_release(lock.get(), kWriter);
        }
      });
    }
    std::vector<std::jthread> readerThreads;
    for (int r = 0; r < kReaders; ++r) {
      readerThreads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
          rwlock_claim(lock.get(), kReader);
          readers.fetch_add(1);
          faults += writers.load() != 0;
          arrivals.fetch_add(1); // meet the other readers, leave at the same instant
          while (arrivals.load() < (i + 1) * kReaders) {
            std::this_thread::yield();
          }
          const int entries = writerEntries.load(); // no writer can enter now
          readers.fetch_sub(1);
          rwlock_release(lock.get(), kReader);
          while (writerEntries.load() == entries && !readersDone.load()) {
            std::this_thread::yield();
          }
        }
      });
    }
    readerThreads.clear();
    readersDone = true;
  }
  EXPECT_EQ(faults.load(), 0);
  EXPECT_EQ(rwlock_release(lock.get(), kReader), TSK_FAIL) << "no reader left inside";
}

} // namespace
