#include "tskbase/reference_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <thread>
#include <vector>

#include "virtual_slot.h"

namespace {

// Exposes the protected SetRefs.
class Counted : public ReferenceCount {
public:
  using ReferenceCount::SetRefs;
};

class ReportsSeven : public ReferenceCount {
public:
  uint64_t QueryRef() const override { return 7; }
};

// Counting wraps below zero; copying reads the count through QueryRef,
// assigning copies the stored count.
TEST(ReferenceCount, CountsFromOneCopiesAndAssigns) {
  Counted count;
  EXPECT_EQ(
      (std::vector<uint64_t>{count.QueryRef(), count.AddRef(), count.Release(), count.Release(),
                             count.Release(), count.AddRef(), count.SetRefs(40), count.AddRef()}),
      (std::vector<uint64_t>{1, 2, 1, 0, std::numeric_limits<uint64_t>::max(), 0, 0, 41}));
  ReportsSeven seven;
  seven.AddRef(); // its own count is 2
  EXPECT_EQ(ReferenceCount(seven).QueryRef(), 7u);
  ReferenceCount target(100);
  target = seven;
  EXPECT_EQ(target.QueryRef(), 2u);
  ReferenceCount& self = target;
  EXPECT_EQ(&(target = self), &target);
  EXPECT_EQ(target.QueryRef(), 2u);
}

// Each AddRef returns the count its own increment produced: across all
// threads the results are 1 to N, each exactly once. Balanced AddRef and
// Release calls end at the initial count.
TEST(ReferenceCount, ConcurrentCallsEachSeeTheirOwnCount) {
  constexpr int kThreads = 8, kCalls = 5000;
  ReferenceCount rising(0), balanced(10);
  std::vector<std::atomic<int>> hits(kThreads * kCalls + 2); // by result; the last for any beyond N
  {
    std::vector<std::jthread> threads(kThreads);
    for (std::jthread& thread : threads) {
      thread = std::jthread([&] {
        for (int i = 0; i < kCalls; ++i) {
          ++hits[std::min<uint64_t>(rising.AddRef(), hits.size() - 1)];
          balanced.AddRef();
          balanced.Release();
        }
      });
    }
  }
  EXPECT_EQ(balanced.QueryRef(), 10u);
  EXPECT_EQ(std::count(hits.begin() + 1, hits.end() - 1, 1), kThreads * kCalls)
      << "a count was returned twice or skipped";
}

// Virtual slots in the order AddRef, Release, QueryRef, SetRefs.
TEST(ReferenceCount, VirtualSlotsKeepTheirOrder) {
  using tsk::test::virtualSlot;
  EXPECT_EQ((std::vector<int>{
                virtualSlot(&IReferenceCount::AddRef), virtualSlot(&IReferenceCount::Release),
                virtualSlot(&IReferenceCount::QueryRef), virtualSlot(&Counted::SetRefs)}),
            (std::vector<int>{0, 1, 2, 3}));
}

} // namespace
