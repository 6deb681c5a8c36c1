#include "core/heap.h"

#include <atomic>

#include "platform/heap.h"

namespace {

#if defined(TSKBASE_TESTING_HOOKS)
std::atomic<int64_t> g_allocationToFail{0};
std::atomic<int64_t> g_allocationCount{0};
std::atomic<int64_t> g_liveBlocks{0};

// Counts the allocation and tells whether it is the one chosen to fail.
bool injectedFailure() {
  const int64_t number = g_allocationCount.fetch_add(1) + 1;
  return number == g_allocationToFail.load();
}
void countLive(int64_t change) { g_liveBlocks.fetch_add(change); }
#else
constexpr bool injectedFailure() { return false; }
void countLive(int64_t) {}
#endif

} // namespace

namespace tsk::heap {

void* allocate(size_t bytes) {
  if (injectedFailure()) {
    return nullptr;
  }
  // malloc(0) may return null; callers treat null as failure, so ask for one
  // byte at least.
  void* block = platform::heapAllocate(bytes == 0 ? 1 : bytes);
  if (block != nullptr) {
    countLive(1);
  }
  return block;
}

void* reallocate(void* block, size_t bytes) {
  if (injectedFailure()) {
    return nullptr;
  }
  void* resized = platform::heapReallocate(block, bytes == 0 ? 1 : bytes);
  if (block == nullptr && resized != nullptr) {
    countLive(1);
  }
  return resized;
}

void release(void* block) {
  if (block != nullptr) {
    countLive(-1);
  }
  platform::heapRelease(block);
}

void releaseCallerBlock(void* block) { platform::heapRelease(block); }

} // namespace tsk::heap

#if defined(TSKBASE_TESTING_HOOKS)
namespace tsk::testing {

void failNthAllocation(int64_t n) {
  g_allocationCount.store(0);
  g_allocationToFail.store(n);
}

int64_t allocationsSinceReset() { return g_allocationCount.load(); }

int64_t liveAllocations() { return g_liveBlocks.load(); }

} // namespace tsk::testing
#endif
