// FileLock: a lock file beside the data file, held shared or exclusively
// through the operating system (see platform/filesystem.h), retried once a
// second while another holder's lock excludes this one.
#include "tskbase/file_lock.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "platform/filesystem.h"
#include "tskbase/strings.h"

namespace {

namespace platform = tsk::platform;

using Traits = std::char_traits<tsk_wchar_t>;

constexpr std::chrono::seconds kRetryInterval{1};

static_assert(platform::kInvalidFileHandle == -1, "no handle is all bits set");

bool isSeparator(tsk_wchar_t c) { return c == u'/' || c == u'\\'; }

// Copies `length` units of `text` and a terminator into `out` of `capacity`
// units; false, writing nothing, when they do not fit. A null `out` takes
// anything.
bool copyPart(const tsk_wchar_t* text, size_t length, tsk_wchar_t* out, uint64_t capacity) {
  if (out == nullptr) {
    return true;
  }
  if (length >= capacity) {
    return false;
  }
  Traits::copy(out, text, length);
  out[length] = 0;
  return true;
}

} // namespace

FileLock::FileLock() : handle_(platform::kInvalidFileHandle), lockPath_{} {}

FileLock::~FileLock() { Close(); }

FileLock::FileLock(const FileLock& other) : handle_(platform::kInvalidFileHandle) { *this = other; }

FileLock& FileLock::operator=(const FileLock& other) {
  if (this == &other) {
    return *this;
  }
  Close();
  if (other.handle_ != platform::kInvalidFileHandle) {
    handle_ = platform::duplicateLockFile(other.handle_);
  }
  Traits::copy(lockPath_, other.lockPath_, kPathCapacity);
  return *this;
}

bool FileLock::Create(FileLockType type, const tsk_wchar_t* path) {
  return Create(type, path, DEFAULT_FILE_ACCESS_TIMEOUT);
}

bool FileLock::Create(FileLockType type, const tsk_wchar_t* path, int32_t timeout) {
  if (handle_ != platform::kInvalidFileHandle || path == nullptr || path[0] == 0) {
    return false;
  }
  lockPath_[0] = 0;
  tsk_wchar_t directory[kPathCapacity];
  if (!GetLockName(path, lockPath_, kPathCapacity) ||
      !SplitPath(path, directory, kPathCapacity, nullptr, 0)) {
    return false;
  }
  const bool exclusive = type == FILE_LOCK_EXCLUSIVE;
  for (int32_t attempts = 0; timeout == INFINITE_FILE_ACCESS_TIMEOUT || attempts < timeout;
       ++attempts) {
    switch (platform::openLockFile(lockPath_, exclusive, &handle_)) {
    case platform::LockFileResult::kLocked:
      return true;
    case platform::LockFileResult::kFailed:
      return false;
    case platform::LockFileResult::kHeldElsewhere:
      break;
    }
    // Waiting makes sense only while the lock file's directory is there.
    if (!platform::isDirectory(directory)) {
      return false;
    }
    std::this_thread::sleep_for(kRetryInterval);
  }
  return false;
}

void FileLock::Close() {
  if (handle_ == platform::kInvalidFileHandle) {
    return;
  }
  const platform::FileHandle handle = handle_;
  handle_ = platform::kInvalidFileHandle;
  platform::closeLockFile(handle, lockPath_);
}

bool FileLock::Exists(const tsk_wchar_t* path) const {
  tsk_wchar_t lockPath[kPathCapacity];
  return GetLockName(path, lockPath, kPathCapacity) && platform::fileExists(lockPath);
}

bool FileLock::GetLockName(const tsk_wchar_t* path, tsk_wchar_t* out, uint64_t capacity) const {
  tsk_wchar_t directory[kPathCapacity];
  tsk_wchar_t name[kPathCapacity];
  tsk_wchar_t lockName[kPathCapacity];
  if (out == nullptr || !SplitPath(path, directory, kPathCapacity, name, kPathCapacity) ||
      string_safeSprintfW(lockName, kPathCapacity, TSK_W("._lock_%s"), name) != TSK_OK) {
    return false;
  }
  const size_t directoryLength = Traits::length(directory);
  const size_t lockNameLength = Traits::length(lockName);
  const uint64_t room = std::min<uint64_t>(capacity, kPathCapacity);
  if (directoryLength + lockNameLength >= room) {
    return false;
  }
  Traits::copy(out, directory, directoryLength);
  Traits::copy(out + directoryLength, lockName, lockNameLength + 1);
  return true;
}

bool FileLock::SplitPath(const tsk_wchar_t* path, tsk_wchar_t* directory,
                         uint64_t directoryCapacity, tsk_wchar_t* name,
                         uint64_t nameCapacity) const {
  tsk_wchar_t copy[kPathCapacity];
  if (string_safeCopyW(path, copy, kPathCapacity) != TSK_OK) {
    return false;
  }
  const size_t length = Traits::length(copy);
  size_t separator = length;
  for (size_t i = 0; i < length; ++i) {
    if (isSeparator(copy[i])) {
      separator = i;
    }
  }
  if (separator + 1 >= length) {
    return false; // no separator, or nothing after it
  }
  return copyPart(copy, separator + 1, directory, directoryCapacity) &&
         copyPart(copy + separator + 1, length - separator - 1, name, nameCapacity);
}
