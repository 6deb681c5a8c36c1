// The library's heap. Every block that the library allocates, and every block
// it hands to a caller, comes from here: the C runtime heap (malloc, realloc,
// free) of its callers, so that callers and the library's release functions
// agree on it. On Windows that is the Universal C Runtime's heap, which
// callers built with Microsoft's current compilers share, whatever runtime
// the DLL itself uses (platform/heap.h).
//
// Test builds (TSKBASE_TESTING_HOOKS) can make a chosen allocation fail, so
// that the promises the library makes about failed allocations are tested
// for real.
#ifndef TSKBASE_SRC_CORE_HEAP_H
#define TSKBASE_SRC_CORE_HEAP_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "tskbase/common.h"

namespace tsk::heap {

// malloc: a block of `bytes` bytes, or null when no memory is left.
void* allocate(size_t bytes);

// realloc: on failure null, and `block` is left as it was.
void* reallocate(void* block, size_t bytes);

// free; a null block is ignored.
void release(void* block);

// free for a block that a caller's allocation function made and the library
// gives up (string_sprintfAllocW when formatting fails); it was never counted
// as the library's.
void releaseCallerBlock(void* block);

// A block of `count` objects of type T, or null on failure or overflow.
template <typename T>
T* allocateArray(size_t count) {
  if (count > std::numeric_limits<size_t>::max() / sizeof(T)) {
    return nullptr;
  }
  return static_cast<T*>(allocate(count * sizeof(T)));
}

// Grows or shrinks an array block; null on failure, `block` then unchanged.
template <typename T>
T* reallocateArray(T* block, size_t count) {
  if (count > std::numeric_limits<size_t>::max() / sizeof(T)) {
    return nullptr;
  }
  return static_cast<T*>(reallocate(block, count * sizeof(T)));
}

// A heap copy of a zero-terminated string; null on failure.
template <typename CharT>
CharT* duplicate(const CharT* str) {
  const size_t units = std::char_traits<CharT>::length(str) + 1;
  CharT* copy = allocateArray<CharT>(units);
  if (copy != nullptr) {
    std::char_traits<CharT>::copy(copy, str, units);
  }
  return copy;
}

} // namespace tsk::heap

#if defined(TSKBASE_TESTING_HOOKS)
namespace tsk::testing {

// Makes the n-th allocation from now on fail (1 is the next one); the others
// succeed. 0 switches failures off.
TSKBASE_API void failNthAllocation(int64_t n);

// Allocations made since the last failNthAllocation call.
TSKBASE_API int64_t allocationsSinceReset();

// Blocks allocated through the library's heap and not yet released through
// it. Blocks that callers free themselves are not seen; differences across a
// failed call show what it leaked.
TSKBASE_API int64_t liveAllocations();

} // namespace tsk::testing
#endif

#endif // TSKBASE_SRC_CORE_HEAP_H
