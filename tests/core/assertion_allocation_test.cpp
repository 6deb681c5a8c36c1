// The check of a hook's address allocates nothing, so that an assertion
// raised inside an allocator or a signal handler cannot re-enter malloc. This
// program replaces malloc and its kin (glibc lets a program do so) to count
// their calls around the check. POSIX, without sanitizers, which replace
// malloc themselves.
#include "tskbase/tskassert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "platform/assertion.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {

__thread bool t_counting = false;
__thread int t_allocations = 0;

void count() {
  if (t_counting) {
    ++t_allocations;
  }
}

} // namespace

extern "C" {
void* malloc(size_t bytes) {
  count();
  return __libc_malloc(bytes);
}
void* calloc(size_t count_, size_t size) {
  count();
  return __libc_calloc(count_, size);
}
void* realloc(void* block, size_t bytes) {
  count();
  return __libc_realloc(block, bytes);
}
void free(void* block) { __libc_free(block); }
}

namespace {

using tsk::platform::isCallableCode;

int32_t takeFailure(const char*, const char*, int32_t, int32_t*) { return 1; }

unsigned char g_data[64];

// Runs `check` while counting allocations; returns how many it made.
template <typename Check>
int allocationsOf(Check check) {
  t_allocations = 0;
  t_counting = true;
  check();
  t_counting = false;
  return t_allocations;
}

TEST(AssertAllocation, HookCheckAllocatesNothing) {
  int local = 0;
  const struct {
    const void* address;
    bool callable;
  } cases[] = {
      {reinterpret_cast<const void*>(&takeFailure), true},
      {reinterpret_cast<const void*>(&_tskassert), true}, // in the library
      {g_data, false},
      {&local, false},
      {nullptr, false},
      {reinterpret_cast<const void*>(uintptr_t{0x40}), false},
  };
  for (const auto& c : cases) {
    bool callable = !c.callable;
    EXPECT_EQ(allocationsOf([&] { callable = isCallableCode(c.address); }), 0) << c.address;
    EXPECT_EQ(callable, c.callable) << c.address;
  }
  // The whole handler, with a hook that takes the failure.
  tskassert_set_hook(&takeFailure);
  EXPECT_EQ(allocationsOf([] { _tskassert("x > 0", "a.src", 12); }), 0);
  tskassert_set_hook(nullptr);
}

} // namespace
