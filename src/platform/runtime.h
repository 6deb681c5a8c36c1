// Services of the C runtime that differ between Windows and POSIX: calendar
// time and its text, the per-thread pseudo-random generator, and appending
// to a text file.
#ifndef TSKBASE_SRC_PLATFORM_RUNTIME_H
#define TSKBASE_SRC_PLATFORM_RUNTIME_H

#include <cstdint>

namespace tsk::platform {

// ---- Calendar time -------------------------------------------------------

// Seconds since 1970-01-01 00:00:00 UTC (_time64).
int64_t calendarTime();

// later - earlier in seconds (_difftime64).
double calendarTimeDifference(int64_t later, int64_t earlier);

// Length of the local-time text with its newline; the buffer needs one more.
inline constexpr int kLocalTimeTextLength = 25;

// The last second that the Windows runtime writes as local time:
// 3000-12-31 23:59:59 UTC.
inline constexpr int64_t kLatestLocalTime = 32535215999;

// The local time of `seconds` in the runtime's 25-character form with a
// newline, "Wed Jan 02 02:03:55 1980\n": English weekday and month names, a
// two-digit day (zero-padded, as the Windows runtime writes it), 24-hour
// time, four-digit year. False, with `text` untouched, for a time the Windows
// runtime refuses: before 1970 or after kLatestLocalTime.
bool localTimeText(int64_t seconds, char (&text)[kLocalTimeTextLength + 1]);

// ---- Pseudo-random numbers -----------------------------------------------
//
// srand and rand of the Windows runtime: each thread has its own generator
// (seeded with 1 until it seeds it), and a seed gives the same sequence of
// numbers from 0 to 32767 on every platform.
void seedThreadRandom(uint32_t seed);
int threadRandom();

// ---- Files ---------------------------------------------------------------

// What appendToFile managed; each step is tried even if the one before it
// failed, except that nothing follows a failed open.
struct AppendOutcome {
  bool opened;  // the file was opened (mode "a+": created if absent)
  bool flushed; // the text was written and flushed
  bool closed;  // the file was closed
};

// Appends `text` to the file at `path` (narrow, as fopen takes it), opening
// and closing the file for this one call. The file is opened in text mode:
// on Windows each "\n" is written as "\r\n".
AppendOutcome appendToFile(const char* path, const char* text);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_RUNTIME_H
