/// @file
/// tskbase/file_lock.h - lock files that guard a data file against concurrent
/// use by several processes.
///
/// The lock file lies beside the data file, named "._lock_" followed by the
/// data file's name: `D:\work\plan.dat` has `D:\work\._lock_plan.dat`. Both '/'
/// and '\' count as separators; the rightmost one splits the path. Lock paths
/// are at most 259 characters long.
///
/// Any number of shared holders may hold a lock file at once; an exclusive
/// holder excludes everyone else. A Create that finds the lock taken tries
/// again once a second, up to its timeout. The lock file is created on demand
/// and deleted when its last holder closes it. The lock is the operating
/// system's, so it holds between processes and between objects of one process,
/// and a holder that crashes blocks nobody (its file stays behind, so Exists
/// still sees it, until the next holder closes).
///
/// @code
///   FileLock lock;
///   if (lock.Create(FileLock::FILE_LOCK_EXCLUSIVE, TSK_W("D:\\work\\plan.dat"))) {
///     ... write plan.dat ...
///     lock.Close();   // the destructor closes too
///   }
/// @endcode
///
/// On Windows the lock is the lock file's sharing mode; elsewhere an advisory
/// lock (flock) on it, which only processes that use FileLock respect.
///
/// An object belongs to one thread at a time. A copy of a holding object holds
/// the same lock through a duplicate of its handle; the lock lasts until the
/// original and every copy are closed. Every failure is a false result.
#ifndef TSKBASE_FILE_LOCK_H
#define TSKBASE_FILE_LOCK_H

#include <cstdint>

#include "tskbase/common.h"

/// One holder of a lock file: shared or exclusive, between processes.
class TSKBASE_API FileLock {
public:
  /// How a lock file is held.
  enum FileLockType {
    FILE_LOCK_SHARED = 0,   ///< with any number of other shared holders
    FILE_LOCK_EXCLUSIVE = 1 ///< alone; any value but this one is a shared lock
  };

  /// Timeout of the two-argument Create, in attempts one second apart.
  static constexpr int32_t DEFAULT_FILE_ACCESS_TIMEOUT = 30;
  /// Timeout that retries for as long as the lock is held elsewhere.
  static constexpr int32_t INFINITE_FILE_ACCESS_TIMEOUT = 0;

  /// Holds nothing.
  FileLock();
  /// Calls Close.
  virtual ~FileLock();
  /// The copy holds what `other` holds, through a handle of its own.
  FileLock(const FileLock& other);
  /// Closes what this object holds first.
  FileLock& operator=(const FileLock& other);

  /// Create(type, path, DEFAULT_FILE_ACCESS_TIMEOUT).
  bool Create(FileLockType type, const tsk_wchar_t* path);

  /// Takes the lock file of the data file `path`, shared or exclusive. While
  /// another holder's lock excludes this one, tries again after one second,
  /// making at most `timeout` attempts (0: no limit; below 0: none). False at
  /// once when this object already holds a lock (which stays held), for a
  /// null or empty path, one without a separator or with nothing after its
  /// last one, a lock path that does not fit, any failure other than the lock
  /// being held elsewhere, or when the directory is not there (any more).
  bool Create(FileLockType type, const tsk_wchar_t* path, int32_t timeout);

  /// Releases the lock held by this object, if any, and deletes the lock file
  /// unless another holder still has it. Safe to call twice.
  void Close();

  /// Whether the lock file of `path` exists (whether or not anyone holds it).
  bool Exists(const tsk_wchar_t* path) const;

  /// Writes the lock-file path of `path` into `out` of `capacity` wide
  /// characters. False when the path cannot be split or the lock path does
  /// not fit `capacity` or 259 characters.
  bool GetLockName(const tsk_wchar_t* path, tsk_wchar_t* out, uint64_t capacity) const;

protected:
  /// Splits the first 259 characters of `path` at their last separator into
  /// the directory, separator included, and the name; either buffer may be
  /// null. False when there is no separator, nothing follows it, or a part
  /// does not fit its buffer.
  bool SplitPath(const tsk_wchar_t* path, tsk_wchar_t* directory, uint64_t directoryCapacity,
                 tsk_wchar_t* name, uint64_t nameCapacity) const;

private:
  static constexpr int kPathCapacity = 260;

  intptr_t handle_; // the lock file's handle, or -1 (all bits set) for none
  tsk_wchar_t lockPath_[kPathCapacity];
};

#endif // TSKBASE_FILE_LOCK_H
