/**
 * @file
 * tskbase/thread_lock.h - arrays of independent recursive locks, picked by
 * index.
 *
 * A CThreadLock owns a fixed number of process-local locks; a caller maps
 * each of its resources to an index from 0 to GetLocksSize() - 1 and locks
 * only that index, so threads that use different indices never wait for
 * each other. Every lock is recursive (a thread that holds it may obtain it
 * again and releases it as often) and blocks without a time limit.
 *
 * @code
 *   CThreadLock* locks = NULL;
 *   threadLock_create(&locks, 16);
 *   threadLock_lock(locks, accountId % 16);
 *   ... update the account ...
 *   threadLock_unlock(locks, accountId % 16);
 *   threadLock_destroy(&locks);               (locks is NULL again)
 * @endcode
 *
 * An index outside the array is an error that is not turned into a status:
 * the members and threadLock_lock / threadLock_unlock throw
 * std::out_of_range with the message "lockId" before touching any lock. C
 * callers must therefore pass valid indices. A thread releases only locks it
 * holds; every lock must be free when the array is destroyed.
 *
 * The functions compile as C11 (the class is C++ only) and return TSK_OK or
 * TSK_FAIL.
 */
#ifndef TSKBASE_THREAD_LOCK_H
#define TSKBASE_THREAD_LOCK_H

#include "tskbase/common.h"

#ifdef __cplusplus

namespace tsk {
class ThreadLock; // one element: a recursive critical section
}

/// A fixed array of recursive locks, each picked by its index.
class TSKBASE_API CThreadLock {
public:
  /// count locks, each free; count may be 0. Throws std::bad_alloc when
  /// memory runs out (also when count locks cannot be addressed).
  explicit CThreadLock(uint32_t count);
  /// @{
  /// Copies share the other object's array: the locks of one index are the
  /// same lock through every copy, and the array goes with its last owner.
  CThreadLock(const CThreadLock& other);
  CThreadLock& operator=(const CThreadLock& other);
  /// @}
  /// Gives up this object's share of the array.
  virtual ~CThreadLock();

  /// The number of locks in the array.
  uint32_t GetLocksSize();

  /// Blocks until the calling thread holds lock `lockId` (one more level if
  /// it already does).
  void ObtainLock(uint32_t lockId);
  /// Gives up one level of the calling thread's hold on lock `lockId`.
  void ReleaseLock(uint32_t lockId);
  /// Obtains lock `lockId` without waiting: 1 if the calling thread now holds
  /// it (also when it already did, which adds a level), 0 if another thread
  /// holds it.
  int32_t TryLock(uint32_t lockId);

private:
  tsk::ThreadLock* locks;
  uint32_t locksSize;
};

#else
typedef struct CThreadLock CThreadLock;
#endif

TSKBASE_EXTERN_C_BEGIN

/** Creates an array of `count` locks and stores it in *handle. TSK_FAIL for a
 * null handle pointer, or when memory runs out (nothing is stored then). */
TSKBASE_API tsk_status threadLock_create(CThreadLock** handle, uint32_t count);

/** Destroys *handle and sets it to NULL. TSK_FAIL if handle or *handle is
 * null. */
TSKBASE_API tsk_status threadLock_destroy(CThreadLock** handle);

/** @{ */
/** ObtainLock / ReleaseLock of lock `lockId`. TSK_FAIL for a null handle; an
 * index out of range throws std::out_of_range("lockId") to the caller. */
TSKBASE_API tsk_status threadLock_lock(CThreadLock* handle, uint32_t lockId);
TSKBASE_API tsk_status threadLock_unlock(CThreadLock* handle, uint32_t lockId);
/** @} */

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_THREAD_LOCK_H */
