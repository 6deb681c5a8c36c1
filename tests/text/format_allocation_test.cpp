// The formatter needs no memory of its own: this program replaces the global
// operator new to count its calls.
#include "text/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

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

TEST(FormatAllocation, FormattingNeedsNoMemory) {
  static char n[4096];
  static tsk_wchar_t w[4096];
  // Past a piece of the converter, and not ASCII.
  const std::string longNarrow = std::string(1000, 'x') + "\xC3\xA9";
  const std::basic_string<tsk_wchar_t> longWide =
      std::basic_string<tsk_wchar_t>(1000, 'y') + TSK_W('\u00e9');
  // Cross-width text is written as long as it was measured. (This also
  // warms up what the platform caches per thread.)
  const int narrowText = formatLength("%S", longWide.c_str());
  const int wideText = formatLength(TSK_W("%S"), longNarrow.c_str());
  EXPECT_GE(std::min(narrowText, wideText), 1001);

  t_counting = true;
  const int results[] = {
      formatBounded(n, sizeof n, "%600d|%.300f", 42, 1.0 / 3.0),
      formatBounded(w, 4096, TSK_W("%600d|%.300f"), 42, 1.0 / 3.0),
      formatBounded(n, sizeof n, "%20s|%20S|%.*S", "ab", longWide.c_str(), 5, longWide.c_str()),
      formatBounded(w, 4096, TSK_W("%20s|%20S|%.*S"), TSK_W("ab"), longNarrow.c_str(), 5,
                    longNarrow.c_str()),
      formatSecure(w, 4096, TSK_W("%-3000X|%p"), 0xABCu, &n),
      formatSecure(n, sizeof n, "%-32.20lld", -5LL),
      // Numbers longer than the room, and precisions past a double's last
      // digit.
      formatBounded(n, 64, "%.5000f", 1.0 / 3.0),
      formatBounded(w, 64, TSK_W("%#.3000g|%.1100e"), 1e300, 5e-324),
      // Measuring and padding never store, so they need nothing.
      formatLength("%100000d%*s", 1, 100000, ""),
      formatLength(TSK_W("%100000d%S"), 1, longNarrow.c_str()),
      formatLength("%S%*s", longWide.c_str(), INT_MAX / 2, "")};
  t_counting = false;
  EXPECT_EQ(t_allocations, 0);
  EXPECT_EQ(std::vector<int>(std::begin(results), std::end(results)),
            (std::vector<int>{903, 903, 27 + narrowText, 27 + wideText, 3017, 32, -1, -1, 200000,
                              100000 + wideText, narrowText + INT_MAX / 2}));
}

} // namespace
