// The library's locks beside the standard ones a caller would otherwise
// pick: an indexed recursive lock against std::recursive_mutex; the reader
// side of the reader/writer lock against std::shared_mutex and
// pthread_rwlock, alone and with two threads reading at once; and the
// cross-process locks against pthread mutexes, uncontended and handed to and
// fro between two processes.
//
// The C library takes cheaper paths in its locks while a process has a
// single thread, so the uncontended locks are measured twice: first before
// the process has started any other thread ("Alone"), then with one more
// thread alive ("AmongThreads"), as in the programs that use locks.
#include "tskbase/interprocess_lock.h"
#include "tskbase/mutex_lock.h"
#include "tskbase/rwlock.h"
#include "tskbase/thread_lock.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <pthread.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Starts, once, a thread that sleeps until the process ends.
void keepAnotherThreadAlive() {
  static const bool started = [] {
    std::thread([] {
      std::mutex mutex;
      std::condition_variable never;
      std::unique_lock<std::mutex> hold(mutex);
      never.wait(hold, [] { return false; });
    }).detach();
    return true;
  }();
  benchmark::DoNotOptimize(started);
}

void threadLockLockUnlock(benchmark::State& state) {
  CThreadLock* locks = nullptr;
  threadLock_create(&locks, 16);
  for (auto _ : state) {
    threadLock_lock(locks, 5);
    threadLock_unlock(locks, 5);
  }
  threadLock_destroy(&locks);
}

void recursiveMutexLockUnlock(benchmark::State& state) {
  std::recursive_mutex mutex;
  for (auto _ : state) {
    mutex.lock();
    mutex.unlock();
  }
}

void ThreadLockLockUnlockAlone(benchmark::State& state) { threadLockLockUnlock(state); }
void StdRecursiveMutexLockUnlockAlone(benchmark::State& state) { recursiveMutexLockUnlock(state); }

void ThreadLockLockUnlockAmongThreads(benchmark::State& state) {
  keepAnotherThreadAlive();
  threadLockLockUnlock(state);
}
void StdRecursiveMutexLockUnlockAmongThreads(benchmark::State& state) {
  keepAnotherThreadAlive();
  recursiveMutexLockUnlock(state);
}

// One lock of each kind for all threads of a run.
RWLock* g_rwlock = [] {
  RWLock* lock = nullptr;
  rwlock_create(&lock);
  return lock;
}();
std::shared_mutex g_sharedMutex;

void RWLockReadClaimRelease(benchmark::State& state) {
  for (auto _ : state) {
    rwlock_claim(g_rwlock, 1);
    rwlock_release(g_rwlock, 1);
  }
}

void SharedMutexReadLockUnlock(benchmark::State& state) {
  for (auto _ : state) {
    g_sharedMutex.lock_shared();
    g_sharedMutex.unlock_shared();
  }
}

#if !defined(_WIN32)
pthread_rwlock_t g_pthreadRwlock = PTHREAD_RWLOCK_INITIALIZER;

void PthreadRwlockReadLockUnlock(benchmark::State& state) {
  for (auto _ : state) {
    pthread_rwlock_rdlock(&g_pthreadRwlock);
    pthread_rwlock_unlock(&g_pthreadRwlock);
  }
}
#endif

// ---- Cross-process locks ------------------------------------------------------

// A lock name of this run alone.
std::basic_string<tsk_wchar_t> lockName(const char* purpose) {
  static int serial = 0;
  const std::string name = std::string("tskbase-bench-") + purpose + "-" +
                           std::to_string(std::random_device{}()) + "-" + std::to_string(serial++);
  return {name.begin(), name.end()};
}

void InterProcessLockObtainRelease(benchmark::State& state) {
  InterProcessLock lock(lockName("iplock").c_str(), nullptr, 4000);
  for (auto _ : state) {
    lock.ObtainLock();
    lock.ReleaseLock();
  }
}

void MutexLockObtainRelease(benchmark::State& state) {
  MutexLock lock(lockName("mutex").c_str());
  for (auto _ : state) {
    lock.ObtainLock();
    lock.ReleaseLock();
  }
}

#if !defined(_WIN32)
void PthreadMutexLockUnlock(benchmark::State& state) {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  for (auto _ : state) {
    pthread_mutex_lock(&mutex);
    pthread_mutex_unlock(&mutex);
  }
}

// What a caller would put in shared memory for a lock between processes
// that survives a crashed holder: a process-shared, robust, recursive
// pthread mutex.
void initialiseSharedMutex(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

// Memory shared with the child processes that fork() starts.
struct Shared {
  pthread_mutex_t mutex;
  std::atomic<uint64_t> turn{0};
  std::atomic<bool> stop{false};
};

Shared* mapShared() {
  void* memory =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  auto* shared = new (memory) Shared;
  initialiseSharedMutex(&shared->mutex);
  return shared;
}

void PthreadSharedMutexLockUnlock(benchmark::State& state) {
  Shared* shared = mapShared();
  for (auto _ : state) {
    pthread_mutex_lock(&shared->mutex);
    pthread_mutex_unlock(&shared->mutex);
  }
  munmap(shared, sizeof(Shared));
}

// The three locks behind one interface, for the processes that take turns.
class TurnLock {
public:
  virtual ~TurnLock() = default;
  virtual void obtain() = 0;
  virtual void release() = 0;
};

class InterProcessTurnLock final : public TurnLock {
public:
  explicit InterProcessTurnLock(const tsk_wchar_t* name) : lock_(name, nullptr, 4000) {}
  void obtain() override { lock_.ObtainLock(); }
  void release() override { lock_.ReleaseLock(); }

private:
  InterProcessLock lock_;
};

class MutexTurnLock final : public TurnLock {
public:
  explicit MutexTurnLock(const tsk_wchar_t* name) : lock_(name) {}
  void obtain() override { lock_.ObtainLock(); }
  void release() override { lock_.ReleaseLock(); }

private:
  MutexLock lock_;
};

class PthreadTurnLock final : public TurnLock {
public:
  explicit PthreadTurnLock(pthread_mutex_t* mutex) : mutex_(mutex) {}
  void obtain() override { pthread_mutex_lock(mutex_); }
  void release() override { pthread_mutex_unlock(mutex_); }

private:
  pthread_mutex_t* mutex_;
};

// Moves the turn on under the lock once it is this side's: even turns are
// the parent's, odd ones the child's.
void takeTurn(TurnLock& lock, Shared& shared, uint64_t mine) {
  for (;;) {
    lock.obtain();
    const bool isMine = shared.turn.load(std::memory_order_relaxed) % 2 == mine;
    if (isMine) {
      shared.turn.fetch_add(1, std::memory_order_relaxed);
    }
    lock.release();
    if (isMine) {
      return;
    }
  }
}

// Two processes take turns through one lock; an iteration is a round trip
// (the turn passes to the child and back), so a hand-over takes half of it.
template <typename MakeLock>
void takeTurns(benchmark::State& state, MakeLock makeLock) {
  Shared* shared = mapShared();
  const pid_t child = fork();
  if (child == 0) {
    std::unique_ptr<TurnLock> lock = makeLock(*shared);
    while (!shared->stop.load()) {
      lock->obtain();
      if (shared->turn.load(std::memory_order_relaxed) % 2 == 1) {
        shared->turn.fetch_add(1, std::memory_order_relaxed);
      }
      lock->release();
    }
    _exit(0);
  }
  std::unique_ptr<TurnLock> lock = makeLock(*shared);
  for (auto _ : state) {
    takeTurn(*lock, *shared, 0);
  }
  shared->stop.store(true);
  waitpid(child, nullptr, 0);
  lock.reset();
  munmap(shared, sizeof(Shared));
}

void InterProcessLockHandOverBetweenProcesses(benchmark::State& state) {
  const auto name = lockName("iplock-turns");
  takeTurns(state, [&](Shared&) { return std::make_unique<InterProcessTurnLock>(name.c_str()); });
}

void MutexLockHandOverBetweenProcesses(benchmark::State& state) {
  const auto name = lockName("mutex-turns");
  takeTurns(state, [&](Shared&) { return std::make_unique<MutexTurnLock>(name.c_str()); });
}

void PthreadSharedMutexHandOverBetweenProcesses(benchmark::State& state) {
  takeTurns(state, [](Shared& shared) { return std::make_unique<PthreadTurnLock>(&shared.mutex); });
}
#endif

} // namespace

// Registered in the order they run: every "Alone" case before any thread
// starts.
BENCHMARK(ThreadLockLockUnlockAlone);
BENCHMARK(StdRecursiveMutexLockUnlockAlone);
BENCHMARK(ThreadLockLockUnlockAmongThreads);
BENCHMARK(StdRecursiveMutexLockUnlockAmongThreads);
BENCHMARK(RWLockReadClaimRelease)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(SharedMutexReadLockUnlock)->Threads(1)->Threads(2)->UseRealTime();
#if !defined(_WIN32)
BENCHMARK(PthreadRwlockReadLockUnlock)->Threads(1)->Threads(2)->UseRealTime();
#endif
BENCHMARK(InterProcessLockObtainRelease);
BENCHMARK(MutexLockObtainRelease);
#if !defined(_WIN32)
BENCHMARK(PthreadMutexLockUnlock);
BENCHMARK(PthreadSharedMutexLockUnlock);
BENCHMARK(InterProcessLockHandOverBetweenProcesses)->UseRealTime();
BENCHMARK(MutexLockHandOverBetweenProcesses)->UseRealTime();
BENCHMARK(PthreadSharedMutexHandOverBetweenProcesses)->UseRealTime();
#endif

BENCHMARK_MAIN();
