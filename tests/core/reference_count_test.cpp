#include "tskbase/reference_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

namespace {

// Exposes the protected SetRefs.
class Counted : public ReferenceCount {
public:
  using ReferenceCount::ReferenceCount;
  using ReferenceCount::SetRefs;
};

class ReportsSeven : public ReferenceCount {
public:
  uint64_t QueryRef() const override { return 7; }
};

TEST(ReferenceCount, CountsUpAndDownFromOne) {
  ReferenceCount count;
  EXPECT_EQ(count.QueryRef(), 1u);
  EXPECT_EQ(count.AddRef(), 2u);
  EXPECT_EQ(count.Release(), 1u);
  EXPECT_EQ(count.Release(), 0u);
  EXPECT_EQ(count.Release(), std::numeric_limits<uint64_t>::max()); // wraps, deletes nothing
  EXPECT_EQ(count.AddRef(), 0u);
  EXPECT_EQ(ReferenceCount(40).AddRef(), 41u);
}

TEST(ReferenceCount, SetRefsReturnsThePreviousCount) {
  Counted count(3);
  EXPECT_EQ(count.SetRefs(5), 3u);
  EXPECT_EQ(count.QueryRef(), 5u);
}

TEST(ReferenceCount, CopyReadsThroughQueryRefAssignmentCopiesTheCount) {
  ReportsSeven seven;
  seven.AddRef(); // its own count is 2
  const ReferenceCount copy(seven);
  EXPECT_EQ(copy.QueryRef(), 7u); // the override was used

  ReferenceCount target(100);
  target = seven;
  EXPECT_EQ(target.QueryRef(), 2u); // the stored count, not QueryRef
  ReferenceCount& self = target;
  EXPECT_EQ(&(target = self), &target);
  EXPECT_EQ(target.QueryRef(), 2u);
}

// Each AddRef returns the count its own increment produced: across all
// threads the results are 1 to N, each exactly once. Balanced AddRef and
// Release calls end at the initial count.
TEST(ReferenceCount, ConcurrentCallsEachSeeTheirOwnCount) {
  constexpr int kThreads = 8;
  constexpr int kCalls = 5000;
  ReferenceCount rising(0), balanced(10);
  std::vector<std::vector<uint64_t>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        seen[t].push_back(rising.AddRef());
        balanced.AddRef();
        balanced.Release();
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(balanced.QueryRef(), 10u);
  std::vector<uint64_t> all;
  for (const auto& results : seen) {
    all.insert(all.end(), results.begin(), results.end());
  }
  std::sort(all.begin(), all.end());
  for (size_t i = 0; i < all.size(); ++i) {
    ASSERT_EQ(all[i], i + 1) << "a count was returned twice or skipped";
  }
}

// Virtual slots: AddRef, Release, QueryRef, SetRefs, then the destructor.
// A pointer to a virtual member holds 1 + the slot's byte offset in the
// table (Itanium C++ ABI, used by g++, clang and MinGW).
template <typename Member>
ptrdiff_t slotOf(Member member) {
  struct {
    uintptr_t pointer;
    ptrdiff_t adjust;
  } raw;
  static_assert(sizeof raw == sizeof member);
  std::memcpy(&raw, &member, sizeof raw);
  EXPECT_EQ(raw.pointer & 1, 1u) << "not a virtual member";
  return static_cast<ptrdiff_t>((raw.pointer - 1) / sizeof(void*));
}

class SlotProbe : public ReferenceCount {
public:
  static ptrdiff_t setRefsSlot() { return slotOf(&SlotProbe::SetRefs); }
};

TEST(ReferenceCount, VirtualSlotsKeepTheirOrder) {
  EXPECT_EQ(slotOf(&IReferenceCount::AddRef), 0);
  EXPECT_EQ(slotOf(&IReferenceCount::Release), 1);
  EXPECT_EQ(slotOf(&IReferenceCount::QueryRef), 2);
  EXPECT_EQ(SlotProbe::setRefsSlot(), 3);
  EXPECT_EQ(slotOf(&ReferenceCount::QueryRef), 2);
}

} // namespace
