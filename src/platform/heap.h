// The C runtime heap that the library's blocks come from: every block it
// hands to a caller, and every block a caller hands it to keep or release.
//
// On Windows that is the heap of the Universal C Runtime (ucrtbase.dll),
// which programs built with Microsoft's current compilers allocate from, so
// that they may free the library's blocks and give it blocks of their own.
// The DLL itself is linked against msvcrt.dll, like the GCC runtime libraries
// it contains (which are built for msvcrt.dll's declarations), and reaches
// UCRT's heap functions at run time; where ucrtbase.dll is missing (Windows
// before 10 without the Universal C Runtime update) it falls back to
// msvcrt.dll's heap. Elsewhere it is the C library's malloc and free.
#ifndef TSKBASE_SRC_PLATFORM_HEAP_H
#define TSKBASE_SRC_PLATFORM_HEAP_H

#include <cstddef>

namespace tsk::platform {

// malloc, realloc and free of that heap.
void* heapAllocate(size_t bytes);
void* heapReallocate(void* block, size_t bytes);
void heapRelease(void* block);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_HEAP_H
