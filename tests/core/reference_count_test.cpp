#include "tskbase/reference_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include "shared_library.h"

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

// Every AddRef returns the count its own increment produced, so across all
// threads the results are each value from initial + 1 up exactly once.
TEST(ReferenceCount, ConcurrentCallsEachSeeTheirOwnCount) {
  constexpr int kThreads = 8;
  constexpr int kCalls = 5000;
  constexpr uint64_t kInitial = 10;
  ReferenceCount count(kInitial);
  std::vector<std::vector<uint64_t>> added(kThreads), released(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        added[t].push_back(count.AddRef());
        released[t].push_back(count.Release());
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(count.QueryRef(), kInitial);

  std::vector<uint64_t> all;
  for (const auto& results : added) {
    all.insert(all.end(), results.begin(), results.end());
  }
  for (uint64_t value : all) {
    ASSERT_GT(value, kInitial);
    ASSERT_LE(value, kInitial + kThreads);
  }
  for (const auto& results : released) {
    for (uint64_t value : results) {
      ASSERT_GE(value, kInitial);
      ASSERT_LT(value, kInitial + kThreads);
    }
  }

  ReferenceCount rising(0);
  std::vector<std::vector<uint64_t>> seen(kThreads);
  threads.clear();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        seen[t].push_back(rising.AddRef());
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  all.clear();
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

// The members, the copy constructor and the assignment are exported.
TEST(ReferenceCount, MembersAreExported) {
  tsk::test::SharedLibrary library(TSKBASE_LIBRARY_FILE);
  ASSERT_TRUE(library.loaded());
  const std::string u64 = typeid(uint64_t).name(); // mangled name of the type
  for (const std::string& name :
       {"_ZN14ReferenceCountC1E" + u64, std::string("_ZN14ReferenceCountC1ERKS_"),
        std::string("_ZN14ReferenceCountaSERKS_"), std::string("_ZN14ReferenceCountD1Ev"),
        std::string("_ZN14ReferenceCount6AddRefEv"), std::string("_ZN14ReferenceCount7ReleaseEv"),
        std::string("_ZNK14ReferenceCount8QueryRefEv"), "_ZN14ReferenceCount7SetRefsE" + u64}) {
    EXPECT_NE(library.find(name.c_str()), nullptr) << name;
  }
}

} // namespace
