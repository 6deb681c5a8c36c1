// RWLock and the rwlock_ functions.
//
// The lock is made of three unnamed kernel objects and a counter:
// readersEvent (manual-reset), the readers' gate, is open while readers may
// enter; dataEvent (auto-reset) stands for the data, which a writer or the
// first reader on behalf of all readers takes; writerMutex queues the
// writers. readerCount counts the readers inside or entering, minus one.
//
// Reader releases are serialised. A release closes the gate, counts itself
// out, and reopens the gate if readers remain or else gives the data back.
// Two releases running at once could both close the gate, after which the
// one that left a reader behind reopened it and the other gave the data
// back: the gate stayed open with no reader inside, a writer took the data,
// and the second reader to arrive after it walked through the open gate into
// the writer's hold. One release at a time, the last one always leaves the
// gate closed.
//
// Copies share one RWLockState, which counts its owners, so a copy counts
// readers together with its original and the kernel objects are closed
// once.
//
// The public header comes last: MinGW's g++ marks the type information of
// every polymorphic or thrown type declared after an exported class for
// export from the DLL, which would publish the library's internal types.
#include <atomic>
#include <new>

#include "core/heap.h"
#include "lock/critical_section.h"
#include "platform/sync.h"
#include "tskbase/rwlock.h"

namespace tsk {

struct RWLockState {
  std::atomic<int32_t> owners{1};
  platform::Handle readersEvent = nullptr;
  platform::Handle dataEvent = nullptr;
  platform::Handle writerMutex = nullptr;
  std::atomic<int32_t> readerCount{-1};
  CriticalSection releaseGate; // one reader release at a time

  bool open() const { return writerMutex != nullptr; }

  // Closes whichever kernel objects are open.
  void close() {
    for (platform::Handle* object : {&readersEvent, &dataEvent, &writerMutex}) {
      if (*object != nullptr) {
        platform::closeHandle(*object);
        *object = nullptr;
      }
    }
  }
};

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kFail = 0x8000;

// A state with its kernel objects, or null (nothing left behind) on failure.
RWLockState* makeState() {
  void* block = heap::allocate(sizeof(RWLockState));
  if (block == nullptr) {
    return nullptr;
  }
  auto* state = new (block) RWLockState;
  state->readersEvent = platform::createEvent(true, false);
  state->dataEvent = state->readersEvent ? platform::createEvent(false, true) : nullptr;
  state->writerMutex = state->dataEvent ? platform::createMutex() : nullptr;
  if (!state->open()) {
    state->close();
    state->~RWLockState();
    heap::release(block);
    return nullptr;
  }
  return state;
}

void addOwner(RWLockState* state) {
  if (state != nullptr) {
    state->owners.fetch_add(1);
  }
}

// Drops one owner; the last closes what Cleanup has not and frees the state.
void dropOwner(RWLockState* state) {
  if (state == nullptr || state->owners.fetch_sub(1) != 1) {
    return;
  }
  state->close();
  state->~RWLockState();
  heap::release(state);
}

void wait(platform::Handle object) { platform::waitForObject(object, platform::kInfinite); }

void claimAsWriter(RWLockState& lock) {
  wait(lock.writerMutex);
  wait(lock.dataEvent);
}

void claimAsReader(RWLockState& lock) {
  if (lock.readerCount.fetch_add(1) + 1 == 0) {
    // The first reader takes the data for every reader and opens the gate.
    wait(lock.dataEvent);
    platform::setEvent(lock.readersEvent);
  }
  wait(lock.readersEvent);
}

int32_t releaseAsWriter(RWLockState& lock) {
  platform::setEvent(lock.dataEvent);
  platform::releaseMutex(lock.writerMutex);
  return kOk;
}

int32_t releaseAsReader(RWLockState& lock) {
  ScopedLock oneAtATime(lock.releaseGate);
  if (lock.readerCount.load() < 0) {
    return kFail;
  }
  platform::resetEvent(lock.readersEvent);
  if (lock.readerCount.fetch_sub(1) - 1 >= 0) {
    platform::setEvent(lock.readersEvent);
  } else {
    platform::setEvent(lock.dataEvent);
  }
  return kOk;
}

} // namespace

} // namespace tsk

RWLock::RWLock() : state(nullptr) {}

RWLock::RWLock(const RWLock& other) : state(other.state) { tsk::addOwner(state); }

RWLock& RWLock::operator=(const RWLock& other) {
  if (state != other.state) {
    tsk::addOwner(other.state);
    tsk::dropOwner(state);
    state = other.state;
  }
  return *this;
}

RWLock::~RWLock() { tsk::dropOwner(state); }

int32_t RWLock::Initialize() {
  tsk::dropOwner(state);
  state = tsk::makeState();
  return state != nullptr ? tsk::kOk : tsk::kFail;
}

void RWLock::Claim(int32_t mode) {
  if (state == nullptr || !state->open()) {
    return;
  }
  if (mode == 0) {
    tsk::claimAsWriter(*state);
  } else {
    tsk::claimAsReader(*state);
  }
}

int32_t RWLock::Release(int32_t mode) {
  if (state == nullptr || !state->open()) {
    return tsk::kFail;
  }
  return mode == 0 ? tsk::releaseAsWriter(*state) : tsk::releaseAsReader(*state);
}

void RWLock::Cleanup() {
  if (state != nullptr) {
    state->close();
  }
}

namespace {
// The flat functions take the two modes that the class names.
bool validMode(int32_t mode) { return static_cast<uint32_t>(mode) <= 1; }
} // namespace

tsk_status rwlock_create(RWLock** handle) {
  if (handle == nullptr) {
    return TSK_FAIL;
  }
  auto* lock = new RWLock;
  const int32_t status = lock->Initialize();
  if (status != 0) {
    delete lock;
    return static_cast<tsk_status>(status);
  }
  *handle = lock;
  return TSK_OK;
}

tsk_status rwlock_destroy(RWLock** handle) {
  if (handle == nullptr || *handle == nullptr) {
    return TSK_FAIL;
  }
  RWLock* lock = *handle;
  *handle = nullptr;
  lock->Cleanup();
  delete lock;
  return TSK_OK;
}

tsk_status rwlock_claim(RWLock* handle, int32_t mode) {
  if (handle == nullptr || !validMode(mode)) {
    return TSK_FAIL;
  }
  handle->Claim(mode);
  return TSK_OK;
}

tsk_status rwlock_release(RWLock* handle, int32_t mode) {
  if (handle == nullptr || !validMode(mode)) {
    return TSK_FAIL;
  }
  return static_cast<tsk_status>(handle->Release(mode));
}
