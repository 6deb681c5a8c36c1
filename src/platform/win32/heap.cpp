// The Universal C Runtime's heap, reached at run time: the DLL is linked
// against msvcrt.dll (see platform/heap.h for why), and a block must go back
// to the runtime that made it.
#include "platform/heap.h"

#include <windows.h>

#include <cstdlib>

namespace tsk::platform {

namespace {

struct RuntimeHeap {
  void* (*allocate)(size_t);
  void* (*reallocate)(void*, size_t);
  void (*release)(void*);
};

// A function of ucrtbase.dll as a pointer of type F, or null. (The detour
// through void (*)() is the one cast from FARPROC that GCC does not question.)
template <typename F>
F runtimeFunction(HMODULE ucrt, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(ucrt, name)));
}

RuntimeHeap findRuntimeHeap() {
  // A caller built against UCRT has loaded it already; otherwise it comes
  // from the system folder only. It stays loaded for the process's life.
  HMODULE ucrt = GetModuleHandleW(L"ucrtbase.dll");
  if (ucrt == nullptr) {
    ucrt = LoadLibraryExW(L"ucrtbase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  if (ucrt != nullptr) {
    const RuntimeHeap heap{runtimeFunction<void* (*)(size_t)>(ucrt, "malloc"),
                           runtimeFunction<void* (*)(void*, size_t)>(ucrt, "realloc"),
                           runtimeFunction<void (*)(void*)>(ucrt, "free")};
    if (heap.allocate != nullptr && heap.reallocate != nullptr && heap.release != nullptr) {
      return heap;
    }
  }
  return RuntimeHeap{&std::malloc, &std::realloc, &std::free};
}

const RuntimeHeap& runtimeHeap() {
  static const RuntimeHeap heap = findRuntimeHeap();
  return heap;
}

} // namespace

void* heapAllocate(size_t bytes) { return runtimeHeap().allocate(bytes); }

void* heapReallocate(void* block, size_t bytes) { return runtimeHeap().reallocate(block, bytes); }

void heapRelease(void* block) { runtimeHeap().release(block); }

} // namespace tsk::platform
