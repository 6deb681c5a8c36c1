// Objects of the thread pools are allocated on the library heap, so that a
// test can make their allocation fail as memory exhaustion would.
#ifndef TSKBASE_SRC_THREADPOOL_HEAP_OBJECT_H
#define TSKBASE_SRC_THREADPOOL_HEAP_OBJECT_H

#include <cstddef>
#include <new>

#include "core/heap.h"

namespace tsk {

// Base of a class whose objects come from the library heap: `new` throws
// std::bad_alloc when the heap has no block for one.
class HeapObject {
public:
  static void* operator new(size_t bytes) {
    void* block = heap::allocate(bytes);
    if (block == nullptr) {
      throw std::bad_alloc();
    }
    return block;
  }
  static void operator delete(void* block) { heap::release(block); }
};

} // namespace tsk

#endif // TSKBASE_SRC_THREADPOOL_HEAP_OBJECT_H
