// The Windows runtime's time functions and per-thread generator.
#include "platform/runtime.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tsk::platform {

int64_t calendarTime() { return _time64(nullptr); }

double calendarTimeDifference(int64_t later, int64_t earlier) {
  return _difftime64(later, earlier);
}

bool localTimeText(int64_t seconds, char (&text)[kLocalTimeTextLength + 1]) {
  // Checked here, so that the runtime never sees a time it would refuse.
  if (seconds < 0 || seconds > kLatestLocalTime) {
    return false;
  }
  const __time64_t time = seconds;
  const char* formatted = _ctime64(&time);
  if (formatted == nullptr || std::strlen(formatted) != kLocalTimeTextLength) {
    return false;
  }
  std::memcpy(text, formatted, kLocalTimeTextLength + 1);
  return true;
}

// The runtime keeps one generator per thread.
void seedThreadRandom(uint32_t seed) { std::srand(seed); }

int threadRandom() { return std::rand(); }

} // namespace tsk::platform
