// The other process of the thread-pool tests. It loads the shipped library
// at run time, starts the manager with a few warm-up steps, and leaves
// without freeing it, as an application may:
//   threadpool_test_helper exit LIBRARY     returns from main at once
//   threadpool_test_helper unload LIBRARY   first unloads the library while
//                                           its threads are at work, then
//                                           calls into it again
// It prints "done" last and exits with 0 unless something went wrong.
#include "tskbase/thread_pool.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// In the sanitized builds: the sanitizer runtime of LLVM 16 and older
// mistakes the dynamic TLS blocks of a library loaded at run time for an old
// glibc's, and the leak checker's tracer then crashes at exit scanning them.
// Leaving __tls_get_addr alone avoids that; the leak check itself still runs.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

namespace {

#if defined(_WIN32)
void* load(const char* path) { return LoadLibraryA(path); }
void* find(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void unload(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
void* load(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void* find(void* library, const char* name) { return dlsym(library, name); }
void unload(void* library) { dlclose(library); }
#endif

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    return 2;
  }
  void* library = load(argv[2]);
  if (library == nullptr) {
    return 3;
  }
  const auto create =
      reinterpret_cast<tsk_threadpool_manager* (*)()>(find(library, "threadpoolMan_new"));
  const auto run =
      reinterpret_cast<tsk_status (*)(tsk_threadpool_manager*, tsk_thread_routine, void*)>(
          find(library, "threadpoolMan_runFunction"));
  tsk_threadpool_manager* manager = create != nullptr && run != nullptr ? create() : nullptr;
  if (manager == nullptr) {
    return 3;
  }
  for (int i = 0; i < 8; ++i) {
    run(manager, nullptr, nullptr);
  }
  if (std::strcmp(argv[1], "unload") == 0) {
    // The manager's threads keep the library loaded, and work on meanwhile.
    unload(library);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (run(manager, nullptr, nullptr) != TSK_OK) {
      return 4;
    }
  }
  std::printf("done\n");
  std::fflush(stdout);
  return 0;
}
