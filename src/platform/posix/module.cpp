// The executable's path from the kernel's link /proc/self/exe, in UTF-8,
// converted to UTF-16.
#include "platform/module.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

#include "unicode/transcode.h"

namespace tsk::platform {

uint32_t readExecutablePath(tsk_wchar_t* buffer, size_t capacity) {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  if (length < 0) {
    return static_cast<uint32_t>(errno);
  }
  if (static_cast<size_t>(length) == sizeof path || capacity == 0) {
    return ENAMETOOLONG;
  }
  const unicode::Transcoded wide =
      unicode::utf8ToUtf16(path, static_cast<size_t>(length), buffer, capacity - 1);
  if (!wide.fits) {
    return ENAMETOOLONG;
  }
  buffer[wide.count] = 0;
  return 0;
}

} // namespace tsk::platform
