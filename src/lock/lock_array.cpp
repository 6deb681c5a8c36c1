// The lock block of a CThreadLock.
#include "lock/lock_array.h"

#include <atomic>
#include <new>

#include "core/heap.h"

namespace tsk {

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

} // namespace

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

void addLockArrayOwner(ThreadLock* locks) { headerOf(locks)->owners.fetch_add(1); }

void dropLockArrayOwner(ThreadLock* locks, uint32_t count) {
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

} // namespace tsk
