// The other process of the thread-pool tests. It loads the shipped library
// at run time, starts the manager with a few routines, and leaves without
// freeing it, as an application may:
//   threadpool_test_helper exit LIBRARY     returns from main at once
//   threadpool_test_helper unload LIBRARY   first unloads the library while
//                                           its threads are at work, and
//                                           prints whether it is still loaded
// It prints "done" last and exits with 0 unless something went wrong.
#include "tskbase/thread_pool.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "shared_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// Whether the library at `path` is still in the process, without loading
// it again.
bool stillLoaded(const char* path) {
#if defined(_WIN32)
  return GetModuleHandleA(path) != nullptr;
#else
  void* library = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
  if (library != nullptr) {
    dlclose(library);
  }
  return library != nullptr;
#endif
}

uint32_t nap(void*) {
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return 0;
}

template <typename Function>
Function lookUp(const tsk::test::SharedLibrary& library, const char* name) {
  return reinterpret_cast<Function>(library.find(name));
}

} // namespace

// In the sanitized builds: the sanitizer runtime of LLVM 16 and older
// mistakes the dynamic TLS blocks of a library loaded at run time (this
// program loads the library so) for an old glibc's, and the leak checker's
// tracer then crashes at exit scanning them. Leaving __tls_get_addr alone
// avoids that; the leak check itself still runs.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

int main(int argc, char** argv) {
  if (argc != 3) {
    return 2;
  }
  const bool unload = std::strcmp(argv[1], "unload") == 0;
  // Kept until the process ends, unless unloaded below.
  static auto* library = new tsk::test::SharedLibrary(argv[2]);
  const auto create = lookUp<tsk_threadpool_manager* (*)()>(*library, "threadpoolMan_new");
  const auto run = lookUp<tsk_status (*)(tsk_threadpool_manager*, tsk_thread_routine, void*)>(
      *library, "threadpoolMan_runFunction");
  if (create == nullptr || run == nullptr) {
    return 3;
  }
  tsk_threadpool_manager* manager = create();
  if (manager == nullptr) {
    return 4;
  }
  for (int i = 0; i < 8; ++i) {
    run(manager, &nap, nullptr);
  }
  if (unload) {
    // The routines, the rest of the warm-ups and the monitor's first pass
    // go on in the library's code meanwhile.
    delete library;
    library = nullptr;
    std::printf("%s\n", stillLoaded(argv[2]) ? "loaded" : "unloaded");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  std::printf("done\n");
  std::fflush(stdout);
  return 0;
}
