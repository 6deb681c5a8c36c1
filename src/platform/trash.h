// What the recycle-bin functions need of the system: moving an object into
// the bin, walking the bin's items with the original path, deletion time and
// location of each, deleting an item for good, and calendar times as whole
// seconds.
//
// On Windows the bin is the shell's recycle bin (SHFileOperationW with undo,
// and the COM enumeration of the recycle-bin folder). Elsewhere it is the
// home trash of freedesktop.org desktops: see
// posix/trash.cpp.
#ifndef TSKBASE_SRC_PLATFORM_TRASH_H
#define TSKBASE_SRC_PLATFORM_TRASH_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "tskbase/os_util.h"

namespace tsk::platform {

// The whole seconds from 1 January 1601 to `time`, or nothing when a field is
// out of range as SystemTimeToFileTime judges it (year 1601 to 30827, a day
// that the month has, hour below 24, minute and second below 60,
// milliseconds below 1000; the day of the week is not looked at).
std::optional<int64_t> calendarSeconds(const tsk_systemtime& time);

// Moves the file or directory at `path` into the bin. True when the system
// reports success.
bool moveToTrash(const tsk_wchar_t* path);

struct TrashItem {
  std::basic_string<tsk_wchar_t> originalPath; // empty when it cannot be read
  std::optional<int64_t> deletedAt;            // calendarSeconds of the deletion time
  std::basic_string<tsk_wchar_t> location;     // what purgeTrashItem deletes
};

enum class TrashWalk {
  kCompleted,  // every item was visited
  kStopped,    // the visitor asked to stop
  kUnavailable // the bin could not be opened or enumerated
};

// Calls `visit` with each item of the bin until it returns false. Items may
// be purged while the walk goes on. Throws std::bad_alloc.
TrashWalk walkTrash(const std::function<bool(const TrashItem&)>& visit);

// Deletes an item of the bin permanently: 0 on success, else the system's
// code, as deleteFileObject (platform/filesystem.h) gives it.
int32_t purgeTrashItem(const TrashItem& item);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_TRASH_H
