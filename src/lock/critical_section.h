// The process-local locks of the library's own classes: the Lock interface,
// CriticalSection (its one implementation), the scoped holder ScopedLock, and
// the global g_debugLogLock.
//
//   class Worker {
//     tsk::CriticalSection lock_;
//     void step() { tsk::ScopedLock hold(lock_); ... }
//   };
//
// Every lock here is recursive and blocks without a time limit.
#ifndef TSKBASE_SRC_LOCK_CRITICAL_SECTION_H
#define TSKBASE_SRC_LOCK_CRITICAL_SECTION_H

#include "platform/sync.h"

namespace tsk {

// A lock that the calling thread obtains and releases. Objects are never
// destroyed through this interface.
class Lock {
public:
  // Blocks until the calling thread holds the lock.
  virtual void ObtainLock() = 0;
  // Gives up one level of the calling thread's hold.
  virtual void ReleaseLock() = 0;

protected:
  Lock() = default;
  ~Lock() = default;
  Lock(const Lock&) = default;
  Lock& operator=(const Lock&) = default;
};

// A recursive process-local lock (a Windows critical section). It must be
// free when it is destroyed.
class CriticalSection final : public Lock {
public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void ObtainLock() override { section_.lock(); }
  void ReleaseLock() override { section_.unlock(); }

private:
  platform::RecursiveLock section_;
};

// Holds a Lock from construction to the end of the scope, whichever way the
// scope is left.
class ScopedLock {
public:
  explicit ScopedLock(Lock& lock) : lock_(lock) { lock_.ObtainLock(); }
  ~ScopedLock() { lock_.ReleaseLock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

private:
  Lock& lock_;
};

// Serialises the debug log of the thread pools. It exists from the moment
// the library is loaded until it is unloaded, and is taken last: after any
// pool's and worker's lock.
extern CriticalSection g_debugLogLock;

} // namespace tsk

#endif // TSKBASE_SRC_LOCK_CRITICAL_SECTION_H
