// InterProcessLock's shared record, read through its named shared memory as
// another process reads it, while objects of this process and a helper
// process (lock_test_helper) take, give up and destroy the lock.
#include "lock/interprocess_lock_record.h"
#include "lock/processors.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "tskbase/interprocess_lock.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <random>
#include <string>

#include "background.h"
#include "lock_process.h"

namespace {

using tsk::InterProcessLockRecord;
using namespace tsk::test;
namespace platform = tsk::platform;

// The record of the lock `name` through a handle and view of its own:
// spin count, lock count, owner thread, process and object, recursion count.
struct SharedRecord {
  explicit SharedRecord(const std::string& name)
      : memory(platform::createSharedMemory(wide("IPLock_MMF_" + name).c_str(), 32, nullptr),
               &platform::closeHandle),
        record(static_cast<InterProcessLockRecord*>(platform::mapSharedMemory(memory.get())),
               &platform::unmapSharedMemory) {}

  template <typename T>
  static uint64_t load(T& field) {
    return static_cast<uint64_t>(std::atomic_ref<T>(field).load());
  }
  std::array<uint64_t, 6> read() const {
    InterProcessLockRecord& r = *record;
    return {load(r.spinCount),      load(r.lockCount), load(r.ownerThreadId),
            load(r.ownerProcessId), load(r.ownerLock), load(r.recursionCount)};
  }

  std::unique_ptr<void, bool (*)(platform::Handle)> memory;
  std::unique_ptr<InterProcessLockRecord, bool (*)(void*)> record;
};

std::unique_ptr<InterProcessLock> makeLock(const std::string& name, uint32_t spin) {
  return std::make_unique<InterProcessLock>(wide(name).c_str(), nullptr, spin);
}

// Who holds the lock, through which object, with how many levels.
struct Model {
  enum Holder { kNobody, kThisThread, kOtherProcess } holder = kNobody;
  const InterProcessLock* through = nullptr;
  uint64_t levels = 0;

  void take(Holder who, const InterProcessLock* object) {
    levels = holder == who ? levels + 1 : 1;
    through = holder == who ? through : object;
    holder = who;
  }
  void release(Holder who) {
    if (holder == who && --levels == 0) {
      *this = Model{};
    }
  }
  void expect(const std::array<uint64_t, 6>& record) const {
    EXPECT_EQ(record[0], 0u) << "the spin count";
    EXPECT_EQ(record[1], levels);
    EXPECT_EQ(record[5], levels);
    if (holder == kThisThread) {
      EXPECT_EQ(record[2], platform::currentThreadId());
      EXPECT_EQ(record[3], platform::currentProcessId());
      EXPECT_EQ(record[4], reinterpret_cast<uintptr_t>(through));
    } else {
      EXPECT_EQ(record[2] != 0 && record[3] != 0 && record[4] != 0, holder == kOtherProcess);
      EXPECT_NE(record[3], platform::currentProcessId());
    }
  }
};

// This thread (two objects, short-lived copies), an idle thread and another
// process act at random: the record follows the model after every step.
TEST(InterProcessLockRecord, FollowsAModelOfHoldersAndLevels) {
  const std::string name = uniqueLockName("model");
  const SharedRecord shared(name);
  std::unique_ptr<InterProcessLock> mine[2] = {makeLock(name, 0), makeLock(name, 0)};
  LockProcess other;
  ASSERT_EQ(other.ask("iplock " + name + " 0"), "ok");
  Model model;
  std::mt19937 random(20261206);
  for (int step = 0; step < 300; ++step) {
    const unsigned operation = random() % 7;
    InterProcessLock& lock = *mine[random() % 2];
    const bool free = model.holder != Model::kOtherProcess;
    if (operation == 0 && free) {
      lock.ObtainLock();
      model.take(Model::kThisThread, &lock);
    } else if (operation <= 1) {
      EXPECT_EQ(lock.TryLock(), free);
      if (free) {
        model.take(Model::kThisThread, &lock);
      }
    } else if (operation == 2) {
      lock.ReleaseLock();
      model.release(Model::kThisThread);
    } else if (operation == 3) {
      EXPECT_TRUE(Background([&] { lock.ReleaseLock(); }).ends());
      InterProcessLock copy(lock);
      EXPECT_EQ(copy.TryLock(), free); // only a level of this thread's outlives the copy
      if (model.holder == Model::kThisThread) {
        model.take(Model::kThisThread, &copy);
      }
    } else if (operation == 4) {
      EXPECT_EQ(other.ask("try"), model.holder != Model::kThisThread ? "true" : "false");
      if (model.holder != Model::kThisThread) {
        model.take(Model::kOtherProcess, nullptr);
      }
    } else if (operation == 5) {
      EXPECT_EQ(other.ask("release"), "released");
      model.release(Model::kOtherProcess);
    } else {
      const bool mineGoes = random() % 2 == 0;
      if (mineGoes ? model.through == &lock : model.holder == Model::kOtherProcess) {
        model = Model{};
      }
      if (mineGoes) {
        for (auto& object : mine) {
          object = object.get() == &lock ? makeLock(name, 0) : std::move(object);
        }
      } else {
        EXPECT_EQ(other.ask("destroy"), "destroyed");
        EXPECT_EQ(other.ask("iplock " + name + " 0"), "ok");
      }
    }
    model.expect(shared.read());
    if (::testing::Test::HasFailure()) {
      FAIL() << "at step " << step << ", operation " << operation;
    }
  }
}

// A holder with two levels is destroyed while a thread waits: the waiter
// wakes and holds the lock with one level.
TEST(InterProcessLockRecord, ADestroyedHolderHandsTheLockToAWaiter) {
  const std::string name = uniqueLockName("destroyed");
  LockProcess holder;
  ASSERT_EQ(holder.ask("iplock " + name + " 0"), "ok");
  ASSERT_EQ(holder.ask("obtain"), "obtained");
  ASSERT_EQ(holder.ask("obtain"), "obtained");
  auto lock = makeLock(name, 0);
  const SharedRecord shared(name);
  Background waiter([&] {
    lock->ObtainLock();
    Model{Model::kThisThread, lock.get(), 1}.expect(shared.read());
    lock->ReleaseLock();
  });
  ASSERT_TRUE(waiter.blocked());
  EXPECT_EQ(shared.read()[1], 3u);
  EXPECT_EQ(holder.ask("destroy"), "destroyed");
  EXPECT_TRUE(waiter.ends());
}

// Every new object stores its spin count and SetSpinCount changes it for
// all, except with one processor, where nothing is stored.
TEST(InterProcessLockRecord, TheSpinCountIsSharedUnlessThereIsOneProcessor) {
  const std::string name = uniqueLockName("spin");
  const SharedRecord shared(name);
  tsk::testing::pretendSingleProcessor(true);
  auto single = makeLock(name, 77);
  tsk::testing::pretendSingleProcessor(false);
  single->SetSpinCount(1000);
  EXPECT_EQ(shared.read()[0], 0u);
  auto many = makeLock(name, 5);
  EXPECT_EQ(shared.read()[0], 5u);
  many->SetSpinCount(9);
  single->SetSpinCount(1000);
  EXPECT_EQ(shared.read()[0], 9u);
}

} // namespace
