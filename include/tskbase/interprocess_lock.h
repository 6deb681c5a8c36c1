/// @file
/// tskbase/interprocess_lock.h - a named, recursive lock across the processes
/// of the machine, which takes a free lock without entering the kernel.
///
/// Every InterProcessLock made with the same name, in any process, is one
/// lock. Its state is a 32-byte record in the named shared memory
/// "IPLock_MMF_<name>", changed only by atomic operations; threads that must
/// wait sleep on the named auto-reset event "IPLock_Event_<name>", in slices
/// of one second. Names longer than 242 characters are cut to their first
/// 242: names that agree that far share one lock.
///
/// @code
///   InterProcessLock lock(TSK_W("plan.dat"), nullptr, 4000);
///   lock.ObtainLock();
///   ... update plan.dat ...
///   lock.ReleaseLock();
/// @endcode
///
/// The lock belongs to a thread, known by its machine-wide thread id, so a
/// thread that holds it through one object may obtain it again through any
/// object of the same name; each level needs its own ReleaseLock. While
/// threads wait, the lock passes from its releasing holder to one of them.
///
/// An obtaining thread first tries up to spin count + 1 times in a tight loop
/// before it sleeps. The spin count is shared by every process that uses the
/// name: each new object and each SetSpinCount stores its own. On a machine
/// with one processor nothing is stored and the lock tries once (the shared
/// spin count of a fresh record is 0).
///
/// A holder that ends, or whose process ends, without releasing leaves the
/// lock held for everybody else while the record exists. Only the
/// destruction of the object through which the lock was taken frees such a
/// lock: the destructor releases every level held through this object.
///
/// Without security attributes the event and the shared memory are open to
/// every user of the machine (if such attributes cannot be built, the
/// system's default security applies). On Windows `security` is the caller's
/// SECURITY_ATTRIBUTES. Elsewhere there are no security descriptors: the
/// argument is ignored, and every named object is open to every user (a file
/// in /dev/shm that every user may read and write, whatever the umask).
///
/// The constructor reports nothing. An object without its record (the name
/// is null, or the event or shared memory could not be made) excludes
/// nothing: ObtainLock returns at once, TryLock returns false, and
/// ReleaseLock and SetSpinCount do nothing.
///
/// A copy is another object of the same name, with handles and a mapping of
/// its own (duplicates): it shares the lock, and its destructor releases
/// only the levels taken through the copy.
#ifndef TSKBASE_INTERPROCESS_LOCK_H
#define TSKBASE_INTERPROCESS_LOCK_H

#include <cstdint>

#include "tskbase/common.h"

// SECURITY_ATTRIBUTES of windows.h, which this header does not include.
struct _SECURITY_ATTRIBUTES;

namespace tsk {
struct InterProcessLockRecord; // the shared 32-byte record
}

/// A named, recursive lock shared by the processes of the machine.
class TSKBASE_API InterProcessLock {
public:
  /// Creates or opens the event and the shared memory of `name` with
  /// `security` (null: open to every user) and stores `spinCount` as the
  /// shared spin count (unless the machine has one processor).
  InterProcessLock(const tsk_wchar_t* name, _SECURITY_ATTRIBUTES* security, uint32_t spinCount);
  /// The copy is another object of the same lock, with duplicates of the
  /// handles and a mapping of its own.
  InterProcessLock(const InterProcessLock& other);
  /// Releases what this object holds and closes it, as the destructor does,
  /// then refers to `other`'s lock as a copy does.
  InterProcessLock& operator=(const InterProcessLock& other);
  /// Releases every level held through this object, by any thread of this
  /// process, then unmaps the record and closes the shared memory and event.
  virtual ~InterProcessLock();

  /// Blocks until the calling thread holds the lock; recursive.
  void ObtainLock();
  /// Tries up to spin count + 1 times without sleeping: true if the calling
  /// thread now holds the lock (one more level if it did already).
  bool TryLock();
  /// Gives up one level; a thread that does not hold the lock changes
  /// nothing.
  void ReleaseLock();
  /// Stores `spinCount` as the shared spin count of every process that uses
  /// the lock, unless the machine has one processor.
  void SetSpinCount(uint32_t spinCount);

private:
  void HardReleaseLock();
  // Builds attributes that open the objects to every user: 0, or 0x8000
  // with nothing built (also for a null pointer). FreeSecurityDescriptor
  // releases them, sets *attributes to null and returns 0. The same
  // operations serve MutexLock.
  static int32_t AllocateSecurityDescriptor(_SECURITY_ATTRIBUTES** attributes);
  static int32_t FreeSecurityDescriptor(_SECURITY_ATTRIBUTES** attributes);

  int32_t singleProcessor;             // 1 on a machine with one processor
  void* event;                         // the named event's handle, or null
  void* mapping;                       // the shared memory's handle, or null
  tsk::InterProcessLockRecord* record; // the mapped record, or null
};

#endif // TSKBASE_INTERPROCESS_LOCK_H
