// The process-wide thread-pool manager: it owns every pool of the process
// (one, the "default pool"), runs the monitor thread that logs the status
// of every worker and retires idle ones, and serves the threadpoolMan_
// functions.
//
// There is no manager-wide lock: `pools` does not change between
// construction and destruction, so lookups read it freely; pools and
// workers guard themselves. A worker handle is used only while its pool's
// lock is held and after its address has been found in that pool, so a
// handle of a worker that no longer exists is refused without being read.
#ifndef TSKBASE_SRC_THREADPOOL_MANAGER_H
#define TSKBASE_SRC_THREADPOOL_MANAGER_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>

#include "platform/sync.h"
#include "threadpool/heap_object.h"
#include "threadpool/pool.h"
#include "threadpool/thread.h"

namespace tsk {

inline constexpr tsk_wchar_t kDefaultPoolName[] = TSK_W("default pool");
inline constexpr int32_t kDefaultPoolMinThreads = 25;
inline constexpr int32_t kDefaultPoolMaxThreads = 100;
// The monitor's message buffer.
inline constexpr int kMessageCapacity = 256;

class ThreadPoolManager : public HeapObject {
public:
  // Creates the monitor thread suspended, the default pool with its
  // warm-up, then lets the monitor run. Throws std::bad_alloc, leaving no
  // thread behind.
  ThreadPoolManager();
  // Stops the monitor (waking it from its sleep), then destroys every pool
  // in name order, each waiting for its workers' threads.
  virtual ~ThreadPoolManager();
  ThreadPoolManager(const ThreadPoolManager&) = delete;
  ThreadPoolManager& operator=(const ThreadPoolManager&) = delete;

  // Creates a pool and gives its workers a warm-up run; the status of the
  // warm-up, or TSK_FAIL if the name is taken.
  tsk_status AddPool(const WideString& name, int32_t minThreads, int32_t maxThreads);
  // ThreadPool::GetIdleThread of the named pool, or of the default pool if
  // there is none of that name.
  tsk_status GetThread(const tsk_wchar_t* poolName, Thread** worker);
  // Whether `pool` is the pool that `pools` holds under its name.
  bool IsPool(ThreadPool* pool) const;
  // Whether `worker` is a worker of one of the pools.
  bool ValidateThread(Thread* worker);
  // Warm-up runs on every pool in name order.
  void RunAllPools();
  // The monitor thread's routine.
  static uint32_t ThreadFunc(void* manager);

  uint64_t GetPoolCount() const { return pools.size(); }
  // Runs work(workArgument) on an idle (or new) worker of the default pool.
  tsk_status RunFunction(WorkRoutine work, void* workArgument);
  // Calls operation(worker) holding the lock of the worker's pool if
  // `worker` is a worker of one of the pools; false, without calling it,
  // if it is not.
  template <typename Operation>
  bool WithValidThread(Thread* worker, Operation operation) {
    if (worker == nullptr) {
      return false;
    }
    for (const auto& [name, pool] : pools) {
      bool valid = false;
      const bool found = pool->WithThread(worker, [&](Thread& member) {
        ThreadPool* owner = nullptr;
        valid = member.GetPool(&owner) == TSK_OK && IsPool(owner);
        if (valid) {
          operation(member);
        }
      });
      if (found) {
        return valid;
      }
    }
    return false;
  }
  // Stops the worker; a hard kill also ends its thread at once and removes
  // the worker from its pool.
  tsk_status KillThread(Thread* worker, bool hard);
  // SuspendAll / ResumeAll on every pool in name order, visiting all;
  // TSK_FAIL if one failed.
  tsk_status SuspendAllPools();
  tsk_status ResumeAllPools();

private:
  using PoolMap = std::map<WideString, ThreadPool*, std::less<>>;

  ThreadPool* FindPool(const tsk_wchar_t* name) const;
  tsk_status ApplyToEveryPool(tsk_status (ThreadPool::*operation)());
  // Clears g_monitorRunning, wakes the monitor and waits until it has ended.
  void StopMonitor();
  void DestroyPools();
  // One pass of the monitor: the status dump and the removal of idle
  // workers.
  void MonitorPass(char (&message)[kMessageCapacity]);

  // Owned; pools are destroyed in name order while the map stays as it is,
  // so a routine still running may look its pool up.
  PoolMap pools;
  platform::Handle monitorThread = nullptr;
  uint32_t monitorThreadId = 0;
  // Signalled to end the monitor's sleep early.
  platform::Handle monitorWake = nullptr;
};

// The one instance, or null.
extern std::atomic<ThreadPoolManager*> g_threadPoolManager;
// Set when an instance is created, cleared by its destruction; the monitor
// tests it before each pass.
extern std::atomic<bool> g_monitorRunning;

} // namespace tsk

#endif // TSKBASE_SRC_THREADPOOL_MANAGER_H
