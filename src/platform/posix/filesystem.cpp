// Lock files on flock(2) advisory locks, existence tests and a recursive
// delete that never follows symbolic links.
//
// The lock-file protocol keeps the observable behaviour of Windows' sharing
// modes: a holder opens the file (creating it if absent) and takes a shared
// or exclusive flock without waiting, where a lock that another holder's
// excludes is the "sharing violation" that callers retry. Closing deletes the
// file only when no other holder has it, which shows as the exclusive lock
// being free; the closer deletes while holding that lock. A holder that
// opened the file just before it was deleted gets its lock only afterwards,
// so openLockFile checks after locking that the file it locked is still the
// one at the path, and opens the path again if not: holders never split
// between two files. The kernel drops the locks of a process that ends, so a
// holder that crashes blocks nobody; its file stays until the next close.
#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/utf8_text.h"

namespace tsk::platform {

namespace {

// How often a lock file deleted under a new holder is opened again before
// the attempt counts as a lock held elsewhere.
constexpr int kReopenLimit = 100;

// close() that keeps errno as it was.
void closeQuietly(int fd) {
  const int error = errno;
  ::close(fd);
  errno = error;
}

// flock without waiting; 0 or an errno value (EWOULDBLOCK when another
// holder's lock excludes this one).
int lockNoWait(int fd, int operation) {
  while (::flock(fd, operation | LOCK_NB) != 0) {
    if (errno != EINTR) {
      return errno;
    }
  }
  return 0;
}

// Whether `path` still names the file open as `fd`.
bool isStillAt(int fd, const char* path) {
  struct stat open {};
  struct stat named {};
  return ::fstat(fd, &open) == 0 && ::stat(path, &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

int removeAt(int parent, const char* name);

// Removes everything in the directory open as `dirFd`, which it closes.
int emptyDirectory(int dirFd) {
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    const int error = errno;
    ::close(dirFd);
    return error;
  }
  int result = 0;
  while (result == 0) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      result = errno;
      break;
    }
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      result = removeAt(::dirfd(dir), entry->d_name);
    }
  }
  ::closedir(dir);
  return result;
}

// Removes the entry `name` of the directory `parent`: a directory with its
// contents, anything else (a symbolic link included) by itself.
int removeAt(int parent, const char* name) {
  struct stat info {};
  if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno;
  }
  if (!S_ISDIR(info.st_mode)) {
    return ::unlinkat(parent, name, 0) == 0 ? 0 : errno;
  }
  const int dirFd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) {
    return errno;
  }
  const int result = emptyDirectory(dirFd);
  if (result != 0) {
    return result;
  }
  return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

} // namespace

LockFileResult openLockFile(const tsk_wchar_t* path, bool exclusive, FileHandle* handle) {
  const Utf8Text native(path);
  if (native.get() == nullptr) {
    return LockFileResult::kFailed;
  }
  const int access = exclusive ? O_WRONLY : O_RDONLY;
  for (int attempt = 0; attempt < kReopenLimit; ++attempt) {
    const int fd = ::open(native.get(), access | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      return LockFileResult::kFailed;
    }
    const int error = lockNoWait(fd, exclusive ? LOCK_EX : LOCK_SH);
    if (error != 0) {
      closeQuietly(fd);
      errno = error;
      return error == EWOULDBLOCK ? LockFileResult::kHeldElsewhere : LockFileResult::kFailed;
    }
    if (isStillAt(fd, native.get())) {
      *handle = fd;
      return LockFileResult::kLocked;
    }
    closeQuietly(fd); // deleted by its last holder before we locked it
  }
  errno = EWOULDBLOCK;
  return LockFileResult::kHeldElsewhere;
}

FileHandle duplicateLockFile(FileHandle handle) {
  // The duplicate shares the open file, and so the flock on it.
  const int fd = ::fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, 0);
  return fd < 0 ? kInvalidFileHandle : fd;
}

void closeLockFile(FileHandle handle, const tsk_wchar_t* path) {
  ::close(static_cast<int>(handle));
  const Utf8Text native(path);
  if (native.get() == nullptr) {
    return;
  }
  const int fd = ::open(native.get(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return;
  }
  if (lockNoWait(fd, LOCK_EX) == 0 && isStillAt(fd, native.get())) {
    ::unlink(native.get());
  }
  closeQuietly(fd);
}

bool fileExists(const tsk_wchar_t* path) {
  const Utf8Text native(path);
  return native.get() != nullptr && ::access(native.get(), F_OK) == 0;
}

bool isDirectory(const tsk_wchar_t* path) {
  const Utf8Text native(path);
  struct stat info {};
  return native.get() != nullptr && ::stat(native.get(), &info) == 0 && S_ISDIR(info.st_mode);
}

int32_t deleteFileObject(const tsk_wchar_t* path) {
  if (path == nullptr) {
    return EINVAL;
  }
  const Utf8Text native(path);
  if (native.get() == nullptr) {
    return ENAMETOOLONG;
  }
  return removeAt(AT_FDCWD, native.get());
}

} // namespace tsk::platform
