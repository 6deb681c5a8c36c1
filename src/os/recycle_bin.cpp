// Sending files to the recycle bin, and purging the bin's copies of one
// original path that were deleted within a time window.
#include "tskbase/os_util.h"

#include <new>
#include <optional>
#include <string>

#include "platform/filesystem.h"
#include "platform/trash.h"
#include "tskbase/strings.h"

namespace {

namespace platform = tsk::platform;

using WideString = std::basic_string<tsk_wchar_t>;

constexpr int kNotComparable = -2;

// -1, 0 or 1 as `bound` is earlier than, in the same second as, or later
// than `seconds`; kNotComparable when either is no calendar time.
int compareWholeSeconds(const tsk_systemtime& bound, const std::optional<int64_t>& seconds) {
  const std::optional<int64_t> boundSeconds = platform::calendarSeconds(bound);
  if (!boundSeconds || !seconds) {
    return kNotComparable;
  }
  return *boundSeconds < *seconds ? -1 : *boundSeconds > *seconds ? 1 : 0;
}

WideString upperCased(const WideString& text) {
  WideString copy = text;
  string_toUpperW(copy.data());
  return copy;
}

} // namespace

tsk_status osUtil_sendFileToRecycleBin(const tsk_wchar_t* path) {
  if (path == nullptr || !platform::fileExists(path)) {
    return TSK_FAIL;
  }
  return platform::moveToTrash(path) && !platform::fileExists(path) ? TSK_OK : TSK_FAIL;
}

tsk_status osUtil_removeItemFromRecycleBinByOriginalPath(const tsk_wchar_t* originalPath,
                                                         const tsk_systemtime* earliest,
                                                         const tsk_systemtime* latest) {
  // An empty path matches the items whose name cannot be read, which nobody
  // can have sent.
  if (originalPath == nullptr || originalPath[0] == 0 || earliest == nullptr || latest == nullptr) {
    return TSK_FAIL;
  }
  try {
    const WideString wanted = upperCased(originalPath);
    bool failed = false;
    const platform::TrashWalk walk = platform::walkTrash([&](const platform::TrashItem& item) {
      const int fromEarliest = compareWholeSeconds(*earliest, item.deletedAt);
      const int fromLatest = compareWholeSeconds(*latest, item.deletedAt);
      if (fromEarliest == kNotComparable || fromLatest == kNotComparable) {
        failed = true;
      } else if (fromEarliest <= 0 && fromLatest >= 0 && upperCased(item.originalPath) == wanted) {
        failed = platform::purgeTrashItem(item) != 0;
      }
      return !failed;
    });
    return walk == platform::TrashWalk::kCompleted ? TSK_OK : TSK_FAIL;
  } catch (const std::bad_alloc&) {
    return TSK_FAIL;
  }
}
