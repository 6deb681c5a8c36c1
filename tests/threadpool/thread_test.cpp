// The worker: its state table, the thread behind each state, and its status
// line.
#include "threadpool/thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "gate.h"
#include "platform/runtime.h"
#include "threadpool/pool.h"
#include "threadpool/timing.h"

namespace tsk {

class ThreadTestAccess {
public:
  static int32_t previous(Thread& worker) {
    ScopedLock hold(worker.lock);
    return worker.previousState;
  }
  static bool removable(Thread& worker) { return worker.IsRemovable(); }
  static void setRemovable(Thread& worker, bool value) {
    ScopedLock hold(worker.lock);
    worker.remove = value;
  }
  static int64_t lastAccessed(Thread& worker) {
    ScopedLock hold(worker.lock);
    return worker.lastAccessed;
  }
  static int64_t lastFinished(Thread& worker) {
    ScopedLock hold(worker.lock);
    return worker.lastFinished;
  }
  static void setTimes(Thread& worker, int64_t accessed, int64_t finished) {
    ScopedLock hold(worker.lock);
    worker.lastAccessed = accessed;
    worker.lastFinished = finished;
  }
  static void setState(Thread& worker, int32_t state) {
    ScopedLock hold(worker.lock);
    worker.SetState(state);
  }
};

namespace {

using test::eventually;
using test::Gate;
using Access = ThreadTestAccess;

constexpr int32_t kUnchanged = -100;

uint32_t countRun(void* counter) {
  ++*static_cast<std::atomic<int>*>(counter);
  return 0;
}

bool threadEnded(Thread& worker) {
  return platform::waitForObject(worker.GetHandle(), 20000) == platform::WaitResult::kSignalled;
}

// Workers come from a pool that starts empty; each test adds its own.
class WorkerTest : public ::testing::Test {
protected:
  Thread* addWorker() {
    Thread* worker = nullptr;
    EXPECT_EQ(pool_.AddThread(&worker), TSK_OK);
    return worker;
  }
  void removeWorker(Thread* worker) { pool_.RemoveThread(worker); }

  ThreadPool pool_{TSK_W("workers"), 64, 0};
};

enum class Operation { kStart, kSuspend, kResume, kRun, kStop, kFinish };

const char* name(Operation operation) {
  static const char* const kNames[] = {"Start", "Suspend", "Resume", "Run", "Stop", "Finish"};
  return kNames[static_cast<int>(operation)];
}

struct Transition {
  int32_t from;
  Operation operation;
  tsk_status status;
  int32_t to;
  int32_t previous; // kUnchanged: as before the operation
};

// Every state that a worker can be in, times every operation on it.
// (Finish is the worker thread's own call after a step, which a suspended
// thread cannot make.)
const Transition kTransitions[] = {
    {kIdle, Operation::kStart, TSK_OK, kIdle, kUnchanged},
    {kRunning, Operation::kStart, TSK_OK, kRunning, kUnchanged},
    {kSuspended, Operation::kStart, TSK_OK, kIdle, kSuspended},
    {kStopped, Operation::kStart, TSK_FAIL, kStopped, kUnchanged},
    {kStopPending, Operation::kStart, TSK_FAIL, kStopPending, kUnchanged},

    {kIdle, Operation::kSuspend, TSK_OK, kSuspended, kIdle},
    {kRunning, Operation::kSuspend, TSK_OK, kRunning, kUnchanged},
    {kSuspended, Operation::kSuspend, TSK_OK, kSuspended, kUnchanged},
    {kStopped, Operation::kSuspend, TSK_FAIL, kStopped, kUnchanged},
    {kStopPending, Operation::kSuspend, TSK_FAIL, kStopPending, kUnchanged},

    {kIdle, Operation::kResume, TSK_FAIL, kIdle, kUnchanged},
    {kRunning, Operation::kResume, TSK_FAIL, kRunning, kUnchanged},
    {kSuspended, Operation::kResume, TSK_OK, kIdle, kSuspended},
    {kStopped, Operation::kResume, TSK_OK, kStopped, kUnchanged},
    {kStopPending, Operation::kResume, TSK_OK, kStopPending, kUnchanged},

    {kIdle, Operation::kRun, TSK_OK, kRunning, kIdle},
    {kRunning, Operation::kRun, TSK_FAIL, kRunning, kUnchanged},
    {kSuspended, Operation::kRun, TSK_FAIL, kSuspended, kUnchanged},
    {kStopped, Operation::kRun, TSK_FAIL, kStopped, kUnchanged},
    {kStopPending, Operation::kRun, TSK_FAIL, kStopPending, kUnchanged},

    {kIdle, Operation::kStop, TSK_OK, kStopped, kStopPending},
    {kRunning, Operation::kStop, TSK_OK, kStopped, kStopPending},
    {kSuspended, Operation::kStop, TSK_OK, kStopped, kStopPending},
    {kStopped, Operation::kStop, TSK_OK, kStopped, kStopPending},
    {kStopPending, Operation::kStop, TSK_OK, kStopped, kStopPending},

    {kIdle, Operation::kFinish, TSK_OK, kIdle, kIdle},
    {kRunning, Operation::kFinish, TSK_OK, kIdle, kRunning},
    {kStopped, Operation::kFinish, TSK_OK, kStopped, kStopped},
    {kStopPending, Operation::kFinish, TSK_OK, kIdle, kStopPending},
};

tsk_status apply(Thread& worker, Operation operation, Gate& gate) {
  switch (operation) {
  case Operation::kStart:
    return worker.Start();
  case Operation::kSuspend:
    return worker.Suspend();
  case Operation::kResume:
    return worker.Resume();
  case Operation::kRun:
    return worker.Run(&Gate::pass, &gate);
  case Operation::kStop:
    return worker.Stop();
  case Operation::kFinish:
    return worker.Finish();
  }
  return TSK_FAIL;
}

void bringTo(Thread& worker, int32_t state, Gate& gate) {
  switch (state) {
  case kRunning:
    ASSERT_EQ(worker.Run(&Gate::pass, &gate), TSK_OK);
    ASSERT_TRUE(gate.reached(1));
    break;
  case kSuspended:
    ASSERT_EQ(worker.Suspend(), TSK_OK);
    break;
  case kStopped:
    ASSERT_EQ(worker.Stop(), TSK_OK);
    break;
  case kStopPending:
    Access::setState(worker, kStopPending);
    break;
  default:
    break;
  }
  ASSERT_EQ(worker.GetState(), state);
}

// Each operation gives the status and the states of the table; all but
// Finish record the access and clear the remove flag. Afterwards the thread
// does what the state says: a worker that is IDLE (or RUNNING, once its step
// ends) runs a new request, and the thread of a STOPPED worker ends, a
// suspended one included.
TEST_F(WorkerTest, StateTable) {
  for (const Transition& row : kTransitions) {
    SCOPED_TRACE(std::string(statusWord(row.from)) + " " + name(row.operation));
    Thread* worker = addWorker();
    ASSERT_NE(worker, nullptr);
    Gate gate;
    bringTo(*worker, row.from, gate);
    const int32_t previousBefore = Access::previous(*worker);
    Access::setRemovable(*worker, true);
    Access::setTimes(*worker, 0, Access::lastFinished(*worker));

    EXPECT_EQ(apply(*worker, row.operation, gate), row.status);
    EXPECT_EQ(worker->GetState(), row.to);
    EXPECT_EQ(Access::previous(*worker),
              row.previous == kUnchanged ? previousBefore : row.previous);
    const bool touched = row.operation != Operation::kFinish;
    EXPECT_EQ(Access::removable(*worker), !touched);
    EXPECT_EQ(Access::lastAccessed(*worker) != 0, touched);

    // A step still in its routine ends with the worker thread's own Finish
    // (after the one that the table may have called for it).
    const bool stepRunning = gate.arrived() > 0;
    Access::setTimes(*worker, 0, 0);
    gate.open();
    if (row.to == kIdle || row.to == kRunning) {
      ASSERT_TRUE(eventually([&] {
        return worker->GetState() == kIdle && (!stepRunning || Access::lastFinished(*worker) != 0);
      }));
      std::atomic<int> runs{0};
      ASSERT_EQ(worker->Run(&countRun, &runs), TSK_OK);
      EXPECT_TRUE(eventually([&] { return runs == 1; }));
    } else if (row.to == kStopped) {
      EXPECT_TRUE(threadEnded(*worker));
    }
    removeWorker(worker);
  }
}

// A new worker is IDLE, came from SUSPENDED, is not removable, and shows its
// creation time as both times.
TEST_F(WorkerTest, NewWorker) {
  const int64_t before = platform::calendarTime();
  Thread* worker = addWorker();
  const int64_t after = platform::calendarTime();
  EXPECT_EQ(worker->GetState(), kIdle);
  EXPECT_EQ(Access::previous(*worker), kSuspended);
  EXPECT_FALSE(Access::removable(*worker));
  const int64_t created = Access::lastFinished(*worker);
  EXPECT_GE(created, before);
  EXPECT_LE(created, after);
  EXPECT_EQ(Access::lastAccessed(*worker), created);

  uint32_t id = 0;
  EXPECT_EQ(worker->GetThreadId(&id), TSK_OK);
  EXPECT_NE(id, 0u);
  ThreadPool* owner = nullptr;
  EXPECT_EQ(worker->GetPool(&owner), TSK_OK);
  EXPECT_EQ(owner, &pool_);
  EXPECT_EQ(worker->GetThreadId(nullptr), TSK_FAIL);
  EXPECT_EQ(worker->GetPool(nullptr), TSK_FAIL);
}

// A run request that finds the worker busy leaves the pending one as it is:
// only the first routine runs, once, with its argument; then the worker is
// IDLE with a new finishing time and takes the next request.
TEST_F(WorkerTest, RequestWhileRunningIsRefused) {
  Thread* worker = addWorker();
  Access::setTimes(*worker, 0, 0);
  Gate gate;
  std::atomic<int> runs{0};
  ASSERT_EQ(worker->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(1));
  EXPECT_EQ(worker->Run(&countRun, &runs), TSK_FAIL);
  gate.open();
  ASSERT_TRUE(eventually([&] { return worker->GetState() == kIdle; }));
  EXPECT_EQ(gate.arrived(), 1);
  EXPECT_EQ(runs, 0);
  EXPECT_GT(Access::lastFinished(*worker), 0);
  ASSERT_EQ(worker->Run(&countRun, &runs), TSK_OK);
  EXPECT_TRUE(eventually([&] { return runs == 1; }));
  // A request without a routine is a step all the same.
  ASSERT_TRUE(eventually([&] { return worker->GetState() == kIdle; }));
  Access::setTimes(*worker, 0, 0);
  ASSERT_EQ(worker->Run(nullptr, nullptr), TSK_OK);
  EXPECT_TRUE(eventually([&] { return Access::lastFinished(*worker) != 0; }));
  EXPECT_EQ(worker->GetState(), kIdle);
}

// A stop during a step is not undone when the step ends: the worker stays
// STOPPED, is never handed out again, and its thread ends.
TEST_F(WorkerTest, StopDuringAStepWins) {
  Thread* worker = addWorker();
  Gate gate;
  ASSERT_EQ(worker->Run(&Gate::pass, &gate), TSK_OK);
  ASSERT_TRUE(gate.reached(1));
  EXPECT_EQ(worker->Stop(), TSK_OK);
  gate.open();
  EXPECT_TRUE(threadEnded(*worker));
  EXPECT_EQ(worker->GetState(), kStopped);
  Thread* handedOut = nullptr;
  EXPECT_EQ(pool_.GetIdleThread(&handedOut), TSK_OK);
  EXPECT_NE(handedOut, worker);
}

// SetState keeps the state before it, and ignores values outside 0..4.
TEST_F(WorkerTest, SetStateAndStatusWords) {
  Thread* worker = addWorker();
  Access::setState(*worker, 7);
  EXPECT_EQ(worker->GetState(), kIdle);
  EXPECT_EQ(Access::previous(*worker), kIdle);
  Access::setState(*worker, kStopPending);
  EXPECT_EQ(worker->GetState(), kStopPending);
  const std::vector<std::pair<int32_t, std::string>> words = {
      {kIdle, "IDLE"},       {kRunning, "RUNNING"},          {kSuspended, "SUSPENDED"},
      {kStopped, "STOPPED"}, {kStopPending, "STOPPENDDING"}, {-1, "UNKNOWN"},
      {5, "UNKNOWN"}};
  for (const auto& [state, word] : words) {
    EXPECT_EQ(statusWord(state), word) << state;
  }
}

std::string timeText(int64_t seconds) {
  char text[platform::kLocalTimeTextLength + 1];
  return platform::localTimeText(seconds, text) ? text : "(null)";
}

// The status line: the worker's id and state word, its two times each
// ending its own line, and the remove flag, which a query sets once the
// worker has been idle for longer than the limit and the next operation
// clears.
TEST_F(WorkerTest, StatusLine) {
  Thread* worker = addWorker();
  uint32_t id = 0;
  worker->GetThreadId(&id);
  const int64_t finished = platform::calendarTime() - 5;
  Access::setTimes(*worker, 0, finished);

  char line[kStatusLineCapacity + 1];
  EXPECT_EQ(worker->GetFullStatus(line, sizeof line), TSK_OK);
  const int64_t accessed = Access::lastAccessed(*worker);
  EXPECT_EQ(std::string(line),
            "\tThread " + std::to_string(id) + ": IDLE\n\t\tlast accessed: " + timeText(accessed) +
                "\t\tlast finished: " + timeText(finished) + "\t\tRemove: Yes\n");
  EXPECT_TRUE(Access::removable(*worker));

  EXPECT_EQ(worker->Suspend(), TSK_OK);
  EXPECT_FALSE(Access::removable(*worker));
  worker->GetFullStatus(line, sizeof line);
  EXPECT_NE(std::string(line).find(": SUSPENDED\n"), std::string::npos);
  EXPECT_NE(std::string(line).find("\t\tRemove: No\n"), std::string::npos) << "not idle";
  worker->Resume();

  // A worker that finished within the limit is not removable.
  Access::setTimes(*worker, 0, platform::calendarTime());
  worker->GetFullStatus(line, sizeof line);
  EXPECT_FALSE(Access::removable(*worker));
  // Nor is any worker when the limit is long enough.
  Access::setTimes(*worker, 0, finished);
  g_idleLimit = 3600.0;
  worker->GetFullStatus(line, sizeof line);
  g_idleLimit = kIdleLimitSeconds;
  EXPECT_FALSE(Access::removable(*worker));
}

// How much of the line a buffer gets: the whole line and its terminator
// when the capacity exceeds 256, otherwise exactly `capacity` bytes, zeros
// after a shorter line and no terminator after a longer one. Nothing beyond
// is touched.
TEST_F(WorkerTest, StatusLineCopy) {
  Thread* worker = addWorker();
  char full[kStatusLineCapacity + 1];
  const auto statusLine = [&] {
    worker->GetFullStatus(full, sizeof full);
    return std::string(full);
  };
  const int32_t length = static_cast<int32_t>(statusLine().size());
  ASSERT_LT(length, 200);
  for (const int32_t capacity : {0, 1, 10, length - 1, length, length + 1, length + 20,
                                 kStatusLineCapacity, kStatusLineCapacity + 1, 300}) {
    SCOPED_TRACE(capacity);
    std::vector<char> buffer(310, '#');
    // The access time in the line may move on a second between queries.
    const std::string before = statusLine();
    ASSERT_EQ(worker->GetFullStatus(buffer.data(), capacity), TSK_OK);
    const std::string after = statusLine();
    const auto copiedFrom = [&](const std::string& line) {
      if (capacity > kStatusLineCapacity) {
        return std::string(buffer.data()) == line && buffer[line.size() + 1] == '#';
      }
      const size_t copied = std::min<size_t>(line.size(), static_cast<size_t>(capacity));
      return std::string(buffer.data(), copied) == line.substr(0, copied) &&
             std::all_of(buffer.begin() + static_cast<ptrdiff_t>(copied), buffer.begin() + capacity,
                         [](char c) { return c == '\0'; }) &&
             buffer[static_cast<size_t>(capacity)] == '#';
    };
    EXPECT_TRUE(copiedFrom(before) || copiedFrom(after));
  }
}

} // namespace

} // namespace tsk
