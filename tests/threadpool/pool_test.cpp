// The pool: its first batch, growth to its maximum, handing out, removal of
// idle workers down to its minimum, and the operations on all workers.
#include "threadpool/pool.h"

#include <gtest/gtest.h>

#include <vector>

#include "gate.h"
#include "threadpool/timing.h"

namespace tsk {
namespace {

using test::eventually;
using test::Gate;

std::vector<Thread*> workersOf(ThreadPool& pool) {
  std::vector<Thread*> workers;
  pool.ForEachThread([&](Thread& worker) { workers.push_back(&worker); });
  return workers;
}

std::vector<int32_t> statesOf(const std::vector<Thread*>& workers) {
  std::vector<int32_t> states;
  for (Thread* worker : workers) {
    states.push_back(worker->GetState());
  }
  return states;
}

// Makes every IDLE worker removable at its next status query.
class AnyIdleWorkerRemovable {
public:
  AnyIdleWorkerRemovable() { g_idleLimit = -1.0; }
  ~AnyIdleWorkerRemovable() { g_idleLimit = kIdleLimitSeconds; }
};

void queryAll(ThreadPool& pool) {
  char line[kStatusLineCapacity];
  pool.ForEachThread([&](Thread& worker) { worker.GetFullStatus(line, sizeof line); });
}

// A pool starts with the smaller of 2 x minimum and maximum workers, all
// IDLE, each knowing its pool.
TEST(ThreadPool, FirstBatch) {
  struct Case {
    int32_t minimum, maximum, expected;
  };
  for (const Case& c : {Case{3, 10, 6}, Case{6, 10, 10}, Case{5, 5, 5}, Case{0, 10, 0}}) {
    SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum);
    ThreadPool pool(TSK_W("batch"), c.maximum, c.minimum);
    EXPECT_EQ(pool.GetSize(), static_cast<uint32_t>(c.expected));
    const std::vector<Thread*> workers = workersOf(pool);
    EXPECT_EQ(workers.size(), static_cast<size_t>(c.expected));
    for (Thread* worker : workers) {
      ThreadPool* owner = nullptr;
      worker->GetPool(&owner);
      EXPECT_EQ(owner, &pool);
      EXPECT_EQ(worker->GetState(), kIdle);
      EXPECT_TRUE(pool.HasThread(worker));
    }
  }
}

// The first IDLE worker is handed out (and not reserved); with none idle a
// new one is made up to the maximum, after which requests fail and nothing
// is made. A worker taken out makes room for one more.
TEST(ThreadPool, HandsOutIdleWorkersAndGrowsToItsMaximum) {
  ThreadPool pool(TSK_W("growing"), 4, 1);
  ASSERT_EQ(pool.GetSize(), 2u);
  const std::vector<Thread*> first = workersOf(pool);
  Thread* worker = nullptr;
  ASSERT_EQ(pool.GetIdleThread(&worker), TSK_OK);
  EXPECT_EQ(worker, first[0]);
  ASSERT_EQ(pool.GetIdleThread(&worker), TSK_OK);
  EXPECT_EQ(worker, first[0]) << "handing out reserves nothing";

  Gate gate;
  for (int running = 1; running <= 4; ++running) {
    ASSERT_EQ(pool.RunIdleThread(&Gate::pass, &gate), TSK_OK);
    ASSERT_TRUE(gate.reached(running));
  }
  EXPECT_EQ(pool.GetSize(), 4u);
  EXPECT_EQ(pool.GetIdleThread(&worker), TSK_FAIL);
  EXPECT_EQ(worker, nullptr);
  EXPECT_EQ(pool.RunIdleThread(&Gate::pass, &gate), TSK_FAIL);
  Thread* added = nullptr;
  EXPECT_EQ(pool.AddThread(&added), TSK_FAIL);
  EXPECT_EQ(pool.AddThreads(3), TSK_OK) << "no attempt is made at the maximum";
  EXPECT_EQ(pool.GetSize(), 4u);
  EXPECT_EQ(pool.AddThread(nullptr), TSK_FAIL);

  gate.open();
  ASSERT_TRUE(gate.left(4));
  const std::vector<Thread*> all = workersOf(pool);
  EXPECT_EQ(pool.RemoveThread(all[1]), TSK_OK);
  EXPECT_EQ(pool.RemoveThread(all[1]), TSK_OK) << "no longer there: nothing happens";
  EXPECT_EQ(pool.GetSize(), 3u);
  EXPECT_FALSE(pool.HasThread(all[1]));
  Gate again;
  for (int running = 1; running <= 4; ++running) {
    ASSERT_EQ(pool.RunIdleThread(&Gate::pass, &again), TSK_OK) << "room for one more";
    ASSERT_TRUE(again.reached(running));
  }
  EXPECT_EQ(pool.GetSize(), 4u);
}

// Removal takes the earliest-created removable workers while the pool
// counts more than its minimum; busy workers stay whatever their age.
TEST(ThreadPool, RemovesIdleWorkersDownToItsMinimum) {
  AnyIdleWorkerRemovable removable;
  ThreadPool pool(TSK_W("shrinking"), 10, 3);
  const std::vector<Thread*> workers = workersOf(pool);
  ASSERT_EQ(workers.size(), 6u);
  Gate gate;
  ASSERT_EQ(workers[0]->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_EQ(workers[2]->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(2));

  pool.RemoveIdleThreads();
  EXPECT_EQ(pool.GetSize(), 6u) << "nothing is removable before a status query";
  queryAll(pool);
  pool.RemoveIdleThreads();
  EXPECT_EQ(pool.GetSize(), 3u);
  EXPECT_EQ(workersOf(pool), (std::vector<Thread*>{workers[0], workers[2], workers[5]}));
  gate.open();
  ASSERT_TRUE(gate.left(2));
  ASSERT_TRUE(eventually([&] { return workers[0]->GetState() == kIdle; }));
  queryAll(pool);
  pool.RemoveIdleThreads();
  EXPECT_EQ(pool.GetSize(), 3u) << "never below the minimum";
}

// SuspendAll, ResumeAll and RunAll go through the workers in order and stop
// at the first that refuses, leaving the rest as they were.
TEST(ThreadPool, OperationsOnAllStopAtTheFirstRefusal) {
  ThreadPool pool(TSK_W("all"), 4, 2);
  const std::vector<Thread*> workers = workersOf(pool);
  Gate gate;
  ASSERT_EQ(workers[1]->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(1));
  workers[2]->Stop();
  EXPECT_EQ(pool.SuspendAll(), TSK_FAIL);
  EXPECT_EQ(statesOf(workers), (std::vector<int32_t>{kSuspended, kRunning, kStopped, kIdle}));
  EXPECT_EQ(pool.ResumeAll(), TSK_FAIL) << "the second worker is RUNNING";
  EXPECT_EQ(statesOf(workers), (std::vector<int32_t>{kIdle, kRunning, kStopped, kIdle}));
  EXPECT_EQ(pool.ResumeAll(), TSK_FAIL) << "the first worker is IDLE";
  EXPECT_EQ(pool.RunAll(), TSK_FAIL) << "the second worker is RUNNING";
  gate.open();
  ASSERT_TRUE(eventually(
      [&] { return workers[0]->GetState() == kIdle && workers[1]->GetState() == kIdle; }));
  EXPECT_EQ(pool.RunAll(), TSK_FAIL) << "the third worker is STOPPED";
  EXPECT_EQ(workers[3]->GetState(), kIdle);
}

// A pool whose workers are suspended, or busy, still ends: its destruction
// lets every thread run to its end and waits for it.
TEST(ThreadPool, DestructionEndsSuspendedAndBusyWorkers) {
  Gate gate;
  std::atomic<bool> destroying{false};
  test::Background opener([&] {
    eventually([&] { return destroying.load(); });
    std::this_thread::sleep_for(test::kSettle);
    gate.open();
  });
  {
    ThreadPool pool(TSK_W("paused"), 4, 2);
    ASSERT_EQ(pool.RunIdleThread(&Gate::pass, &gate), TSK_OK);
    ASSERT_TRUE(gate.reached(1));
    EXPECT_EQ(pool.SuspendAll(), TSK_OK);
    EXPECT_EQ(statesOf(workersOf(pool)),
              (std::vector<int32_t>{kRunning, kSuspended, kSuspended, kSuspended}));
    destroying = true;
  }
  EXPECT_EQ(gate.departed(), 1) << "destroyed before its busy worker ended";
}

} // namespace
} // namespace tsk
