// The thread-pool manager and thread_setName through the exported functions.
#include "tskbase/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <thread>

#include "allocation_failure.h"
#include "child_process.h"
#include "platform.h"
#include "pool_support.h"
#include "threadpool/timing.h"

#if !defined(_WIN32)
#include <sys/prctl.h>
#endif

namespace {

using namespace tsk::test;
using Manager = tsk_threadpool_manager;
using Worker = tsk_threadpool_worker;
using Statuses = std::vector<tsk_status>;

// The whole program runs in a scratch directory, where "debug.txt" lands.
struct ScratchEnvironment : testing::Environment {
  std::unique_ptr<InScratchDirectory> directory;
  void SetUp() override { directory = std::make_unique<InScratchDirectory>(); }
  void TearDown() override { directory.reset(); }
};
const auto* const kScratch = testing::AddGlobalTestEnvironment(new ScratchEnvironment);

std::atomic<int> g_runs{0};

// The statuses of every function that takes a worker, given `worker`.
Statuses workerCalls(Manager* manager, Worker* worker) {
  return {threadpoolMan_runThread(manager, worker, &countRun, &g_runs),
          threadpoolMan_suspendThread(manager, worker),
          threadpoolMan_resumeThread(manager, worker),
          threadpoolMan_validateThread(manager, worker),
          threadpoolMan_killThread(manager, worker, 0),
          threadpoolMan_killThread(manager, worker, 1)};
}
const Statuses kRefused(6, TSK_FAIL);

// Until pause and resume both succeed: every worker is IDLE.
bool allIdleEventually(Manager* manager) {
  return eventually(
      [&] { return threadpoolMan_pause(manager) + threadpoolMan_resume(manager) == 0; });
}

// Racing first callers share one; freeing does not wait out the monitor's
// sleep. Stale or null handles are refused without effect; nothing leaks.
TEST(Manager, OneInstanceUntilFreed) {
  std::vector<Manager*> seen(4);
  std::vector<std::thread> callers;
  for (Manager*& handle : seen) {
    callers.emplace_back([&handle] { handle = threadpoolMan_new(); });
  }
  std::for_each(callers.begin(), callers.end(), [](std::thread& caller) { caller.join(); });
  Manager* manager = seen[0];
  EXPECT_EQ(seen, std::vector<Manager*>(4, manager));
  uint64_t pools = 0;
  EXPECT_EQ(threadpoolMan_getPoolCount(manager, &pools), TSK_OK);
  EXPECT_EQ(pools, 1u);
  EXPECT_EQ(workerCalls(manager, nullptr), kRefused);
  Background freeing([&] { EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK); });
  ASSERT_TRUE(freeing.ends());
  EXPECT_EQ(manager, nullptr);
  for (Manager* stale : {seen[0], manager}) {
    Worker* worker = reinterpret_cast<Worker*>(&pools);
    pools = 7;
    EXPECT_EQ(
        (Statuses{threadpoolMan_getPoolCount(stale, &pools),
                  threadpoolMan_getThread(stale, &worker),
                  threadpoolMan_runFunction(stale, &countRun, &g_runs), threadpoolMan_pause(stale),
                  threadpoolMan_resume(stale), threadpoolMan_free(&stale)}),
        Statuses(6, TSK_FAIL));
    EXPECT_EQ(workerCalls(stale, reinterpret_cast<Worker*>(&pools)), kRefused);
    EXPECT_EQ(pools, 0u);
  }
  EXPECT_EQ(threadpoolMan_free(nullptr) | threadpoolMan_getPoolCount(seen[0], nullptr), TSK_FAIL);
  EXPECT_EQ(g_runs, 0);
  const int64_t allocations = countAllocations([] {
    Manager* made = threadpoolMan_new();
    threadpoolMan_free(&made);
  });
  for (const int64_t failing : {int64_t{1}, int64_t{2}, allocations / 2, allocations}) {
    FailNthAllocation failure(failing);
    EXPECT_EQ(threadpoolMan_new(), nullptr) << "memory ran out at " << failing;
    EXPECT_EQ(failure.leaked(), 0) << failing;
  }
}

// A 101st request is refused. A hard kill makes room (on Windows at once,
// elsewhere when the routine returns); a soft kill leaves the worker STOPPED.
TEST(Manager, GrowsToAHundredAndKills) {
  Manager* manager = threadpoolMan_new();
  Gate gate, victimGate;
  Worker* victim = nullptr;
  ASSERT_EQ(threadpoolMan_getThread(manager, &victim), TSK_OK);
  ASSERT_TRUE(eventually(
      [&] { return threadpoolMan_runThread(manager, victim, &Gate::pass, &victimGate) == 0; }));
  for (int i = 1; i < 100; ++i) { // refused while warm-up steps still hold workers
    ASSERT_TRUE(
        eventually([&] { return threadpoolMan_runFunction(manager, &Gate::pass, &gate) == 0; }));
  }
  ASSERT_TRUE(gate.reached(99));
  Worker* worker = victim;
  EXPECT_EQ(threadpoolMan_getThread(manager, &worker), TSK_FAIL);
  EXPECT_EQ(worker, nullptr);
  EXPECT_EQ(threadpoolMan_runFunction(manager, &Gate::pass, &gate), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_pause(manager), TSK_OK);
  EXPECT_EQ(threadpoolMan_resume(manager), TSK_FAIL);
  {
    Background killing([&] { EXPECT_EQ(threadpoolMan_killThread(manager, victim, 1), TSK_OK); });
    EXPECT_TRUE(kWindows ? killing.ends() : killing.blocked()) << "waits for the routine (POSIX)";
    victimGate.open = true;
  }
  EXPECT_EQ(victimGate.departed, kWindows ? 0 : 1);
  victimGate.departed = 1; // a routine ended by the kill never leaves the gate
  for (void* address :
       {static_cast<void*>(victim), static_cast<void*>(&gate), static_cast<void*>(manager)}) {
    EXPECT_EQ(workerCalls(manager, static_cast<Worker*>(address)), kRefused);
  }
  ASSERT_EQ(threadpoolMan_getThread(manager, &worker), TSK_OK);
  EXPECT_EQ(threadpoolMan_killThread(manager, worker, 0), TSK_OK);
  EXPECT_EQ(workerCalls(manager, worker),
            (Statuses{TSK_FAIL, TSK_FAIL, TSK_OK, TSK_OK, TSK_OK, TSK_OK}));
  EXPECT_EQ(threadpoolMan_runFunction(manager, &Gate::pass, &gate), TSK_OK)
      << "room after the kill";
  gate.open = true;
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
}

struct Inside {
  Manager* manager = threadpoolMan_new();
  std::atomic<Worker*> self{nullptr};
  std::atomic<tsk_status> freed{0}, killed{0};
};

// Tries to free its manager and to end its own thread.
uint32_t reachOut(void* argument) {
  auto* inside = static_cast<Inside*>(argument);
  Manager* copy = inside->manager;
  inside->freed = threadpoolMan_free(&copy);
  eventually([&] { return inside->self != nullptr; });
  inside->killed = threadpoolMan_killThread(inside->manager, inside->self, 1);
  return 0;
}

// Four submitters, retrying while all workers are busy; freeing waits for
// them. A routine can neither free its manager nor end its own thread.
TEST(Manager, EveryRoutineRunsExactlyOnce) {
  Inside inside;
  Worker* worker = nullptr;
  ASSERT_EQ(threadpoolMan_getThread(inside.manager, &worker), TSK_OK);
  ASSERT_TRUE(eventually(
      [&] { return threadpoolMan_runThread(inside.manager, worker, &reachOut, &inside) == 0; }));
  inside.self = worker;
  std::vector<std::atomic<int>> runs(20000);
  std::vector<std::thread> submitters;
  for (size_t first = 0; first < 4; ++first) {
    submitters.emplace_back([&, first] {
      for (size_t i = first; i < runs.size(); i += 4) {
        while (threadpoolMan_runFunction(inside.manager, &countRun, &runs[i]) != TSK_OK) {
          std::this_thread::yield();
        }
      }
    });
  }
  std::for_each(submitters.begin(), submitters.end(), [](std::thread& caller) { caller.join(); });
  EXPECT_EQ(threadpoolMan_validateThread(inside.manager, worker), TSK_OK);
  EXPECT_EQ(threadpoolMan_free(&inside.manager), TSK_OK);
  EXPECT_TRUE(std::all_of(runs.begin(), runs.end(), [](auto& count) { return count == 1; }));
  EXPECT_EQ(inside.freed + inside.killed, 2 * TSK_FAIL);
}

// The first dump, on standard output and in "debug.txt" alike.
TEST(Manager, FirstDump) {
  std::filesystem::remove("debug.txt");
  testing::internal::CaptureStdout();
  Manager* manager = threadpoolMan_new();
  const bool dumped = eventually([] { return linesOf(logText()).size() >= 206; });
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
  const std::string printed = withoutCarriageReturns(testing::internal::GetCapturedStdout());
  ASSERT_TRUE(dumped);
  EXPECT_EQ(printed, logText());
  const std::string time =
      "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}";
  std::vector<std::string> expected = {
      "",          "", "Monitor Thread [0-9]+: Entering ThreadPoolManager::ThreadFunc",
      "\t" + time, "", "Poolname: default pool \\(size = 50\\)"};
  for (int worker = 0; worker < 50; ++worker) {
    expected.insert(expected.end(),
                    {"\tThread [0-9]+: (IDLE|RUNNING)", "\t\tlast accessed: " + time,
                     "\t\tlast finished: " + time, "\t\tRemove: (No|Yes)"});
  }
  const std::vector<std::string> lines = linesOf(printed);
  ASSERT_EQ(lines.size(), expected.size()) << "one pass only";
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << lines[i];
  }
}

// Down to 25, refusing the retired workers' handles; the pool grows again on
// demand.
TEST(Manager, MonitorRetiresIdleWorkers) {
  tsk::testing::setMonitorPeriod(20);
  std::filesystem::remove("debug.txt");
  Manager* manager = threadpoolMan_new();
  // The monitor's warm-up comes before its first dump.
  ASSERT_TRUE(eventually([] { return logText().find("Poolname") != std::string::npos; }));
  ASSERT_TRUE(allIdleEventually(manager));
  EXPECT_EQ(threadpoolMan_resume(manager), TSK_FAIL);
  Worker* first = nullptr;
  threadpoolMan_getThread(manager, &first);
  tsk::testing::setIdleLimit(-1.0);
  EXPECT_TRUE(eventually([] { return logText().find("(size = 25)\n") != std::string::npos; }));
  tsk::testing::restoreThreadPoolTiming();
  EXPECT_EQ(workerCalls(manager, first), kRefused);
  Gate gate;
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(threadpoolMan_runFunction(manager, &Gate::pass, &gate), TSK_OK);
  }
  gate.open = true;
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
}

// The calling thread's name as the system shows it (Linux), or "?".
std::string shownName() {
  char name[16] = "?";
#if !defined(_WIN32)
  prctl(PR_GET_NAME, name);
#endif
  return name;
}

// Cut after 9 characters; null changes nothing. (Windows shows names only to
// a debugger: there the call must just return.)
TEST(ThreadName, NamesTheCallingThread) {
  const std::pair<const char*, std::string> names[] = {
      {"123456789", "123456789"}, {"monitoring-13", "monitorin"}, {nullptr, "before"}};
  for (const auto& [name, shown] : names) {
    std::string seen;
    std::thread([&, name = name] {
      thread_setName("before");
      thread_setName(name);
      seen = shownName();
    }).join();
    EXPECT_TRUE(seen == shown || seen == "?") << (name ? name : "(null)") << ": " << seen;
  }
}

// A process that leaves with its manager alive exits cleanly, also after
// unloading the library while the manager's threads are at work.
TEST(ManagerProcess, LeavingWithoutFreeingEndsCleanly) {
  for (const char* mode : {"exit", "unload"}) {
    ChildProcess child(helperPath("threadpool_test_helper"), {mode, TSKBASE_LIBRARY_FILE});
    bool done = false; // after the monitor's dump; "" is also the end of the output
    for (int lines = 0; lines < 10000 && !done; ++lines) {
      done = child.readLine() == "done";
    }
    EXPECT_TRUE(done) << mode;
    EXPECT_EQ(child.wait(), 0) << mode;
  }
}

} // namespace
