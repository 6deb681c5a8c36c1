// The files behind named objects: names, making, joining and removing them
// (see shared_file.h for the protocol).
#include "platform/posix/shared_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sync.h"

namespace tsk::platform::posix {

namespace {

// The longest file name (NAME_MAX).
constexpr size_t kMaxFileName = 255;

// Marks a file whose header and contents are complete.
constexpr uint32_t kComplete = 0x4F53544B;

// The steps of an open start again when the file changed under them (it
// was removed, or its last user crashed while making it); this many times
// at most.
constexpr int kAttempts = 100;

// The start of every file; the object's contents follow at kPayloadOffset.
struct Header {
  uint32_t complete; // kComplete once everything else is written
  uint32_t kind;
  uint32_t payloadSize;
  uint32_t nameLength;
  char16_t name[kMaxObjectName];
};

constexpr size_t kPayloadOffset = (sizeof(Header) + 63) / 64 * 64;

// ---- Names -------------------------------------------------------------------

bool standsForItself(char16_t unit) {
  return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') ||
         (unit >= u'0' && unit <= u'9') || unit == u'.' || unit == u'-' || unit == u'_';
}

void appendHex(std::string& out, uint64_t value, int digits) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out.push_back(kDigits[(value >> shift) & 0xF]);
  }
}

std::string escaped(std::u16string_view name) {
  std::string out;
  out.reserve(name.size());
  for (const char16_t unit : name) {
    if (standsForItself(unit)) {
      out.push_back(static_cast<char>(unit));
    } else {
      out.push_back('%');
      appendHex(out, unit, 4);
    }
  }
  return out;
}

// FNV-1a over the units, low byte first, in 128 bits.
unsigned __int128 hashOf(std::u16string_view name) {
  constexpr unsigned __int128 kPrime =
      (static_cast<unsigned __int128>(0x0000000001000000ULL) << 64) | 0x000000000000013BULL;
  unsigned __int128 hash =
      (static_cast<unsigned __int128>(0x6C62272E07BB0142ULL) << 64) | 0x62B821756295C58DULL;
  for (const char16_t unit : name) {
    hash = (hash ^ (unit & 0xFF)) * kPrime;
    hash = (hash ^ (unit >> 8)) * kPrime;
  }
  return hash;
}

// ---- Files -------------------------------------------------------------------

// Whether `path` still names the file open as `fd`.
bool sameFile(int fd, const std::string& path) {
  struct stat opened;
  struct stat named;
  return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool lockFile(int fd, int operation) {
  int status;
  do {
    status = flock(fd, operation);
  } while (status != 0 && errno == EINTR);
  return status == 0;
}

// Removes the files that nobody holds: the objects of users that all ended
// without closing them.
void removeLeftovers() {
  const int directory = ::open(kSharedFileDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* entries = directory >= 0 ? fdopendir(directory) : nullptr;
  if (entries == nullptr) {
    if (directory >= 0) {
      ::close(directory);
    }
    return;
  }
  const size_t prefixLength = std::strlen(kSharedFilePrefix);
  while (const dirent* entry = readdir(entries)) {
    if (std::strncmp(entry->d_name, kSharedFilePrefix, prefixLength) != 0) {
      continue;
    }
    const int fd = openat(directory, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
      continue;
    }
    const std::string path = std::string(kSharedFileDirectory) + "/" + entry->d_name;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, path)) {
      unlink(path.c_str());
    }
    ::close(fd);
  }
  closedir(entries);
}

} // namespace

std::string sharedFileName(std::u16string_view name) {
  std::string file = kSharedFilePrefix + escaped(name);
  if (file.size() <= kMaxFileName) {
    return file;
  }
  // Room for '~' and 32 hex digits, without cutting an escape in two.
  size_t keep = kMaxFileName - 33;
  const size_t escape = file.rfind('%', keep - 1);
  if (escape != std::string::npos && escape + 5 > keep) {
    keep = escape;
  }
  file.resize(keep);
  file.push_back('~');
  const unsigned __int128 hash = hashOf(name);
  appendHex(file, static_cast<uint64_t>(hash >> 64), 16);
  appendHex(file, static_cast<uint64_t>(hash), 16);
  return file;
}

OpenResult SharedFile::open(std::u16string_view name, SharedKind kind, uint32_t payloadSize,
                            Initialiser initialise, const void* context) {
  close();
  if (name.size() > kMaxObjectName) {
    return OpenResult::kFailed;
  }
  static const bool swept = (removeLeftovers(), true);
  (void)swept;
  path_ = std::string(kSharedFileDirectory) + "/" + sharedFileName(name);
  const Request request{name, kind, payloadSize, initialise, context};
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    Step step = Step::kFailed;
    if (fd >= 0) {
      step = join(fd, request);
    } else if (errno == ENOENT) {
      step = create(request);
    }
    switch (step) {
    case Step::kDone:
      return OpenResult::kOpened;
    case Step::kOtherKind:
      return OpenResult::kOtherKind;
    case Step::kFailed:
      return OpenResult::kFailed;
    case Step::kAgain:
      break;
    }
  }
  return OpenResult::kFailed;
}

void SharedFile::close() {
  if (fd_ < 0) {
    return;
  }
  unmap();
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0 && sameFile(fd_, path_)) {
    unlink(path_.c_str());
  }
  ::close(fd_);
  fd_ = -1;
}

void unmap(const MappedFile& mapping) {
  if (mapping.payload != nullptr) {
    munmap(mapping.base, mapping.size);
  }
}

MappedFile SharedFile::mapAgain() const {
  void* base = fd_ < 0 ? MAP_FAILED
                       : mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (base == MAP_FAILED) {
    return {nullptr, 0, nullptr};
  }
  return {base, mappingSize_, static_cast<char*>(base) + kPayloadOffset};
}

void SharedFile::leave() {
  if (fd_ >= 0) {
    forget(fd_);
    fd_ = -1;
  }
}

// Makes the object under no name and links it into place.
SharedFile::Step SharedFile::create(const Request& request) {
  const int fd = ::open(kSharedFileDirectory, O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) {
    return Step::kFailed;
  }
  if (!build(fd, request) || !lockFile(fd, LOCK_SH)) {
    forget(fd);
    return Step::kFailed;
  }
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  if (linkat(AT_FDCWD, self, AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    // Another process made the object first: join it.
    const bool madeElsewhere = errno == EEXIST;
    forget(fd);
    return madeElsewhere ? Step::kAgain : Step::kFailed;
  }
  fd_ = fd;
  return Step::kDone;
}

// Becomes one more user of the file open as `fd`.
SharedFile::Step SharedFile::join(int fd, const Request& request) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Nobody holds the object: its last users ended without closing it.
    // It is made afresh in place, since the file may belong to another
    // user, whom a sticky directory leaves alone.
    if (!sameFile(fd, path_)) {
      forget(fd);
      return Step::kAgain;
    }
    const bool built = build(fd, request);
    unmap(); // mapped again, and checked, under the shared lock
    if (!built) {
      forget(fd);
      return Step::kFailed;
    }
  } else if (errno != EWOULDBLOCK) {
    forget(fd);
    return Step::kFailed;
  }
  if (!lockFile(fd, LOCK_SH)) {
    forget(fd);
    return Step::kFailed;
  }
  if (!sameFile(fd, path_)) {
    forget(fd);
    return Step::kAgain;
  }
  return mapChecked(fd, request);
}

// Maps the file that this process now uses and checks that it is the
// object asked for.
SharedFile::Step SharedFile::mapChecked(int fd, const Request& request) {
  struct stat info;
  if (fstat(fd, &info) != 0) {
    forget(fd);
    return Step::kFailed;
  }
  const auto size = static_cast<size_t>(info.st_size);
  void* mapping = size < kPayloadOffset
                      ? MAP_FAILED
                      : mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (mapping == MAP_FAILED) {
    // Shorter than a header: its maker ended half-way. Made afresh once
    // nobody holds it.
    forget(fd);
    return size < kPayloadOffset ? Step::kAgain : Step::kFailed;
  }
  mapping_ = mapping;
  mappingSize_ = size;
  const auto* header = static_cast<const Header*>(mapping);
  if (header->complete != kComplete || kPayloadOffset + header->payloadSize > size) {
    forget(fd);
    return Step::kAgain;
  }
  if (header->nameLength != request.name.size() ||
      std::memcmp(header->name, request.name.data(), request.name.size() * sizeof(char16_t)) != 0) {
    forget(fd);
    return Step::kFailed;
  }
  if (header->kind != static_cast<uint32_t>(request.kind)) {
    forget(fd);
    return Step::kOtherKind;
  }
  fd_ = fd;
  payload_ = static_cast<char*>(mapping) + kPayloadOffset;
  return Step::kDone;
}

// Gives the file open as `fd`, which nobody else uses now, the zero-filled
// contents of a new object, and maps them.
bool SharedFile::build(int fd, const Request& request) {
  const size_t size = kPayloadOffset + request.payloadSize;
  if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
    return false;
  }
  // Open to every user, whatever the umask. (A file of another user, made
  // afresh in place, has these rights already, and cannot be changed.)
  fchmod(fd, 0666);
  void* mapping = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (mapping == MAP_FAILED) {
    return false;
  }
  mapping_ = mapping;
  mappingSize_ = size;
  payload_ = static_cast<char*>(mapping) + kPayloadOffset;
  auto* header = static_cast<Header*>(mapping);
  header->kind = static_cast<uint32_t>(request.kind);
  header->payloadSize = request.payloadSize;
  header->nameLength = static_cast<uint32_t>(request.name.size());
  std::memcpy(header->name, request.name.data(), request.name.size() * sizeof(char16_t));
  if (request.initialise != nullptr && !request.initialise(payload_, request.context)) {
    return false;
  }
  header->complete = kComplete;
  return true;
}

void SharedFile::unmap() {
  if (mapping_ != nullptr) {
    munmap(mapping_, mappingSize_);
  }
  mapping_ = nullptr;
  mappingSize_ = 0;
  payload_ = nullptr;
}

// Drops the file open as `fd`, which this object does not keep.
void SharedFile::forget(int fd) {
  unmap();
  ::close(fd);
}

} // namespace tsk::platform::posix
