// Lets a test process survive a debugger break: each break writes "debug
// break" to the error stream and execution continues behind it. And shows
// what a process sends to the debugger's output on its error stream.
#ifndef TSKBASE_TESTS_SUPPORT_DEBUG_BREAK_H
#define TSKBASE_TESTS_SUPPORT_DEBUG_BREAK_H

#if defined(_WIN32)
#include <windows.h>

#include <cstdio>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace tsk::test {

inline constexpr char kDebugBreakNote[] = "debug break\n";
// Written before each text sent to the debugger's output (Windows).
inline constexpr char kDebugOutputNote[] = "debug output: ";

#if defined(_WIN32)
inline LONG CALLBACK continueAfterBreakpoint(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != EXCEPTION_BREAKPOINT) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  std::fputs(kDebugBreakNote, stderr);
  std::fflush(stderr);
  // Step over the int3 if the context still points at it.
  if (*reinterpret_cast<const unsigned char*>(info->ContextRecord->Rip) == 0xCC) {
    ++info->ContextRecord->Rip;
  }
  return EXCEPTION_CONTINUE_EXECUTION;
}

inline void catchDebugBreaks() { AddVectoredExceptionHandler(1, &continueAfterBreakpoint); }

// OutputDebugString raises this exception for a debugger to see; the text is
// its second argument.
inline LONG CALLBACK noteDebugOutput(EXCEPTION_POINTERS* info) {
  constexpr DWORD kDebugPrint = 0x40010006; // DBG_PRINTEXCEPTION_C
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  if (record.ExceptionCode == kDebugPrint && record.NumberParameters >= 2) {
    std::fprintf(stderr, "%s%s", kDebugOutputNote,
                 reinterpret_cast<const char*>(record.ExceptionInformation[1]));
    std::fflush(stderr);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

inline void catchDebugOutput() { AddVectoredExceptionHandler(1, &noteDebugOutput); }
#else
inline void noteTrap(int) {
  const ssize_t written = write(STDERR_FILENO, kDebugBreakNote, sizeof kDebugBreakNote - 1);
  (void)written;
}

inline void catchDebugBreaks() { signal(SIGTRAP, &noteTrap); }

// There is no debugger output channel here.
inline void catchDebugOutput() {}
#endif

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_DEBUG_BREAK_H
