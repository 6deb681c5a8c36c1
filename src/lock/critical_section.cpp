#include "lock/critical_section.h"

namespace tsk {

// Constructed by the library's static initialisation at load; the runtime
// destroys it at unload through its exit list.
CriticalSection g_debugLogLock;

} // namespace tsk
