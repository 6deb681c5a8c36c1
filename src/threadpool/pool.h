// A named, bounded set of workers. A pool starts with the smaller of
// 2 x minThreads and maxThreads workers, hands out its first idle worker (or
// a new one below maxThreads), applies suspend, resume, warm-up run and stop
// to all its workers, and lets the monitor retire workers that have stayed
// idle, never below minThreads.
//
// `lock` guards `threads` and `threadCount` for the whole of every
// operation, and is taken before any worker's lock. Workers are destroyed
// only by the pool; a worker that leaves the pool is unlinked under `lock`,
// so an address found in the pool under `lock` is a live worker.
#ifndef TSKBASE_SRC_THREADPOOL_POOL_H
#define TSKBASE_SRC_THREADPOOL_POOL_H

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "lock/critical_section.h"
#include "threadpool/heap_object.h"
#include "threadpool/thread.h"

namespace tsk {

using WideString = std::basic_string<tsk_wchar_t>;

class ThreadPool : public HeapObject {
public:
  ThreadPool(const WideString& poolName, int32_t maximum, int32_t minimum);
  // Stops every worker, waits until their threads have ended, and destroys
  // them.
  virtual ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Creates one worker and stores it in *worker (null first), unless the
  // pool counts maxThreads workers. Throws std::bad_alloc, changing nothing.
  tsk_status AddThread(Thread** worker);
  // `count` attempts of AddThread while below maxThreads; TSK_FAIL if one
  // failed.
  tsk_status AddThreads(int32_t count);
  // The first IDLE worker, else a new one while below maxThreads; TSK_FAIL
  // (and *worker null) when neither exists. The worker is not reserved.
  tsk_status GetIdleThread(Thread** worker);
  // Takes the worker out of the pool and destroys it; 0 whether or not it
  // was there. The destruction waits for the worker's thread outside
  // `lock`.
  tsk_status RemoveThread(Thread* worker);
  // Stops and destroys the earliest-created removable workers while the
  // pool counts more than minThreads.
  void RemoveIdleThreads();
  // Suspend / Resume / warm-up Run on each worker in order, stopping at the
  // first that fails (TSK_FAIL).
  tsk_status SuspendAll();
  tsk_status ResumeAll();
  tsk_status RunAll();
  // Closes the pool (it adds and removes no worker any more), stops every
  // worker, then waits without the lock until all their threads have ended.
  // For the pool's destruction.
  tsk_status StopAll();
  bool HasThread(Thread* worker);
  uint32_t GetSize() const { return static_cast<uint32_t>(threadCount.load()); }
  const WideString& GetName() const { return name; }

  // GetIdleThread and Thread::Run in one hold of `lock`: two callers never
  // pick the same worker, and the worker cannot leave the pool between the
  // two.
  tsk_status RunIdleThread(WorkRoutine work, void* workArgument);

  // Calls operation(worker) holding `lock` if `worker` is one of this
  // pool's workers (only its address is looked at before that); false,
  // without calling it, if it is not.
  template <typename Operation>
  bool WithThread(Thread* worker, Operation operation) {
    ScopedLock hold(lock);
    if (!Contains(worker)) {
      return false;
    }
    operation(*worker);
    return true;
  }

  // Calls visit(worker) for each worker in order, holding `lock`.
  template <typename Visit>
  void ForEachThread(Visit visit) {
    ScopedLock hold(lock);
    for (const std::unique_ptr<Thread>& worker : threads) {
      visit(*worker);
    }
  }

private:
  using ThreadList = std::list<std::unique_ptr<Thread>>;

  bool Contains(const Thread* worker) const;
  template <typename Operation>
  tsk_status ApplyUntilFailure(Operation operation);

  ThreadList threads;
  const int32_t maxThreads;
  const int32_t minThreads;
  std::atomic<int32_t> threadCount{0}; // changed under `lock`, read anywhere
  const WideString name;
  CriticalSection lock;
  bool closing = false; // set by StopAll, under `lock`
};

} // namespace tsk

#endif // TSKBASE_SRC_THREADPOOL_POOL_H
