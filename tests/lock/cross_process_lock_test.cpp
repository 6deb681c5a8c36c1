// MutexLock and InterProcessLock: what the two cross-process locks share,
// tested on both, against real other processes (lock_test_helper), and where
// they differ, side by side.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "allocation_failure.h"
#include "background.h"
#include "lock_process.h"
#include "platform.h"
#include "tskbase/interprocess_lock.h"
#include "tskbase/mutex_lock.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using namespace tsk::test;

struct MutexLockKind {
  using Lock = MutexLock;
  static std::unique_ptr<Lock> make(const std::string& name, _SECURITY_ATTRIBUTES* security) {
    return std::make_unique<Lock>(wide(name).c_str(), security);
  }
  static std::string helperCommand(const std::string& name) { return "mutex " + name; }
  static std::vector<std::string> kernelObjects(const std::string& name) {
    return {"Mutex_" + name};
  }
  // Whether the lock works when it cannot build its own security attributes.
  static constexpr bool kWorksWithoutOwnSecurity = false;
  // Whether a holder that was killed still holds the lock for the others.
  static constexpr bool kKilledHolderKeepsIt = false;
};

struct InterProcessLockKind {
  using Lock = InterProcessLock;
  static std::unique_ptr<Lock> make(const std::string& name, _SECURITY_ATTRIBUTES* security) {
    return std::make_unique<Lock>(wide(name).c_str(), security, 4000);
  }
  static std::string helperCommand(const std::string& name) { return "iplock " + name + " 4000"; }
  static std::vector<std::string> kernelObjects(const std::string& name) {
    return {"IPLock_Event_" + name, "IPLock_MMF_" + name};
  }
  static constexpr bool kWorksWithoutOwnSecurity = true;
  static constexpr bool kKilledHolderKeepsIt = true;
};

template <typename Kind>
class CrossProcessLock : public ::testing::Test {
protected:
  using Lock = typename Kind::Lock;

  static std::unique_ptr<Lock> make(const std::string& name) { return Kind::make(name, nullptr); }

  // A helper process with a lock of `name`.
  static std::unique_ptr<LockProcess> processWith(const std::string& name) {
    auto process = std::make_unique<LockProcess>();
    EXPECT_EQ(process->ask(Kind::helperCommand(name)), "ok");
    return process;
  }

  // Whether a thread of this process that does not hold `lock` gets it
  // (and gives it back).
  static bool otherThreadGets(Lock& lock) {
    bool got = false;
    EXPECT_TRUE(Background([&] {
                  got = lock.TryLock();
                  if (got) {
                    lock.ReleaseLock();
                  }
                }).ends());
    return got;
  }
};

class KindNames {
public:
  template <typename Kind>
  static std::string GetName(int) {
    return std::is_same_v<Kind, MutexLockKind> ? "MutexLock" : "InterProcessLock";
  }
};

using Kinds = ::testing::Types<MutexLockKind, InterProcessLockKind>;
TYPED_TEST_SUITE(CrossProcessLock, Kinds, KindNames);

// The holding thread obtains again, and releases level by level; another
// thread gets the lock only after the last level, and its release of a lock
// it does not hold changes nothing.
TYPED_TEST(CrossProcessLock, IsRecursiveForTheHoldingThreadOnly) {
  auto lock = this->make(uniqueLockName("recursive"));
  lock->ObtainLock();
  EXPECT_TRUE(lock->TryLock());
  EXPECT_FALSE(this->otherThreadGets(*lock));
  Background([&] { lock->ReleaseLock(); }).ends();
  EXPECT_FALSE(this->otherThreadGets(*lock)) << "a stranger's release is ignored";
  lock->ReleaseLock();
  EXPECT_FALSE(this->otherThreadGets(*lock)) << "one level is still held";
  lock->ReleaseLock();
  EXPECT_TRUE(this->otherThreadGets(*lock));
}

// Objects of one name in two processes are one lock: a try fails at once
// while the other process holds it, and an obtain waits for its release.
TYPED_TEST(CrossProcessLock, ExcludesAnotherProcessOfTheSameName) {
  const std::string name = uniqueLockName("exclude");
  auto other = this->processWith(name);
  ASSERT_EQ(other->ask("obtain"), "obtained");
  auto lock = this->make(name);
  EXPECT_FALSE(lock->TryLock());

  std::atomic<bool> releaseSent{false};
  Background releaser([&] {
    std::this_thread::sleep_for(kSettle);
    releaseSent.store(true);
    EXPECT_EQ(other->ask("release"), "released");
  });
  lock->ObtainLock();
  EXPECT_TRUE(releaseSent.load()) << "the obtain waited for the other process";
  EXPECT_TRUE(releaser.ends());
  EXPECT_EQ(other->ask("try"), "false");
  lock->ReleaseLock();
  EXPECT_EQ(other->ask("try"), "true");
  EXPECT_EQ(other->ask("release"), "released");
}

// Eight processes add 1 to a counter kept in a file, each many times, under
// the lock: not one update is lost.
TYPED_TEST(CrossProcessLock, EightProcessesLoseNoUpdateOfASharedCounter) {
  constexpr int kProcesses = 8;
  // Every lock operation is much slower under Wine and with a sanitizer.
  constexpr long kRounds = kWindows || kSanitized ? 1000 : 10000;
  ScratchDirectory scratch;
  const std::filesystem::path counter = scratch / "counter";
  std::ofstream(counter, std::ios::binary).write("\0\0\0\0\0\0\0\0", 8);

  const std::string name = uniqueLockName("counter");
  std::vector<std::unique_ptr<LockProcess>> processes;
  for (int i = 0; i < kProcesses; ++i) {
    processes.push_back(this->processWith(name));
  }
  for (auto& process : processes) {
    process->tell("count " + std::to_string(kRounds) + " " + counter.string());
  }
  for (auto& process : processes) {
    EXPECT_EQ(process->answer(), "counted");
  }
  uint64_t total = 0;
  std::ifstream(counter, std::ios::binary).read(reinterpret_cast<char*>(&total), sizeof total);
  EXPECT_EQ(total, uint64_t{kProcesses} * kRounds);
}

// A holder killed while it holds the lock: the named mutex passes to the
// next thread that tries; the cross-process lock stays held for as long as
// its record exists, that is, until every other object of the name is gone.
// A holder killed while it was the only user leaves a fresh lock.
TYPED_TEST(CrossProcessLock, HolderKilledWhileHolding) {
  const std::string name = uniqueLockName("killed");
  auto lock = this->make(name);
  auto holder = this->processWith(name);
  ASSERT_EQ(holder->ask("obtain"), "obtained");
  holder->kill();
  const bool keepsIt = TypeParam::kKilledHolderKeepsIt;
  EXPECT_EQ(lock->TryLock(), !keepsIt);
  if (!keepsIt) {
    lock->ReleaseLock();
  }
  lock.reset();
  lock = this->make(name);
  EXPECT_TRUE(lock->TryLock()) << "a fresh lock after the last object closed";
  lock->ReleaseLock();

  const std::string alone = uniqueLockName("killed-alone");
  auto onlyUser = this->processWith(alone);
  ASSERT_EQ(onlyUser->ask("obtain"), "obtained");
  onlyUser->kill();
  auto next = this->make(alone);
  EXPECT_TRUE(next->TryLock());
  next->ReleaseLock();
}

// No named object of the lock is left on the machine after the last object
// that uses the name is gone: several in this process, and one in a process
// that was killed. When the killed process was the last user, its objects
// are gone at the latest once another process uses a named object.
TYPED_TEST(CrossProcessLock, LeavesNoNamedObjectBehind) {
  auto expectObjects = [](const std::string& name, bool exist) {
    for (const std::string& object : TypeParam::kernelObjects(name)) {
      EXPECT_EQ(kernelObjectExists(object), exist) << object;
    }
  };
  const std::string name = uniqueLockName("cleanup");
  {
    auto first = this->make(name);
    auto second = this->make(name);
    auto killed = this->processWith(name);
    ASSERT_EQ(killed->ask("obtain"), "obtained");
    killed->kill();
    expectObjects(name, true);
  }
  expectObjects(name, false);

  const std::string lastKilled = uniqueLockName("last-killed");
  auto killed = this->processWith(lastKilled);
  ASSERT_EQ(killed->ask("obtain"), "obtained");
  killed->kill();
  auto another = this->processWith(uniqueLockName("another"));
  expectObjects(lastKilled, false);
}

// A copy and an assigned object are the same lock through handles of their
// own: they exclude the original, and closing them leaves the original
// working.
TYPED_TEST(CrossProcessLock, CopiesShareTheLockAndCloseApart) {
  const std::string name = uniqueLockName("copy");
  auto original = this->make(name);
  {
    typename TypeParam::Lock copy(*original);
    auto assigned = this->make(uniqueLockName("another"));
    *assigned = *original;
    copy.ObtainLock();
    EXPECT_FALSE(this->otherThreadGets(*original));
    EXPECT_FALSE(this->otherThreadGets(*assigned));
    copy.ReleaseLock();
    EXPECT_TRUE(this->otherThreadGets(*assigned));
    *assigned = *assigned;
    EXPECT_TRUE(assigned->TryLock()) << "assigned to itself, still the same lock";
    EXPECT_FALSE(this->otherThreadGets(copy));
    assigned->ReleaseLock();
  }
  auto other = this->processWith(name);
  original->ObtainLock();
  EXPECT_EQ(other->ask("try"), "false");
  original->ReleaseLock();
  EXPECT_EQ(other->ask("try"), "true");
}

// Without security attributes of its own (memory ran out), the named mutex
// makes no mutex and excludes nothing; the cross-process lock goes on with
// the system's default security. Either way nothing is leaked.
TYPED_TEST(CrossProcessLock, WithoutItsOwnSecurityAttributes) {
  const std::string name = uniqueLockName("security");
  const int64_t allocations = countAllocations([&] { this->make(name); });
  ASSERT_GT(allocations, 0);
  for (int64_t n = 1; n <= allocations; ++n) {
    FailNthAllocation failing(n);
    auto lock = this->make(name);
    if (TypeParam::kWorksWithoutOwnSecurity) {
      lock->ObtainLock();
      EXPECT_FALSE(this->otherThreadGets(*lock));
    } else {
      lock->ObtainLock(); // returns at once: there is nothing to wait for
      EXPECT_FALSE(lock->TryLock());
      auto working = this->make(name);
      EXPECT_TRUE(this->otherThreadGets(*working)) << "no mutex of this name is held";
    }
    lock->ReleaseLock();
    lock.reset();
    EXPECT_EQ(failing.leaked(), 0) << "allocation " << n;
  }
}

// Security attributes that the caller gives are used as they are: the
// object builds none of its own. (Outside Windows they are ignored.)
TYPED_TEST(CrossProcessLock, UsesTheCallersSecurityAttributes) {
#if defined(_WIN32)
  SECURITY_ATTRIBUTES given{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  _SECURITY_ATTRIBUTES* security = &given;
#else
  alignas(8) unsigned char stranger[32] = {};
  auto* security = reinterpret_cast<_SECURITY_ATTRIBUTES*>(stranger);
#endif
  const std::string name = uniqueLockName("given");
  EXPECT_EQ(countAllocations([&] { TypeParam::make(name, security); }), 0);
  auto lock = TypeParam::make(name, security);
  auto other = this->processWith(name);
  lock->ObtainLock();
  EXPECT_EQ(other->ask("try"), "false");
  lock->ReleaseLock();
}

} // namespace
