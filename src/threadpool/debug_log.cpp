#include "threadpool/debug_log.h"

#include <cstdio>

#include "lock/critical_section.h"

namespace tsk {

void DebugLog(const char* text) {
  ScopedLock hold(g_debugLogLock);
  std::fputs(text, stdout);
  const platform::AppendOutcome outcome = platform::appendToFile(kDebugLogFile, text);
  if (!outcome.opened) {
    std::fputs("The file 'debug.txt' was not opened\n", stdout);
  } else {
    if (!outcome.flushed) {
      std::fputs("fflush failed\n", stdout);
    }
    if (!outcome.closed) {
      std::fputs("The file 'debug.txt' was not closed\n", stdout);
    }
  }
  // Each message reaches a pipe or file at once, not when the buffer fills.
  std::fflush(stdout);
}

} // namespace tsk
