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
  static int32_t previous(Thread& worker) {
    ScopedLock hold(worker.lock);
    return worker.previousState;
  }
  static int64_t lastAccessed(Thread& worker) {
    ScopedLock hold(worker.lock);
    return worker.lastAccessed;
  }
  static int64_t lastFinished(Thread& worker) {
    ScopedLock hold(worker.lock);
    return worker.lastFinished;
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
constexpr tsk_status kNotApplicable = 1;

struct Outcome {
  tsk_status status;
  int32_t state;
  int32_t previous;
};

enum Operation { kStart, kSuspend, kResume, kRun, kStop, kFinish, kOperations };
const char* const kOperationNames[] = {"Start", "Suspend", "Resume", "Run", "Stop", "Finish"};

// Operation x state on entry (IDLE, RUNNING, SUSPENDED, STOPPED,
// STOPPENDDING). A step that a stop interrupted ends STOPPED, not IDLE; a
// suspended thread makes no Finish.
const Outcome kTable[kOperations][5] = {
    {{TSK_OK, kIdle, kSame},
     {TSK_OK, kRunning, kSame},
     {TSK_OK, kIdle, kSuspended},
     {TSK_FAIL, kStopped, kSame},
     {TSK_FAIL, kStopPending, kSame}},
    {{TSK_OK, kSuspended, kIdle},
     {TSK_OK, kRunning, kSame},
     {TSK_OK, kSuspended, kSame},
     {TSK_FAIL, kStopped, kSame},
     {TSK_FAIL, kStopPending, kSame}},
    {{TSK_FAIL, kIdle, kSame},
     {TSK_FAIL, kRunning, kSame},
     {TSK_OK, kIdle, kSuspended},
     {TSK_OK, kStopped, kSame},
     {TSK_OK, kStopPending, kSame}},
    {{TSK_OK, kRunning, kIdle},
     {TSK_FAIL, kRunning, kSame},
     {TSK_FAIL, kSuspended, kSame},
     {TSK_FAIL, kStopped, kSame},
     {TSK_FAIL, kStopPending, kSame}},
    {{TSK_OK, kStopped, kStopPending},
     {TSK_OK, kStopped, kStopPending},
     {TSK_OK, kStopped, kStopPending},
     {TSK_OK, kStopped, kStopPending},
     {TSK_OK, kStopped, kStopPending}},
    {{TSK_OK, kIdle, kIdle},
     {TSK_OK, kIdle, kRunning},
     {kNotApplicable, 0, 0},
     {TSK_OK, kStopped, kStopped},
     {TSK_OK, kIdle, kStopPending}},
};

tsk_status apply(Thread& worker, int operation, Gate& gate) {
  switch (operation) {
  case kStart:
    return worker.Start();
  case kSuspend:
    return worker.Suspend();
  case kResume:
    return worker.Resume();
  case kRun:
    return worker.Run(&Gate::pass, &gate);
  case kStop:
    return worker.Stop();
  default:
    return worker.Finish();
  }
}

void bringTo(Thread& worker, int32_t state, Gate& step) {
  if (state == kRunning) {
    ASSERT_EQ(worker.Run(&Gate::pass, &step), TSK_OK);
    ASSERT_TRUE(step.reached(1));
  } else if (state == kSuspended) {
    ASSERT_EQ(worker.Suspend(), TSK_OK);
  } else if (state == kStopped) {
    ASSERT_EQ(worker.Stop(), TSK_OK);
  } else if (state != kIdle) {
    Access::set(worker, false, platform::calendarTime(), state);
  }
  ASSERT_EQ(worker.GetState(), state);
}

// Each operation gives the status and states of the table; all but Finish
// record the access and clear the remove flag. Then the thread does what the
// state says: an IDLE worker (or a RUNNING one, once its step ends) takes a
// request without a routine as a step, a request refused has not run, and a
// STOPPED worker's thread ends (a suspended one included) leaving it STOPPED.
TEST(Worker, StateTable) {
  ThreadPool pool(TSK_W("workers"), 64, 0);
  for (int32_t from = kIdle; from <= kStopPending; ++from) {
    for (int operation = kStart; operation < kOperations; ++operation) {
      const Outcome& expected = kTable[operation][from];
      if (expected.status == kNotApplicable) {
        continue;
      }
      SCOPED_TRACE(std::string(statusWord(from)) + " " + kOperationNames[operation]);
      Thread* worker = nullptr;
      ASSERT_EQ(pool.AddThread(&worker), TSK_OK);
      Gate step, requested;
      bringTo(*worker, from, step);
      const int32_t previousBefore = Access::previous(*worker);
      Access::set(*worker, true, 0);

      EXPECT_EQ(apply(*worker, operation, requested), expected.status);
      EXPECT_EQ(worker->GetState(), expected.state);
      EXPECT_EQ(Access::previous(*worker),
                expected.previous == kSame ? previousBefore : expected.previous);
      EXPECT_EQ(worker->IsRemovable(), operation == kFinish);
      EXPECT_EQ(Access::lastAccessed(*worker) != 0, operation != kFinish);

      // A step still pending ends with the worker thread's own Finish.
      const bool stepPending = from == kRunning || (operation == kRun && expected.status == TSK_OK);
      const auto stepEnded = [&] {
        return worker->GetState() == kIdle && Access::lastFinished(*worker) != 0;
      };
      Access::set(*worker, false, stepPending ? 0 : 1);
      step.open();
      requested.open();
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
      EXPECT_EQ(requested.arrived(), operation == kRun && expected.status == TSK_OK ? 1 : 0);
      pool.RemoveThread(worker);
    }
  }
}

std::string timeText(int64_t seconds) {
  char text[platform::kLocalTimeTextLength + 1];
  return platform::localTimeText(seconds, text) ? text : "(null)";
}

// The status line, which marks a worker idle for longer than the limit as
// removable; and how much of it a buffer gets: the whole line and its
// terminator above 256 bytes, otherwise exactly `capacity` bytes, zeros
// after a shorter line and no terminator after a longer one.
TEST(Worker, StatusLine) {
  ThreadPool pool(TSK_W("status"), 1, 1);
  Thread* worker = nullptr;
  ASSERT_EQ(pool.GetIdleThread(&worker), TSK_OK);
  uint32_t id = 0;
  ASSERT_EQ(worker->GetThreadId(&id), TSK_OK);
  const int64_t finished = platform::calendarTime() - 5;
  Access::set(*worker, false, finished);
  const auto line = [&](const char* state, int64_t accessed, const char* remove) {
    return "\tThread " + std::to_string(id) + ": " + state +
           "\n\t\tlast accessed: " + timeText(accessed) +
           "\t\tlast finished: " + timeText(finished) + "\t\tRemove: " + remove + "\n";
  };
  char full[kStatusLineCapacity + 1];
  EXPECT_EQ(worker->GetFullStatus(full, sizeof full), TSK_OK);
  EXPECT_EQ(full, line("IDLE", Access::lastAccessed(*worker), "Yes"));
  EXPECT_TRUE(worker->IsRemovable());
  ASSERT_EQ(worker->Suspend(), TSK_OK);
  worker->GetFullStatus(full, sizeof full);
  EXPECT_EQ(full, line("SUSPENDED", Access::lastAccessed(*worker), "No"));
  ASSERT_EQ(worker->Resume(), TSK_OK);

  const int32_t length = int32_t(line("IDLE", 0, "Yes").size());
  for (const int32_t capacity : {0, 1, 10, length, length + 1, 256, 257, 300}) {
    SCOPED_TRACE(capacity);
    std::vector<char> buffer(310, '#');
    Access::set(*worker, false, finished);
    ASSERT_EQ(worker->GetFullStatus(buffer.data(), capacity), TSK_OK);
    const std::string now = line("IDLE", Access::lastAccessed(*worker), "Yes");
    const size_t copied = std::min<size_t>(now.size() + 1, size_t(std::max(capacity, 0)));
    const size_t filled = capacity > kStatusLineCapacity ? copied : size_t(std::max(capacity, 0));
    EXPECT_EQ(std::string(buffer.data(), copied), (now + '\0').substr(0, copied));
    EXPECT_TRUE(std::all_of(buffer.begin() + copied, buffer.begin() + filled,
                            [](char c) { return c == '\0'; }));
    EXPECT_EQ(buffer[filled], '#');
  }
  const std::pair<int32_t, const char*> words[] = {{kRunning, "RUNNING"},
                                                   {kStopped, "STOPPED"},
                                                   {kStopPending, "STOPPENDDING"},
                                                   {-1, "UNKNOWN"},
                                                   {5, "UNKNOWN"}};
  for (const auto& [state, word] : words) {
    EXPECT_STREQ(statusWord(state), word);
  }
}

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

// A pool starts with min(2 x minimum, maximum) workers. Removal takes the
// earliest-created removable workers while the pool counts more than its
// minimum; busy ones stay. SuspendAll, ResumeAll and RunAll stop at the
// first worker that refuses.
TEST(Pool, BatchRemovalAndOperationsOnAll) {
  const std::tuple<int32_t, int32_t, uint32_t> batches[] = {{0, 5, 0}, {3, 5, 5}, {2, 9, 4}};
  for (const auto& [minimum, maximum, size] : batches) {
    EXPECT_EQ(ThreadPool(TSK_W("batch"), maximum, minimum).GetSize(), size);
  }
  ThreadPool pool(TSK_W("all"), 10, 3);
  const std::vector<Thread*> workers = workersOf(pool);
  Gate gate;
  ASSERT_EQ(workers[1]->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_EQ(workers[3]->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(2));
  ASSERT_EQ(workers[4]->Stop(), TSK_OK);
  EXPECT_EQ(pool.SuspendAll(), TSK_FAIL);
  EXPECT_EQ(statesOf(workers),
            (std::vector<int32_t>{kSuspended, kRunning, kSuspended, kRunning, kStopped, kIdle}));
  EXPECT_EQ(pool.ResumeAll(), TSK_FAIL);
  EXPECT_EQ(statesOf(workers),
            (std::vector<int32_t>{kIdle, kRunning, kSuspended, kRunning, kStopped, kIdle}));
  EXPECT_EQ(pool.RunAll(), TSK_FAIL);
  ASSERT_TRUE(eventually([&] { return workers[0]->GetState() == kIdle; }));
  EXPECT_EQ(workers[2]->Resume(), TSK_OK);

  g_idleLimit = -1.0;
  char line[kStatusLineCapacity];
  pool.ForEachThread([&](Thread& worker) { worker.GetFullStatus(line, sizeof line); });
  g_idleLimit = kIdleLimitSeconds;
  pool.RemoveIdleThreads();
  EXPECT_EQ(workersOf(pool), (std::vector<Thread*>{workers[1], workers[3], workers[4]}));
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
