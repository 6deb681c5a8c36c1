// The library's locks beside the standard ones a caller would otherwise
// pick: an indexed recursive lock against std::recursive_mutex, and the
// reader side of the reader/writer lock against std::shared_mutex and
// pthread_rwlock, alone and with two threads reading at once.
//
// The C library takes cheaper paths in its locks while a process has a
// single thread, so the uncontended locks are measured twice: first before
// the process has started any other thread ("Alone"), then with one more
// thread alive ("AmongThreads"), as in the programs that use locks.
#include "tskbase/rwlock.h"
#include "tskbase/thread_lock.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <thread>

#if !defined(_WIN32)
#include <pthread.h>
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

BENCHMARK_MAIN();
