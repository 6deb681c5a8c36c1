/// @file
/// tskbase/mutex_lock.h - a lock over one operating-system mutex, named to be
/// shared by every process of the machine, or private to the object.
///
/// Every MutexLock made with the same name, in any process, is one lock: the
/// kernel object "Mutex_" followed by the name (cut to 259 characters in all,
/// so names that agree in their first 253 characters share a mutex). Without
/// a name the mutex belongs to the object alone. The lock is held by a
/// thread, recursively (each ObtainLock needs its own ReleaseLock), and when
/// the holding thread or its process ends without releasing it, the next
/// thread to wait obtains it.
///
/// @code
///   MutexLock lock(TSK_W("plan.dat"));
///   lock.ObtainLock();
///   ... update plan.dat ...
///   lock.ReleaseLock();
/// @endcode
///
/// Without security attributes the mutex is open to every user of the
/// machine; the object builds such attributes itself, and makes no mutex
/// when it cannot. On Windows `security` is the caller's SECURITY_ATTRIBUTES.
/// Elsewhere there are no security descriptors: the argument is ignored, and
/// every named mutex is open to every user (the mutex is a file in /dev/shm
/// that every user may read and write, whatever the umask).
///
/// The constructor reports nothing. An object without a mutex (its security
/// attributes or its mutex could not be made) excludes nothing: ObtainLock
/// returns at once, TryLock returns false and ReleaseLock does nothing.
///
/// A copy refers to the same mutex through a handle of its own (a duplicate),
/// so the copy and the original are closed independently.
#ifndef TSKBASE_MUTEX_LOCK_H
#define TSKBASE_MUTEX_LOCK_H

#include <cstdint>

#include "tskbase/common.h"

// SECURITY_ATTRIBUTES of windows.h, which this header does not include.
struct _SECURITY_ATTRIBUTES;

/// A recursive mutex of the operating system, named machine-wide or private.
class TSKBASE_API MutexLock {
public:
  /// Creates or opens the mutex "Mutex_<name>" (null name: an unnamed mutex,
  /// not owned) with `security`, or, when that is null, with attributes that
  /// open it to every user.
  explicit MutexLock(const tsk_wchar_t* name = nullptr, _SECURITY_ATTRIBUTES* security = nullptr);
  /// The copy refers to `other`'s mutex through a duplicate of its handle.
  MutexLock(const MutexLock& other);
  /// Closes this object's handle first (a level the calling thread holds
  /// stays held), then refers to `other`'s mutex through a duplicate.
  MutexLock& operator=(const MutexLock& other);
  /// Closes the handle. A hold of the calling thread is not released.
  virtual ~MutexLock();

  /// Waits without a time limit until the calling thread holds the mutex;
  /// also when its last holder ended without releasing it.
  void ObtainLock();
  /// Gives up one level of the calling thread's hold; a thread that does not
  /// hold the mutex changes nothing.
  void ReleaseLock();
  /// True if the calling thread now holds the mutex (one more level if it
  /// did already, or taken over from a holder that ended); false at once if
  /// another thread holds it.
  bool TryLock();

private:
  // Builds attributes that open the mutex to every user: 0, or 0x8000 with
  // nothing built. FreeSecurityDescriptor releases them, sets *attributes to
  // null and returns 0. The same operations serve InterProcessLock.
  static int32_t AllocateSecurityDescriptor(_SECURITY_ATTRIBUTES** attributes);
  static int32_t FreeSecurityDescriptor(_SECURITY_ATTRIBUTES** attributes);

  void* mutex; // the mutex's handle; null if it was not made
};

#endif // TSKBASE_MUTEX_LOCK_H
