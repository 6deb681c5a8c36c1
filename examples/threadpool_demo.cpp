// Runs routines on the process's thread pool, gives one worker a request of
// its own, stops it, pauses and resumes the pool, and shows the monitor's
// status dump.
#include "tskbase/thread_pool.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "demo.h"

namespace {

struct SumOfSquares {
  uint64_t upTo = 0;
  uint64_t sum = 0;
  std::atomic<bool> done{false};

  static uint32_t run(void* argument) {
    auto* job = static_cast<SumOfSquares*>(argument);
    uint64_t sum = 0;
    for (uint64_t i = 1; i <= job->upTo; ++i) {
      sum += i * i;
    }
    job->sum = sum;
    job->done = true;
    return 0;
  }
};

void waitFor(const std::atomic<bool>& flag) {
  while (!flag) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

size_t logLines() {
  std::ifstream log("debug.txt");
  size_t lines = 0;
  for (std::string line; std::getline(log, line);) {
    ++lines;
  }
  return lines;
}

} // namespace

void demo::threadPools() {
  heading("Thread pools: routines on the default pool, and the monitor's status dump");
  // The monitor appends to "debug.txt" in the current directory: the demo
  // works in a directory of its own.
  const std::filesystem::path previous = std::filesystem::current_path();
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / "tskbase-demo-threadpool";
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);
  std::filesystem::remove("debug.txt");

  std::printf("  threadpoolMan_new: 50 workers and a monitor, whose first dump follows\n");
  std::fflush(stdout);
  tsk_threadpool_manager* manager = threadpoolMan_new();
  while (logLines() < 6 + 4 * 50) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::printf("\n  the same dump is in %s\n",
              (std::filesystem::current_path() / "debug.txt").string().c_str());

  SumOfSquares jobs[6];
  for (int i = 0; i < 6; ++i) {
    jobs[i].upTo = 1000ull << i;
    threadpoolMan_runFunction(manager, &SumOfSquares::run, &jobs[i]);
  }
  for (const SumOfSquares& job : jobs) {
    waitFor(job.done);
    std::printf("  runFunction: sum of squares up to %6llu = %llu\n",
                static_cast<unsigned long long>(job.upTo),
                static_cast<unsigned long long>(job.sum));
  }

  tsk_threadpool_worker* worker = nullptr;
  threadpoolMan_getThread(manager, &worker);
  SumOfSquares own;
  own.upTo = 10;
  std::printf("  getThread, then runThread on that worker: 0x%x\n",
              threadpoolMan_runThread(manager, worker, &SumOfSquares::run, &own));
  waitFor(own.done);
  std::printf("  its routine: sum of squares up to 10 = %llu\n",
              static_cast<unsigned long long>(own.sum));
  const tsk_status softKill = threadpoolMan_killThread(manager, worker, 0);
  const tsk_status refused = threadpoolMan_runThread(manager, worker, &SumOfSquares::run, &own);
  std::printf("  killThread (soft): 0x%x; the stopped worker refuses a request: 0x%x\n", softKill,
              refused);
  const tsk_status hardKill = threadpoolMan_killThread(manager, worker, 1);
  std::printf("  killThread (hard): 0x%x; the handle is no longer valid: 0x%x\n", hardKill,
              threadpoolMan_validateThread(manager, worker));
  const tsk_status paused = threadpoolMan_pause(manager);
  const tsk_status resumed = threadpoolMan_resume(manager);
  std::printf("  pause: 0x%x, resume: 0x%x, resume again (nothing paused): 0x%x\n", paused, resumed,
              threadpoolMan_resume(manager));
  std::printf("  threadpoolMan_free: 0x%x (no wait for the monitor's ten-minute sleep)\n",
              threadpoolMan_free(&manager));

  std::filesystem::current_path(previous);
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
}
