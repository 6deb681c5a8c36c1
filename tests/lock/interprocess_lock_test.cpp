// InterProcessLock's shared record, read through its named shared memory as
// another process reads it, while objects of this process and helper
// processes (lock_test_helper) take, give up and destroy the lock.
#include "lock/interprocess_lock_record.h"
#include "lock/processors.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "tskbase/interprocess_lock.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "background.h"
#include "lock_process.h"

namespace {

using tsk::InterProcessLockRecord;
using namespace tsk::test;
namespace platform = tsk::platform;

// The fields of a record in their order: spin count, lock count, owner
// thread, owner process, owner object, recursion count, reserved.
using Fields = std::array<uint64_t, 7>;

template <typename T>
uint64_t load(T& field) {
  return static_cast<uint64_t>(std::atomic_ref<T>(field).load());
}

// The record of the lock `name`, seen through its own handle and view.
class SharedRecord {
public:
  explicit SharedRecord(const std::string& name)
      : memory_(platform::createSharedMemory(wide("IPLock_MMF_" + name).c_str(),
                                             sizeof(InterProcessLockRecord), nullptr)),
        record_(static_cast<InterProcessLockRecord*>(platform::mapSharedMemory(memory_))) {}
  ~SharedRecord() {
    platform::unmapSharedMemory(record_);
    platform::closeHandle(memory_);
  }
  SharedRecord(const SharedRecord&) = delete;
  SharedRecord& operator=(const SharedRecord&) = delete;

  Fields read() const {
    InterProcessLockRecord& r = *record_;
    return {load(r.spinCount),      load(r.lockCount), load(r.ownerThreadId),
            load(r.ownerProcessId), load(r.ownerLock), load(r.recursionCount),
            load(r.reserved)};
  }

private:
  platform::Handle memory_;
  InterProcessLockRecord* record_;
};

// The record of a lock that the calling thread holds through `lock` with
// `levels` levels while `waiters` threads wait.
Fields heldThrough(const InterProcessLock& lock, uint32_t spin, int levels, int waiters = 0) {
  return {spin,
          static_cast<uint64_t>(levels + waiters),
          platform::currentThreadId(),
          platform::currentProcessId(),
          reinterpret_cast<uintptr_t>(&lock),
          static_cast<uint64_t>(levels),
          0};
}

Fields freeRecord(uint32_t spin) { return {spin, 0, 0, 0, 0, 0, 0}; }

std::unique_ptr<InterProcessLock> makeLock(const std::string& name, uint32_t spin) {
  return std::make_unique<InterProcessLock>(wide(name).c_str(), nullptr, spin);
}

std::unique_ptr<LockProcess> processWith(const std::string& name) {
  auto process = std::make_unique<LockProcess>();
  EXPECT_EQ(process->ask("iplock " + name + " 0"), "ok");
  return process;
}

// Levels taken through any object of the name by the holding thread are
// counted, and all must be released before another process gets the lock;
// the last release leaves a free record with the spin count kept.
TEST(InterProcessLockRecord, LevelsThroughEveryObjectOfTheName) {
  const std::string name = uniqueLockName("levels");
  auto first = makeLock(name, 7);
  auto second = makeLock(name, 7);
  const SharedRecord shared(name);
  auto other = processWith(name);
  EXPECT_EQ(shared.read(), freeRecord(0)) << "the helper stored its spin count";
  first->ObtainLock();
  first->ObtainLock();
  EXPECT_TRUE(second->TryLock());
  EXPECT_EQ(shared.read(), heldThrough(*first, 0, 3));
  for (int left = 2; left >= 0; --left) {
    EXPECT_EQ(other->ask("try"), "false");
    (left % 2 ? first : second)->ReleaseLock();
    EXPECT_EQ(shared.read(), left > 0 ? heldThrough(*first, 0, left) : freeRecord(0));
  }
  EXPECT_EQ(other->ask("try"), "true");
  EXPECT_EQ(other->ask("release"), "released");
}

// While another process holds the lock: a try without spinning fails and
// changes nothing, and neither do releases by threads that do not hold it.
TEST(InterProcessLockRecord, StrangersChangeNothing) {
  const std::string name = uniqueLockName("stranger");
  auto other = processWith(name);
  ASSERT_EQ(other->ask("obtain"), "obtained");
  auto lock = makeLock(name, 0);
  const SharedRecord shared(name);
  const Fields held = shared.read();
  EXPECT_EQ(held[1], 1u);
  EXPECT_FALSE(lock->TryLock());
  lock->ReleaseLock();
  EXPECT_EQ(shared.read(), held);
  EXPECT_EQ(other->ask("release"), "released");
  lock->ObtainLock();
  EXPECT_TRUE(Background([&] { lock->ReleaseLock(); }).ends());
  EXPECT_EQ(other->ask("release"), "released");
  EXPECT_EQ(shared.read(), heldThrough(*lock, 0, 1));
  lock->ReleaseLock();
}

// A holder whose object is destroyed: with two levels and one waiting
// thread, the waiter wakes and holds the lock with one level; without a
// waiter, the lock is free, the event is not signalled, and the next try
// from another process succeeds at its one attempt.
TEST(InterProcessLockRecord, ADestroyedHolderFreesTheLock) {
  const std::string name = uniqueLockName("destroyed");
  auto holder = processWith(name);
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  auto lock = makeLock(name, 0);
  const SharedRecord shared(name);
  Fields seenByWaiter{}, expected{};
  Background waiter([&] {
    lock->ObtainLock();
    seenByWaiter = shared.read();
    expected = heldThrough(*lock, 0, 1);
    lock->ReleaseLock();
  });
  ASSERT_TRUE(waiter.blocked());
  EXPECT_EQ(shared.read()[1], 3u);
  EXPECT_EQ(holder->ask("destroy"), "destroyed");
  ASSERT_TRUE(waiter.ends());
  EXPECT_EQ(seenByWaiter, expected);

  ASSERT_EQ(holder->ask("iplock " + name + " 0"), "ok");
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  EXPECT_EQ(holder->ask("destroy"), "destroyed");
  EXPECT_EQ(shared.read(), freeRecord(0));
  const platform::Handle event =
      platform::createNamedEvent(wide("IPLock_Event_" + name).c_str(), false, false, nullptr);
  EXPECT_EQ(platform::waitForObject(event, 0), platform::WaitResult::kTimedOut);
  platform::closeHandle(event);
  auto next = processWith(name);
  EXPECT_EQ(next->ask("try"), "true");
}

// Every new object stores its spin count, and SetSpinCount changes it for
// all, except on a machine with one processor, where nothing is stored.
TEST(InterProcessLockRecord, TheSpinCountIsSharedUnlessThereIsOneProcessor) {
  const std::string name = uniqueLockName("spin");
  const SharedRecord shared(name);
  tsk::testing::pretendSingleProcessor(true);
  auto single = makeLock(name, 77);
  tsk::testing::pretendSingleProcessor(false);
  single->SetSpinCount(1000);
  EXPECT_EQ(shared.read()[0], 0u);
  EXPECT_TRUE(single->TryLock()) << "one attempt on a free lock";
  single->ReleaseLock();

  auto many = makeLock(name, 5);
  EXPECT_EQ(shared.read()[0], 5u);
  many->SetSpinCount(9);
  single->SetSpinCount(1000);
  EXPECT_EQ(shared.read()[0], 9u);
}

// A copy is another object of the name: its destructor releases what was
// taken through it, and only that.
TEST(InterProcessLockRecord, ACopyReleasesOnlyWhatWasTakenThroughIt) {
  const std::string name = uniqueLockName("copy");
  auto original = makeLock(name, 0);
  const SharedRecord shared(name);
  original->ObtainLock();
  InterProcessLock(*original).ObtainLock();
  EXPECT_EQ(shared.read(), heldThrough(*original, 0, 2)) << "taken through the original";
  original->ReleaseLock();
  original->ReleaseLock();
  {
    InterProcessLock copy(*original);
    copy.ObtainLock();
    copy.ObtainLock();
    EXPECT_EQ(shared.read(), heldThrough(copy, 0, 2));
  }
  EXPECT_EQ(shared.read(), freeRecord(0));
}

} // namespace
