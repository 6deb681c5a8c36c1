/**
 * @file
 * tskbase/module_path.h - where the running program's executable lies, and
 * paths composed beside it.
 *
 * The executable is the one that started the process, not the library. Its
 * path is read once, on first use, into a buffer of the library that holds
 * the directory (without a trailing separator) and the file name. The
 * separator is the running system's own: '\' on Windows, '/' elsewhere.
 *
 * @verbatim
 *   module_getBasePath()   D:\app\bin        (for D:\app\bin\tool.exe)
 *   module_getFileName()   tool.exe
 *   module_setFilePath(out, 260, TSK_W("cfg.ini"), TSK_W("conf"))
 *                          D:\app\bin\conf\cfg.ini, returns 23
 * @endverbatim
 *
 * The returned pointers point into the library's buffer: callers must not
 * free or change the text, and it stays valid while the library is loaded.
 * Any number of threads may make the first call at once; they all see the
 * complete path. A forced re-read (module_initializeModulePath(1)) writes a
 * second buffer and then switches to it, so callers holding pointers from
 * before it keep their text; the re-read after that one reuses their buffer,
 * so force a read only while no other thread is using the module path.
 */
#ifndef TSKBASE_MODULE_PATH_H
#define TSKBASE_MODULE_PATH_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/** Capacity of the module path buffer in wide characters. */
#define MODULE_PATH_CAPACITY 260

/** Reads the executable's path, unless it was read before and `force` is 0.
 * Returns 0 on success; the system's error code when the path cannot be read
 * (also when it is longer than MODULE_PATH_CAPACITY - 1 characters: Windows'
 * ERROR_INSUFFICIENT_BUFFER, ENAMETOOLONG elsewhere); TSK_FAIL when it holds
 * no separator. A failed read leaves the path read before, if any, in use. */
TSKBASE_API uint32_t module_initializeModulePath(int32_t force);

/** The executable's directory, without a trailing separator, or null when the
 * path cannot be read. */
TSKBASE_API const tsk_wchar_t* module_getBasePath(void);

/** The executable's file name, or null when the path cannot be read. */
TSKBASE_API const tsk_wchar_t* module_getFileName(void);

/** Composes base path, then `subdirectory`, then `fileName` (either may be
 * null) into `out`, putting a separator between them unless the part before
 * already ends in one. Returns the length of the result, or 0 when the path
 * cannot be read, capacity is 0 (out untouched), or a stage does not fit:
 * every stage needs room for its text, its terminator and one further
 * character, so a result of length L needs a capacity of L + 2. After a
 * stage that does not fit, `out` may hold the stages composed before it. */
TSKBASE_API uint32_t module_setFilePath(tsk_wchar_t* out, uint32_t capacity,
                                        const tsk_wchar_t* fileName,
                                        const tsk_wchar_t* subdirectory);

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_MODULE_PATH_H */
