// InterProcessLock's shared record, read through its named shared memory as
// another process reads it, while objects of this process and helper
// processes (lock_test_helper) take, give up and destroy the lock.
#include "lock/interprocess_lock_record.h"
#include "lock/processors.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "tskbase/interprocess_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "background.h"
#include "lock_process.h"

namespace tsk {

bool operator==(const InterProcessLockRecord& a, const InterProcessLockRecord& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void PrintTo(const InterProcessLockRecord& r, std::ostream* out) {
  *out << "{spin " << r.spinCount << ", count " << r.lockCount << ", thread " << r.ownerThreadId
       << ", process " << r.ownerProcessId << ", lock " << r.ownerLock << ", levels "
       << r.recursionCount << ", reserved " << r.reserved << "}";
}

} // namespace tsk

namespace {

using tsk::InterProcessLockRecord;
using namespace tsk::test;
namespace platform = tsk::platform;

// The record of the lock `name`, seen through its shared memory.
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

  InterProcessLockRecord read() const {
    InterProcessLockRecord copy;
    copy.spinCount = load(record_->spinCount);
    copy.lockCount = load(record_->lockCount);
    copy.ownerThreadId = load(record_->ownerThreadId);
    copy.ownerProcessId = load(record_->ownerProcessId);
    copy.ownerLock = load(record_->ownerLock);
    copy.recursionCount = load(record_->recursionCount);
    copy.reserved = load(record_->reserved);
    return copy;
  }

private:
  template <typename T>
  static T load(T& field) {
    return std::atomic_ref<T>(field).load();
  }

  platform::Handle memory_;
  InterProcessLockRecord* record_;
};

// The record of a lock that `lock`, taken by the calling thread, holds with
// `levels` levels and `waiters` waiting threads.
InterProcessLockRecord heldThrough(const InterProcessLock& lock, uint32_t spinCount, int32_t levels,
                                   int32_t waiters = 0) {
  return {spinCount,
          levels + waiters,
          platform::currentThreadId(),
          platform::currentProcessId(),
          reinterpret_cast<uintptr_t>(&lock),
          levels,
          0};
}

InterProcessLockRecord freeRecord(uint32_t spinCount, int32_t waiters = 0) {
  return {spinCount, waiters, 0, 0, 0, 0, 0};
}

std::unique_ptr<InterProcessLock> makeLock(const std::string& name, uint32_t spinCount) {
  return std::make_unique<InterProcessLock>(wide(name).c_str(), nullptr, spinCount);
}

std::unique_ptr<LockProcess> processWith(const std::string& name) {
  auto process = std::make_unique<LockProcess>();
  EXPECT_EQ(process->ask("iplock " + name + " 0"), "ok");
  return process;
}

// A thread that holds the lock through one object gets it again through a
// second object of the name, and must give up both levels before another
// process gets it.
TEST(InterProcessLockRecord, ASecondObjectOfTheNameAddsALevel) {
  const std::string name = uniqueLockName("second");
  auto first = makeLock(name, 0);
  auto second = makeLock(name, 0);
  const SharedRecord shared(name);
  auto other = processWith(name);
  first->ObtainLock();
  EXPECT_TRUE(second->TryLock());
  EXPECT_EQ(shared.read(), heldThrough(*first, 0, 2));
  first->ReleaseLock();
  EXPECT_EQ(other->ask("try"), "false");
  second->ReleaseLock();
  EXPECT_EQ(other->ask("try"), "true");
  EXPECT_EQ(other->ask("release"), "released");
}

// Three obtains and three releases leave a free record, the spin count kept.
TEST(InterProcessLockRecord, LevelsAreCountedAndAllReleased) {
  const std::string name = uniqueLockName("levels");
  auto lock = makeLock(name, 7);
  const SharedRecord shared(name);
  for (int32_t level = 1; level <= 3; ++level) {
    lock->ObtainLock();
    EXPECT_EQ(shared.read(), heldThrough(*lock, 7, level));
  }
  for (int32_t level = 2; level >= 0; --level) {
    lock->ReleaseLock();
    EXPECT_EQ(shared.read(), level > 0 ? heldThrough(*lock, 7, level) : freeRecord(7));
  }
}

// A release by a thread that does not hold the lock, of this process or of
// another, changes nothing.
TEST(InterProcessLockRecord, AStrangersReleaseChangesNothing) {
  const std::string name = uniqueLockName("stranger");
  auto lock = makeLock(name, 0);
  const SharedRecord shared(name);
  auto other = processWith(name);
  lock->ObtainLock();
  const InterProcessLockRecord held = shared.read();
  EXPECT_TRUE(Background([&] { lock->ReleaseLock(); }).ends());
  EXPECT_EQ(other->ask("release"), "released");
  EXPECT_EQ(shared.read(), held);
  lock->ReleaseLock();
  EXPECT_EQ(shared.read(), freeRecord(0));
}

// With spin count 0 a try on a lock held elsewhere fails at its one attempt
// and leaves the count alone.
TEST(InterProcessLockRecord, ATryWithoutSpinningFailsAtOnce) {
  const std::string name = uniqueLockName("nospin");
  auto other = processWith(name);
  ASSERT_EQ(other->ask("obtain"), "obtained");
  auto lock = makeLock(name, 0);
  const SharedRecord shared(name);
  const InterProcessLockRecord held = shared.read();
  EXPECT_EQ(held.lockCount, 1);
  EXPECT_FALSE(lock->TryLock());
  EXPECT_EQ(shared.read(), held);
}

// A holder with two levels whose object is destroyed hands the lock to the
// waiting thread, which holds it with one level.
TEST(InterProcessLockRecord, ADestroyedHolderHandsTheLockToAWaiter) {
  const std::string name = uniqueLockName("handover");
  auto holder = processWith(name);
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  auto lock = makeLock(name, 0);
  const SharedRecord shared(name);
  InterProcessLockRecord seenByWaiter{};
  InterProcessLockRecord expected{};
  Background waiter([&] {
    lock->ObtainLock();
    seenByWaiter = shared.read();
    expected = heldThrough(*lock, 0, 1);
    lock->ReleaseLock();
  });
  ASSERT_TRUE(waiter.blocked());
  EXPECT_EQ(shared.read().lockCount, 3);
  EXPECT_EQ(holder->ask("destroy"), "destroyed");
  ASSERT_TRUE(waiter.ends());
  EXPECT_EQ(seenByWaiter, expected);
  EXPECT_EQ(shared.read(), freeRecord(0));
}

// A holder without waiters whose object is destroyed leaves a free lock and
// no signal: the next try from another process succeeds at its one attempt.
TEST(InterProcessLockRecord, ADestroyedHolderWithoutWaitersFreesTheLock) {
  const std::string name = uniqueLockName("destroyed");
  auto lock = makeLock(name, 0); // keeps the record
  const SharedRecord shared(name);
  auto holder = processWith(name);
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  EXPECT_EQ(holder->ask("destroy"), "destroyed");
  EXPECT_EQ(shared.read(), freeRecord(0));
  const platform::Handle event =
      platform::createNamedEvent(wide("IPLock_Event_" + name).c_str(), false, false, nullptr);
  EXPECT_EQ(platform::waitForObject(event, 0), platform::WaitResult::kTimedOut);
  platform::closeHandle(event);
  auto next = processWith(name);
  EXPECT_EQ(next->ask("try"), "true");
  EXPECT_EQ(next->ask("release"), "released");
}

// Every new object stores its spin count, and SetSpinCount changes it for
// all, except on a machine with one processor, where nothing is stored.
TEST(InterProcessLockRecord, TheSpinCountIsSharedUnlessThereIsOneProcessor) {
  struct Pretending {
    explicit Pretending(bool one) { tsk::testing::pretendSingleProcessor(one); }
    ~Pretending() { tsk::testing::pretendSingleProcessor(false); }
  };
  const std::string name = uniqueLockName("spin");
  const SharedRecord shared(name);
  auto single = [&] {
    Pretending one(true);
    return makeLock(name, 77);
  }();
  EXPECT_EQ(shared.read().spinCount, 0u);
  single->SetSpinCount(1000);
  EXPECT_EQ(shared.read().spinCount, 0u);
  EXPECT_TRUE(single->TryLock()) << "one attempt on a free lock";
  single->ReleaseLock();

  auto many = makeLock(name, 5);
  EXPECT_EQ(shared.read().spinCount, 5u);
  many->SetSpinCount(9);
  EXPECT_EQ(shared.read().spinCount, 9u);
  single->SetSpinCount(1000);
  EXPECT_EQ(shared.read().spinCount, 9u);
}

// Names are cut to 242 characters: names that agree that far are one lock.
TEST(InterProcessLockRecord, NamesAreCutAt242Characters) {
  std::string name = uniqueLockName("cut");
  name += std::string(300 - name.size(), 'c');
  const std::string kept = name.substr(0, 242);
  auto lock = makeLock(name, 0);
  const SharedRecord shared(kept);
  lock->ObtainLock();
  EXPECT_EQ(shared.read(), heldThrough(*lock, 0, 1));
  auto same = processWith(kept);
  EXPECT_EQ(same->ask("try"), "false");
  auto different = processWith(name.substr(0, 241) + "X");
  EXPECT_EQ(different->ask("try"), "true");
  lock->ReleaseLock();
}

// A copy is another object of the name: its destructor releases what was
// taken through it, and only that.
TEST(InterProcessLockRecord, ACopyReleasesOnlyWhatWasTakenThroughIt) {
  const std::string name = uniqueLockName("copy");
  auto original = makeLock(name, 0);
  const SharedRecord shared(name);
  original->ObtainLock();
  {
    InterProcessLock copy(*original);
    EXPECT_TRUE(copy.TryLock());
  }
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

// Without a name there is no record: the lock excludes nothing.
TEST(InterProcessLockRecord, WithoutANameThereIsNoLock) {
  InterProcessLock lock(nullptr, nullptr, 10);
  lock.ObtainLock();
  EXPECT_FALSE(lock.TryLock());
  lock.ReleaseLock();
  lock.SetSpinCount(3);
  InterProcessLock copy(lock);
  EXPECT_FALSE(copy.TryLock());
}

} // namespace
