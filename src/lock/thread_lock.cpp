// CThreadLock and the threadLock_ functions.
//
// The public header comes last: MinGW's g++ marks the type information of
// every polymorphic or thrown type declared after an exported class for
// export from the DLL, which would publish the library's internal types.
#include <new>
#include <stdexcept>

#include "core/handles.h"
#include "lock/lock_array.h"
#include "tskbase/thread_lock.h"

using tsk::ThreadLock;

CThreadLock::CThreadLock(uint32_t count) : locks(tsk::makeLockArray(count)), locksSize(count) {}

CThreadLock::CThreadLock(const CThreadLock& other)
    : locks(other.locks), locksSize(other.locksSize) {
  tsk::addLockArrayOwner(locks);
}

CThreadLock& CThreadLock::operator=(const CThreadLock& other) {
  if (locks != other.locks) {
    tsk::addLockArrayOwner(other.locks);
    tsk::dropLockArrayOwner(locks, locksSize);
    locks = other.locks;
    locksSize = other.locksSize;
  }
  return *this;
}

CThreadLock::~CThreadLock() { tsk::dropLockArrayOwner(locks, locksSize); }

uint32_t CThreadLock::GetLocksSize() { return locksSize; }

namespace {

[[noreturn, gnu::noinline, gnu::cold]] void throwIndexOutOfRange() {
  throw std::out_of_range("lockId");
}

// The one index check of every indexed member, made before any lock is
// touched.
ThreadLock& lockAt(ThreadLock* locks, uint32_t size, uint32_t lockId) {
  if (lockId >= size) {
    throwIndexOutOfRange();
  }
  return locks[lockId];
}

} // namespace

void CThreadLock::ObtainLock(uint32_t lockId) { lockAt(locks, locksSize, lockId).obtain(); }

void CThreadLock::ReleaseLock(uint32_t lockId) { lockAt(locks, locksSize, lockId).release(); }

int32_t CThreadLock::TryLock(uint32_t lockId) {
  return lockAt(locks, locksSize, lockId).tryObtain() ? 1 : 0;
}

tsk_status threadLock_create(CThreadLock** handle, uint32_t count) {
  if (handle == nullptr) {
    return TSK_FAIL;
  }
  try {
    *handle = new CThreadLock(count);
  } catch (const std::bad_alloc&) {
    return TSK_FAIL;
  }
  return TSK_OK;
}

tsk_status threadLock_destroy(CThreadLock** handle) { return tsk::destroyHandle(handle); }

tsk_status threadLock_lock(CThreadLock* handle, uint32_t lockId) {
  if (handle == nullptr) {
    return TSK_FAIL;
  }
  handle->ObtainLock(lockId);
  return TSK_OK;
}

tsk_status threadLock_unlock(CThreadLock* handle, uint32_t lockId) {
  if (handle == nullptr) {
    return TSK_FAIL;
  }
  handle->ReleaseLock(lockId);
  return TSK_OK;
}
