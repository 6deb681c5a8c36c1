// Loads a shared library at run time and looks up its symbols, the way an
// application that binds to tskbase dynamically would.
#ifndef TSKBASE_TESTS_SUPPORT_SHARED_LIBRARY_H
#define TSKBASE_TESTS_SUPPORT_SHARED_LIBRARY_H

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tsk::test {

class SharedLibrary {
public:
  explicit SharedLibrary(const std::string& path) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.c_str());
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  }
  ~SharedLibrary() {
    if (handle_ != nullptr) {
#if defined(_WIN32)
      FreeLibrary(static_cast<HMODULE>(handle_));
#else
      dlclose(handle_);
#endif
    }
  }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool loaded() const {
    return handle_ != nullptr;
  }

  void* find(const char* name) const {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
  }

private:
  void* handle_ = nullptr;
};

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_SHARED_LIBRARY_H
