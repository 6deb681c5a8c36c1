/**
 * @file
 * tskbase/tskassert.h - the assertion-failure handler.
 *
 * An application's assertion macro calls _tskassert with the failed
 * expression, the source file and the line; TSK_ASSERT below is one. The
 * handler first offers the failure to the installed hook. If the hook does
 * not take it, the failure is reported according to the mode:
 *
 *   TSKASSERT_MODE_DEFAULT  the error stream for a console program, else the
 *                           message box; the program type is decided at the
 *                           first failure and kept
 *   TSKASSERT_MODE_STDERR   "Assertion failed: EXPR, file FILE, line N" on the
 *                           error stream, then abort()
 *   TSKASSERT_MODE_MSGBOX   a message box with Abort (ends the process),
 *                           Retry (breaks into the debugger and returns) and
 *                           Ignore (returns); if the box cannot be shown (no
 *                           desktop: a service, a batch job), its text goes
 *                           to the error stream and the debugger's output,
 *                           then abort()
 *
 * Without a windowing system the message box is a question on the process's
 * controlling terminal, and a console program is one that has such a
 * terminal. The question is asked in line mode whatever mode the terminal
 * was in (raw, say), and either line ending answers it; the terminal's
 * settings are restored afterwards. A process in a background job does not
 * own the terminal and is not asked: the box cannot be shown.
 *
 * The check of a hook's address allocates no memory: a failure raised inside
 * an allocator or a signal handler reaches the hook without re-entering
 * malloc.
 *
 * Mode and hook are changed atomically and may be set from any thread, also
 * while another thread is inside the handler.
 */
#ifndef TSKBASE_TSKASSERT_H
#define TSKBASE_TSKASSERT_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/** Mode: the error stream for a console program, else the message box. */
#define TSKASSERT_MODE_DEFAULT 0
/** Mode: one line on the error stream, then abort(). */
#define TSKASSERT_MODE_STDERR 1
/** Mode: the Abort / Retry / Ignore message box. */
#define TSKASSERT_MODE_MSGBOX 2
/** Argument of tskassert_set_mode that only asks for the current mode. */
#define TSKASSERT_MODE_QUERY 3

/** A hook returns 1 when it has dealt with the failure, and stores 1 in
 * *debugBreak (which is 0 on entry) to ask for a debugger break first. */
typedef int32_t (*tskassert_hook)(const char* expression, const char* file, int32_t line,
                                  int32_t* debugBreak);

/** Returns only when the hook took the failure, the user chose Ignore or
 * Retry, or a debugger continued the process. */
TSKBASE_API void _tskassert(const char* expression, const char* file, int32_t line);

/** Installs `hook` (null removes it) and returns the previous hook. A hook
 * whose address is not executable code is skipped. */
TSKBASE_API tskassert_hook tskassert_set_hook(tskassert_hook hook);

/** Modes 0 to 2 become the mode and return the previous one; 3 returns the
 * current mode; anything else returns -1 and changes nothing. */
TSKBASE_API int32_t tskassert_set_mode(int32_t mode);

TSKBASE_EXTERN_C_END

/** Reports a failed assertion through _tskassert when `expression` is false,
 * with the expression's text, the source file and the line. */
#define TSK_ASSERT(expression)                                                                     \
  ((expression) ? (void)0 : _tskassert(#expression, __FILE__, (int32_t)__LINE__))

#endif /* TSKBASE_TSKASSERT_H */
