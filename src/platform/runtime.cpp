// The runtime services that the C library offers alike on every platform.
#include "platform/runtime.h"

#include <cstdio>

namespace tsk::platform {

AppendOutcome appendToFile(const char* path, const char* text) {
  AppendOutcome outcome{false, false, false};
  std::FILE* file = std::fopen(path, "a+");
  if (file == nullptr) {
    return outcome;
  }
  outcome.opened = true;
  const bool written = std::fputs(text, file) >= 0;
  outcome.flushed = std::fflush(file) == 0 && written;
  outcome.closed = std::fclose(file) == 0;
  return outcome;
}

} // namespace tsk::platform
