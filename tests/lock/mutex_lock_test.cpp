// What MutexLock does beyond what it shares with InterProcessLock (see
// cross_process_lock_test.cpp): unnamed mutexes, the cut of long names, and
// an obtain after the holder process was killed.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "background.h"
#include "lock_process.h"
#include "tskbase/mutex_lock.h"

namespace {

using namespace tsk::test;

// Whether a thread of this process that does not hold `lock` gets it (and
// gives it back).
bool otherThreadGets(MutexLock& lock) {
  bool got = false;
  EXPECT_TRUE(Background([&] {
                got = lock.TryLock();
                if (got) {
                  lock.ReleaseLock();
                }
              }).ends());
  return got;
}

// Unnamed mutexes belong to their objects: two exclude nothing of each
// other, while a copy is the same mutex.
TEST(MutexLock, UnnamedMutexesArePrivateToTheirObjects) {
  MutexLock first;
  MutexLock second(nullptr);
  MutexLock copy(first);
  first.ObtainLock();
  EXPECT_TRUE(otherThreadGets(second));
  EXPECT_FALSE(otherThreadGets(copy));
  first.ReleaseLock();
  EXPECT_TRUE(otherThreadGets(copy));
}

// The kernel-object name "Mutex_<name>" is cut to 259 characters, so names
// that agree in their first 253 characters are one mutex.
TEST(MutexLock, LongNamesAreCutTo253Characters) {
  std::string name = uniqueLockName("long");
  name += std::string(300 - name.size(), 'm');
  MutexLock lock(wide(name).c_str());
  lock.ObtainLock();
  LockProcess same;
  ASSERT_EQ(same.ask("mutex " + name.substr(0, 253) + "tail"), "ok");
  EXPECT_EQ(same.ask("try"), "false");
  LockProcess different;
  ASSERT_EQ(different.ask("mutex " + name.substr(0, 252) + "X"), "ok");
  EXPECT_EQ(different.ask("try"), "true");
  lock.ReleaseLock();
  EXPECT_EQ(same.ask("try"), "true");
}

// When the holder's process is killed, a waiting ObtainLock gets the mutex.
TEST(MutexLock, AnObtainGetsTheMutexOfAKilledHolder) {
  const std::string name = uniqueLockName("killed");
  MutexLock lock(wide(name).c_str());
  LockProcess holder;
  ASSERT_EQ(holder.ask("mutex " + name), "ok");
  ASSERT_EQ(holder.ask("obtain"), "obtained");
  Background waiter([&] {
    lock.ObtainLock();
    lock.ReleaseLock();
  });
  EXPECT_TRUE(waiter.blocked());
  holder.kill();
  EXPECT_TRUE(waiter.ends());
  EXPECT_TRUE(otherThreadGets(lock));
}

} // namespace
