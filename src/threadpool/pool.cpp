#include "threadpool/pool.h"

#include <algorithm>

namespace tsk {

ThreadPool::ThreadPool(const WideString& poolName, int32_t maximum, int32_t minimum)
    : maxThreads(maximum), minThreads(minimum), name(poolName) {
  AddThreads(static_cast<int32_t>(std::min<int64_t>(2 * int64_t{minThreads}, maxThreads)));
}

ThreadPool::~ThreadPool() {
  StopAll();
  ScopedLock hold(lock);
  threads.clear();
  threadCount = 0;
}

bool ThreadPool::Contains(const Thread* worker) const {
  return std::any_of(
      threads.begin(), threads.end(),
      [worker](const std::unique_ptr<Thread>& member) { return member.get() == worker; });
}

tsk_status ThreadPool::AddThread(Thread** worker) {
  if (worker == nullptr) {
    return TSK_FAIL;
  }
  *worker = nullptr;
  ScopedLock hold(lock);
  if (threadCount >= maxThreads || closing) {
    return TSK_FAIL;
  }
  std::unique_ptr<Thread> created(new Thread(this));
  threads.push_back(std::move(created));
  ++threadCount;
  *worker = threads.back().get();
  return TSK_OK;
}

tsk_status ThreadPool::AddThreads(int32_t count) {
  tsk_status status = TSK_OK;
  for (int32_t i = 0; i < count; ++i) {
    Thread* added = nullptr;
    if (threadCount < maxThreads && AddThread(&added) != TSK_OK) {
      status = TSK_FAIL;
    }
  }
  return status;
}

tsk_status ThreadPool::GetIdleThread(Thread** worker) {
  ScopedLock hold(lock);
  *worker = nullptr;
  for (const std::unique_ptr<Thread>& member : threads) {
    if (member->GetState() == kIdle) {
      *worker = member.get();
      return TSK_OK;
    }
  }
  if (threadCount >= maxThreads) {
    return TSK_FAIL;
  }
  return AddThread(worker);
}

tsk_status ThreadPool::RunIdleThread(WorkRoutine work, void* workArgument) {
  ScopedLock hold(lock);
  Thread* worker = nullptr;
  if (GetIdleThread(&worker) != TSK_OK || worker == nullptr) {
    return TSK_FAIL;
  }
  return worker->Run(work, workArgument);
}

tsk_status ThreadPool::RemoveThread(Thread* worker) {
  std::unique_ptr<Thread> removed;
  {
    ScopedLock hold(lock);
    if (closing) {
      return TSK_OK; // the pool's destruction destroys it
    }
    const auto found = std::find_if(
        threads.begin(), threads.end(),
        [worker](const std::unique_ptr<Thread>& member) { return member.get() == worker; });
    if (found != threads.end()) {
      removed = std::move(*found);
      threads.erase(found);
      --threadCount;
    }
  }
  // Destroyed without the pool's lock: where threads end only between
  // steps, the worker's thread may still be finishing a routine.
  removed.reset();
  return TSK_OK;
}

void ThreadPool::RemoveIdleThreads() {
  ScopedLock hold(lock);
  ThreadList stopped;
  for (auto member = threads.begin(); member != threads.end() && threadCount > minThreads;) {
    const auto next = std::next(member);
    if ((*member)->IsRemovable()) {
      (*member)->Stop();
      --threadCount;
      stopped.splice(stopped.end(), threads, member);
    }
    member = next;
  }
  // Removable workers were idle, so their threads end as soon as the stop
  // wakes them.
  for (const std::unique_ptr<Thread>& worker : stopped) {
    if (worker->GetHandle() != nullptr) {
      platform::waitForObject(worker->GetHandle(), platform::kInfinite);
    }
  }
  stopped.clear();
}

template <typename Operation>
tsk_status ThreadPool::ApplyUntilFailure(Operation operation) {
  ScopedLock hold(lock);
  for (const std::unique_ptr<Thread>& worker : threads) {
    if (operation(*worker) != TSK_OK) {
      return TSK_FAIL;
    }
  }
  return TSK_OK;
}

tsk_status ThreadPool::SuspendAll() {
  return ApplyUntilFailure([](Thread& worker) { return worker.Suspend(); });
}

tsk_status ThreadPool::ResumeAll() {
  return ApplyUntilFailure([](Thread& worker) { return worker.Resume(); });
}

tsk_status ThreadPool::RunAll() {
  return ApplyUntilFailure([](Thread& worker) { return worker.Run(nullptr, nullptr); });
}

tsk_status ThreadPool::StopAll() {
  tsk_status status = TSK_OK;
  {
    ScopedLock hold(lock);
    closing = true;
    for (const std::unique_ptr<Thread>& worker : threads) {
      if (worker->Stop() != TSK_OK) {
        status = TSK_FAIL;
      }
    }
  }
  // Waited for without the lock, so that a routine still running may call
  // into the pool on its way out; the pool is closing, so the list keeps
  // its workers meanwhile.
  for (const std::unique_ptr<Thread>& worker : threads) {
    if (worker->GetHandle() != nullptr) {
      platform::waitForObject(worker->GetHandle(), platform::kInfinite);
    }
  }
  return status;
}

bool ThreadPool::HasThread(Thread* worker) {
  ScopedLock hold(lock);
  return Contains(worker);
}

} // namespace tsk
