// MutexLock and InterProcessLock against real other processes
// (lock_test_helper): what the two share, tested on both, and where they
// differ, side by side through each kind's traits.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "allocation_failure.h"
#include "background.h"
#include "lock_process.h"
#include "platform.h"
#include "tskbase/interprocess_lock.h"
#include "tskbase/mutex_lock.h"

namespace {

using namespace tsk::test;

// Whether another thread of this process gets `lock` (and gives it back).
template <typename Lock>
bool otherThreadGets(Lock& lock) {
  bool got = false;
  EXPECT_TRUE(Background([&] {
                got = lock.TryLock();
                if (got) {
                  lock.ReleaseLock();
                }
              }).ends());
  return got;
}

// The fixture over both classes; where they differ, kMutex tells which.
template <typename Lock>
class CrossProcessLock : public ::testing::Test {
protected:
  static constexpr bool kMutex = std::is_same_v<Lock, MutexLock>;

  static std::unique_ptr<Lock> make(const std::string& name,
                                    _SECURITY_ATTRIBUTES* security = nullptr) {
    if constexpr (kMutex) {
      return std::make_unique<Lock>(wide(name).c_str(), security);
    } else {
      return std::make_unique<Lock>(wide(name).c_str(), security, 4000);
    }
  }

  static std::unique_ptr<LockProcess> processWith(const std::string& name) {
    auto process = std::make_unique<LockProcess>();
    EXPECT_EQ(process->ask(kMutex ? "mutex " + name : "iplock " + name + " 4000"), "ok");
    return process;
  }

  static std::vector<std::string> kernelObjects(const std::string& name) {
    if (kMutex) {
      return {"Mutex_" + name};
    }
    return {"IPLock_Event_" + name, "IPLock_MMF_" + name};
  }
};

using LockClasses = ::testing::Types<MutexLock, InterProcessLock>;
TYPED_TEST_SUITE(CrossProcessLock, LockClasses);

// Eight processes add 1 to a counter kept in a file, many times each, under
// the lock: not one update is lost. Half of them name the lock with a name
// of 300 characters, the others with the part that is kept of it (the rest
// is cut) and a different tail: one lock all the same.
TYPED_TEST(CrossProcessLock, EightProcessesLoseNoUpdateOfASharedCounter) {
  constexpr int kProcesses = 8;
  constexpr long kRounds = kWindows ? 1000 : 10000; // locks are slower under Wine
  ScratchDirectory scratch;
  const std::filesystem::path counter = scratch / "counter";
  std::ofstream(counter, std::ios::binary).write("\0\0\0\0\0\0\0\0", 8);

  std::string name = uniqueLockName("counter");
  name += std::string(300 - name.size(), 'n');
  const size_t kept = this->kMutex ? 253 : 242; // "Mutex_" and 253 are 259
  std::vector<std::unique_ptr<LockProcess>> processes;
  for (int i = 0; i < kProcesses; ++i) {
    processes.push_back(this->processWith(i % 2 ? name : name.substr(0, kept) + "tail"));
  }
  for (auto& process : processes) {
    process->writeLine("count " + std::to_string(kRounds) + " " + counter.string());
  }
  for (auto& process : processes) {
    EXPECT_EQ(process->readLine(), "counted");
  }
  uint64_t total = 0;
  std::ifstream(counter, std::ios::binary).read(reinterpret_cast<char*>(&total), sizeof total);
  EXPECT_EQ(total, uint64_t{kProcesses} * kRounds);
}

// A holder killed while holding: the named mutex passes to the waiting
// obtain and then to a try; the cross-process lock stays held while its
// record exists. Once the last object of the name is gone, no named object
// is left on the machine; when a killed process was the last user, they are
// gone at the latest once another process uses a named object.
TYPED_TEST(CrossProcessLock, HolderKilledWhileHoldingAndNothingLeftBehind) {
  auto expectObjects = [](const std::string& name, bool exist) {
    for (const std::string& object : TestFixture::kernelObjects(name)) {
      EXPECT_EQ(kernelObjectExists(object), exist) << object;
    }
  };
  const std::string name = uniqueLockName("killed");
  auto lock = this->make(name);
  auto holder = this->processWith(name);
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  std::atomic<bool> obtained{false};
  std::unique_ptr<Background> waiter;
  if (this->kMutex) {
    waiter = std::make_unique<Background>([&] {
      lock->ObtainLock();
      obtained = true;
      lock->ReleaseLock();
    });
    EXPECT_TRUE(waiter->blocked());
  }
  holder->kill();
  EXPECT_TRUE(waiter == nullptr || (waiter->ends() && obtained));
  EXPECT_EQ(otherThreadGets(*lock), this->kMutex);
  expectObjects(name, true);
  lock.reset();
  expectObjects(name, false);

  const std::string alone = uniqueLockName("killed-alone");
  holder = this->processWith(alone);
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  holder->kill();
  holder = this->processWith(uniqueLockName("another"));
  expectObjects(alone, false);
  EXPECT_TRUE(otherThreadGets(*this->make(alone))) << "a fresh lock";
}

// Without security attributes of its own (memory ran out), the named mutex
// makes no mutex and excludes nothing; the cross-process lock goes on with
// the system's default security. Nothing is leaked either way.
TYPED_TEST(CrossProcessLock, WithoutItsOwnSecurityAttributes) {
  const std::string name = uniqueLockName("security");
  const int64_t allocations = countAllocations([&] { this->make(name); });
  ASSERT_GT(allocations, 0);
  for (int64_t n = 1; n <= allocations; ++n) {
    FailNthAllocation failing(n);
    auto lock = this->make(name);
    lock->ObtainLock(); // returns at once when there is no lock
    EXPECT_EQ(otherThreadGets(*this->make(name)), this->kMutex);
    lock->ReleaseLock();
    lock.reset();
    EXPECT_EQ(failing.leaked(), 0) << "allocation " << n;
  }
}

// Without a name: unnamed mutexes belong to their objects, copied or
// assigned (through handles of their own, closed apart), while a
// cross-process lock has no record and excludes nothing.
TEST(CrossProcessLockWithoutName, MutexesArePrivateAndLocksAbsent) {
  MutexLock first, second(nullptr), assigned;
  assigned = MutexLock(first);
  MutexLock& same = assigned;
  assigned = same;
  first.ObtainLock();
  EXPECT_TRUE(otherThreadGets(second));
  EXPECT_FALSE(otherThreadGets(assigned));
  EXPECT_TRUE(assigned.TryLock()) << "recursive through either";
  first.ReleaseLock();
  EXPECT_FALSE(otherThreadGets(first)) << "one level is still held";
  assigned.ReleaseLock();
  EXPECT_TRUE(otherThreadGets(first));
  InterProcessLock none(nullptr, nullptr, 10), noneCopy(none);
  none.ObtainLock();
  EXPECT_FALSE(none.TryLock() || noneCopy.TryLock());
  none.ReleaseLock();
}

} // namespace
