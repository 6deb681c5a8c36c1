// What the assertion-failure handler needs of the operating system: the
// program type, the executable's path, a check of a hook's address, the
// message box and a debugger break.
#ifndef TSKBASE_SRC_PLATFORM_ASSERTION_H
#define TSKBASE_SRC_PLATFORM_ASSERTION_H

#include <cstddef>

namespace tsk::platform {

// True for a console program: one with a console window that has a title
// (Windows), or one with a controlling terminal (elsewhere).
bool isConsoleProgram();

// Copies the executable's full path into `buffer` of `size` bytes, cut to
// fit and always terminated. False if the path cannot be read.
bool executablePath(char* buffer, size_t size);

// True when `address` lies in code that may be called.
bool isCallableCode(const void* address);

// Answers of askAbortRetryIgnore.
inline constexpr int kAnswerAbort = 3;
inline constexpr int kAnswerRetry = 4;
inline constexpr int kAnswerIgnore = 5;

// Shows `text` under `title` in a task-modal box with the buttons Abort, Retry
// and Ignore (without a windowing system: asks on the controlling terminal)
// and returns the answer, or 0 if the question cannot be put.
int askAbortRetryIgnore(const char* text, const char* title);

// Breaks into the debugger; without one, the system's default for a
// breakpoint applies (usually the end of the process).
void debugBreak();

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_ASSERTION_H
