// Whether the machine has a single processor, as InterProcessLock sees it:
// spinning there is skipped. The library with test hooks can pretend so.
#ifndef TSKBASE_SRC_LOCK_PROCESSORS_H
#define TSKBASE_SRC_LOCK_PROCESSORS_H

#include "tskbase/common.h"

namespace tsk::lock {

bool singleProcessor();

} // namespace tsk::lock

#if defined(TSKBASE_TESTING_HOOKS)
namespace tsk::testing {

// While `pretend` is true, singleProcessor() answers true.
TSKBASE_API void pretendSingleProcessor(bool pretend);

} // namespace tsk::testing
#endif

#endif // TSKBASE_SRC_LOCK_PROCESSORS_H
