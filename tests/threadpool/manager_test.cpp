// The thread-pool manager and thread_setName through the exported functions.
#include "tskbase/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <thread>

#include "allocation_failure.h"
#include "platform.h"
#include "pool_support.h"
#include "threadpool/timing.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fstream>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

using namespace tsk::test;
using Manager = tsk_threadpool_manager;
using Worker = tsk_threadpool_worker;

// The whole program runs in a scratch directory, where "debug.txt" lands.
const testing::Environment* const kScratch = testing::AddGlobalTestEnvironment([] {
  struct Scratch : testing::Environment {
    std::unique_ptr<InScratchDirectory> directory;
    void SetUp() override { directory = std::make_unique<InScratchDirectory>(); }
    void TearDown() override { directory.reset(); }
  };
  return new Scratch;
}());

// Every function that takes a worker, by the status it gives for `worker`.
std::vector<tsk_status> workerCalls(Manager* manager, Worker* worker, std::atomic<int>& runs) {
  return {threadpoolMan_runThread(manager, worker, &countRun, &runs),
          threadpoolMan_suspendThread(manager, worker),
          threadpoolMan_resumeThread(manager, worker),
          threadpoolMan_validateThread(manager, worker),
          threadpoolMan_killThread(manager, worker, 0),
          threadpoolMan_killThread(manager, worker, 1)};
}

void expectRefused(Manager* manager, Worker* worker, const char* what) {
  std::atomic<int> runs{0};
  EXPECT_EQ(workerCalls(manager, worker, runs), std::vector<tsk_status>(6, TSK_FAIL)) << what;
  EXPECT_EQ(runs, 0) << what;
}

// Until pause and resume both succeed: every worker is IDLE.
bool allIdleEventually(Manager* manager) {
  return eventually(
      [&] { return threadpoolMan_pause(manager) + threadpoolMan_resume(manager) == 0; });
}

// One manager for every caller, also when the first callers race; freeing
// it returns without waiting for the monitor's ten-minute sleep, clears the
// variable, and leaves kept copies of the handle refused everywhere (they
// are never read). Null arguments fail without other effects.
TEST(Manager, OneInstanceUntilFreed) {
  std::vector<Manager*> seen(4);
  std::vector<std::thread> callers;
  for (Manager*& handle : seen) {
    callers.emplace_back([&handle] { handle = threadpoolMan_new(); });
  }
  std::for_each(callers.begin(), callers.end(), std::mem_fn(&std::thread::join));
  Manager* manager = seen[0];
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(seen, std::vector<Manager*>(4, manager));
  uint64_t pools = 0;
  EXPECT_EQ(threadpoolMan_getPoolCount(manager, &pools), TSK_OK);
  EXPECT_EQ(pools, 1u);
  Worker* worker = nullptr;
  ASSERT_EQ(threadpoolMan_getThread(manager, &worker), TSK_OK);
  EXPECT_EQ(threadpoolMan_getThread(manager, nullptr), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_getPoolCount(manager, nullptr), TSK_FAIL);
  expectRefused(manager, nullptr, "null worker");

  Manager* kept = manager;
  Background freeing([&] { EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK); });
  ASSERT_TRUE(freeing.ends());
  EXPECT_EQ(manager, nullptr);
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_free(nullptr), TSK_FAIL);
  for (Manager* stale : {kept, static_cast<Manager*>(nullptr)}) {
    std::atomic<int> runs{0};
    pools = 7;
    EXPECT_EQ(threadpoolMan_getPoolCount(stale, &pools), TSK_FAIL);
    EXPECT_EQ(pools, 0u);
    EXPECT_EQ(threadpoolMan_getThread(stale, &worker), TSK_FAIL);
    EXPECT_EQ(threadpoolMan_runFunction(stale, &countRun, &runs), TSK_FAIL);
    EXPECT_EQ(threadpoolMan_pause(stale) & threadpoolMan_resume(stale), TSK_FAIL);
    EXPECT_EQ(threadpoolMan_free(&stale), TSK_FAIL);
    expectRefused(stale, reinterpret_cast<Worker*>(&runs), "stale or null manager");
  }
  EXPECT_EQ(kept, seen[0]) << "a refused free leaves the variable";
}

// The default pool grows to 100 workers running at once and refuses a 101st
// request. A soft kill leaves the worker counting, STOPPED; a hard kill
// takes it out and makes room (on Windows ending its routine at once,
// elsewhere once it returns). Addresses that are no workers are refused.
TEST(Manager, GrowsToAHundredAndKills) {
  Manager* manager = threadpoolMan_new();
  Gate gate, victimGate;
  Worker* victim = nullptr;
  ASSERT_EQ(threadpoolMan_getThread(manager, &victim), TSK_OK);
  ASSERT_TRUE(eventually(
      [&] { return threadpoolMan_runThread(manager, victim, &Gate::pass, &victimGate) == 0; }));
  for (int i = 1; i < 100; ++i) {
    ASSERT_EQ(threadpoolMan_runFunction(manager, &Gate::pass, &gate), TSK_OK) << i;
  }
  ASSERT_TRUE(gate.reached(99));
  Worker* worker = victim;
  EXPECT_EQ(threadpoolMan_getThread(manager, &worker), TSK_FAIL);
  EXPECT_EQ(worker, nullptr);
  EXPECT_EQ(threadpoolMan_runFunction(manager, &Gate::pass, &gate), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_runThread(manager, victim, &Gate::pass, &gate), TSK_FAIL);
  {
    Background killing([&] { EXPECT_EQ(threadpoolMan_killThread(manager, victim, 1), TSK_OK); });
    if (!kWindows) {
      EXPECT_TRUE(killing.blocked()) << "waits for the routine to return";
      victimGate.open();
    }
    EXPECT_TRUE(killing.ends());
  }
  EXPECT_TRUE(victimGate.left(kWindows ? 0 : 1));
  int local = 0;
  expectRefused(manager, victim, "hard-killed worker");
  expectRefused(manager, reinterpret_cast<Worker*>(&local), "a local variable");
  expectRefused(manager, reinterpret_cast<Worker*>(manager), "the manager");

  ASSERT_EQ(threadpoolMan_getThread(manager, &worker), TSK_OK);
  std::atomic<int> runs{0};
  EXPECT_EQ(threadpoolMan_killThread(manager, worker, 0), TSK_OK);
  EXPECT_EQ(workerCalls(manager, worker, runs),
            (std::vector<tsk_status>{TSK_FAIL, TSK_FAIL, TSK_OK, TSK_OK, TSK_OK, TSK_OK}));
  EXPECT_EQ(threadpoolMan_runFunction(manager, &countRun, &runs), TSK_OK) << "room after the kill";
  EXPECT_TRUE(eventually([&] { return runs == 1; }));
  gate.open();
  EXPECT_TRUE(gate.left(99));
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
}

// Pause suspends the idle workers and passes the running ones; resume
// brings them back, and fails at a running worker or where nothing is
// suspended. A single worker suspends and resumes likewise. A pool left
// paused is still freed.
TEST(Manager, PauseAndResume) {
  Manager* manager = threadpoolMan_new();
  ASSERT_TRUE(allIdleEventually(manager));
  Worker* worker = nullptr;
  ASSERT_EQ(threadpoolMan_getThread(manager, &worker), TSK_OK);
  std::atomic<int> runs{0};
  EXPECT_EQ(threadpoolMan_pause(manager), TSK_OK);
  EXPECT_EQ(threadpoolMan_runThread(manager, worker, &countRun, &runs), TSK_FAIL) << "paused";
  EXPECT_EQ(threadpoolMan_resume(manager), TSK_OK);
  EXPECT_EQ(threadpoolMan_resume(manager), TSK_FAIL) << "nothing suspended";
  EXPECT_EQ(threadpoolMan_suspendThread(manager, worker), TSK_OK);
  EXPECT_EQ(threadpoolMan_resumeThread(manager, worker), TSK_OK);
  EXPECT_EQ(threadpoolMan_resumeThread(manager, worker), TSK_FAIL);

  Gate gate;
  ASSERT_EQ(threadpoolMan_runThread(manager, worker, &Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(1));
  EXPECT_EQ(threadpoolMan_pause(manager), TSK_OK) << "the running worker is passed over";
  EXPECT_EQ(threadpoolMan_runFunction(manager, &countRun, &runs), TSK_OK) << "on a new worker";
  EXPECT_TRUE(eventually([&] { return runs == 1; }));
  EXPECT_EQ(threadpoolMan_resume(manager), TSK_FAIL) << "stops at the running worker";
  gate.open();
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
}

// Four threads submit 20,000 routines between them, trying again while all
// 100 workers are busy: every routine runs exactly once.
TEST(Manager, EveryRoutineRunsExactlyOnce) {
  Manager* manager = threadpoolMan_new();
  std::vector<std::atomic<int>> runs(20000);
  std::vector<std::thread> submitters;
  for (size_t first = 0; first < 4; ++first) {
    submitters.emplace_back([&, first] {
      for (size_t i = first; i < runs.size(); i += 4) {
        while (threadpoolMan_runFunction(manager, &countRun, &runs[i]) != TSK_OK) {
          std::this_thread::yield();
        }
      }
    });
  }
  std::for_each(submitters.begin(), submitters.end(), std::mem_fn(&std::thread::join));
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK) << "waits for the routines";
  EXPECT_TRUE(std::all_of(runs.begin(), runs.end(), [](auto& count) { return count == 1; }));
}

struct Inside {
  Manager* manager = threadpoolMan_new();
  Worker* self = nullptr;
  Gate gate;
  std::atomic<tsk_status> freeStatus{0}, killStatus{0}, lateRun{0};

  // Tries to free the manager and to end its own thread, then (while the
  // manager is being freed) to run another routine.
  static uint32_t routine(void* argument) {
    auto* inside = static_cast<Inside*>(argument);
    Manager* copy = inside->manager;
    inside->freeStatus = threadpoolMan_free(&copy);
    while (inside->self == nullptr) {
      std::this_thread::yield();
    }
    inside->killStatus = threadpoolMan_killThread(inside->manager, inside->self, 1);
    Gate::pass(&inside->gate);
    inside->lateRun = threadpoolMan_runFunction(inside->manager, &Gate::pass, &inside->gate);
    return 0;
  }
};

// A routine can neither free its manager nor end its own thread (it is
// stopped all the same); freeing waits for routines still running.
TEST(Manager, FreeWaitsForRunningRoutines) {
  Inside inside;
  Worker* worker = nullptr;
  ASSERT_EQ(threadpoolMan_getThread(inside.manager, &worker), TSK_OK);
  ASSERT_TRUE(eventually([&] {
    return threadpoolMan_runThread(inside.manager, worker, &Inside::routine, &inside) == 0;
  }));
  inside.self = worker;
  ASSERT_TRUE(inside.gate.reached(1));
  EXPECT_EQ(inside.freeStatus, TSK_FAIL);
  EXPECT_EQ(inside.killStatus, TSK_FAIL);
  EXPECT_EQ(threadpoolMan_validateThread(inside.manager, worker), TSK_OK);
  Manager* manager = inside.manager;
  Background freeing([&] { EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK); });
  EXPECT_TRUE(freeing.blocked());
  inside.gate.open();
  EXPECT_TRUE(freeing.ends());
  EXPECT_EQ(inside.lateRun, TSK_FAIL);
  EXPECT_EQ(inside.gate.arrived(), 1);
}

const std::string kTime =
    "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}";

// The first dump of a new manager, on standard output and in "debug.txt"
// alike: two empty lines, the monitor's line, the date, an empty line, the
// pool's line and four lines for each of its 50 workers.
TEST(Manager, FirstDump) {
  std::filesystem::remove("debug.txt");
  testing::internal::CaptureStdout();
  Manager* manager = threadpoolMan_new();
  const bool dumped = eventually([] { return linesOf(logText()).size() >= 206; });
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
  const std::string printed = withoutCarriageReturns(testing::internal::GetCapturedStdout());
  ASSERT_TRUE(dumped);
  EXPECT_EQ(printed, logText());
  const std::vector<std::string> lines = linesOf(printed);
  ASSERT_EQ(lines.size(), 206u) << "one pass only";
  std::vector<std::string> heads(lines.begin(), lines.begin() + 6);
  std::smatch monitor;
  EXPECT_TRUE(std::regex_match(
      heads[2], monitor,
      std::regex("Monitor Thread ([0-9]+): Entering ThreadPoolManager::ThreadFunc")));
  EXPECT_TRUE(std::regex_match(heads[3], std::regex("\t" + kTime))) << heads[3];
  heads[2] = heads[3] = "";
  EXPECT_EQ(heads,
            (std::vector<std::string>{"", "", "", "", "", "Poolname: default pool (size = 50)"}));
  const std::regex block[] = {
      std::regex("\tThread ([0-9]+): (IDLE|RUNNING)"), std::regex("\t\tlast accessed: " + kTime),
      std::regex("\t\tlast finished: " + kTime), std::regex("\t\tRemove: (No|Yes)")};
  std::vector<std::string> ids = {monitor[1]};
  for (size_t i = 6; i < lines.size(); ++i) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(lines[i], match, block[(i - 6) % 4])) << lines[i];
    if ((i - 6) % 4 == 0 && match.size() > 1) {
      ids.push_back(match[1]);
    }
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "one thread each";
}

// With a short monitor period and every idle worker removable, the monitor
// retires workers, earliest first, down to 25; their handles are refused
// afterwards, and the pool grows again on demand.
TEST(Manager, MonitorRetiresIdleWorkers) {
  tsk::testing::setMonitorPeriod(20);
  std::filesystem::remove("debug.txt");
  Manager* manager = threadpoolMan_new();
  ASSERT_TRUE(allIdleEventually(manager));
  Worker* first = nullptr;
  threadpoolMan_getThread(manager, &first);
  tsk::testing::setIdleLimit(-1.0);
  EXPECT_TRUE(eventually([] { return logText().find("(size = 25)\n") != std::string::npos; }));
  tsk::testing::restoreThreadPoolTiming();
  expectRefused(manager, first, "retired worker");
  Gate gate;
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(threadpoolMan_runFunction(manager, &Gate::pass, &gate), TSK_OK);
  }
  EXPECT_TRUE(gate.reached(30));
  gate.open();
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
}

// When memory runs out while the manager is made, threadpoolMan_new gives
// null and leaves nothing behind.
TEST(Manager, NullWhenMemoryRunsOut) {
  const int64_t allocations = countAllocations([] {
    Manager* manager = threadpoolMan_new();
    threadpoolMan_free(&manager);
  });
  for (const int64_t failing : {int64_t{1}, int64_t{2}, allocations / 2, allocations}) {
    FailNthAllocation failure(failing);
    EXPECT_EQ(threadpoolMan_new(), nullptr) << failing;
    EXPECT_EQ(failure.leaked(), 0) << failing;
  }
}

// The calling thread's name as the system shows it: its description on
// Windows ("?" where the system has none), its kernel name elsewhere.
std::string shownName() {
#if defined(_WIN32)
  using Get = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription");
  PWSTR description = nullptr;
  if (found == nullptr) {
    return "?";
  }
  if (FAILED(reinterpret_cast<Get>(reinterpret_cast<void (*)()>(found))(GetCurrentThread(),
                                                                        &description))) {
    return "";
  }
  const std::string name(description, description + wcslen(description));
  LocalFree(description);
  return name;
#else
  std::ifstream comm("/proc/self/task/" + std::to_string(syscall(SYS_gettid)) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
#endif
}

// A name is cut after 9 characters; a null name leaves the name as it was.
TEST(ThreadName, NamesTheCallingThread) {
  if (shownName() == "?") {
    GTEST_SKIP() << "no thread descriptions on this system";
  }
  const std::pair<const char*, std::string> names[] = {{"worker", "worker"},
                                                       {"123456789", "123456789"},
                                                       {"monitoring-13", "monitorin"},
                                                       {"", ""},
                                                       {nullptr, "before"}};
  for (const auto& [name, shown] : names) {
    std::string seen;
    std::thread([&, name = name] {
      thread_setName("before");
      thread_setName(name);
      seen = shownName();
    }).join();
    EXPECT_EQ(seen, shown) << (name ? name : "(null)");
  }
}

} // namespace
