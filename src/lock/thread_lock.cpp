// CThreadLock and the threadLock_ functions.
//
// The locks of a CThreadLock live in one heap block, behind a small header
// that counts the objects sharing the block: copies share the array, and the
// last of them destroys it.
#include "tskbase/thread_lock.h"

#include "core/handles.h"
#include "core/heap.h"
#include "platform/sync.h"

#include <atomic>
#include <new>
#include <stdexcept>

namespace tsk {

// One lock of the array: a recursive critical section.
class ThreadLock {
public:
  ThreadLock() = default;
  virtual ~ThreadLock() = default;
  ThreadLock(const ThreadLock&) = delete;
  ThreadLock& operator=(const ThreadLock&) = delete;

  void obtain() { section_.lock(); }
  bool tryObtain() { return section_.tryLock(); }
  void release() { section_.unlock(); }

private:
  platform::RecursiveLock section_;
};

namespace {

struct LockArrayHeader {
  std::atomic<uint64_t> owners{1};
};

// The header's size rounded up, so that the elements behind it are aligned.
constexpr size_t kHeaderSize =
    (sizeof(LockArrayHeader) + alignof(ThreadLock) - 1) / alignof(ThreadLock) * alignof(ThreadLock);

LockArrayHeader* headerOf(ThreadLock* locks) {
  return std::launder(
      reinterpret_cast<LockArrayHeader*>(reinterpret_cast<unsigned char*>(locks) - kHeaderSize));
}

// A block with `count` free locks in index order; std::bad_alloc when it
// cannot be had.
ThreadLock* makeLockArray(uint32_t count) {
  size_t bytes = 0;
  if (__builtin_mul_overflow(size_t{count}, sizeof(ThreadLock), &bytes) ||
      __builtin_add_overflow(bytes, kHeaderSize, &bytes)) {
    throw std::bad_alloc();
  }
  auto* block = static_cast<unsigned char*>(heap::allocate(bytes));
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  new (block) LockArrayHeader;
  auto* locks = reinterpret_cast<ThreadLock*>(block + kHeaderSize);
  for (uint32_t i = 0; i < count; ++i) {
    new (locks + i) ThreadLock;
  }
  return locks;
}

void addOwner(ThreadLock* locks) { headerOf(locks)->owners.fetch_add(1); }

// Drops one owner; the last destroys every lock and frees the block.
void dropOwner(ThreadLock* locks, uint32_t count) {
  LockArrayHeader* header = headerOf(locks);
  if (header->owners.fetch_sub(1) != 1) {
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    locks[i].~ThreadLock();
  }
  header->~LockArrayHeader();
  heap::release(header);
}

} // namespace

} // namespace tsk

using tsk::ThreadLock;

CThreadLock::CThreadLock(uint32_t count) : locks(tsk::makeLockArray(count)), locksSize(count) {}

CThreadLock::CThreadLock(const CThreadLock& other)
    : locks(other.locks), locksSize(other.locksSize) {
  tsk::addOwner(locks);
}

CThreadLock& CThreadLock::operator=(const CThreadLock& other) {
  if (locks != other.locks) {
    tsk::addOwner(other.locks);
    tsk::dropOwner(locks, locksSize);
    locks = other.locks;
    locksSize = other.locksSize;
  }
  return *this;
}

CThreadLock::~CThreadLock() { tsk::dropOwner(locks, locksSize); }

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
