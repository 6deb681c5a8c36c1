#include "threadpool/timing.h"

namespace tsk {

std::atomic<uint32_t> g_monitorPeriod{kMonitorPeriodMilliseconds};
std::atomic<double> g_idleLimit{kIdleLimitSeconds};

} // namespace tsk
