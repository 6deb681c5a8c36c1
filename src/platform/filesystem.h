// What the file-system functions need of the operating system: the path
// separators, lock files held shared or exclusively, existence tests and a
// silent recursive delete.
//
// On Windows a lock file is held through its sharing mode: shared holders
// open it for reading and grant reading to others, an exclusive holder opens
// it for writing and grants nothing. Elsewhere the same protocol rests on
// advisory locks (flock) taken without waiting: see posix/filesystem.cpp.
#ifndef TSKBASE_SRC_PLATFORM_FILESYSTEM_H
#define TSKBASE_SRC_PLATFORM_FILESYSTEM_H

#include <cstdint>

#include "tskbase/common.h"

namespace tsk::platform {

// The separator between a directory and the names in it, and the one
// between the entries of the PATH environment variable.
#if defined(_WIN32)
inline constexpr tsk_wchar_t kPathSeparator = L'\\';
inline constexpr tsk_wchar_t kPathListSeparator = L';';
#else
inline constexpr tsk_wchar_t kPathSeparator = u'/';
inline constexpr tsk_wchar_t kPathListSeparator = u':';
#endif

// An open file: a Windows handle or a POSIX file descriptor, as an integer.
// All bits set (INVALID_HANDLE_VALUE, or -1) means none.
using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFileHandle = -1;

enum class LockFileResult {
  kLocked,        // the lock is held through *handle
  kHeldElsewhere, // another holder's lock excludes this one (a sharing violation)
  kFailed         // any other failure; the system's last error tells which
};

// Opens the lock file at `path`, creating it if absent, and takes it shared
// (any number of shared holders) or exclusive (one holder, no shared ones)
// without waiting.
LockFileResult openLockFile(const tsk_wchar_t* path, bool exclusive, FileHandle* handle);

// A second handle on the same open lock file. It shares the lock, which lasts
// until every such handle is closed. kInvalidFileHandle on failure.
FileHandle duplicateLockFile(FileHandle handle);

// Closes `handle` and deletes the lock file at `path` unless another holder
// still has it (a duplicate handle included). The outcome is not reported.
void closeLockFile(FileHandle handle, const tsk_wchar_t* path);

// Whether anything exists at `path` (no access test).
bool fileExists(const tsk_wchar_t* path);

// Whether `path` names an existing directory.
bool isDirectory(const tsk_wchar_t* path);

// Deletes the file or directory tree at `path` permanently, without asking
// and without any display; directories go with their contents. 0 on success,
// otherwise the system's code (Windows: the shell operation's result;
// elsewhere an errno value). A null path fails.
int32_t deleteFileObject(const tsk_wchar_t* path);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_FILESYSTEM_H
