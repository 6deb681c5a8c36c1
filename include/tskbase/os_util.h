/**
 * @file
 * tskbase/os_util.h - the executable search path, path comparison, silent
 * deletion, the recycle bin, system error text, and the release of blocks
 * the library hands out.
 *
 * Blocks that these functions hand out (the previous PATH value, an error
 * message), and the single blocks of the allocating unpackers of
 * tskbase/buffer.h, come from the library's heap and are released with
 * osUtil_freeMemory. No function here throws.
 *
 * The list separator of PATH is the system's own: ';' on Windows, ':'
 * elsewhere. Changing PATH changes the process's environment: on Windows its
 * environment block, elsewhere the C library's environment, where the change
 * is not safe against getenv or setenv running at the same time on another
 * thread (POSIX leaves that unsafe).
 */
#ifndef TSKBASE_OS_UTIL_H
#define TSKBASE_OS_UTIL_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/** Puts `directory` in front of PATH unless it is there already, as decided
 * by osUtil_compareFileSystemObjectNames: with `firstOnly` 0 anywhere in the
 * list, otherwise only as its first entry. The list is split at the
 * separator except between double quotes, which are not part of an entry;
 * empty entries are skipped. The new value is `directory`, the separator and
 * the old value exactly as it was. On success (changed or not) a non-null
 * `previous` receives a copy of the old value to release with
 * osUtil_freeMemory. TSK_FAIL, changing and writing nothing, for a null or
 * empty directory, an unset or empty PATH, or when memory runs out or the
 * environment cannot be set. */
TSKBASE_API tsk_status osUtil_extendPath(const tsk_wchar_t* directory, tsk_wchar_t** previous,
                                         int32_t firstOnly);

/** 1 when the two paths name the same object after '\' is read as '/', runs
 * of separators as one and trailing separators are dropped, comparing the
 * letters A to Z without regard to case; 0 when not or when either is null.
 * Nothing else is normalised and the file system is not consulted:
 * `D:\Temp\\` and `d:/temp` are the same, `\\server\share` and
 * `/server/share` too. */
TSKBASE_API int32_t osUtil_compareFileSystemObjectNames(const tsk_wchar_t* first,
                                                        const tsk_wchar_t* second);

/** Deletes the file or directory tree at `path` permanently (not to the
 * recycle bin), without asking. Returns 0 on success, else the system's code:
 * on Windows the shell file operation's result, elsewhere an errno value.
 * Symbolic links are deleted themselves, never followed. A null path fails
 * (ERROR_INVALID_PARAMETER, EINVAL). */
TSKBASE_API int32_t osUtil_deleteFileObject(const tsk_wchar_t* path);

/** Stores the system's message for error `code` through `message`, without
 * control characters (so without its line break), in a block to release with
 * osUtil_freeMemory; a null block when memory runs out. On Windows `code` is
 * a system error code (GetLastError), elsewhere an errno value. A code
 * without a message, or a null `message`, leaves *message as it was. */
TSKBASE_API void osUtil_formatLastError(uint32_t code, tsk_wchar_t** message);

/** Releases a single block that the library handed out; null is ignored. */
TSKBASE_API void osUtil_freeMemory(void* block);

/** A calendar time: the layout and field names of Windows' SYSTEMTIME, whose
 * address can be passed by casting it to tsk_systemtime*. */
typedef struct tsk_systemtime {
  uint16_t wYear;         /**< the year, 1601 to 30827 */
  uint16_t wMonth;        /**< 1 to 12 */
  uint16_t wDayOfWeek;    /**< 0 (Sunday) to 6; ignored by the comparisons */
  uint16_t wDay;          /**< 1 to 31 */
  uint16_t wHour;         /**< 0 to 23 */
  uint16_t wMinute;       /**< 0 to 59 */
  uint16_t wSecond;       /**< 0 to 59 */
  uint16_t wMilliseconds; /**< 0 to 999; ignored by the comparisons */
} tsk_systemtime;

/* The recycle bin. On Windows it is the shell's. Elsewhere it is the home
 * trash of freedesktop.org desktops ($XDG_DATA_HOME/Trash,
 * ~/.local/share/Trash when that is unset), which desktop file managers,
 * gio and trash-cli share: each item is files/NAME with info/NAME.trashinfo
 * holding its original path and its deletion time in local time.
 *
 * Deletion times are compared in whole seconds (milliseconds and the day of
 * the week play no part) in the bin's own time base: local time outside
 * Windows, whatever the shell's column holds on Windows. */

/** Moves the file or directory at `path` to the recycle bin. TSK_FAIL for a
 * null path, when nothing exists there, when the move fails, or when
 * something is still there afterwards. On Windows '/' is read as '\'.
 * Elsewhere the original path is recorded as an absolute path with "." and
 * ".." resolved as text and repeated or trailing '/' dropped, and an object
 * on another file system than the trash is refused and left where it is (no
 * copy is made); a failed move leaves nothing behind in the trash. */
TSKBASE_API tsk_status osUtil_sendFileToRecycleBin(const tsk_wchar_t* path);

/** Permanently deletes every item of the recycle bin that came from
 * `originalPath` and was deleted between `earliest` and `latest`, both
 * included. Paths match without regard to letter case but otherwise
 * exactly: separators are not normalised, and outside Windows the original
 * path is the absolute one that the send recorded. TSK_OK when the whole bin
 * was walked, whether anything matched or not. TSK_FAIL for a null or empty
 * path or a null bound, when the bin cannot be read, when a matching item
 * cannot be deleted, or when an item's deletion time or a bound is no valid
 * calendar time (the bounds are checked against each item, so an empty bin
 * gives TSK_OK whatever they hold); the walk stops there, and items deleted
 * before stay deleted. On Windows the calling thread must not belong to a
 * single-threaded COM apartment. */
TSKBASE_API tsk_status osUtil_removeItemFromRecycleBinByOriginalPath(
    const tsk_wchar_t* originalPath, const tsk_systemtime* earliest, const tsk_systemtime* latest);

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_OS_UTIL_H */
