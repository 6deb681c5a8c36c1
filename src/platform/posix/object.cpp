// The building blocks of the POSIX objects: deadlines on the monotonic
// clock, monitors, and the reference count behind every handle.
#include "platform/posix/object.h"

#include <cerrno>

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

Object* Object::from(Handle handle, Kind kind) {
  Object* object = from(handle);
  return object != nullptr && object->kind() == kind ? object : nullptr;
}

} // namespace tsk::platform::posix
