// POSIX stand-ins for Windows' critical sections, events and mutexes, and
// the waits on them. An event is an atomic word with a monitor for the
// waiters that must block; the mutex is a robust recursive pthread mutex,
// which the system hands over "owner died" when its owner thread ends while
// holding it; the critical section is a futex lock.
#include "platform/posix/object.h"

#include <cerrno>
#include <linux/futex.h>
#include <new>
#include <sys/single_threaded.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tsk::platform {

namespace posix {

namespace {

// ---- Event -----------------------------------------------------------------
//
// The state is one atomic word: the signal in bit 0, the number of blocked
// waiters above it. Waiters that find the signal, and signals or resets that
// find nobody blocked, touch only the word. Blocking, and handing a signal
// to blocked waiters, happen under the monitor; waiters join and leave the
// count under the monitor too, so a signal that sees blocked waiters there
// finds them asleep on the condition variable (or about to look again).

class Event final : public EventObject {
public:
  Event(bool manualReset, bool signalled)
      : manualReset_(manualReset), word_(signalled ? kSignal : 0) {}

  void set() override {
    if (manualReset_) {
      if (blockedIn(word_.fetch_or(kSignal)) > 0) {
        releaseAllBlocked();
      }
      return;
    }
    uint32_t word = word_.load();
    while (blockedIn(word) == 0) {
      if (word_.compare_exchange_weak(word, word | kSignal)) {
        return;
      }
    }
    handOverOrKeep();
  }

  void reset() override {
    if (word_.load() & kSignal) {
      word_.fetch_and(~kSignal);
    }
  }

  WaitResult wait(const Deadline& deadline, const std::atomic<bool>* interrupted) override {
    if (takeSignal()) {
      return WaitResult::kSignalled;
    }
    if (deadline.immediate()) {
      return WaitResult::kTimedOut;
    }
    MonitorGuard guard(monitor_);
    word_.fetch_add(kOneBlocked);
    const uint64_t generation = generation_;
    WaitResult result = WaitResult::kTimedOut;
    for (bool inTime = true;; inTime = monitor_.wait(deadline)) {
      if (released(generation)) {
        result = WaitResult::kSignalled;
        break;
      }
      if (interrupted != nullptr && interrupted->load()) {
        result = WaitResult::kFailed;
        break;
      }
      if (!inTime) {
        break;
      }
    }
    const uint32_t blocked = blockedIn(word_.fetch_sub(kOneBlocked)) - 1;
    // A waiter that leaves without taking a signal handed to the blocked
    // ones (it was interrupted) leaves that signal pending.
    if (handedOver_ > blocked) {
      --handedOver_;
      word_.fetch_or(kSignal);
    }
    return result;
  }

  void wakeWaiters() override {
    MonitorGuard guard(monitor_);
    monitor_.notifyAll();
  }

private:
  static constexpr uint32_t kSignal = 1;
  static constexpr uint32_t kOneBlocked = 2;
  static uint32_t blockedIn(uint32_t word) { return word / kOneBlocked; }

  // Takes a pending signal: an auto-reset event resets.
  bool takeSignal() {
    uint32_t word = word_.load();
    while (word & kSignal) {
      if (manualReset_ || word_.compare_exchange_weak(word, word & ~kSignal)) {
        return true;
      }
    }
    return false;
  }

  // Manual reset: every waiter blocked now goes, even if the event is reset
  // before it wakes.
  void releaseAllBlocked() {
    MonitorGuard guard(monitor_);
    ++generation_;
    monitor_.notifyAll();
  }

  // Auto reset with blocked waiters: one of them takes this signal and the
  // event stays reset, so a second signal releases a second waiter. When
  // every blocked waiter has been handed one already, the signal stays
  // pending.
  void handOverOrKeep() {
    MonitorGuard guard(monitor_);
    if (blockedIn(word_.load()) > handedOver_) {
      ++handedOver_;
      monitor_.notifyOne();
    } else {
      word_.fetch_or(kSignal);
    }
  }

  // Whether a blocked waiter that began at `generation` may go. Monitor
  // held.
  bool released(uint64_t generation) {
    if (manualReset_) {
      return generation_ != generation || (word_.load() & kSignal);
    }
    if (handedOver_ > 0) {
      --handedOver_;
      return true;
    }
    return takeSignal();
  }

  const bool manualReset_;
  std::atomic<uint32_t> word_;
  Monitor monitor_;         // guards the fields below
  uint32_t handedOver_ = 0; // auto reset: signals handed to blocked waiters, not yet taken
  uint64_t generation_ = 0; // manual reset: signals given while waiters were blocked
};

// ---- Mutex -----------------------------------------------------------------

class Mutex final : public MutexObject {
public:
  Mutex() : MutexObject(&state_) { valid_ = state_.initialise(false); }

  ~Mutex() override {
    if (valid_) {
      pthread_mutex_destroy(&state_.mutex);
    }
  }

  bool valid() const { return valid_; }

private:
  MutexState state_;
  bool valid_ = false;
};

} // namespace

} // namespace posix

using posix::Deadline;
using posix::Kind;
using posix::Object;
using posix::selfId;

// ---- Recursive lock ----------------------------------------------------------
//
// A futex lock (free, held, held with waiters) with the holder's identity
// and depth beside it. The uncontended path is one compare-and-swap to
// obtain and one exchange to release, with no call into the C library; only
// a thread that must wait, and a release that finds waiters, enter the
// kernel. While the process has a single thread, as the C library's own
// mutexes do, it skips the bus-locked instructions: nobody can contend, and
// starting a second thread orders everything before it.

namespace {

struct FutexLock {
  static constexpr uint32_t kFree = 0, kHeld = 1, kContended = 2;

  std::atomic<uint32_t> state{kFree};
  std::atomic<uintptr_t> holder{0}; // written by the holder, read by anyone
  uint32_t depth = 0;               // the holder's alone
};

static_assert(sizeof(FutexLock) <= sizeof(RecursiveLock) &&
                  alignof(FutexLock) <= alignof(RecursiveLock),
              "the lock fits its storage");

FutexLock& lockIn(unsigned char* storage) {
  return *std::launder(reinterpret_cast<FutexLock*>(storage));
}

bool singleThreaded() { return __libc_single_threaded != 0; }

void futexWait(std::atomic<uint32_t>& word, uint32_t expected) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected, nullptr,
          nullptr, 0);
}

[[gnu::noinline, gnu::cold]] void futexWakeOne(std::atomic<uint32_t>& word) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr,
          0);
}

// Takes a free lock without waiting.
bool takeFree(FutexLock& lock) {
  if (singleThreaded()) {
    if (lock.state.load(std::memory_order_relaxed) != FutexLock::kFree) {
      return false;
    }
    lock.state.store(FutexLock::kHeld, std::memory_order_relaxed);
    return true;
  }
  uint32_t expected = FutexLock::kFree;
  return lock.state.compare_exchange_strong(expected, FutexLock::kHeld, std::memory_order_acquire);
}

// One more level for a holder that already has the lock.
bool deepen(FutexLock& lock, uintptr_t self) {
  if (lock.holder.load(std::memory_order_relaxed) != self) {
    return false;
  }
  ++lock.depth;
  return true;
}

void becomeHolder(FutexLock& lock, uintptr_t self) {
  lock.holder.store(self, std::memory_order_relaxed);
  lock.depth = 1;
}

// Marks the lock contended, sleeps until it is free and takes it. Kept out
// of line, so that the uncontended path saves no registers.
[[gnu::noinline, gnu::cold]] void waitAndBecomeHolder(FutexLock& lock, uintptr_t self) {
  while (lock.state.exchange(FutexLock::kContended, std::memory_order_acquire) !=
         FutexLock::kFree) {
    futexWait(lock.state, FutexLock::kContended);
  }
  becomeHolder(lock, self);
}

} // namespace

RecursiveLock::RecursiveLock() { new (storage_) FutexLock; }

RecursiveLock::~RecursiveLock() { lockIn(storage_).~FutexLock(); }

void RecursiveLock::lock() {
  FutexLock& lock = lockIn(storage_);
  const uintptr_t self = selfId();
  if (deepen(lock, self)) {
    return;
  }
  if (!takeFree(lock)) {
    return waitAndBecomeHolder(lock, self);
  }
  becomeHolder(lock, self);
}

bool RecursiveLock::tryLock() {
  FutexLock& lock = lockIn(storage_);
  const uintptr_t self = selfId();
  if (deepen(lock, self)) {
    return true;
  }
  if (!takeFree(lock)) {
    return false;
  }
  becomeHolder(lock, self);
  return true;
}

void RecursiveLock::unlock() {
  FutexLock& lock = lockIn(storage_);
  if (--lock.depth > 0) {
    return;
  }
  lock.holder.store(0, std::memory_order_relaxed);
  if (singleThreaded()) {
    lock.state.store(FutexLock::kFree, std::memory_order_relaxed);
  } else if (lock.state.exchange(FutexLock::kFree, std::memory_order_release) ==
             FutexLock::kContended) {
    futexWakeOne(lock.state);
  }
}

// ---- Handles ---------------------------------------------------------------

bool closeHandle(Handle object) {
  if (object == nullptr) {
    return false;
  }
  Object::from(object)->release();
  return true;
}

Handle createEvent(bool manualReset, bool initiallySignalled) {
  return new (std::nothrow) posix::Event(manualReset, initiallySignalled);
}

bool setEvent(Handle event) {
  auto* object = static_cast<posix::EventObject*>(Object::from(event, Kind::kEvent));
  if (object == nullptr) {
    return false;
  }
  object->set();
  return true;
}

bool resetEvent(Handle event) {
  auto* object = static_cast<posix::EventObject*>(Object::from(event, Kind::kEvent));
  if (object == nullptr) {
    return false;
  }
  object->reset();
  return true;
}

Handle createMutex() {
  auto* mutex = new (std::nothrow) posix::Mutex();
  if (mutex != nullptr && !mutex->valid()) {
    mutex->release();
    return nullptr;
  }
  return mutex;
}

bool releaseMutex(Handle mutex) {
  auto* object = static_cast<posix::MutexObject*>(Object::from(mutex, Kind::kMutex));
  return object != nullptr && object->unlock();
}

WaitResult waitForObject(Handle object, uint32_t milliseconds) {
  if (object == nullptr) {
    return WaitResult::kFailed;
  }
  return Object::from(object)->wait(Deadline(milliseconds), nullptr);
}

WaitResult waitForAll(const Handle* objects, size_t count, uint32_t milliseconds) {
  if (objects == nullptr && count > 0) {
    return WaitResult::kFailed;
  }
  const Deadline deadline(milliseconds);
  WaitResult outcome = WaitResult::kSignalled;
  for (size_t i = 0; i < count; ++i) {
    if (objects[i] == nullptr) {
      return WaitResult::kFailed;
    }
    const WaitResult result = Object::from(objects[i])->wait(deadline, nullptr);
    if (result == WaitResult::kAbandoned) {
      outcome = result;
    } else if (result != WaitResult::kSignalled) {
      return result;
    }
  }
  return outcome;
}

} // namespace tsk::platform
