// The test hooks of the thread pools' timing. This file is compiled into
// each library on its own: only the testing library has the hooks.
#include "threadpool/timing.h"

#if defined(TSKBASE_TESTING_HOOKS)
namespace tsk::testing {

void setMonitorPeriod(uint32_t milliseconds) { g_monitorPeriod.store(milliseconds); }

void setIdleLimit(double seconds) { g_idleLimit.store(seconds); }

void restoreThreadPoolTiming() {
  g_monitorPeriod.store(kMonitorPeriodMilliseconds);
  g_idleLimit.store(kIdleLimitSeconds);
}

} // namespace tsk::testing
#endif
