// The C library's heap.
#include "platform/heap.h"

#include <cstdlib>

namespace tsk::platform {

void* heapAllocate(size_t bytes) { return std::malloc(bytes); }

void* heapReallocate(void* block, size_t bytes) { return std::realloc(block, bytes); }

void heapRelease(void* block) { std::free(block); }

} // namespace tsk::platform
