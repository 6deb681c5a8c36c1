// The text of the assertion message box, built apart from the box itself so
// that its layout and truncation rules hold without a dialog.
#ifndef TSKBASE_SRC_CORE_ASSERTION_MESSAGE_H
#define TSKBASE_SRC_CORE_ASSERTION_MESSAGE_H

#include <cstddef>
#include <cstdint>

namespace tsk::core {

// Room for the whole text, terminator included; every text fits.
inline constexpr size_t kAssertionMessageSize = 540;

// Writes the message into `out` (kAssertionMessageSize bytes) and returns its
// length. `program` is the executable's path, or null when it is unknown.
//
//   Assertion failed!
//
//   Program: <path; longer than 49 characters: "..." and its last 46>
//   File: <file; longer than 52 characters: its first 49 and "...">
//   Line: <line>
//
//   Expression: <expression, cut with "..." so that the rest still fits>
//
//   <advisory sentence, two lines>
//
//   (Press Retry to debug the application - JIT must be enabled)
size_t formatAssertionMessage(char* out, const char* expression, const char* file, int32_t line,
                              const char* program);

} // namespace tsk::core

#endif // TSKBASE_SRC_CORE_ASSERTION_MESSAGE_H
