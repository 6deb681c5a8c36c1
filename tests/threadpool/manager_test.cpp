// The thread-pool manager through its exported functions.
#include "tskbase/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <regex>
#include <thread>
#include <vector>

#include "allocation_failure.h"
#include "gate.h"
#include "log_directory.h"
#include "platform.h"
#include "threadpool/timing.h"

namespace {

using tsk::test::Background;
using tsk::test::eventually;
using tsk::test::Gate;
using tsk::test::linesOf;
using tsk::test::logText;
using Manager = tsk_threadpool_manager;
using Worker = tsk_threadpool_worker;

// The whole program runs in a scratch directory, where the monitor's
// "debug.txt" lands.
class LogDirectoryEnvironment : public testing::Environment {
public:
  void SetUp() override { scratch_ = std::make_unique<tsk::test::InScratchDirectory>(); }
  void TearDown() override { scratch_.reset(); }

private:
  std::unique_ptr<tsk::test::InScratchDirectory> scratch_;
};
const testing::Environment* const kLogDirectory =
    testing::AddGlobalTestEnvironment(new LogDirectoryEnvironment);

constexpr int kMaximumWorkers = 100;

uint32_t countRun(void* counter) {
  ++*static_cast<std::atomic<int>*>(counter);
  return 0;
}

// Holds a routine until released; counts the routines that returned.
struct Hold {
  std::atomic<bool> released{false};
  std::atomic<int> returned{0};

  static uint32_t routine(void* hold) {
    auto* self = static_cast<Hold*>(hold);
    while (!self->released) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ++self->returned;
    return 0;
  }
};

// A fresh manager for each test, freed afterwards.
class ManagerTest : public testing::Test {
protected:
  void SetUp() override {
    manager_ = threadpoolMan_new();
    ASSERT_NE(manager_, nullptr);
  }
  void TearDown() override {
    if (manager_ != nullptr) {
      EXPECT_EQ(threadpoolMan_free(&manager_), TSK_OK);
    }
  }

  Worker* getWorker() {
    Worker* worker = nullptr;
    EXPECT_EQ(threadpoolMan_getThread(manager_, &worker), TSK_OK);
    EXPECT_NE(worker, nullptr);
    return worker;
  }

  Manager* manager_ = nullptr;
};

// Until pause and resume both succeed: the warm-up steps have ended and
// every worker is IDLE again.
bool allIdleEventually(Manager* manager) {
  return eventually([&] {
    threadpoolMan_pause(manager);
    return threadpoolMan_resume(manager) == TSK_OK;
  });
}

// Every function that takes a worker refuses `worker` with TSK_FAIL.
void expectRefused(Manager* manager, Worker* worker, const char* what) {
  std::atomic<int> runs{0};
  EXPECT_EQ(threadpoolMan_runThread(manager, worker, &countRun, &runs), TSK_FAIL) << what;
  EXPECT_EQ(threadpoolMan_suspendThread(manager, worker), TSK_FAIL) << what;
  EXPECT_EQ(threadpoolMan_resumeThread(manager, worker), TSK_FAIL) << what;
  EXPECT_EQ(threadpoolMan_validateThread(manager, worker), TSK_FAIL) << what;
  EXPECT_EQ(threadpoolMan_killThread(manager, worker, 0), TSK_FAIL) << what;
  EXPECT_EQ(threadpoolMan_killThread(manager, worker, 1), TSK_FAIL) << what;
  EXPECT_EQ(runs, 0) << what;
}

// One manager for every caller, also when the first callers race; freeing
// it clears the caller's variable, returns without waiting for the
// monitor's ten-minute sleep, and makes every kept copy of the handle
// useless.
TEST(ManagerLifecycle, OneInstanceUntilFreed) {
  std::vector<Manager*> seen(4, nullptr);
  {
    std::vector<std::thread> callers;
    for (Manager*& handle : seen) {
      callers.emplace_back([&handle] { handle = threadpoolMan_new(); });
    }
    for (std::thread& caller : callers) {
      caller.join();
    }
  }
  Manager* manager = seen[0];
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(seen, std::vector<Manager*>(4, manager));
  EXPECT_EQ(threadpoolMan_new(), manager);
  uint64_t pools = 0;
  EXPECT_EQ(threadpoolMan_getPoolCount(manager, &pools), TSK_OK);
  EXPECT_EQ(pools, 1u);

  Manager* kept = manager;
  Background freeing([&] { EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK); });
  ASSERT_TRUE(freeing.endsWithin(std::chrono::seconds(60)));
  EXPECT_EQ(manager, nullptr);
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_free(&kept), TSK_FAIL);
  EXPECT_EQ(kept, seen[0]) << "a refused free leaves the variable";

  // The kept handle is refused by everything (and never read).
  std::atomic<int> runs{0};
  Worker* worker = reinterpret_cast<Worker*>(&runs);
  pools = 7;
  EXPECT_EQ(threadpoolMan_getPoolCount(kept, &pools), TSK_FAIL);
  EXPECT_EQ(pools, 0u);
  EXPECT_EQ(threadpoolMan_getThread(kept, &worker), TSK_FAIL);
  EXPECT_EQ(worker, nullptr);
  EXPECT_EQ(threadpoolMan_runFunction(kept, &countRun, &runs), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_pause(kept), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_resume(kept), TSK_FAIL);
  expectRefused(kept, reinterpret_cast<Worker*>(&runs), "freed manager");

  Manager* fresh = threadpoolMan_new();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(threadpoolMan_runFunction(fresh, &countRun, &runs), TSK_OK);
  EXPECT_TRUE(eventually([&] { return runs == 1; }));
  EXPECT_EQ(threadpoolMan_free(&fresh), TSK_OK);
}

// Null handles and out-pointers fail without any other effect; a count is
// cleared before the manager is looked at.
TEST_F(ManagerTest, NullArguments) {
  std::atomic<int> runs{0};
  Worker* worker = getWorker();
  uint64_t count = 9;
  EXPECT_EQ(threadpoolMan_getPoolCount(manager_, nullptr), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_getPoolCount(nullptr, &count), TSK_FAIL);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(threadpoolMan_getThread(manager_, nullptr), TSK_FAIL);
  Worker* untouched = worker;
  EXPECT_EQ(threadpoolMan_getThread(nullptr, &untouched), TSK_FAIL);
  EXPECT_EQ(untouched, worker);
  EXPECT_EQ(threadpoolMan_runFunction(nullptr, &countRun, &runs), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_runThread(nullptr, worker, &countRun, &runs), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_suspendThread(nullptr, worker), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_resumeThread(nullptr, worker), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_validateThread(nullptr, worker), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_killThread(nullptr, worker, 1), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_pause(nullptr), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_resume(nullptr), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_free(nullptr), TSK_FAIL);
  Manager* none = nullptr;
  EXPECT_EQ(threadpoolMan_free(&none), TSK_FAIL);
  expectRefused(manager_, nullptr, "null worker");
  EXPECT_EQ(threadpoolMan_validateThread(manager_, worker), TSK_OK) << "nothing happened to it";
  EXPECT_EQ(runs, 0);
}

struct Call {
  int argument;
  std::atomic<int> runs{0};
  std::atomic<int> seenArgument{-1};
  std::thread::id thread;
};

uint32_t noteCall(void* argument) {
  auto* call = static_cast<Call*>(argument);
  call->thread = std::this_thread::get_id();
  call->seenArgument = call->argument;
  ++call->runs;
  return 0;
}

// Each routine runs once, with its own argument, on a worker's thread.
TEST_F(ManagerTest, RunFunctionRunsEachRoutineOnceWithItsArgument) {
  std::vector<Call> calls(12);
  for (size_t i = 0; i < calls.size(); ++i) {
    calls[i].argument = static_cast<int>(i);
    ASSERT_EQ(threadpoolMan_runFunction(manager_, &noteCall, &calls[i]), TSK_OK);
  }
  for (Call& call : calls) {
    ASSERT_TRUE(eventually([&] { return call.runs == 1; }));
    EXPECT_EQ(call.seenArgument, call.argument);
    EXPECT_NE(call.thread, std::this_thread::get_id());
  }
  // A null routine is an empty step.
  EXPECT_EQ(threadpoolMan_runFunction(manager_, nullptr, nullptr), TSK_OK);
}

// A worker handle runs one request at a time; suspension holds an idle
// worker and passes a running one over.
TEST_F(ManagerTest, WorkerHandles) {
  Worker* worker = getWorker();
  EXPECT_EQ(threadpoolMan_validateThread(manager_, worker), TSK_OK);
  Gate gate;
  std::atomic<int> runs{0};
  ASSERT_EQ(threadpoolMan_runThread(manager_, worker, &Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(1));
  EXPECT_EQ(threadpoolMan_runThread(manager_, worker, &countRun, &runs), TSK_FAIL) << "running";
  EXPECT_EQ(threadpoolMan_suspendThread(manager_, worker), TSK_OK);
  EXPECT_EQ(threadpoolMan_resumeThread(manager_, worker), TSK_FAIL) << "left running";
  gate.open();
  ASSERT_TRUE(gate.left(1));
  ASSERT_TRUE(eventually(
      [&] { return threadpoolMan_runThread(manager_, worker, &countRun, &runs) == TSK_OK; }));
  ASSERT_TRUE(eventually([&] { return runs == 1; }));

  ASSERT_TRUE(eventually([&] {
    return threadpoolMan_suspendThread(manager_, worker) == TSK_OK &&
           threadpoolMan_resumeThread(manager_, worker) == TSK_OK;
  }));
  EXPECT_EQ(threadpoolMan_suspendThread(manager_, worker), TSK_OK);
  EXPECT_EQ(threadpoolMan_runThread(manager_, worker, &countRun, &runs), TSK_FAIL) << "suspended";
  EXPECT_EQ(threadpoolMan_suspendThread(manager_, worker), TSK_OK) << "already suspended";
  EXPECT_EQ(threadpoolMan_resumeThread(manager_, worker), TSK_OK);
  EXPECT_EQ(threadpoolMan_runThread(manager_, worker, &countRun, &runs), TSK_OK);
  EXPECT_TRUE(eventually([&] { return runs == 2; }));
}

// The default pool grows to 100 workers, all running at once, and refuses
// a 101st request. A soft kill leaves the worker counting; a hard kill takes
// it out and makes room. On Windows a hard kill ends the routine at once;
// elsewhere threads end between steps, so it waits for the routine.
TEST_F(ManagerTest, GrowsToAHundredWorkersAndKillsMakeRoomOnlyWhenHard) {
  Gate gate;
  Hold victimHold;
  Worker* victim = getWorker();
  ASSERT_EQ(threadpoolMan_runThread(manager_, victim, &Hold::routine, &victimHold), TSK_OK);
  for (int i = 1; i < kMaximumWorkers; ++i) {
    ASSERT_EQ(threadpoolMan_runFunction(manager_, &Gate::pass, &gate), TSK_OK) << i;
  }
  ASSERT_TRUE(gate.reached(kMaximumWorkers - 1)) << "all run at once";
  Worker* worker = victim;
  EXPECT_EQ(threadpoolMan_getThread(manager_, &worker), TSK_FAIL);
  EXPECT_EQ(worker, nullptr);
  EXPECT_EQ(threadpoolMan_runFunction(manager_, &Gate::pass, &gate), TSK_FAIL);

  {
    Background killing([&] { EXPECT_EQ(threadpoolMan_killThread(manager_, victim, 1), TSK_OK); });
    if (!tsk::test::kWindows) {
      EXPECT_TRUE(killing.blocked()) << "waits for the routine to return";
      victimHold.released = true;
    }
    EXPECT_TRUE(killing.ends());
  }
  EXPECT_EQ(victimHold.returned, tsk::test::kWindows ? 0 : 1);
  expectRefused(manager_, victim, "hard-killed worker");

  Worker* replacement = getWorker();
  ASSERT_NE(replacement, nullptr);
  EXPECT_EQ(threadpoolMan_killThread(manager_, replacement, 0), TSK_OK);
  EXPECT_EQ(threadpoolMan_validateThread(manager_, replacement), TSK_OK);
  std::atomic<int> runs{0};
  EXPECT_EQ(threadpoolMan_runThread(manager_, replacement, &countRun, &runs), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_suspendThread(manager_, replacement), TSK_FAIL);
  EXPECT_EQ(threadpoolMan_resumeThread(manager_, replacement), TSK_OK);
  EXPECT_EQ(threadpoolMan_runFunction(manager_, &countRun, &runs), TSK_FAIL)
      << "the stopped worker still counts";
  EXPECT_EQ(threadpoolMan_killThread(manager_, replacement, 1), TSK_OK);
  EXPECT_EQ(threadpoolMan_runFunction(manager_, &countRun, &runs), TSK_OK);
  EXPECT_TRUE(eventually([&] { return runs == 1; }));
  gate.open();
  EXPECT_TRUE(gate.left(kMaximumWorkers - 1));
}

struct SelfKill {
  explicit SelfKill(Manager* owner) : manager(owner) {}

  Manager* manager;
  Worker* worker = nullptr;
  std::atomic<tsk_status> status{0};
  std::atomic<bool> done{false};

  static uint32_t routine(void* argument) {
    auto* self = static_cast<SelfKill*>(argument);
    while (self->worker == nullptr) {
      std::this_thread::yield();
    }
    self->status = threadpoolMan_killThread(self->manager, self->worker, 1);
    self->done = true;
    return 0;
  }
};

// Addresses that are no workers are refused; a worker cannot end its own
// thread from inside its routine, but is stopped.
TEST_F(ManagerTest, ForeignAddressesAndSelfKills) {
  int local = 0;
  expectRefused(manager_, reinterpret_cast<Worker*>(&local), "a local variable");
  expectRefused(manager_, reinterpret_cast<Worker*>(manager_), "the manager");

  SelfKill self(manager_);
  Worker* worker = getWorker();
  ASSERT_EQ(threadpoolMan_runThread(manager_, worker, &SelfKill::routine, &self), TSK_OK);
  self.worker = worker;
  ASSERT_TRUE(eventually([&] { return self.done.load(); }));
  EXPECT_EQ(self.status, TSK_FAIL);
  EXPECT_EQ(threadpoolMan_validateThread(manager_, worker), TSK_OK);
  std::atomic<int> runs{0};
  EXPECT_EQ(threadpoolMan_runThread(manager_, worker, &countRun, &runs), TSK_FAIL) << "stopped";
}

// Pause suspends the idle workers and passes the running ones; resume
// brings them back, and fails where nothing is suspended. A pool left
// suspended is still freed.
TEST_F(ManagerTest, PauseAndResume) {
  ASSERT_TRUE(allIdleEventually(manager_));
  Worker* worker = getWorker();
  EXPECT_EQ(threadpoolMan_pause(manager_), TSK_OK);
  std::atomic<int> runs{0};
  EXPECT_EQ(threadpoolMan_runThread(manager_, worker, &countRun, &runs), TSK_FAIL) << "paused";
  EXPECT_EQ(threadpoolMan_resume(manager_), TSK_OK);
  EXPECT_EQ(threadpoolMan_resume(manager_), TSK_FAIL) << "nothing suspended";
  EXPECT_EQ(threadpoolMan_runThread(manager_, worker, &countRun, &runs), TSK_OK);
  ASSERT_TRUE(eventually([&] { return runs == 1; }));

  ASSERT_TRUE(allIdleEventually(manager_));
  Gate gate;
  ASSERT_EQ(threadpoolMan_runFunction(manager_, &Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(1));
  EXPECT_EQ(threadpoolMan_pause(manager_), TSK_OK) << "the running worker is passed over";
  // Every worker is suspended or running: a new one is made for this.
  EXPECT_EQ(threadpoolMan_runFunction(manager_, &countRun, &runs), TSK_OK);
  ASSERT_TRUE(eventually([&] { return runs == 2; }));
  EXPECT_EQ(threadpoolMan_resume(manager_), TSK_FAIL) << "stops at the running worker";
  gate.open();
  ASSERT_TRUE(gate.left(1));
  // TearDown frees the manager with most workers still suspended.
}

// Four threads submit 20,000 routines between them, trying again while all
// 100 workers are busy: every routine runs exactly once.
TEST_F(ManagerTest, EveryRoutineRunsExactlyOnce) {
  constexpr int kSubmitters = 4;
  constexpr int kRoutines = 20000;
  std::vector<std::atomic<int>> runs(kRoutines);
  std::vector<std::thread> submitters;
  std::atomic<int> refusals{0};
  for (int s = 0; s < kSubmitters; ++s) {
    submitters.emplace_back([&, s] {
      for (int i = s; i < kRoutines; i += kSubmitters) {
        while (threadpoolMan_runFunction(manager_, &countRun, &runs[i]) != TSK_OK) {
          ++refusals;
          std::this_thread::yield();
        }
      }
    });
  }
  for (std::thread& submitter : submitters) {
    submitter.join();
  }
  const auto allRan = [&] {
    for (const std::atomic<int>& count : runs) {
      if (count.load() == 0) {
        return false;
      }
    }
    return true;
  };
  ASSERT_TRUE(eventually(allRan));
  int more = 0;
  for (const std::atomic<int>& count : runs) {
    more += count.load() > 1 ? 1 : 0;
  }
  EXPECT_EQ(more, 0);
  RecordProperty("refusals", refusals.load());
}

struct DuringFree {
  explicit DuringFree(Manager* freed) : manager(freed) {}

  Manager* manager;
  Gate gate;
  std::atomic<tsk_status> freeStatus{0};
  std::atomic<tsk_status> runStatus{0};
  std::atomic<bool> returned{false};

  static uint32_t routine(void* argument) {
    auto* self = static_cast<DuringFree*>(argument);
    Manager* copy = self->manager;
    self->freeStatus = threadpoolMan_free(&copy);
    Gate::pass(&self->gate);
    self->runStatus = threadpoolMan_runFunction(self->manager, &Gate::pass, &self->gate);
    self->returned = true;
    return 0;
  }
};

// Freeing waits for the routines that still run; a routine cannot free its
// own manager, and its requests on the way out are refused.
TEST_F(ManagerTest, FreeWaitsForRunningRoutines) {
  DuringFree during(manager_);
  ASSERT_EQ(threadpoolMan_runFunction(manager_, &DuringFree::routine, &during), TSK_OK);
  ASSERT_TRUE(during.gate.reached(1));
  EXPECT_EQ(during.freeStatus, TSK_FAIL);
  Background freeing([&] { EXPECT_EQ(threadpoolMan_free(&manager_), TSK_OK); });
  EXPECT_TRUE(freeing.blocked());
  during.gate.open();
  EXPECT_TRUE(freeing.ends());
  EXPECT_TRUE(during.returned);
  EXPECT_EQ(during.runStatus, TSK_FAIL);
  EXPECT_EQ(during.gate.arrived(), 1);
}

// The monitor's dump, on standard output and in "debug.txt" alike: two
// empty lines, the monitor's line, the date, an empty line, the pool's line
// and four lines for each of its 50 workers.
TEST(ManagerDump, FirstDumpOfANewManager) {
  std::filesystem::remove("debug.txt");
  testing::internal::CaptureStdout();
  Manager* manager = threadpoolMan_new();
  ASSERT_NE(manager, nullptr);
  constexpr size_t kDumpLines = 6 + 4 * 50;
  const bool dumped = eventually([] { return linesOf(logText()).size() >= kDumpLines; });
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
  const std::string printed =
      tsk::test::withoutCarriageReturns(testing::internal::GetCapturedStdout());
  ASSERT_TRUE(dumped);
  const std::string logged = logText();
  EXPECT_EQ(printed, logged);
  const std::vector<std::string> lines = linesOf(logged);
  ASSERT_EQ(lines.size(), kDumpLines) << "one pass only";

  const std::string time =
      "[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}";
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "");
  std::smatch monitor;
  EXPECT_TRUE(std::regex_match(lines[2], monitor,
                               std::regex("Monitor Thread ([0-9]+): Entering "
                                          "ThreadPoolManager::ThreadFunc")))
      << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex("\t" + time))) << lines[3];
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "Poolname: default pool (size = 50)");
  const std::regex workerLine("\tThread ([0-9]+): (IDLE|RUNNING)");
  std::vector<std::string> ids = {monitor[1]};
  for (size_t first = 6; first + 3 < lines.size(); first += 4) {
    std::smatch worker;
    EXPECT_TRUE(std::regex_match(lines[first], worker, workerLine)) << lines[first];
    EXPECT_TRUE(std::regex_match(lines[first + 1], std::regex("\t\tlast accessed: " + time)));
    EXPECT_TRUE(std::regex_match(lines[first + 2], std::regex("\t\tlast finished: " + time)));
    EXPECT_TRUE(std::regex_match(lines[first + 3], std::regex("\t\tRemove: (No|Yes)")));
    ids.push_back(worker[1]);
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "one thread each";
}

// With a short monitor period and every idle worker removable, the monitor
// retires workers, earliest first, down to 25; their handles are refused
// afterwards, and the pool grows again on demand.
TEST(ManagerMonitor, RetiresIdleWorkersDownToTheMinimum) {
  tsk::testing::setMonitorPeriod(20);
  std::filesystem::remove("debug.txt");
  Manager* manager = threadpoolMan_new();
  ASSERT_NE(manager, nullptr);
  ASSERT_TRUE(allIdleEventually(manager));
  Worker* first = nullptr;
  threadpoolMan_getThread(manager, &first);
  tsk::testing::setIdleLimit(-1.0);
  EXPECT_TRUE(eventually(
      [] { return logText().find("Poolname: default pool (size = 25)\n") != std::string::npos; }));
  tsk::testing::restoreThreadPoolTiming();
  expectRefused(manager, first, "retired worker");

  Gate gate;
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(threadpoolMan_runFunction(manager, &Gate::pass, &gate), TSK_OK);
  }
  EXPECT_TRUE(gate.reached(30));
  gate.open();
  EXPECT_TRUE(gate.left(30));
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
}

// When memory runs out while the manager is made, threadpoolMan_new gives
// null and leaves nothing behind; the next call succeeds.
TEST(ManagerLifecycle, NullWhenMemoryRunsOut) {
  const int64_t allocations = tsk::test::countAllocations([] {
    Manager* manager = threadpoolMan_new();
    threadpoolMan_free(&manager);
  });
  ASSERT_GT(allocations, 3);
  for (const int64_t failing : {int64_t{1}, int64_t{2}, int64_t{3}, allocations / 2, allocations}) {
    SCOPED_TRACE(failing);
    tsk::test::FailNthAllocation failure(failing);
    EXPECT_EQ(threadpoolMan_new(), nullptr);
    EXPECT_EQ(failure.leaked(), 0);
  }
  Manager* manager = threadpoolMan_new();
  ASSERT_NE(manager, nullptr);
  uint64_t pools = 0;
  EXPECT_EQ(threadpoolMan_getPoolCount(manager, &pools), TSK_OK);
  EXPECT_EQ(pools, 1u);
  EXPECT_EQ(threadpoolMan_free(&manager), TSK_OK);
}

} // namespace
