// The formatter needs no memory of its own while the text fits in the
// caller's buffer. This program counts calls of the global operator new,
// which it replaces, around formatting calls.
#include "text/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace {

thread_local bool t_counting = false;
thread_local int t_allocations = 0;

// Out of line, so that the compiler does not pair the malloc in one inlined
// operator with the free in another.
__attribute__((noinline)) void* allocate(size_t bytes) {
  if (t_counting) {
    ++t_allocations;
  }
  return std::malloc(bytes == 0 ? 1 : bytes);
}

__attribute__((noinline)) void release(void* p) { std::free(p); }

} // namespace

void* operator new(size_t bytes) {
  void* p = allocate(bytes);
  if (p == nullptr) {
    throw std::bad_alloc();
  }
  return p;
}
void* operator new[](size_t bytes) { return operator new(bytes); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return allocate(bytes); }
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept { return allocate(bytes); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, size_t) noexcept { release(p); }
void operator delete[](void* p, size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace {

using tsk::text::formatBounded;
using tsk::text::formatLength;
using tsk::text::formatSecure;

// Operator new calls that `call` makes on this thread.
template <typename Call>
int allocationsOf(Call call) {
  t_allocations = 0;
  t_counting = true;
  call();
  t_counting = false;
  return t_allocations;
}

TEST(FormatAllocation, TextThatFitsNeedsNoMemory) {
  static char n[4096];
  static tsk_wchar_t w[4096];
  std::string longNarrow(1000, 'x');
  longNarrow += "\xC3\xA9"; // past a piece of the converter, not ASCII
  std::basic_string<tsk_wchar_t> longWide(1000, TSK_W('y'));
  longWide += static_cast<tsk_wchar_t>(0xE9);
  // Cross-width text is written as long as it was measured. (This also
  // warms up what the platform caches per thread.)
  const int narrowText = formatLength("%S", longWide.c_str());
  const int wideText = formatLength(TSK_W("%S"), longNarrow.c_str());
  EXPECT_GE(narrowText, 1001);
  EXPECT_GE(wideText, 1001);

  int result[9] = {};
  EXPECT_EQ(allocationsOf([&] {
              result[0] = formatBounded(n, sizeof n, "%600d|%.300f", 42, 1.0 / 3.0);
              result[1] = formatBounded(w, 4096, TSK_W("%600d|%.300f"), 42, 1.0 / 3.0);
              result[2] = formatBounded(n, sizeof n, "%20s|%20S|%.*S", "ab", longWide.c_str(), 5,
                                        longWide.c_str());
              result[3] = formatBounded(w, 4096, TSK_W("%20s|%20S|%.*S"), TSK_W("ab"),
                                        longNarrow.c_str(), 5, longNarrow.c_str());
              result[4] = formatSecure(w, 4096, TSK_W("%-3000X|%p"), 0xABCu, &result);
              result[5] = formatSecure(n, sizeof n, "%-32.20lld", -5LL);
              // Measuring and padding never store, so they need nothing.
              result[6] = formatLength("%100000d%*s", 1, 100000, "");
              result[7] = formatLength(TSK_W("%100000d%S"), 1, longNarrow.c_str());
              result[8] = formatLength("%S%*s", longWide.c_str(), INT_MAX / 2, "");
            }),
            0);
  EXPECT_EQ(result[0], 600 + 1 + 302);
  EXPECT_EQ(result[1], 600 + 1 + 302);
  EXPECT_EQ(result[2], 20 + 1 + narrowText + 1 + 5);
  EXPECT_EQ(result[3], 20 + 1 + wideText + 1 + 5);
  EXPECT_EQ(result[4], 3000 + 1 + 16);
  EXPECT_EQ(result[5], 32);
  EXPECT_EQ(result[6], 200000);
  EXPECT_EQ(result[7], 100000 + wideText);
  EXPECT_EQ(result[8], narrowText + INT_MAX / 2);
  char want[64];
  std::snprintf(want, sizeof want, "%-32.20lld", -5LL);
  EXPECT_STREQ(n, want);
  EXPECT_EQ(std::basic_string<tsk_wchar_t>(w, 4), TSK_W("ABC "));
}

} // namespace
