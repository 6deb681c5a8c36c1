// The thread-pool manager's run requests beside the peers a caller would
// pick instead: boost::asio::thread_pool (a queue in front of a fixed set of
// threads, as many as the machine has processors times two by default) and
// a plain std::thread per task.
//
// Throughput: one iteration submits a batch of 1,000 tasks and waits until
// all have run (items/s counts tasks). Latency: one iteration submits one
// task and waits until it has run. Tasks are either tiny (an atomic
// increment) or small (about a microsecond or two of arithmetic). A request
// that the manager refuses because all its workers are busy is made again,
// as a caller without a queue must.
#include "tskbase/thread_pool.h"

#include <benchmark/benchmark.h>

#include <boost/asio/post.hpp>
#include <boost/asio/thread_pool.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <latch>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kBatch = 1000;

// The arithmetic of a small task; the result is kept so that it is made.
uint64_t mix(uint64_t value) {
  for (int round = 0; round < 400; ++round) {
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdULL;
  }
  return value;
}

std::atomic<uint64_t> g_sink{0};

struct Task {
  std::latch* done;
  bool small;

  void operator()() const {
    if (small) {
      g_sink.fetch_add(mix(g_sink.load(std::memory_order_relaxed)), std::memory_order_relaxed);
    } else {
      g_sink.fetch_add(1, std::memory_order_relaxed);
    }
    done->count_down();
  }
};

uint32_t runTask(void* task) {
  (*static_cast<Task*>(task))();
  return 0;
}

uintmax_t logSize() {
  std::error_code absent;
  const uintmax_t size = std::filesystem::file_size("debug.txt", absent);
  return absent ? 0 : size;
}

// Waits until the monitor's first dump is written: the log has grown, and
// then not for 100 ms (5 s at most).
void waitForFirstDump(uintmax_t sizeBefore) {
  uintmax_t seen = sizeBefore;
  for (int step = 0, quiet = 0; step < 250 && quiet < 5; ++step) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const uintmax_t size = logSize();
    quiet = size == seen && size != sizeBefore ? quiet + 1 : 0;
    seen = size;
  }
}

// The manager is made once, in a temporary directory (its monitor writes
// "debug.txt" there) and with standard output silenced until its first
// status dump is written.
tsk_threadpool_manager* manager() {
  static tsk_threadpool_manager* const made = [] {
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::fflush(stdout);
    const int savedOutput = dup(STDOUT_FILENO);
    const int nothing = open("/dev/null", O_WRONLY);
    dup2(nothing, STDOUT_FILENO);
    const uintmax_t sizeBefore = logSize();
    tsk_threadpool_manager* created = threadpoolMan_new();
    waitForFirstDump(sizeBefore);
    std::fflush(stdout);
    dup2(savedOutput, STDOUT_FILENO);
    close(savedOutput);
    close(nothing);
    return created;
  }();
  return made;
}

void submitToManager(Task* task) {
  while (threadpoolMan_runFunction(manager(), &runTask, task) != TSK_OK) {
    std::this_thread::yield();
  }
}

void ThreadPoolManagerThroughput(benchmark::State& state) {
  const bool small = state.range(0) != 0;
  manager();
  for (auto _ : state) {
    std::latch done(kBatch);
    Task task{&done, small};
    for (int i = 0; i < kBatch; ++i) {
      submitToManager(&task);
    }
    done.wait();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void AsioThreadPoolThroughput(benchmark::State& state) {
  const bool small = state.range(0) != 0;
  boost::asio::thread_pool pool;
  for (auto _ : state) {
    std::latch done(kBatch);
    const Task task{&done, small};
    for (int i = 0; i < kBatch; ++i) {
      boost::asio::post(pool, task);
    }
    done.wait();
  }
  pool.join();
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void ThreadPerTaskThroughput(benchmark::State& state) {
  const bool small = state.range(0) != 0;
  std::vector<std::thread> threads;
  threads.reserve(kBatch);
  for (auto _ : state) {
    std::latch done(kBatch);
    const Task task{&done, small};
    for (int i = 0; i < kBatch; ++i) {
      threads.emplace_back(task);
    }
    done.wait();
    for (std::thread& thread : threads) {
      thread.join();
    }
    threads.clear();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void ThreadPoolManagerLatency(benchmark::State& state) {
  const bool small = state.range(0) != 0;
  manager();
  for (auto _ : state) {
    std::latch done(1);
    Task task{&done, small};
    submitToManager(&task);
    done.wait();
  }
}

void AsioThreadPoolLatency(benchmark::State& state) {
  const bool small = state.range(0) != 0;
  boost::asio::thread_pool pool;
  for (auto _ : state) {
    std::latch done(1);
    boost::asio::post(pool, Task{&done, small});
    done.wait();
  }
  pool.join();
}

void ThreadPerTaskLatency(benchmark::State& state) {
  const bool small = state.range(0) != 0;
  for (auto _ : state) {
    std::latch done(1);
    std::thread thread(Task{&done, small});
    done.wait();
    thread.join();
  }
}

} // namespace

// Argument 0: tiny tasks; 1: small tasks.
BENCHMARK(ThreadPoolManagerThroughput)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(AsioThreadPoolThroughput)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(ThreadPerTaskThroughput)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(ThreadPoolManagerLatency)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(AsioThreadPoolLatency)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(ThreadPerTaskLatency)->Arg(0)->Arg(1)->UseRealTime();

BENCHMARK_MAIN();
