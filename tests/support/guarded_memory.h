// Arrays that end exactly where an inaccessible page begins, so that a read
// of one element past the end faults at once, with or without a sanitizer;
// or that begin right after one, so that a read before the start faults.
#ifndef TSKBASE_TESTS_SUPPORT_GUARDED_MEMORY_H
#define TSKBASE_TESTS_SUPPORT_GUARDED_MEMORY_H

#include <cstddef>
#include <cstring>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tsk::test {

// Where the guard page lies: after the last element, or before the first.
enum class Guard { kAfter, kBefore };

// `count` elements of T, the last one right before a guard page (or the
// first right after one), holding a copy of `items` (no terminator is added).
template <typename T>
class GuardedArray {
public:
  GuardedArray(const T* items, size_t count, Guard guard = Guard::kAfter) {
    const size_t bytes = count * sizeof(T);
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    size_ = ((bytes + page - 1) / page + 1) * page;
    base_ =
        static_cast<char*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    const bool guarded =
        base_ != nullptr && VirtualProtect(guardPage(guard, page), page, PAGE_NOACCESS, &old);
#else
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_ = ((bytes + page - 1) / page + 1) * page;
    void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
    const bool guarded = base_ != nullptr && mprotect(guardPage(guard, page), page, PROT_NONE) == 0;
#endif
    if (!guarded) {
      throw std::runtime_error("cannot set up a guard page");
    }
    data_ =
        reinterpret_cast<T*>(guard == Guard::kAfter ? base_ + size_ - page - bytes : base_ + page);
    if (bytes > 0) {
      std::memcpy(data_, items, bytes);
    }
  }
  ~GuardedArray() {
#if defined(_WIN32)
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, size_);
#endif
  }
  GuardedArray(const GuardedArray&) = delete;
  GuardedArray& operator=(const GuardedArray&) = delete;

  const T* get() const { return data_; }

private:
  char* guardPage(Guard guard, size_t page) const {
    return guard == Guard::kAfter ? base_ + size_ - page : base_;
  }

  char* base_ = nullptr;
  size_t size_ = 0;
  T* data_ = nullptr;
};

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_GUARDED_MEMORY_H
