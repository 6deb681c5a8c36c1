// The block behind a CThreadLock: its locks in index order, behind a small
// header that counts the objects sharing the block. Copies of a CThreadLock
// share the block, and the last of them destroys it.
#ifndef TSKBASE_SRC_LOCK_LOCK_ARRAY_H
#define TSKBASE_SRC_LOCK_LOCK_ARRAY_H

#include <cstdint>

#include "platform/sync.h"

namespace tsk {

// One lock of the array: a recursive critical section.
class ThreadLock {
public:
  ThreadLock() = default;
  virtual ~ThreadLock() = default;
  ThreadLock(const ThreadLock&) = delete;
  ThreadLock& operator=(const ThreadLock&) = delete;

  void obtain() { section_.lock(); }
  bool tryObtain() { return section_.tryLock(); }
  void release() { section_.unlock(); }

private:
  platform::RecursiveLock section_;
};

// A block of `count` free locks with one owner; throws std::bad_alloc when
// the memory cannot be had.
ThreadLock* makeLockArray(uint32_t count);

// One more object shares the block.
void addLockArrayOwner(ThreadLock* locks);

// One object lets go of the block; the last destroys its `count` locks and
// frees it.
void dropLockArrayOwner(ThreadLock* locks, uint32_t count);

} // namespace tsk

#endif // TSKBASE_SRC_LOCK_LOCK_ARRAY_H
