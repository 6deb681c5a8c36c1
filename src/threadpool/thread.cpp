#include "threadpool/thread.h"

#include <algorithm>
#include <cstring>

#include "platform/runtime.h"
#include "platform/sync.h"
#include "text/format.h"
#include "threadpool/debug_log.h"
#include "threadpool/timing.h"

namespace tsk {

namespace {

// Copies the status line into the caller's buffer: whole with its
// terminator when the capacity exceeds the line buffer's; otherwise exactly
// `capacity` bytes, zeros after a shorter line, and no terminator when the
// line has `capacity` characters or more.
void copyStatusLine(const char* line, char* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) {
    return;
  }
  if (capacity > kStatusLineCapacity) {
    std::memcpy(buffer, line, std::strlen(line) + 1);
    return;
  }
  const size_t length = std::min(std::strlen(line), static_cast<size_t>(capacity));
  std::memcpy(buffer, line, length);
  std::memset(buffer + length, 0, static_cast<size_t>(capacity) - length);
}

thread_local bool t_isWorkerThread = false;

} // namespace

bool Thread::IsWorkerThread() { return t_isWorkerThread; }

const char* statusWord(int32_t state) {
  static const char* const kWords[] = {"IDLE", "RUNNING", "SUSPENDED", "STOPPED", "STOPPENDDING"};
  return state >= kIdle && state <= kStopPending ? kWords[state] : "UNKNOWN";
}

Thread::Thread(ThreadPool* owner) : pool(owner) {
  wakeEvent = platform::createEvent(false, false);
  // A thread without its wake event could never be woken: it is not made,
  // and the worker stays SUSPENDED, never handed out.
  if (wakeEvent != nullptr) {
    threadHandle = platform::createSuspendedThread(&ThreadProc, this, &threadId);
  }
  lastAccessed = lastFinished = platform::calendarTime();
  remove = false;
  Start();
}

Thread::~Thread() {
  Stop();
  if (threadHandle != nullptr) {
    platform::waitForObject(threadHandle, platform::kInfinite);
    platform::closeHandle(threadHandle);
  }
  if (wakeEvent != nullptr) {
    platform::closeHandle(wakeEvent);
  }
  argument = nullptr;
}

uint32_t Thread::ThreadProc(void* self) {
  t_isWorkerThread = true;
  platform::seedThreadRandom(platform::currentThreadId());
  static_cast<Thread*>(self)->Serve();
  return 0;
}

void Thread::Serve() {
  // An idle worker sleeps on its event, costing nothing until a request
  // wakes it (a thread woken from sleep is also served sooner than one that
  // keeps yielding the processor on a busy machine). A request accepted
  // before a stop still gets its step: its caller was told that it would
  // run. A stop that came meanwhile is seen after it.
  while (platform::waitAtSafePoint(wakeEvent, platform::kInfinite) ==
             platform::WaitResult::kSignalled &&
         requestPending.exchange(false)) {
    platform::resetEvent(wakeEvent);
    Work(0);
    Finish();
    if (GetState() == kStopped) {
      break;
    }
  }
  // However the loop ended, the worker must not look idle or busy any more.
  ScopedLock hold(lock);
  if (state == kIdle || state == kRunning) {
    SetState(kStopped);
  }
}

uint32_t Thread::Work(int32_t) {
  // The run request was stored before the wake event that ended this
  // thread's wait was signalled, and stays as it is until Finish.
  if (routine != nullptr) {
    routine(argument);
    return 0;
  }
  const int draws = platform::threadRandom();
  for (int i = 0; i < draws; ++i) {
    platform::threadRandom();
  }
  return 0;
}

void Thread::Touch() {
  lastAccessed = platform::calendarTime();
  remove = false;
}

int32_t Thread::SetState(int32_t newState) {
  previousState = state.load(std::memory_order_relaxed);
  if (newState >= kIdle && newState <= kStopPending) {
    state.store(newState, std::memory_order_release);
  }
  return 0;
}

tsk_status Thread::Start() {
  ScopedLock hold(lock);
  Touch();
  switch (state) {
  case kIdle:
  case kRunning:
    return TSK_OK;
  case kSuspended:
    if (threadHandle == nullptr || platform::resumeThread(threadHandle) < 0) {
      return TSK_FAIL;
    }
    SetState(kIdle);
    return TSK_OK;
  default:
    return TSK_FAIL;
  }
}

tsk_status Thread::Suspend() {
  ScopedLock hold(lock);
  Touch();
  switch (state) {
  case kIdle:
    if (threadHandle == nullptr || platform::suspendThread(threadHandle) < 0) {
      return TSK_FAIL;
    }
    SetState(kSuspended);
    return TSK_OK;
  case kRunning:
  case kSuspended:
    return TSK_OK;
  default:
    return TSK_FAIL;
  }
}

tsk_status Thread::Resume() {
  ScopedLock hold(lock);
  Touch();
  switch (state) {
  case kSuspended:
    SetState(previousState);
    return threadHandle != nullptr && platform::resumeThread(threadHandle) >= 0 ? TSK_OK : TSK_FAIL;
  case kStopped:
  case kStopPending:
    return TSK_OK;
  default:
    return TSK_FAIL;
  }
}

tsk_status Thread::Run(WorkRoutine work, void* workArgument) {
  ScopedLock hold(lock);
  Touch();
  if (state != kIdle) {
    return TSK_FAIL;
  }
  SetState(kRunning);
  argument = workArgument;
  routine = work;
  requestPending.store(true);
  platform::setEvent(wakeEvent);
  return TSK_OK;
}

tsk_status Thread::Stop() {
  ScopedLock hold(lock);
  Touch();
  const bool suspended = state == kSuspended;
  SetState(kStopPending);
  platform::setEvent(wakeEvent);
  SetState(kStopped);
  // A suspended thread cannot see the stop: it is let go, and one that
  // cannot be resumed is ended, so that waits for its end do not hang.
  if (suspended && threadHandle != nullptr && platform::resumeThread(threadHandle) < 0) {
    platform::terminateThread(threadHandle, 0);
  }
  return TSK_OK;
}

tsk_status Thread::Finish() {
  ScopedLock hold(lock);
  SetState(state == kStopped ? kStopped : kIdle);
  lastFinished = platform::calendarTime();
  return TSK_OK;
}

bool Thread::Terminate(uint32_t exitCode) {
  ScopedLock hold(lock);
  return threadHandle != nullptr && platform::terminateThread(threadHandle, exitCode);
}

tsk_status Thread::GetFullStatus(char* buffer, int32_t capacity) {
  ScopedLock hold(lock);
  const int64_t now = platform::calendarTime();
  lastAccessed = now;
  if (state == kIdle && platform::calendarTimeDifference(now, lastFinished) > g_idleLimit.load()) {
    remove = true;
  }
  char line[kStatusLineCapacity];
  text::formatBounded(line, sizeof line - 1,
                      "\tThread %d: %s\n\t\tlast accessed: %s\t\tlast finished: %s\t\tRemove: %s\n",
                      static_cast<int>(threadId), statusWord(state), TimeText(lastAccessed).get(),
                      TimeText(lastFinished).get(), remove ? "Yes" : "No");
  line[sizeof line - 1] = '\0';
  copyStatusLine(line, buffer, capacity);
  return TSK_OK;
}

tsk_status Thread::GetThreadId(uint32_t* id) const {
  if (id == nullptr) {
    return TSK_FAIL;
  }
  *id = threadId;
  return TSK_OK;
}

tsk_status Thread::GetPool(ThreadPool** owner) const {
  if (owner == nullptr) {
    return TSK_FAIL;
  }
  *owner = pool;
  return TSK_OK;
}

bool Thread::IsRemovable() {
  ScopedLock hold(lock);
  return remove;
}

} // namespace tsk
