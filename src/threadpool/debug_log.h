// The thread pools' log: each message goes to standard output and is
// appended to "debug.txt" in the current directory, serialised by
// g_debugLogLock. The monitor is its only writer.
#ifndef TSKBASE_SRC_THREADPOOL_DEBUG_LOG_H
#define TSKBASE_SRC_THREADPOOL_DEBUG_LOG_H

#include <cstdint>

#include "platform/runtime.h"

namespace tsk {

// The log file, opened (mode "a+") and closed for every message.
inline constexpr char kDebugLogFile[] = "debug.txt";

// Writes `text` unchanged (no format interpretation) to standard output and
// to the log file. When the file cannot be opened, flushed or closed, says
// so on standard output and goes on.
void DebugLog(const char* text);

// The local time of `seconds` in the runtime's 25-character form with its
// newline, as the log shows times; null (which the formatter prints as
// "(null)") for a time that the runtime cannot show.
class TimeText {
public:
  explicit TimeText(int64_t seconds) : shown_(platform::localTimeText(seconds, text_)) {}
  const char* get() const { return shown_ ? text_ : nullptr; }

private:
  char text_[platform::kLocalTimeTextLength + 1];
  bool shown_;
};

} // namespace tsk

#endif // TSKBASE_SRC_THREADPOOL_DEBUG_LOG_H
