// Workers, pools and the log writer, from the inside: the worker's state
// table with what its thread does afterwards, its status line, the pool's
// operations on all its workers, and DebugLog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "platform/runtime.h"
#include "pool_support.h"
#include "threadpool/debug_log.h"
#include "threadpool/pool.h"
#include "threadpool/timing.h"

namespace tsk {

class ThreadTestAccess {
public:
  // previousState, lastAccessed, lastFinished.
  static std::tuple<int32_t, int64_t, int64_t> fields(Thread& worker) {
    ScopedLock hold(worker.lock);
    return {worker.previousState, worker.lastAccessed, worker.lastFinished};
  }
  // Sets the remove flag, both times, and (if `state` is given) the state.
  static void set(Thread& worker, bool remove, int64_t time, int32_t state = -1) {
    ScopedLock hold(worker.lock);
    worker.remove = remove;
    worker.lastAccessed = worker.lastFinished = time;
    if (state >= 0) {
      worker.SetState(state);
    }
  }
};

namespace {

using Access = ThreadTestAccess;
using test::eventually;
using test::Gate;

constexpr int32_t kSame = -100; // previousState as before the operation

struct Outcome {
  tsk_status status; // 1: does not apply (a suspended thread makes no Finish)
  int32_t state;
  int32_t previous;
};

struct Operation {
  const char* name;
  tsk_status (*apply)(Thread& worker, Gate& gate);
  Outcome from[5]; // IDLE, RUNNING, SUSPENDED, STOPPED, STOPPENDDING
};

// Outcomes by state on entry: IDLE, RUNNING, SUSPENDED, STOPPED, STOPPENDDING.
// A step that a stop interrupted ends STOPPED, not IDLE.
constexpr tsk_status F = TSK_FAIL;
// clang-format off
const Operation kTable[] = {
    {"Start", [](Thread& worker, Gate&) { return worker.Start(); },
     {{0, kIdle, kSame},      {0, kRunning, kSame}, {0, kIdle, kSuspended},    {F, kStopped, kSame}, {F, kStopPending, kSame}}},
    {"Suspend", [](Thread& worker, Gate&) { return worker.Suspend(); },
     {{0, kSuspended, kIdle}, {0, kRunning, kSame}, {0, kSuspended, kSame},    {F, kStopped, kSame}, {F, kStopPending, kSame}}},
    {"Resume", [](Thread& worker, Gate&) { return worker.Resume(); },
     {{F, kIdle, kSame},      {F, kRunning, kSame}, {0, kIdle, kSuspended},    {0, kStopped, kSame}, {0, kStopPending, kSame}}},
    {"Run", [](Thread& worker, Gate& gate) { return worker.Run(&Gate::pass, &gate); },
     {{0, kRunning, kIdle},   {F, kRunning, kSame}, {F, kSuspended, kSame},    {F, kStopped, kSame}, {F, kStopPending, kSame}}},
    {"Stop", [](Thread& worker, Gate&) { return worker.Stop(); },
     {{0, kStopped, kStopPending}, {0, kStopped, kStopPending}, {0, kStopped, kStopPending},
      {0, kStopped, kStopPending}, {0, kStopped, kStopPending}}},
    {"Finish", [](Thread& worker, Gate&) { return worker.Finish(); },
     {{0, kIdle, kIdle},      {0, kIdle, kRunning}, {1, 0, 0},                 {0, kStopped, kStopped}, {0, kIdle, kStopPending}}},
};
// clang-format on

void bringTo(Thread& worker, int32_t state, Gate& step) {
  if (state == kRunning) {
    ASSERT_EQ(worker.Run(&Gate::pass, &step), TSK_OK);
    ASSERT_TRUE(step.reached(1));
  } else if (state == kSuspended || state == kStopped) {
    ASSERT_EQ(state == kSuspended ? worker.Suspend() : worker.Stop(), TSK_OK);
  } else if (state == kStopPending) {
    Access::set(worker, false, 1, state);
  }
  ASSERT_EQ(worker.GetState(), state);
}

// All but Finish record the access and clear the remove flag. Then an IDLE or
// RUNNING worker takes another step, a refused request never runs, and a
// STOPPED worker's thread ends (a suspended one included).
TEST(Worker, StateTable) {
  ThreadPool pool(TSK_W("workers"), 64, 0);
  for (const Operation& operation : kTable) {
    for (int32_t from = kIdle; from <= kStopPending; ++from) {
      const Outcome& expected = operation.from[from];
      if (expected.status == 1) {
        continue;
      }
      SCOPED_TRACE(std::string(statusWord(from)) + " " + operation.name);
      Thread* worker = nullptr;
      ASSERT_EQ(pool.AddThread(&worker), TSK_OK);
      Gate step, requested;
      bringTo(*worker, from, step);
      const int32_t previous = std::get<0>(Access::fields(*worker));
      Access::set(*worker, true, 0);
      const bool finish = operation.apply == kTable[5].apply;

      EXPECT_EQ(operation.apply(*worker, requested), expected.status);
      EXPECT_EQ(worker->GetState(), expected.state);
      const auto [previousNow, accessed, finished] = Access::fields(*worker);
      EXPECT_EQ(previousNow, expected.previous == kSame ? previous : expected.previous);
      EXPECT_EQ(worker->IsRemovable(), finish);
      EXPECT_EQ(accessed != 0, !finish);

      // A step still pending ends with the worker thread's own Finish.
      const bool ran = expected.status == TSK_OK && std::string(operation.name) == "Run";
      const auto stepEnded = [&] {
        return worker->GetState() == kIdle && std::get<2>(Access::fields(*worker)) != 0;
      };
      Access::set(*worker, false, from == kRunning || ran ? 0 : 1);
      step.open = true;
      requested.open = true;
      if (expected.state == kIdle || expected.state == kRunning) {
        ASSERT_TRUE(eventually(stepEnded));
        Access::set(*worker, false, 0);
        ASSERT_EQ(worker->Run(nullptr, nullptr), TSK_OK);
        EXPECT_TRUE(eventually(stepEnded));
      } else if (expected.state == kStopped) {
        EXPECT_EQ(platform::waitForObject(worker->GetHandle(), 20000),
                  platform::WaitResult::kSignalled);
        EXPECT_EQ(worker->GetState(), kStopped);
      }
      EXPECT_EQ(requested.arrived, ran ? 1 : 0);
      pool.RemoveThread(worker);
    }
  }
}

// Idle beyond the limit marks it removable. Up to 256 bytes the buffer gets
// exactly `capacity` bytes (zeros after the line, or no terminator).
TEST(Worker, StatusLine) {
  ThreadPool pool(TSK_W("status"), 1, 1);
  Thread* worker = nullptr;
  ASSERT_EQ(pool.GetIdleThread(&worker), TSK_OK);
  uint32_t id = 0;
  ASSERT_EQ(worker->GetThreadId(&id), TSK_OK);
  const int64_t finished = platform::calendarTime() - 5;
  char whole[kStatusLineCapacity + 1];
  worker->GetFullStatus(whole, sizeof whole);
  const int32_t length = int32_t(std::strlen(whole));
  for (const int32_t capacity : {0, 1, 10, length, length + 1, 256, 257, 300}) {
    SCOPED_TRACE(capacity);
    std::vector<char> buffer(310, '#');
    Access::set(*worker, false, finished);
    ASSERT_EQ(worker->GetFullStatus(buffer.data(), capacity), TSK_OK);
    EXPECT_TRUE(worker->IsRemovable());
    const std::string line = "\tThread " + std::to_string(id) + ": IDLE\n\t\tlast accessed: " +
                             TimeText(std::get<1>(Access::fields(*worker))).get() +
                             "\t\tlast finished: " + TimeText(finished).get() + "\t\tRemove: Yes\n";
    const size_t copied = std::min(line.size() + 1, size_t(capacity));
    const size_t filled = capacity > kStatusLineCapacity ? copied : size_t(capacity);
    EXPECT_EQ(std::string(buffer.data(), copied), (line + '\0').substr(0, copied));
    EXPECT_TRUE(std::all_of(buffer.begin() + copied, buffer.begin() + filled,
                            [](char c) { return c == '\0'; }));
    EXPECT_EQ(buffer[filled], '#');
  }
  EXPECT_STREQ(statusWord(kStopPending), "STOPPENDDING");
  EXPECT_STREQ(statusWord(5), "UNKNOWN");
}

std::vector<int32_t> statesOf(ThreadPool& pool) {
  std::vector<int32_t> states;
  pool.ForEachThread([&](Thread& worker) { states.push_back(worker.GetState()); });
  return states;
}

// Batch operations stop at the first refusal; removal takes the earliest
// removable workers down to the minimum.
TEST(Pool, BatchOperationsOnAllAndRemoval) {
  const std::tuple<int32_t, int32_t, uint32_t> batches[] = {{0, 5, 0}, {3, 5, 5}, {2, 9, 4}};
  for (const auto& [minimum, maximum, size] : batches) {
    ThreadPool batch(TSK_W("batch"), maximum, minimum);
    EXPECT_EQ(batch.GetSize(), size);
    Thread* added = nullptr;
    EXPECT_EQ(batch.AddThread(&added), size < uint32_t(maximum) ? TSK_OK : TSK_FAIL) << maximum;
  }
  ThreadPool pool(TSK_W("all"), 10, 3);
  std::vector<Thread*> workers;
  pool.ForEachThread([&](Thread& worker) { workers.push_back(&worker); });
  Gate gate;
  ASSERT_EQ(workers[1]->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_EQ(workers[3]->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(2));
  ASSERT_EQ(workers[4]->Stop(), TSK_OK);
  EXPECT_EQ(pool.SuspendAll(), TSK_FAIL);
  EXPECT_EQ(statesOf(pool),
            (std::vector<int32_t>{kSuspended, kRunning, kSuspended, kRunning, kStopped, kIdle}));
  EXPECT_EQ(pool.ResumeAll(), TSK_FAIL);
  EXPECT_EQ(statesOf(pool),
            (std::vector<int32_t>{kIdle, kRunning, kSuspended, kRunning, kStopped, kIdle}));
  EXPECT_EQ(pool.RunAll(), TSK_FAIL);
  ASSERT_TRUE(eventually([&] { return workers[0]->GetState() == kIdle; }));
  EXPECT_EQ(workers[2]->Resume(), TSK_OK);

  g_idleLimit = -1.0;
  char line[kStatusLineCapacity];
  pool.ForEachThread([&](Thread& worker) { worker.GetFullStatus(line, sizeof line); });
  g_idleLimit = kIdleLimitSeconds;
  pool.RemoveIdleThreads();
  EXPECT_EQ(statesOf(pool), (std::vector<int32_t>{kRunning, kRunning, kStopped}));
}

// Each message goes unchanged (a '%' is no format) to standard output and to
// the end of the file; when the file cannot be opened, a note follows it.
TEST(DebugLog, StandardOutputAndTheFile) {
  test::InScratchDirectory scratch;
  testing::internal::CaptureStdout();
  DebugLog("100% %s\n");
  DebugLog("\tsecond\n");
  EXPECT_EQ(test::withoutCarriageReturns(testing::internal::GetCapturedStdout()), test::logText());
  EXPECT_EQ(test::logText(), "100% %s\n\tsecond\n");
  std::filesystem::remove("debug.txt");
  std::filesystem::create_directory("debug.txt");
  testing::internal::CaptureStdout();
  DebugLog("one\n");
  EXPECT_EQ(test::withoutCarriageReturns(testing::internal::GetCapturedStdout()),
            "one\nThe file 'debug.txt' was not opened\n");
}

} // namespace
} // namespace tsk
