// Synchronisation objects of the operating system: the recursive
// process-local lock behind every critical section of the library, and the
// kernel objects that are reached through handles (events, mutexes, and the
// thread handles of platform/thread.h), with the waits on them.
//
// On Windows these are the real critical sections, CreateEventW,
// CreateMutexW, WaitForSingleObject and WaitForMultipleObjects. Elsewhere
// they are the library's own objects with the same observable behaviour:
//   - an auto-reset event releases exactly one wait per signal and resets
//     itself as it does; a signal with no waiter stays pending. A signal
//     given while a waiter is already blocked goes to that waiter at once, so
//     two signals release two blocked waiters;
//   - a mutex is owned by the thread that obtained it, recursive, released
//     only by its owner, and obtained "abandoned" by the next waiter when its
//     owner thread ends while holding it;
//   - time-outs are measured on a monotonic clock (a finite wait on a mutex
//     follows the wall clock, as pthread_mutex_timedlock does).
#ifndef TSKBASE_SRC_PLATFORM_SYNC_H
#define TSKBASE_SRC_PLATFORM_SYNC_H

#include <cstddef>
#include <cstdint>

namespace tsk::platform {

// ---- Recursive process-local lock --------------------------------------
//
// A critical section: blocking, recursive for the thread that holds it
// (each lock() needs its own unlock()), with a try form that never blocks.
// Only the holder may unlock. It must be free when it is destroyed.
class RecursiveLock {
public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void lock();
  // True if the calling thread now holds the lock, also when it already did
  // (one more level); false at once if another thread holds it.
  bool tryLock();
  void unlock();

private:
  // The lock lives in place: a CRITICAL_SECTION on Windows, a futex lock
  // elsewhere. Each implementation checks that it fits.
  alignas(8) unsigned char storage_[40];
};

// ---- Handles -------------------------------------------------------------
//
// A handle stands for one kernel object: HANDLE on Windows, the address of
// the library's object elsewhere. Null is never a valid handle; the create
// functions return null on failure. Every handle is closed once with
// closeHandle; an object lives as long as a handle to it is open (and, for a
// thread, as long as the thread runs).
using Handle = void*;

// Wait without a time limit.
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult {
  kSignalled, // the object was signalled (an auto-reset event is reset again)
  kAbandoned, // a mutex whose owner ended without releasing it; now obtained
  kTimedOut,  // the time-out passed first
  kFailed,    // not a handle that can be waited on, or the system failed
};

bool closeHandle(Handle object);

// ---- Events --------------------------------------------------------------
//
// Unnamed, private to the process. A manual-reset event stays signalled until
// it is reset and releases every wait meanwhile; an auto-reset event releases
// one wait per signal (see the top of this file).
Handle createEvent(bool manualReset, bool initiallySignalled);
bool setEvent(Handle event);
bool resetEvent(Handle event);

// ---- Mutexes -------------------------------------------------------------
//
// Unnamed and not owned when created. A wait obtains it (recursively for its
// owner); releaseMutex gives up one level and fails for a thread that does
// not hold it.
Handle createMutex();
bool releaseMutex(Handle mutex);

// ---- Waits ---------------------------------------------------------------
//
// Waits until `object` is signalled (an event, a mutex that the calling
// thread obtains, a thread that has ended), for at most `milliseconds`:
// kInfinite for no limit, 0 for a test that never blocks.
WaitResult waitForObject(Handle object, uint32_t milliseconds);

// Waits until every one of `count` objects is signalled, for at most
// `milliseconds` in all. There is no limit on `count` (Windows waits in
// batches of 64). Meant for objects that stay signalled once signalled:
// thread handles and manual-reset events. kSignalled when all are (also for
// count 0); kAbandoned if one of them was an abandoned mutex; kFailed for a
// bad handle or a null array with a count.
WaitResult waitForAll(const Handle* objects, size_t count, uint32_t milliseconds);

// ---- Named machine-wide objects ------------------------------------------
//
// Reserved for the cross-process locks: named events and mutexes shared by
// every process of the machine that uses the same name (an existing object
// keeps its state), named shared memory of a fixed size that is zero when
// first created and lives while any process holds it, and the security
// attributes that open such objects to every user. They will be declared
// here, return the same Handle type, and be waited on and closed with the
// functions above.

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_SYNC_H
