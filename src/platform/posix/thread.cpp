// POSIX threads with what Windows threads have and pthreads lack: a start in
// the suspended state, suspension and resumption, termination with an exit
// code, and a handle that is signalled when the thread has ended. Suspension
// and termination are cooperative (see platform/thread.h).
#include "platform/thread.h"

#include "platform/posix/object.h"

#include <cerrno>
#include <new>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tsk::platform {

namespace {

using posix::Deadline;
using posix::Kind;
using posix::Monitor;
using posix::MonitorGuard;
using posix::Object;

// Windows' MAXIMUM_SUSPEND_COUNT.
constexpr int32_t kMaximumSuspendCount = 127;

// Thrown at a safe point of a thread whose termination was requested, and
// caught only where the thread starts: unwinding runs every destructor on
// the way, scoped locks among them.
struct ThreadTermination {};

class ThreadObject final : public Object {
public:
  ThreadObject(ThreadRoutine routine, void* argument)
      : Object(Kind::kThread), routine_(routine), argument_(argument) {
    pthread_mutex_init(&joinLock_, nullptr);
  }

  ~ThreadObject() override {
    // A thread that nobody waited for to the end lets the system reclaim it
    // by itself.
    if (started_ && !joined_) {
      pthread_detach(thread_);
    }
    pthread_mutex_destroy(&joinLock_);
  }

  // Starts the pthread, which holds a reference of its own until it ends,
  // and waits until it has told its id.
  bool start() {
    retain();
    if (pthread_create(&thread_, nullptr, &ThreadObject::run, this) != 0) {
      release();
      return false;
    }
    started_ = true;
    MonitorGuard guard(monitor_);
    while (id_ == 0) {
      monitor_.wait(Deadline(kInfinite));
    }
    return true;
  }

  uint32_t id() const { return id_; }

  int32_t suspend() {
    int32_t before;
    {
      MonitorGuard guard(monitor_);
      if (finished_ || suspendCount_ >= kMaximumSuspendCount) {
        return -1;
      }
      before = suspendCount_++;
    }
    if (this == current_) {
      safePoint();
    }
    return before;
  }

  int32_t resume() {
    MonitorGuard guard(monitor_);
    if (finished_) {
      return -1;
    }
    const int32_t before = suspendCount_;
    if (suspendCount_ > 0 && --suspendCount_ == 0) {
      monitor_.notifyAll();
    }
    return before;
  }

  void terminate(uint32_t exitCode) {
    Object* waitingOn = nullptr;
    {
      MonitorGuard guard(monitor_);
      if (!finished_ && !terminating_.load()) {
        terminateCode_ = exitCode;
        terminating_.store(true);
      }
      monitor_.notifyAll();
      waitingOn = waitingOn_;
      if (waitingOn != nullptr) {
        waitingOn->retain();
      }
    }
    // Woken outside this thread's monitor, so that two threads that wait on
    // each other and are terminated together cannot deadlock.
    if (waitingOn != nullptr) {
      waitingOn->wakeWaiters();
      waitingOn->release();
    }
    if (this == current_) {
      throw ThreadTermination{};
    }
  }

  bool exitCode(uint32_t* code) {
    MonitorGuard guard(monitor_);
    if (!finished_) {
      return false;
    }
    *code = exitCode_;
    return true;
  }

  WaitResult wait(const Deadline& deadline, const std::atomic<bool>* interrupted) override {
    {
      MonitorGuard guard(monitor_);
      while (!finished_) {
        if (interrupted != nullptr && interrupted->load()) {
          return WaitResult::kFailed;
        }
        if (!monitor_.wait(deadline) && !finished_) {
          return WaitResult::kTimedOut;
        }
      }
    }
    join();
    return WaitResult::kSignalled;
  }

  void wakeWaiters() override {
    MonitorGuard guard(monitor_);
    monitor_.notifyAll();
  }

  // The calling thread's own object, or null for a thread that the library
  // did not create.
  static ThreadObject* current() { return current_; }

  // Holds the calling thread while it is suspended; ends it once its
  // termination is requested.
  void holdAtSafePoint() {
    {
      MonitorGuard guard(monitor_);
      while (suspendCount_ > 0 && !terminating_.load()) {
        monitor_.wait(Deadline(kInfinite));
      }
    }
    if (terminating_.load()) {
      throw ThreadTermination{};
    }
  }

  // Waits on `object` in a way that a termination request can interrupt.
  WaitResult waitInterruptibly(Object* object, uint32_t milliseconds) {
    object->retain();
    setWaitingOn(object);
    const WaitResult result = object->wait(Deadline(milliseconds), &terminating_);
    setWaitingOn(nullptr);
    object->release();
    return result;
  }

private:
  static void* run(void* self) {
    static_cast<ThreadObject*>(self)->runRoutine();
    return nullptr;
  }

  void runRoutine() {
    current_ = this;
    {
      MonitorGuard guard(monitor_);
      id_ = currentThreadId();
      monitor_.notifyAll();
    }
    uint32_t code = 0;
    try {
      holdAtSafePoint(); // created suspended
      code = routine_(argument_);
    } catch (const ThreadTermination&) {
    }
    {
      MonitorGuard guard(monitor_);
      exitCode_ = terminating_.load() ? terminateCode_ : code;
      finished_ = true;
      monitor_.notifyAll();
    }
    current_ = nullptr;
    release();
  }

  void setWaitingOn(Object* object) {
    MonitorGuard guard(monitor_);
    waitingOn_ = object;
  }

  // Waits until the pthread has really gone (its stack unwound, its
  // thread-local objects destroyed, its robust mutexes marked as abandoned).
  void join() {
    pthread_mutex_lock(&joinLock_);
    if (!joined_) {
      pthread_join(thread_, nullptr);
      joined_ = true;
    }
    pthread_mutex_unlock(&joinLock_);
  }

  static thread_local ThreadObject* current_;

  const ThreadRoutine routine_;
  void* const argument_;
  pthread_t thread_{};
  bool started_ = false;

  Monitor monitor_; // guards the fields below
  uint32_t id_ = 0;
  int32_t suspendCount_ = 1;
  std::atomic<bool> terminating_{false}; // written under the monitor
  uint32_t terminateCode_ = 0;
  bool finished_ = false;
  uint32_t exitCode_ = 0;
  Object* waitingOn_ = nullptr;

  pthread_mutex_t joinLock_;
  bool joined_ = false; // under joinLock_
};

thread_local ThreadObject* ThreadObject::current_ = nullptr;

ThreadObject* threadFrom(Handle handle) {
  return static_cast<ThreadObject*>(Object::from(handle, Kind::kThread));
}

} // namespace

Handle createSuspendedThread(ThreadRoutine routine, void* argument, uint32_t* id) {
  if (routine == nullptr) {
    return nullptr;
  }
  auto* thread = new (std::nothrow) ThreadObject(routine, argument);
  if (thread == nullptr) {
    return nullptr;
  }
  if (!thread->start()) {
    thread->release();
    return nullptr;
  }
  if (id != nullptr) {
    *id = thread->id();
  }
  return thread;
}

int32_t suspendThread(Handle thread) {
  ThreadObject* object = threadFrom(thread);
  return object != nullptr ? object->suspend() : -1;
}

int32_t resumeThread(Handle thread) {
  ThreadObject* object = threadFrom(thread);
  return object != nullptr ? object->resume() : -1;
}

bool terminateThread(Handle thread, uint32_t exitCode) {
  ThreadObject* object = threadFrom(thread);
  if (object == nullptr) {
    return false;
  }
  object->terminate(exitCode);
  return true;
}

bool threadExitCode(Handle thread, uint32_t* exitCode) {
  ThreadObject* object = threadFrom(thread);
  return object != nullptr && exitCode != nullptr && object->exitCode(exitCode);
}

void safePoint() {
  if (ThreadObject* self = ThreadObject::current()) {
    self->holdAtSafePoint();
  }
}

WaitResult waitAtSafePoint(Handle object, uint32_t milliseconds) {
  ThreadObject* self = ThreadObject::current();
  if (self == nullptr) {
    return waitForObject(object, milliseconds);
  }
  if (object == nullptr) {
    return WaitResult::kFailed;
  }
  self->holdAtSafePoint();
  const WaitResult result = self->waitInterruptibly(Object::from(object), milliseconds);
  self->holdAtSafePoint();
  return result;
}

// The ids are system calls to read, so each is read once: the thread's by
// the thread, the process's by the process. The child of a fork is another
// process, and its one thread another thread: there both are read again.
namespace {

thread_local uint32_t t_threadId = 0;
std::atomic<uint32_t> g_processId{0};

void forgetIdsInChild() {
  t_threadId = 0;
  g_processId.store(0, std::memory_order_relaxed);
}

void readIdsAgainAfterFork() {
  static const bool registered = pthread_atfork(nullptr, nullptr, &forgetIdsInChild) == 0;
  (void)registered;
}

} // namespace

uint32_t currentThreadId() {
  if (t_threadId == 0) {
    readIdsAgainAfterFork();
    t_threadId = static_cast<uint32_t>(syscall(SYS_gettid));
  }
  return t_threadId;
}

uint32_t currentProcessId() {
  uint32_t id = g_processId.load(std::memory_order_relaxed);
  if (id == 0) {
    readIdsAgainAfterFork();
    id = static_cast<uint32_t>(getpid());
    g_processId.store(id, std::memory_order_relaxed);
  }
  return id;
}

uint32_t processorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<uint32_t>(count) : 1;
}

void sleepMilliseconds(uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

} // namespace tsk::platform
