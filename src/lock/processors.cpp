// Compiled into each library on its own (like the heap), since only the
// library with test hooks can pretend.
#include "lock/processors.h"

#include <atomic>

#include "platform/thread.h"

#if defined(TSKBASE_TESTING_HOOKS)
namespace {
std::atomic<bool> g_pretendSingleProcessor{false};
}

void tsk::testing::pretendSingleProcessor(bool pretend) { g_pretendSingleProcessor.store(pretend); }
#endif

bool tsk::lock::singleProcessor() {
#if defined(TSKBASE_TESTING_HOOKS)
  if (g_pretendSingleProcessor.load()) {
    return true;
  }
#endif
  return platform::processorCount() == 1;
}
