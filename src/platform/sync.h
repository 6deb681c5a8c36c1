// Synchronisation objects of the operating system: the recursive
// process-local lock behind every critical section of the library, and the
// kernel objects that are reached through handles (events, mutexes, shared
// memory, and the thread handles of platform/thread.h), unnamed or named
// machine-wide, with the waits on them and the security attributes of the
// named ones.
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

#include "tskbase/common.h"

// SECURITY_ATTRIBUTES of windows.h, which this header does not include.
struct _SECURITY_ATTRIBUTES;

namespace tsk::platform {

using SecurityAttributes = ::_SECURITY_ATTRIBUTES;

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
// Events, mutexes and shared memory that every process of the machine finds
// by name: the first create makes the object, later creates (in any process)
// open it with its current state. An object lives while a handle to it is
// open in some process (a process that ended counts as having closed its
// handles); then the name is free and the next create starts afresh. The
// three kinds share one namespace: a create that names an object of another
// kind fails. Names are case-sensitive UTF-16; outside Windows a name has at
// most kMaxObjectName units, and Windows refuses a '\' in it.
//
// On Windows these are CreateEventW, CreateMutexW and CreateFileMappingW
// with the caller's security attributes. Elsewhere each object is a file in
// /dev/shm whose name is "tskbase." and the escaped object name (see
// posix/shared_file.h), readable and writable by every user whatever the
// umask; security attributes are accepted there and ignored. Handles are not
// carried across fork(): a child opens the objects it needs by name.

inline constexpr size_t kMaxObjectName = 260;

// Another handle to the object behind `object`, closed on its own; null on
// failure. For every kind of handle, threads included.
Handle duplicateHandle(Handle object);

// An event as createEvent makes it, found by `name`; `initiallySignalled`
// counts only when this call makes the event. A null or empty name makes an
// unnamed event.
Handle createNamedEvent(const tsk_wchar_t* name, bool manualReset, bool initiallySignalled,
                        SecurityAttributes* security);

// A mutex as createMutex makes it, found by `name`: owned by one thread of
// one process at a time, and obtained "abandoned" when that thread or its
// process ends while holding it. A null or empty name makes an unnamed mutex.
Handle createNamedMutex(const tsk_wchar_t* name, SecurityAttributes* security);

// Shared memory of `size` bytes found by `name`, zero-filled when this call
// makes it; an existing one keeps its own size. A null or empty name fails.
// It cannot be waited on.
Handle createSharedMemory(const tsk_wchar_t* name, uint32_t size, SecurityAttributes* security);

// Maps the whole of the shared memory, readable and writable, at an address
// of its own; null on failure. A view keeps the memory until it is unmapped,
// even after every handle is closed; but the name goes with the last handle,
// and a create of it then makes new memory.
void* mapSharedMemory(Handle memory);
bool unmapSharedMemory(void* view);

// ---- Security attributes -------------------------------------------------
//
// SECURITY_ATTRIBUTES on Windows; a record of the same shape elsewhere. The
// caller provides the memory: two zero-filled blocks of these sizes, which it
// releases after makeOpenSecurity fails or once the attributes are no longer
// needed.
size_t securityDescriptorSize();
size_t securityAttributesSize();

// Makes `descriptor` a security descriptor that gives every user full access
// (revision 1, a present but null access list) and `attributes` the
// attributes that carry it, without handle inheritance. Returns `attributes`
// as attributes, or null when the system refuses.
SecurityAttributes* makeOpenSecurity(void* descriptor, void* attributes);

// The descriptor that `attributes` carry.
void* securityDescriptorOf(const SecurityAttributes* attributes);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_SYNC_H
