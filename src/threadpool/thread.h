// A worker of a thread pool: an operating-system thread that sleeps on its
// own wake event and performs one work step each time a run request wakes
// it. The object keeps the worker's state, the times of its last operation
// and last finished step, and the remove flag by which the monitor marks a
// worker that has stayed idle.
//
// States and what moves between them (every operation holds `lock`):
//
//   SUSPENDED --Start--> IDLE --Run--> RUNNING --(step ends: Finish)--> IDLE
//   IDLE --Suspend--> SUSPENDED --Resume--> (the state before)
//   any --Stop--> STOPPENDDING --> STOPPED (the thread ends at its next wake)
//
// A stopped worker stays STOPPED: a request accepted before the stop still
// runs (unless the worker is killed hard), and its step ends in STOPPED, not
// IDLE, and a thread that ends for any reason leaves its worker
// STOPPED, so a worker whose thread is gone is never handed out as idle. A
// stop of a suspended worker resumes its thread, which then runs to its end.
//
// Workers are created and destroyed only by their pool; callers see them as
// opaque handles (the object's address).
#ifndef TSKBASE_SRC_THREADPOOL_THREAD_H
#define TSKBASE_SRC_THREADPOOL_THREAD_H

#include <atomic>
#include <cstdint>

#include "lock/critical_section.h"
#include "platform/thread.h"
#include "threadpool/heap_object.h"
#include "tskbase/common.h"

namespace tsk {

class ThreadPool;

// The worker's state; any other value prints as "UNKNOWN".
enum ThreadState : int32_t {
  kIdle = 0,        // "IDLE": waits for a run request, may be handed out
  kRunning = 1,     // "RUNNING": a run request was accepted; its step is pending or running
  kSuspended = 2,   // "SUSPENDED": the thread is suspended (also before the first Start)
  kStopped = 3,     // "STOPPED": the thread ends at its next wake
  kStopPending = 4, // "STOPPENDDING": passing through Stop
};

// The status word of a state: "IDLE", "RUNNING", ..., "UNKNOWN".
const char* statusWord(int32_t state);

// What a run request runs: the shape of a thread routine.
using WorkRoutine = platform::ThreadRoutine;

// Capacity of the status line that GetFullStatus formats.
inline constexpr int kStatusLineCapacity = 256;

class Thread : public HeapObject {
public:
  // Creates the wake event and the thread, and starts it: the worker is
  // IDLE when construction ends, or stays SUSPENDED if its thread could not
  // be made or started.
  explicit Thread(ThreadPool* owner);
  // Stops the worker and waits without a time limit until its thread has
  // ended.
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Always 0: marks the worker STOPPED and wakes its thread (resuming it if
  // it was suspended) so that it ends.
  virtual tsk_status Stop();
  // The work step: routine(argument) of the run request, or, for a request
  // without a routine (a warm-up), a short draw of pseudo-random numbers.
  virtual uint32_t Work(int32_t unused);

  // SUSPENDED to IDLE by resuming the thread.
  tsk_status Start();
  // Suspends the thread of an IDLE worker.
  tsk_status Suspend();
  // Brings a SUSPENDED worker back to its state before, and resumes the
  // thread.
  tsk_status Resume();
  // Hands a run request to an IDLE worker and wakes its thread.
  tsk_status Run(WorkRoutine work, void* workArgument);
  // Called by the worker's own thread when a step ends: IDLE again (unless
  // stopped meanwhile), with the time at which it finished.
  tsk_status Finish();
  // Ends the worker's thread at once with `exitCode`, holding `lock` so that
  // the thread cannot end while it holds it. False if that fails.
  bool Terminate(uint32_t exitCode);

  // previousState = state, then state = newState if it lies in 0..4. Only
  // with `lock` held. Always 0.
  int32_t SetState(int32_t newState);

  // Marks a worker that has been IDLE for longer than the idle limit as
  // removable, and writes its four-line status into `buffer` (see the
  // algorithm in thread.cpp for how much of it a small capacity gets).
  // Always 0.
  tsk_status GetFullStatus(char* buffer, int32_t capacity);

  // Whether the calling thread is the thread of a worker.
  static bool IsWorkerThread();

  platform::Handle GetHandle() const { return threadHandle; }
  int32_t GetState() const { return state.load(std::memory_order_acquire); }
  tsk_status GetThreadId(uint32_t* id) const;
  tsk_status GetPool(ThreadPool** owner) const;
  bool IsRemovable();

private:
  // Tests read and set the fields that no operation shows.
  friend class ThreadTestAccess;

  static uint32_t ThreadProc(void* self);
  // The worker loop of ThreadProc: one step per accepted run request.
  void Serve();
  // Records an operation on the worker: lastAccessed = now, remove cleared.
  void Touch();

  std::atomic<int32_t> state{kSuspended}; // written under `lock`, read anywhere
  int32_t previousState = -1;
  int64_t lastAccessed = 0;
  int64_t lastFinished = 0;
  uint32_t threadId = 0;
  bool remove = false;
  // The run request: written under `lock` before the wake event is
  // signalled, read by the worker's thread after the wait that the signal
  // ends.
  void* argument = nullptr;
  WorkRoutine routine = &ThreadProc;
  // Set by an accepted run request, taken by the worker's thread when it
  // starts the request's step.
  std::atomic<bool> requestPending{false};
  platform::Handle threadHandle = nullptr;
  platform::Handle wakeEvent = nullptr;
  ThreadPool* const pool;
  CriticalSection lock;
};

} // namespace tsk

#endif // TSKBASE_SRC_THREADPOOL_THREAD_H
