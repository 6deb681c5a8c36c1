// The record that every InterProcessLock of one name shares, in the named
// shared memory "IPLock_MMF_<name>". Its layout is fixed (32 bytes,
// little-endian), since processes built apart share it. A fresh record is
// all zeros: the free lock, with spin count 0.
#ifndef TSKBASE_SRC_LOCK_INTERPROCESS_LOCK_RECORD_H
#define TSKBASE_SRC_LOCK_INTERPROCESS_LOCK_RECORD_H

#include <cstddef>
#include <cstdint>

namespace tsk {

struct InterProcessLockRecord {
  uint32_t spinCount;      // extra attempts that TryLock makes after its first
  int32_t lockCount;       // the holder's levels plus the waiting threads; 0 when free
  uint32_t ownerThreadId;  // the holding thread; 0 when free
  uint32_t ownerProcessId; // its process; 0 when free
  uint64_t ownerLock;      // the object it took the lock through, in its process; 0 when free
  int32_t recursionCount;  // the holder's levels; 0 when free
  uint32_t reserved;       // never written
};

static_assert(offsetof(InterProcessLockRecord, spinCount) == 0);
static_assert(offsetof(InterProcessLockRecord, lockCount) == 4);
static_assert(offsetof(InterProcessLockRecord, ownerThreadId) == 8);
static_assert(offsetof(InterProcessLockRecord, ownerProcessId) == 12);
static_assert(offsetof(InterProcessLockRecord, ownerLock) == 16);
static_assert(offsetof(InterProcessLockRecord, recursionCount) == 24);
static_assert(offsetof(InterProcessLockRecord, reserved) == 28);
static_assert(sizeof(InterProcessLockRecord) == 32);

// The kernel-object names are formed in buffers of this many units, which
// leaves room for this much of the lock's name.
inline constexpr size_t kInterProcessLockNameCapacity = 256;
inline constexpr int kInterProcessLockMaxName = 242;

} // namespace tsk

#endif // TSKBASE_SRC_LOCK_INTERPROCESS_LOCK_RECORD_H
