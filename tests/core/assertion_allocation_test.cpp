// The check of a hook's address allocates nothing, so that an assertion
// raised inside an allocator or a signal handler cannot re-enter malloc. This
// program replaces malloc and its kin (glibc lets a program do so) to count
// their calls around the check. POSIX, without sanitizers, which replace
// malloc themselves.
#include "tskbase/tskassert.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

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

// An executable mapping of a file whose path is longer than the check's
// buffer: its line of /proc/self/maps is read in two pieces.
TEST(AssertAllocation, LongMappingNamesAreSkippedWhole) {
  // A path of 4,080 characters (PATH_MAX is 4,096): with the addresses,
  // permissions and inode before it, the line passes 4,096 bytes.
  std::string path = ::testing::TempDir() + "tskbase_maps_" + std::to_string(getpid());
  std::vector<std::string> folders;
  for (bool first = true; path.size() + 101 < 3980; first = false) {
    if (!first) {
      path += "/" + std::string(100, 'd');
    }
    if (mkdir(path.c_str(), 0700) != 0) {
      GTEST_SKIP() << "cannot create " << path.size() << "-character folders";
    }
    folders.push_back(path);
  }
  path += "/" + std::string(4080 - path.size() - 1, 'c');
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0700);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 4096), 0);
  void* mapping = mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE, fd, 0);
  close(fd);
  unlink(path.c_str());
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    rmdir(folder->c_str());
  }
  if (mapping == MAP_FAILED) {
    GTEST_SKIP() << "no executable file mappings here";
  }
  const auto* inside = static_cast<const unsigned char*>(mapping) + 100;
  // Mappings before and after it (the stack comes last) are read as well.
  int local = 0;
  EXPECT_TRUE(isCallableCode(inside));
  EXPECT_TRUE(isCallableCode(reinterpret_cast<const void*>(&takeFailure)));
  EXPECT_TRUE(isCallableCode(reinterpret_cast<const void*>(&_tskassert)));
  EXPECT_FALSE(isCallableCode(g_data));
  EXPECT_FALSE(isCallableCode(&local));
  munmap(mapping, 4096);
  EXPECT_FALSE(isCallableCode(inside));
}

} // namespace
