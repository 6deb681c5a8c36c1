// The thread pools' timing: how long the monitor sleeps between its passes,
// and how long a worker must have been idle before the monitor retires it.
// The shipped library keeps the values below; the testing library offers
// hooks that shorten them, so that tests need not wait ten minutes.
#ifndef TSKBASE_SRC_THREADPOOL_TIMING_H
#define TSKBASE_SRC_THREADPOOL_TIMING_H

#include <atomic>
#include <cstdint>

#include "tskbase/common.h"

namespace tsk {

inline constexpr uint32_t kMonitorPeriodMilliseconds = 600000;
inline constexpr double kIdleLimitSeconds = 1.0;

// Read at each use: a changed period applies from the monitor's next sleep.
extern std::atomic<uint32_t> g_monitorPeriod;
// A worker is removable once more than this many seconds (of calendar
// time) lie between its last finished step and a status query.
extern std::atomic<double> g_idleLimit;

} // namespace tsk

#if defined(TSKBASE_TESTING_HOOKS)
namespace tsk::testing {

// Sets the monitor's period in milliseconds (from its next sleep on).
TSKBASE_API void setMonitorPeriod(uint32_t milliseconds);
// Sets the idle limit in seconds; a negative limit makes every idle worker
// removable at the monitor's next look.
TSKBASE_API void setIdleLimit(double seconds);
// Back to the shipped values.
TSKBASE_API void restoreThreadPoolTiming();

} // namespace tsk::testing
#endif

#endif // TSKBASE_SRC_THREADPOOL_TIMING_H
