// The objects behind the handles of platform/sync.h and platform/thread.h on
// POSIX, and the pieces they are built from: a deadline on the monotonic
// clock and a monitor (a mutex with a condition variable that waits on that
// clock). Private to src/platform/posix/.
#ifndef TSKBASE_SRC_PLATFORM_POSIX_OBJECT_H
#define TSKBASE_SRC_PLATFORM_POSIX_OBJECT_H

#include "platform/sync.h"

#include <atomic>
#include <cstdint>
#include <pthread.h>
#include <time.h>

namespace tsk::platform::posix {

// An identity of the calling thread that costs no call: the address of its
// thread control block.
inline uintptr_t selfId() {
#if defined(__x86_64__)
  uintptr_t self;
  asm("mov %%fs:0, %0" : "=r"(self));
  return self;
#else
  return reinterpret_cast<uintptr_t>(pthread_self());
#endif
}

// The end of a wait of `milliseconds` from now, on CLOCK_MONOTONIC.
class Deadline {
public:
  explicit Deadline(uint32_t milliseconds);

  bool infinite() const { return infinite_; }
  bool immediate() const { return immediate_; }
  bool passed() const;
  // The absolute end on CLOCK_MONOTONIC (meaningless when infinite).
  const timespec& monotonic() const { return end_; }
  // The same end on CLOCK_REALTIME, as of now, for the calls that take only
  // wall-clock times.
  timespec realtime() const;

private:
  bool infinite_;
  bool immediate_;
  timespec end_{};
};

// A mutex and a condition variable that waits on the monotonic clock.
class Monitor {
public:
  Monitor();
  ~Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  void lock();
  void unlock();
  // Waits for a notification (or a spurious wake-up) with the monitor
  // held; false once the deadline has passed.
  bool wait(const Deadline& deadline);
  void notifyOne();
  void notifyAll();

private:
  pthread_mutex_t mutex_;
  pthread_cond_t changed_;
};

// Holds a monitor for the length of a scope.
class MonitorGuard {
public:
  explicit MonitorGuard(Monitor& monitor) : monitor_(monitor) { monitor_.lock(); }
  ~MonitorGuard() { monitor_.unlock(); }
  MonitorGuard(const MonitorGuard&) = delete;
  MonitorGuard& operator=(const MonitorGuard&) = delete;

private:
  Monitor& monitor_;
};

enum class Kind { kEvent, kMutex, kThread, kSharedMemory };

// Base of every object behind a handle: a kind, for the checks that
// Windows makes on a handle's type, and a count of references (the open
// handles, and a running thread's hold on its own object).
class Object {
public:
  explicit Object(Kind kind) : kind_(kind) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Kind kind() const { return kind_; }
  void retain() { references_.fetch_add(1, std::memory_order_relaxed); }
  // retain() unless the last reference is gone already (the object is on
  // its way out); false then.
  bool retainIfAlive();
  // Drops one reference and deletes the object with the last one.
  void release();

  // Waits until the object is signalled or the deadline passes. A non-null
  // `interrupted` is watched too: once it is set, the wait ends with kFailed
  // (for objects that support interruption, see wakeWaiters).
  virtual WaitResult wait(const Deadline& deadline, const std::atomic<bool>* interrupted) = 0;

  // Wakes every waiter so that it looks at its interruption flag again.
  // Objects whose waits cannot be interrupted do nothing.
  virtual void wakeWaiters() {}

  // The object behind a handle if it is of `kind`, else null.
  static Object* from(Handle handle, Kind kind);
  static Object* from(Handle handle) { return static_cast<Object*>(handle); }

private:
  const Kind kind_;
  std::atomic<int> references_{1};
};

// An event, unnamed or named.
class EventObject : public Object {
public:
  virtual void set() = 0;
  virtual void reset() = 0;

protected:
  EventObject() : Object(Kind::kEvent) {}
};

// A robust recursive pthread mutex, with its holder's thread id and depth
// beside it. It lives in a mutex object or, for a named mutex, in memory
// shared between processes.
struct MutexState {
  pthread_mutex_t mutex;
  std::atomic<uint32_t> owner; // currentThreadId() of the holder; 0 when free
  uint32_t depth;              // the holder's levels; only the holder touches it

  // Makes a free mutex, shared between processes or not. False when the
  // system refuses.
  bool initialise(bool processShared);
};

// A mutex, unnamed or named. The system hands it over "owner died" when its
// holder thread ends while holding it, also to a thread of another process.
//
// While a thread of this process holds the mutex, the object holds a
// reference to itself: the system keeps the held mutex in the holder's list
// of robust mutexes, so its memory must stay until it is released, even if
// every handle is closed first.
class MutexObject : public Object {
public:
  WaitResult wait(const Deadline& deadline, const std::atomic<bool>* interrupted) override;
  // Gives up one level; false for a thread that does not hold the mutex.
  bool unlock();

protected:
  explicit MutexObject(MutexState* state) : Object(Kind::kMutex), state_(state) {}
  // For a mutex whose state is found only after construction.
  void setState(MutexState* state) { state_ = state; }

private:
  int obtain(const Deadline& deadline);
  void becomeHolder(uint32_t self);

  MutexState* state_;
  bool holdsItself_ = false; // touched by holders only, under the mutex
};

} // namespace tsk::platform::posix

#endif // TSKBASE_SRC_PLATFORM_POSIX_OBJECT_H
