/**
 * @file
 * tskbase/rwlock.h - a process-local lock for many readers or one writer.
 *
 * Any number of readers hold the lock together, or one writer holds it
 * alone. Readers are preferred: while readers hold it, new readers enter at
 * once even if a writer waits, and the writer gets the lock when the last
 * reader has left. Writers queue and enter one at a time. Claims wait without
 * a time limit; there is no trying or timed claim.
 *
 * Modes: 0 claims or releases as writer, any other value as reader (the
 * rwlock_ functions accept only 0 and 1). A reader may claim again and
 * releases once per claim, from any thread. A writer releases from the
 * thread that claimed, and must not claim again (as writer or reader) before
 * it has released: it would wait for itself forever.
 *
 * @code
 *   RWLock* lock = NULL;
 *   rwlock_create(&lock);
 *   rwlock_claim(lock, 1);  ... read ...  rwlock_release(lock, 1);
 *   rwlock_claim(lock, 0);  ... write ... rwlock_release(lock, 0);
 *   rwlock_destroy(&lock);                    (lock is NULL again)
 * @endcode
 *
 * The functions compile as C11 (the class is C++ only) and return TSK_OK or
 * TSK_FAIL.
 */
#ifndef TSKBASE_RWLOCK_H
#define TSKBASE_RWLOCK_H

#include "tskbase/common.h"

#ifdef __cplusplus

namespace tsk {
struct RWLockState; // the kernel objects and the reader count
}

/// A reader/writer lock within one process.
///
/// Setup and teardown come in two phases: the constructor creates nothing,
/// Initialize creates the kernel objects, Cleanup closes them. Claim and
/// Release between the two; on an object that is not initialised (or cleaned
/// up) Claim returns at once and Release fails.
///
/// Copies share one lock: a reader that claims through one copy excludes a
/// writer that claims through another, and the kernel objects are closed once,
/// by Cleanup through any copy or else with the last copy. Initialize on an
/// object gives it a fresh lock of its own.
class TSKBASE_API RWLock {
public:
  /// An object without a lock: Initialize creates it.
  RWLock();
  /// @{
  /// The copy shares `other`'s lock.
  RWLock(const RWLock& other);
  RWLock& operator=(const RWLock& other);
  /// @}
  /// Gives up this object's share of the lock; the last copy closes it.
  virtual ~RWLock();

  /// Creates the kernel objects: 0, or 0x8000 (and nothing created) on
  /// failure.
  virtual int32_t Initialize();
  /// Blocks until the caller may read (mode != 0) or write (mode 0).
  virtual void Claim(int32_t mode);
  /// Ends a read or a write: 0, or 0x8000 for a reader's release while no
  /// reader holds the lock (nothing changes then).
  virtual int32_t Release(int32_t mode);
  /// Closes the kernel objects. Nobody may hold or wait for the lock.
  virtual void Cleanup();

private:
  tsk::RWLockState* state;
};

#else
typedef struct RWLock RWLock;
#endif

TSKBASE_EXTERN_C_BEGIN

/** Creates and initialises a lock and stores it in *handle. TSK_FAIL for a
 * null handle pointer, or when the kernel objects cannot be made (nothing
 * is stored then). */
TSKBASE_API tsk_status rwlock_create(RWLock** handle);

/** Closes and destroys *handle and sets it to NULL. TSK_FAIL if handle or
 * *handle is null. */
TSKBASE_API tsk_status rwlock_destroy(RWLock** handle);

/** @{ */
/** Claim / Release with mode 0 (writer) or 1 (reader). TSK_FAIL for a null
 * handle or another mode, with nothing claimed or released; rwlock_release
 * also fails as Release does. */
TSKBASE_API tsk_status rwlock_claim(RWLock* handle, int32_t mode);
TSKBASE_API tsk_status rwlock_release(RWLock* handle, int32_t mode);
/** @} */

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_RWLOCK_H */
