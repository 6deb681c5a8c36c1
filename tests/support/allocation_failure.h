// Makes the library's allocations fail on demand, to test what a function
// promises when memory runs out.
#ifndef TSKBASE_TESTS_SUPPORT_ALLOCATION_FAILURE_H
#define TSKBASE_TESTS_SUPPORT_ALLOCATION_FAILURE_H

#include <cstdint>

#include "core/heap.h"

namespace tsk::test {

// While alive, the n-th library allocation from its construction fails.
class FailNthAllocation {
public:
  explicit FailNthAllocation(int64_t n) : liveAtStart_(tsk::testing::liveAllocations()) {
    tsk::testing::failNthAllocation(n);
  }
  ~FailNthAllocation() { tsk::testing::failNthAllocation(0); }
  FailNthAllocation(const FailNthAllocation&) = delete;
  FailNthAllocation& operator=(const FailNthAllocation&) = delete;

  // Library blocks allocated and not released since construction: after a
  // failed call that promises to clean up, this must be 0.
  int64_t leaked() const { return tsk::testing::liveAllocations() - liveAtStart_; }

private:
  int64_t liveAtStart_;
};

// The number of library allocations that `call` makes.
template <typename Call>
int64_t countAllocations(Call call) {
  tsk::testing::failNthAllocation(0);
  call();
  return tsk::testing::allocationsSinceReset();
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_ALLOCATION_FAILURE_H
