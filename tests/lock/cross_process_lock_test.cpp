// MutexLock and InterProcessLock against other processes (lock_test_helper):
// one typed suite, where the two differ told apart by kMutex.
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

template <typename Lock>
class CrossProcessLock : public ::testing::Test {
protected:
  static constexpr bool kMutex = std::is_same_v<Lock, MutexLock>;

  static std::unique_ptr<Lock> make(const std::string& name) {
    if constexpr (kMutex) {
      return std::make_unique<Lock>(wide(name).c_str(), nullptr);
    } else {
      return std::make_unique<Lock>(wide(name).c_str(), nullptr, 4000);
    }
  }
  static std::unique_ptr<LockProcess> processWith(const std::string& name) {
    auto process = std::make_unique<LockProcess>();
    EXPECT_EQ(process->ask(kMutex ? "mutex " + name : "iplock " + name + " 4000"), "ok");
    return process;
  }
  static void expectObjects(const std::string& name, bool exist) {
    const std::vector<std::string> objects =
        kMutex ? std::vector<std::string>{"Mutex_" + name}
               : std::vector<std::string>{"IPLock_Event_" + name, "IPLock_MMF_" + name};
    for (const std::string& object : objects) {
      EXPECT_EQ(kernelObjectExists(object), exist) << object;
    }
  }
};

using LockClasses = ::testing::Types<MutexLock, InterProcessLock>;
TYPED_TEST_SUITE(CrossProcessLock, LockClasses);

// No update is lost; names of 300 characters that share the kept part are
// one lock.
TYPED_TEST(CrossProcessLock, EightProcessesLoseNoUpdateOfASharedCounter) {
  constexpr int kProcesses = 8;
  // Fewer rounds where locks are slower: under Wine and ThreadSanitizer.
  constexpr long kRounds = kWindows || kThreadSanitizer ? 1000 : 10000;
  ScratchDirectory scratch;
  const std::filesystem::path counter = scratch / "counter";
  std::ofstream(counter, std::ios::binary).write("\0\0\0\0\0\0\0\0", 8);
  std::string name = uniqueLockName("counter");
  name += std::string(300 - name.size(), 'n');
  const size_t kept = this->kMutex ? 253 : 242; // "Mutex_" and 253 are 259
  std::vector<std::unique_ptr<LockProcess>> processes;
  for (int i = 0; i < kProcesses; ++i) {
    processes.push_back(this->processWith(i % 2 ? name : name.substr(0, kept) + "tail"));
    processes.back()->writeLine("count " + std::to_string(kRounds) + " " + counter.string());
  }
  for (auto& process : processes) {
    EXPECT_EQ(process->readLine(), "counted");
  }
  uint64_t total = 0;
  std::ifstream(counter, std::ios::binary).read(reinterpret_cast<char*>(&total), sizeof total);
  EXPECT_EQ(total, uint64_t{kProcesses} * kRounds);
}

// The named mutex passes to a waiter, the cross-process lock stays held while
// its record exists; the named objects go with the last user, even a killed one.
TYPED_TEST(CrossProcessLock, HolderKilledWhileHoldingAndNothingLeftBehind) {
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
  this->expectObjects(name, true);
  lock.reset();
  this->expectObjects(name, false);

  const std::string alone = uniqueLockName("killed-alone");
  holder = this->processWith(alone);
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  holder->kill();
  holder = this->processWith(uniqueLockName("another"));
  this->expectObjects(alone, false);
  EXPECT_TRUE(otherThreadGets(*this->make(alone))) << "a fresh lock";

  const std::string tried = uniqueLockName("killed-try");
  auto triedLock = this->make(tried);
  holder = this->processWith(tried);
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  holder->kill();
  EXPECT_EQ(otherThreadGets(*triedLock), this->kMutex) << "a try takes an abandoned mutex";
}

// Without memory for its security attributes the named mutex excludes
// nothing, the cross-process lock uses the default; nothing leaks.
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

// Unnamed mutexes belong to their objects, copied or assigned through
// handles of their own; an unnamed cross-process lock excludes nothing.
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
