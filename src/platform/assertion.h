// What the assertion-failure handler needs of the operating system: the
// program type, the executable's path, a check of a hook's address, the
// message box, the debugger's output and a debugger break.
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

// True when `address` lies in code that may be called. Allocates nothing, so
// that an assertion inside an allocator or a signal handler can be checked.
bool isCallableCode(const void* address);

// Answers of askAbortRetryIgnore.
inline constexpr int kAnswerAbort = 3;
inline constexpr int kAnswerRetry = 4;
inline constexpr int kAnswerIgnore = 5;

// Shows `text` under `title` in a task-modal box with the buttons Abort, Retry
// and Ignore and returns the answer, or 0 if the question cannot be put (no
// desktop to show it on). Without a windowing system the question is asked
// on the controlling terminal, in line mode, its settings restored after; a
// process without one, or in a background job, cannot be asked.
int askAbortRetryIgnore(const char* text, const char* title);

// Writes `text` to the debugger's output (OutputDebugString on Windows;
// nothing where there is no such channel).
void debugOutput(const char* text);

// Breaks into the debugger; without one, the system's default for a
// breakpoint applies (usually the end of the process).
void debugBreak();

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_ASSERTION_H
