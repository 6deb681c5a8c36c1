// The process's environment variables, in UTF-16.
//
// On Windows these are the process's own environment block
// (GetEnvironmentVariableW, SetEnvironmentVariableW). Elsewhere they are the
// C library's environment (getenv, setenv) in UTF-8; setenv is not safe
// against getenv or setenv running at the same time on other threads.
#ifndef TSKBASE_SRC_PLATFORM_ENVIRONMENT_H
#define TSKBASE_SRC_PLATFORM_ENVIRONMENT_H

#include <cstddef>

#include "tskbase/common.h"

namespace tsk::platform {

// The units that the value of `name` needs, terminator included; 0 when the
// variable is not set.
size_t environmentValueSize(const tsk_wchar_t* name);

// Copies the value of `name` into `buffer` of `capacity` units and returns its
// length without the terminator; 0 when it is not set, empty, or does not fit.
size_t readEnvironmentValue(const tsk_wchar_t* name, tsk_wchar_t* buffer, size_t capacity);

// Sets `name` to `value` for this process and the programs it starts later.
bool setEnvironmentValue(const tsk_wchar_t* name, const tsk_wchar_t* value);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_ENVIRONMENT_H
