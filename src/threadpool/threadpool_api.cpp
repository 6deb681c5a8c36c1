// The threadpoolMan_ functions over the process's one ThreadPoolManager.
//
// Manager handles are compared with the live manager before anything is
// done with them, so a handle kept after threadpoolMan_free is refused
// without being read.
//
// The public header comes last: MinGW's g++ marks the type information of
// every polymorphic type declared after an exported declaration for export
// from the DLL.
#include <atomic>
#include <new>

#include "core/handles.h"
#include "platform/library_lifetime.h"
#include "platform/thread.h"
#include "threadpool/manager.h"
#include "tskbase/thread_pool.h"

using tsk::g_threadPoolManager;
using tsk::Thread;
using tsk::ThreadPoolManager;

namespace {

// Serialises the creation of the manager against a concurrent creation, and
// its destruction against a concurrent destruction. A flag, so that nothing
// needs to be set up when the library is loaded.
std::atomic_flag g_managerBusy;

class ManagerGuard {
public:
  ManagerGuard() {
    while (g_managerBusy.test_and_set(std::memory_order_acquire)) {
      tsk::platform::sleepMilliseconds(1);
    }
  }
  ~ManagerGuard() { g_managerBusy.clear(std::memory_order_release); }
  ManagerGuard(const ManagerGuard&) = delete;
  ManagerGuard& operator=(const ManagerGuard&) = delete;
};

bool isLive(const ThreadPoolManager* manager) {
  return manager != nullptr && manager == g_threadPoolManager.load(std::memory_order_acquire);
}

// The status of operation(worker), or TSK_FAIL without calling it unless
// `manager` is the live manager and `worker` one of its workers.
template <typename Operation>
tsk_status onValidWorker(ThreadPoolManager* manager, Thread* worker, Operation operation) {
  tsk_status status = TSK_FAIL;
  if (isLive(manager) &&
      manager->WithValidThread(worker, [&](Thread& member) { status = operation(member); })) {
    return status;
  }
  return TSK_FAIL;
}

} // namespace

tsk_threadpool_manager* threadpoolMan_new(void) {
  if (ThreadPoolManager* live = g_threadPoolManager.load(std::memory_order_acquire)) {
    return live;
  }
  ManagerGuard guard;
  if (ThreadPoolManager* live = g_threadPoolManager.load(std::memory_order_acquire)) {
    return live;
  }
  // The manager's threads run the library's code as long as the process
  // lives unless it is freed: the library must not be unloaded under them.
  tsk::platform::keepLibraryLoaded();
  tsk::g_monitorRunning = true;
  try {
    auto* created = new ThreadPoolManager();
    g_threadPoolManager.store(created, std::memory_order_release);
    return created;
  } catch (const std::bad_alloc&) {
    tsk::g_monitorRunning = false;
    return nullptr;
  }
}

tsk_status threadpoolMan_free(tsk_threadpool_manager** manager) {
  // A routine that freed its manager would wait for its own end, or for a
  // thread that is freeing it and waits for the routine.
  if (Thread::IsWorkerThread()) {
    return TSK_FAIL;
  }
  ManagerGuard guard;
  if (manager == nullptr || !isLive(*manager)) {
    return TSK_FAIL;
  }
  return tsk::destroyHandle(manager);
}

tsk_status threadpoolMan_getPoolCount(tsk_threadpool_manager* manager, uint64_t* count) {
  if (count == nullptr) {
    return TSK_FAIL;
  }
  *count = 0;
  if (!isLive(manager)) {
    return TSK_FAIL;
  }
  *count = manager->GetPoolCount();
  return TSK_OK;
}

tsk_status threadpoolMan_getThread(tsk_threadpool_manager* manager,
                                   tsk_threadpool_worker** worker) {
  if (manager == nullptr || worker == nullptr) {
    return TSK_FAIL;
  }
  *worker = nullptr;
  if (!isLive(manager)) {
    return TSK_FAIL;
  }
  return manager->GetThread(tsk::kDefaultPoolName, worker);
}

tsk_status threadpoolMan_runFunction(tsk_threadpool_manager* manager, tsk_thread_routine routine,
                                     void* argument) {
  return isLive(manager) ? manager->RunFunction(routine, argument) : TSK_FAIL;
}

tsk_status threadpoolMan_runThread(tsk_threadpool_manager* manager, tsk_threadpool_worker* worker,
                                   tsk_thread_routine routine, void* argument) {
  return onValidWorker(manager, worker,
                       [&](Thread& member) { return member.Run(routine, argument); });
}

tsk_status threadpoolMan_suspendThread(tsk_threadpool_manager* manager,
                                       tsk_threadpool_worker* worker) {
  return onValidWorker(manager, worker, [](Thread& member) { return member.Suspend(); });
}

tsk_status threadpoolMan_resumeThread(tsk_threadpool_manager* manager,
                                      tsk_threadpool_worker* worker) {
  return onValidWorker(manager, worker, [](Thread& member) { return member.Resume(); });
}

tsk_status threadpoolMan_validateThread(tsk_threadpool_manager* manager,
                                        tsk_threadpool_worker* worker) {
  return onValidWorker(manager, worker, [](Thread&) { return TSK_OK; });
}

tsk_status threadpoolMan_killThread(tsk_threadpool_manager* manager, tsk_threadpool_worker* worker,
                                    uint8_t hard) {
  return isLive(manager) ? manager->KillThread(worker, hard != 0) : TSK_FAIL;
}

tsk_status threadpoolMan_pause(tsk_threadpool_manager* manager) {
  return isLive(manager) ? manager->SuspendAllPools() : TSK_FAIL;
}

tsk_status threadpoolMan_resume(tsk_threadpool_manager* manager) {
  return isLive(manager) ? manager->ResumeAllPools() : TSK_FAIL;
}
