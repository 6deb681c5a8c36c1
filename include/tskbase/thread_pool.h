/**
 * @file
 * tskbase/thread_pool.h - the process-wide thread-pool manager, and naming
 * the calling thread.
 *
 * One manager serves the whole process. The first threadpoolMan_new creates
 * it with its "default pool" of 50 warm worker threads (growing on demand to
 * 100, and shrinking back to 25 when workers stay idle) and a monitor thread;
 * every further call returns the same manager until threadpoolMan_free.
 *
 * @code
 *   tsk_threadpool_manager* manager = threadpoolMan_new();
 *   threadpoolMan_runFunction(manager, &resize, image);   (TSK_FAIL: all busy)
 *   ...
 *   threadpoolMan_free(&manager);                         (manager is NULL)
 * @endcode
 *
 * A run request hands the routine and its argument to an idle worker of the
 * default pool, or to a new worker while the pool counts fewer than 100, and
 * returns at once; the worker calls routine(argument) on its own thread and
 * is idle again when the routine returns. There is no queue: with 100
 * workers busy, a request fails with TSK_FAIL and the caller decides whether
 * to try again.
 *
 * Workers can also be handled one by one through worker handles: obtained
 * with threadpoolMan_getThread (the worker is not reserved: the first run
 * request that reaches it wins), then run, suspended, resumed, validated or
 * killed. A worker handle stays valid until its worker is killed hard or
 * retired by the monitor; functions given a handle of a worker that no
 * longer exists fail with TSK_FAIL.
 *
 * Every ten minutes the monitor writes the status of every worker to
 * standard output and appends it to the file "debug.txt" in the current
 * directory, then retires workers that have been idle since its previous
 * look (down to 25). threadpoolMan_free wakes the monitor, stops every
 * worker and waits until all their threads have ended: every routine
 * accepted before runs to its end first. It must not be called while other
 * threads still use the manager, nor from a routine that the manager runs.
 *
 * The functions compile as C11 and return TSK_OK or TSK_FAIL.
 */
#ifndef TSKBASE_THREAD_POOL_H
#define TSKBASE_THREAD_POOL_H

#include "tskbase/common.h"

#ifdef __cplusplus
namespace tsk {
class ThreadPoolManager;
class Thread;
} // namespace tsk
/** The process's thread-pool manager, known to callers only by its handle. */
typedef tsk::ThreadPoolManager tsk_threadpool_manager;
/** A worker of the manager's pools, known to callers only by its handle. */
typedef tsk::Thread tsk_threadpool_worker;
#else
/* The same opaque types for C. */
typedef struct tsk_threadpool_manager tsk_threadpool_manager;
typedef struct tsk_threadpool_worker tsk_threadpool_worker;
#endif

/** What a worker runs: one pointer-sized argument, a 32-bit result (which
 * the pool does not look at). */
typedef uint32_t (*tsk_thread_routine)(void* argument);

TSKBASE_EXTERN_C_BEGIN

/** The process's manager, created with its default pool and monitor by the
 * first call; later calls return the same handle. NULL if memory runs out
 * while it is created (nothing is left behind then). */
TSKBASE_API tsk_threadpool_manager* threadpoolMan_new(void);

/** Stops the monitor and every worker, waits until their threads have
 * ended, destroys the manager and sets *manager to NULL. TSK_FAIL if
 * manager or *manager is null or not the live manager, or when called from
 * one of the manager's own threads. */
TSKBASE_API tsk_status threadpoolMan_free(tsk_threadpool_manager** manager);

/** The number of pools (1). *count is set to 0 first if count is not
 * null; TSK_FAIL for a null count or manager. */
TSKBASE_API tsk_status threadpoolMan_getPoolCount(tsk_threadpool_manager* manager, uint64_t* count);

/** An idle worker of the default pool, or a new one while the pool counts
 * fewer than 100, in *worker (set to NULL first). TSK_FAIL if either
 * pointer is null, or when 100 workers are busy. */
TSKBASE_API tsk_status threadpoolMan_getThread(tsk_threadpool_manager* manager,
                                               tsk_threadpool_worker** worker);

/** Runs routine(argument) on an idle worker of the default pool (a new one
 * while the pool counts fewer than 100) and returns at once. TSK_FAIL for a
 * null manager, or when 100 workers are busy. A null routine gives the
 * worker an empty work step. */
TSKBASE_API tsk_status threadpoolMan_runFunction(tsk_threadpool_manager* manager,
                                                 tsk_thread_routine routine, void* argument);

/** Runs routine(argument) on `worker` and returns at once. TSK_FAIL unless
 * the worker exists and is idle (a worker that is running, suspended or
 * stopped refuses). */
TSKBASE_API tsk_status threadpoolMan_runThread(tsk_threadpool_manager* manager,
                                               tsk_threadpool_worker* worker,
                                               tsk_thread_routine routine, void* argument);

/** Suspends an idle worker's thread: TSK_OK, and also for a worker that is
 * running (it is left running) or already suspended; TSK_FAIL for a stopped
 * worker or one that does not exist. */
TSKBASE_API tsk_status threadpoolMan_suspendThread(tsk_threadpool_manager* manager,
                                                   tsk_threadpool_worker* worker);

/** Resumes a suspended worker: TSK_OK, and also for a stopped worker;
 * TSK_FAIL for a worker that is idle or running, or does not exist. */
TSKBASE_API tsk_status threadpoolMan_resumeThread(tsk_threadpool_manager* manager,
                                                  tsk_threadpool_worker* worker);

/** TSK_OK if `worker` is a worker of the manager's pools, else TSK_FAIL. */
TSKBASE_API tsk_status threadpoolMan_validateThread(tsk_threadpool_manager* manager,
                                                    tsk_threadpool_worker* worker);

/** Stops `worker`. With hard 0 its thread ends once its current routine (if
 * any) has returned, and the worker stays in the pool, stopped, counting
 * toward its 100 workers. With hard non-zero its thread is also ended at
 * once (on Windows even in the middle of a routine, as TerminateThread
 * does; elsewhere after the routine has returned) and the worker leaves the
 * pool, so the handle is no longer valid. TSK_FAIL for a worker that does
 * not exist, or for a hard kill that fails or that a worker asks of itself
 * (it is stopped all the same). */
TSKBASE_API tsk_status threadpoolMan_killThread(tsk_threadpool_manager* manager,
                                                tsk_threadpool_worker* worker, uint8_t hard);

/** Suspends every idle worker (running and suspended ones are passed over).
 * Each pool stops at its first stopped worker, which makes the result
 * TSK_FAIL; every pool is visited in any case. */
TSKBASE_API tsk_status threadpoolMan_pause(tsk_threadpool_manager* manager);

/** Resumes every suspended worker. Each pool stops at its first worker that
 * is idle or running, which makes the result TSK_FAIL: after a pause that
 * left workers running, or with nothing paused, the result is TSK_FAIL. */
TSKBASE_API tsk_status threadpoolMan_resume(tsk_threadpool_manager* manager);

/** Names the calling thread for debuggers and system tools, after its first
 * 9 characters (bytes of the narrow name). On Linux this is the thread's
 * kernel name (/proc/self/task/TID/comm); on Windows the debugger learns it
 * through the thread-naming exception 0x406D1388, and the thread's
 * description is set where the system has SetThreadDescription. A null name
 * does nothing. */
TSKBASE_API void thread_setName(const char* name);

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_THREAD_POOL_H */
