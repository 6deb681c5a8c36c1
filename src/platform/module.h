// The path of the process's executable.
#ifndef TSKBASE_SRC_PLATFORM_MODULE_H
#define TSKBASE_SRC_PLATFORM_MODULE_H

#include <cstddef>
#include <cstdint>

#include "tskbase/common.h"

namespace tsk::platform {

// Reads the full path of the executable that started the process into
// `buffer` of `capacity` UTF-16 units, terminator included. 0 on success;
// otherwise the system's error code, also when the path does not fit
// (Windows: ERROR_INSUFFICIENT_BUFFER; elsewhere ENAMETOOLONG). The buffer's
// contents are unspecified after a failure.
uint32_t readExecutablePath(tsk_wchar_t* buffer, size_t capacity);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_MODULE_H
