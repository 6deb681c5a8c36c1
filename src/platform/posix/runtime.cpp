// The Windows runtime's time text and pseudo-random generator, rebuilt on
// the C library so that both platforms give the same results.
#include "platform/runtime.h"

#include <cstdio>
#include <ctime>

namespace tsk::platform {

int64_t calendarTime() { return static_cast<int64_t>(std::time(nullptr)); }

double calendarTimeDifference(int64_t later, int64_t earlier) {
  return static_cast<double>(later - earlier);
}

bool localTimeText(int64_t seconds, char (&text)[kLocalTimeTextLength + 1]) {
  static const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (seconds < 0 || seconds > kLatestLocalTime) {
    return false;
  }
  const auto time = static_cast<std::time_t>(seconds);
  std::tm local;
  if (localtime_r(&time, &local) == nullptr) {
    return false;
  }
  char formatted[64];
  const int length = std::snprintf(formatted, sizeof formatted, "%s %s %02d %02d:%02d:%02d %04d\n",
                                   kWeekdays[local.tm_wday], kMonths[local.tm_mon], local.tm_mday,
                                   local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
  if (length != kLocalTimeTextLength) {
    return false;
  }
  for (int i = 0; i <= length; ++i) {
    text[i] = formatted[i];
  }
  return true;
}

namespace {
// The Windows runtime's linear congruential generator, one state per thread.
thread_local uint32_t t_randomState = 1;
} // namespace

void seedThreadRandom(uint32_t seed) { t_randomState = seed; }

int threadRandom() {
  t_randomState = t_randomState * 214013u + 2531011u;
  return static_cast<int>((t_randomState >> 16) & 0x7FFF);
}

} // namespace tsk::platform
