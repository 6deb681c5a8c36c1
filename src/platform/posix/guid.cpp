// Version-4 (random) GUIDs from the kernel's random source: getrandom(2),
// or /dev/urandom where the system call is missing.
#include "platform/guid.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tsk::platform {

namespace {

// Reads exactly `size` bytes from /dev/urandom.
bool readUrandom(unsigned char* out, size_t size) {
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, out + done, size - done);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  return done == size;
}

bool randomBytes(unsigned char* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::getrandom(out + done, size - done, 0);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return errno == ENOSYS && readUrandom(out + done, size - done);
    }
    done += static_cast<size_t>(got);
  }
  return true;
}

} // namespace

bool createGuid(tsk_guid* guid) {
  unsigned char bytes[sizeof(tsk_guid)];
  if (!randomBytes(bytes, sizeof bytes)) {
    return false;
  }
  // Version 4 in the top nibble of the third field (byte 7 in memory), and
  // the variant bits 10 at the top of byte 8.
  bytes[7] = static_cast<unsigned char>((bytes[7] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  std::memcpy(guid, bytes, sizeof bytes);
  return true;
}

bool createNilGuid(tsk_guid* guid) {
  std::memset(guid, 0, sizeof *guid);
  return true;
}

} // namespace tsk::platform
