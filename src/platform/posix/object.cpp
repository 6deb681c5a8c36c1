// The building blocks of the POSIX objects: deadlines on the monotonic
// clock, monitors, the reference count behind every handle, and the robust
// mutex that unnamed and named mutexes share.
#include "platform/posix/object.h"

#include <cerrno>
#include <utility>

#include "platform/thread.h"

namespace tsk::platform::posix {

// ---- Deadline --------------------------------------------------------------

namespace {

constexpr long kNanosecondsPerSecond = 1000000000L;

timespec now(clockid_t clock) {
  timespec time;
  clock_gettime(clock, &time);
  return time;
}

timespec plus(timespec time, int64_t seconds, int64_t nanoseconds) {
  time.tv_sec += static_cast<time_t>(seconds + nanoseconds / kNanosecondsPerSecond);
  time.tv_nsec += static_cast<long>(nanoseconds % kNanosecondsPerSecond);
  if (time.tv_nsec >= kNanosecondsPerSecond) {
    time.tv_sec += 1;
    time.tv_nsec -= kNanosecondsPerSecond;
  } else if (time.tv_nsec < 0) {
    time.tv_sec -= 1;
    time.tv_nsec += kNanosecondsPerSecond;
  }
  return time;
}

bool before(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

} // namespace

Deadline::Deadline(uint32_t milliseconds)
    : infinite_(milliseconds == kInfinite), immediate_(milliseconds == 0) {
  if (!infinite_) {
    end_ = plus(now(CLOCK_MONOTONIC), milliseconds / 1000, (milliseconds % 1000) * 1000000L);
  }
}

bool Deadline::passed() const {
  return !infinite_ && (immediate_ || !before(now(CLOCK_MONOTONIC), end_));
}

timespec Deadline::realtime() const {
  const timespec monotonicNow = now(CLOCK_MONOTONIC);
  const timespec realNow = now(CLOCK_REALTIME);
  if (!before(monotonicNow, end_)) {
    return realNow;
  }
  return plus(realNow, end_.tv_sec - monotonicNow.tv_sec, end_.tv_nsec - monotonicNow.tv_nsec);
}

// ---- Monitor ---------------------------------------------------------------

Monitor::Monitor() {
  pthread_mutex_init(&mutex_, nullptr);
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&changed_, &attributes);
  pthread_condattr_destroy(&attributes);
}

Monitor::~Monitor() {
  pthread_cond_destroy(&changed_);
  pthread_mutex_destroy(&mutex_);
}

void Monitor::lock() { pthread_mutex_lock(&mutex_); }
void Monitor::unlock() { pthread_mutex_unlock(&mutex_); }
void Monitor::notifyOne() { pthread_cond_signal(&changed_); }
void Monitor::notifyAll() { pthread_cond_broadcast(&changed_); }

bool Monitor::wait(const Deadline& deadline) {
  if (deadline.infinite()) {
    pthread_cond_wait(&changed_, &mutex_);
    return true;
  }
  if (deadline.immediate()) {
    return false;
  }
  return pthread_cond_timedwait(&changed_, &mutex_, &deadline.monotonic()) != ETIMEDOUT;
}

// ---- Object ----------------------------------------------------------------

void Object::release() {
  if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete this;
  }
}

bool Object::retainIfAlive() {
  int references = references_.load(std::memory_order_relaxed);
  while (references > 0) {
    if (references_.compare_exchange_weak(references, references + 1, std::memory_order_relaxed)) {
      return true;
    }
  }
  return false;
}

Object* Object::from(Handle handle, Kind kind) {
  Object* object = from(handle);
  return object != nullptr && object->kind() == kind ? object : nullptr;
}

// ---- Mutex -----------------------------------------------------------------

bool MutexState::initialise(bool processShared) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
  if (processShared) {
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
  }
  const bool made = pthread_mutex_init(&mutex, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  owner.store(0, std::memory_order_relaxed);
  depth = 0;
  return made;
}

WaitResult MutexObject::wait(const Deadline& deadline, const std::atomic<bool>*) {
  const int status = obtain(deadline);
  const uint32_t self = currentThreadId();
  if (status == 0) {
    // A holder that leaves by dying is never seen here: the system reports
    // "owner died" to the next one instead.
    if (state_->owner.load(std::memory_order_relaxed) == self) {
      ++state_->depth;
    } else {
      becomeHolder(self);
    }
    return WaitResult::kSignalled;
  }
  if (status == EOWNERDEAD) {
    // The new holder starts afresh with one level.
    pthread_mutex_consistent(&state_->mutex);
    becomeHolder(self);
    return WaitResult::kAbandoned;
  }
  return status == EBUSY || status == ETIMEDOUT ? WaitResult::kTimedOut : WaitResult::kFailed;
}

void MutexObject::becomeHolder(uint32_t self) {
  state_->owner.store(self, std::memory_order_relaxed);
  state_->depth = 1;
  // A holder of this process that died passes its reference on.
  if (!holdsItself_) {
    holdsItself_ = true;
    retain();
  }
}

bool MutexObject::unlock() {
  if (state_->owner.load(std::memory_order_relaxed) != currentThreadId()) {
    return false;
  }
  if (--state_->depth > 0) {
    pthread_mutex_unlock(&state_->mutex);
    return true;
  }
  state_->owner.store(0, std::memory_order_relaxed);
  const bool heldItself = std::exchange(holdsItself_, false);
  pthread_mutex_unlock(&state_->mutex);
  if (heldItself) {
    release();
  }
  return true;
}

int MutexObject::obtain(const Deadline& deadline) {
  if (deadline.infinite()) {
    return pthread_mutex_lock(&state_->mutex);
  }
  // A free or abandoned mutex is taken at once, without the wall clock.
  const int tried = pthread_mutex_trylock(&state_->mutex);
  if (deadline.immediate() || tried != EBUSY) {
    return tried;
  }
  for (;;) {
    const timespec end = deadline.realtime();
    const int status = pthread_mutex_timedlock(&state_->mutex, &end);
    // A wall clock set forward ends the wait early: go on waiting.
    if (status != ETIMEDOUT || deadline.passed()) {
      return status;
    }
  }
}

} // namespace tsk::platform::posix
