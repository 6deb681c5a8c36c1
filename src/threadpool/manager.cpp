#include "threadpool/manager.h"

#include <memory>

#include "platform/runtime.h"
#include "platform/thread.h"
#include "text/format.h"
#include "threadpool/debug_log.h"
#include "threadpool/timing.h"

namespace tsk {

std::atomic<ThreadPoolManager*> g_threadPoolManager{nullptr};
std::atomic<bool> g_monitorRunning{false};

namespace {

// Formats one message into the monitor's buffer; a longer text is cut to
// the buffer.
template <typename... Arguments>
void formatMessage(char (&message)[kMessageCapacity], const char* format, Arguments... arguments) {
  text::formatBounded(message, kMessageCapacity - 1, format, arguments...);
  message[kMessageCapacity - 1] = '\0';
}

} // namespace

ThreadPoolManager::ThreadPoolManager() {
  monitorWake = platform::createEvent(true, false);
  monitorThread = platform::createSuspendedThread(&ThreadFunc, this, &monitorThreadId);
  try {
    AddPool(kDefaultPoolName, kDefaultPoolMinThreads, kDefaultPoolMaxThreads);
  } catch (...) {
    StopMonitor();
    DestroyPools();
    platform::closeHandle(monitorWake);
    throw;
  }
  if (monitorThread != nullptr) {
    platform::resumeThread(monitorThread);
  }
}

ThreadPoolManager::~ThreadPoolManager() {
  StopMonitor();
  DestroyPools();
  if (monitorWake != nullptr) {
    platform::closeHandle(monitorWake);
  }
  ThreadPoolManager* self = this;
  g_threadPoolManager.compare_exchange_strong(self, nullptr);
}

void ThreadPoolManager::StopMonitor() {
  g_monitorRunning = false;
  if (monitorThread == nullptr) {
    return;
  }
  if (monitorWake != nullptr) {
    platform::setEvent(monitorWake);
  }
  // Still suspended if the construction failed: it then ends at once.
  platform::resumeThread(monitorThread);
  platform::waitForObject(monitorThread, platform::kInfinite);
  platform::closeHandle(monitorThread);
  monitorThread = nullptr;
}

void ThreadPoolManager::DestroyPools() {
  for (const auto& [name, pool] : pools) {
    delete pool;
  }
  pools.clear();
}

tsk_status ThreadPoolManager::AddPool(const WideString& name, int32_t minThreads,
                                      int32_t maxThreads) {
  if (pools.find(name) != pools.end()) {
    return TSK_FAIL;
  }
  std::unique_ptr<ThreadPool> created(new ThreadPool(name, maxThreads, minThreads));
  ThreadPool* const pool = created.get();
  pools.emplace(name, pool);
  created.release();
  return pool->RunAll();
}

ThreadPool* ThreadPoolManager::FindPool(const tsk_wchar_t* name) const {
  auto found = pools.find(name);
  if (found == pools.end()) {
    found = pools.find(kDefaultPoolName);
  }
  return found != pools.end() ? found->second : nullptr;
}

tsk_status ThreadPoolManager::GetThread(const tsk_wchar_t* poolName, Thread** worker) {
  if (worker == nullptr) {
    return TSK_FAIL;
  }
  ThreadPool* const pool = FindPool(poolName);
  return pool != nullptr ? pool->GetIdleThread(worker) : TSK_FAIL;
}

bool ThreadPoolManager::IsPool(ThreadPool* pool) const {
  if (pool == nullptr) {
    return false;
  }
  const auto found = pools.find(pool->GetName());
  return found != pools.end() && found->second == pool;
}

bool ThreadPoolManager::ValidateThread(Thread* worker) {
  return WithValidThread(worker, [](Thread&) {});
}

void ThreadPoolManager::RunAllPools() {
  for (const auto& [name, pool] : pools) {
    pool->RunAll();
  }
}

tsk_status ThreadPoolManager::RunFunction(WorkRoutine work, void* workArgument) {
  ThreadPool* const pool = FindPool(kDefaultPoolName);
  return pool != nullptr ? pool->RunIdleThread(work, workArgument) : TSK_FAIL;
}

tsk_status ThreadPoolManager::KillThread(Thread* worker, bool hard) {
  tsk_status result = TSK_FAIL;
  ThreadPool* removeFrom = nullptr;
  const bool valid = WithValidThread(worker, [&](Thread& member) {
    result = member.Stop();
    if (!hard) {
      return;
    }
    uint32_t id = 0;
    member.GetThreadId(&id);
    // A routine that kills its own worker would end itself holding the
    // pool's lock: the worker is only stopped.
    if (id == platform::currentThreadId()) {
      result = TSK_FAIL;
      return;
    }
    if (member.GetPool(&removeFrom) != TSK_OK || removeFrom == nullptr) {
      result = TSK_FAIL;
      return;
    }
    if (!member.Terminate(TSK_FAIL)) {
      result = TSK_FAIL;
    }
  });
  if (!valid) {
    return TSK_FAIL;
  }
  if (removeFrom != nullptr) {
    removeFrom->RemoveThread(worker);
  }
  return result;
}

tsk_status ThreadPoolManager::ApplyToEveryPool(tsk_status (ThreadPool::*operation)()) {
  tsk_status status = TSK_OK;
  for (const auto& [name, pool] : pools) {
    if ((pool->*operation)() != TSK_OK) {
      status = TSK_FAIL;
    }
  }
  return status;
}

tsk_status ThreadPoolManager::SuspendAllPools() {
  return ApplyToEveryPool(&ThreadPool::SuspendAll);
}

tsk_status ThreadPoolManager::ResumeAllPools() { return ApplyToEveryPool(&ThreadPool::ResumeAll); }

uint32_t ThreadPoolManager::ThreadFunc(void* self) {
  auto* const manager = static_cast<ThreadPoolManager*>(self);
  manager->RunAllPools();
  char message[kMessageCapacity];
  while (g_monitorRunning) {
    manager->MonitorPass(message);
    platform::waitForObject(manager->monitorWake, g_monitorPeriod.load());
  }
  return 0;
}

void ThreadPoolManager::MonitorPass(char (&message)[kMessageCapacity]) {
  formatMessage(message, "\n\nMonitor Thread %d: Entering ThreadPoolManager::ThreadFunc\n",
                static_cast<int>(platform::currentThreadId()));
  DebugLog(message);
  formatMessage(message, "\t%s\n", TimeText(platform::calendarTime()).get());
  DebugLog(message);
  for (const auto& [name, pool] : pools) {
    formatMessage(message, "Poolname: %S (size = %d)\n", name.c_str(),
                  static_cast<int>(pool->GetSize()));
    DebugLog(message);
    pool->ForEachThread([&](Thread& worker) {
      if (worker.GetFullStatus(message, kMessageCapacity) != TSK_OK) {
        uint32_t id = 0;
        worker.GetThreadId(&id);
        formatMessage(message, "ERROR: Thread %5d::GetFullStatus failed\n", static_cast<int>(id));
      }
      DebugLog(message);
    });
    pool->RemoveIdleThreads();
  }
}

} // namespace tsk
