// InterProcessLock: a lock whose state is the shared record of
// lock/interprocess_lock_record.h, with a named auto-reset event for the
// threads that must sleep.
//
// The record changes only through atomic operations with full ordering
// (compare-and-swap, exchanges, additions), except the holder's own
// decrement of recursionCount, which no other thread writes meanwhile. A
// thread takes the free lock by swapping lockCount from 0 to 1 and then
// writes itself in as owner. A thread that cannot take it counts itself into
// lockCount and sleeps; since lockCount then stays above 0, no newcomer can
// take the lock, and a release that leaves lockCount above 0 wakes one
// sleeper, which becomes the owner.
//
// The public header comes last: MinGW's g++ marks the type information of
// every polymorphic or thrown type declared after an exported class for
// export from the DLL.
#include <atomic>

#include "lock/interprocess_lock_record.h"
#include "lock/processors.h"
#include "lock/security_descriptor.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "tskbase/interprocess_lock.h"
#include "tskbase/strings.h"

namespace {

using tsk::InterProcessLockRecord;
namespace platform = tsk::platform;

// A sleeping thread looks at the event again after this long, and sleeps on
// if it was not signalled.
constexpr uint32_t kWaitSliceMilliseconds = 1000;

template <typename T>
T load(T& field) {
  return std::atomic_ref<T>(field).load();
}

template <typename T>
T exchange(T& field, T value) {
  return std::atomic_ref<T>(field).exchange(value);
}

// Adds `delta` and returns the new value.
int32_t add(int32_t& field, int32_t delta) {
  return std::atomic_ref<int32_t>(field).fetch_add(delta) + delta;
}

uint64_t addressOf(const InterProcessLock* lock) { return reinterpret_cast<uintptr_t>(lock); }

// Forms "<prefix><name>" in `out`, the name cut to the length that the
// buffer leaves for it.
void formObjectName(tsk_wchar_t (&out)[tsk::kInterProcessLockNameCapacity],
                    const tsk_wchar_t* format, const tsk_wchar_t* name) {
  string_safeSprintfW(out, tsk::kInterProcessLockNameCapacity, format,
                      tsk::kInterProcessLockMaxName, name);
}

// Unmaps the record and closes the handles of an object.
void closeObjects(InterProcessLockRecord*& record, void*& mapping, void*& event) {
  if (record != nullptr) {
    platform::unmapSharedMemory(record);
    record = nullptr;
  }
  for (void** handle : {&mapping, &event}) {
    if (*handle != nullptr) {
      platform::closeHandle(*handle);
      *handle = nullptr;
    }
  }
}

} // namespace

InterProcessLock::InterProcessLock(const tsk_wchar_t* name, _SECURITY_ATTRIBUTES* security,
                                   uint32_t spinCount)
    : singleProcessor(tsk::lock::singleProcessor() ? 1 : 0), event(nullptr), mapping(nullptr),
      record(nullptr) {
  if (name == nullptr) {
    return;
  }
  // Without attributes of its own, the system's default security applies.
  _SECURITY_ATTRIBUTES* built = nullptr;
  if (security == nullptr && AllocateSecurityDescriptor(&built) == tsk::lock::kOk) {
    security = built;
  }
  tsk_wchar_t objectName[tsk::kInterProcessLockNameCapacity] = {};
  formObjectName(objectName, TSK_W("IPLock_Event_%.*s"), name);
  event = platform::createNamedEvent(objectName, false, false, security);
  if (event != nullptr) {
    formObjectName(objectName, TSK_W("IPLock_MMF_%.*s"), name);
    mapping = platform::createSharedMemory(objectName, sizeof(InterProcessLockRecord), security);
  }
  if (mapping != nullptr) {
    record = static_cast<InterProcessLockRecord*>(platform::mapSharedMemory(mapping));
  }
  FreeSecurityDescriptor(&built);
  SetSpinCount(spinCount);
}

InterProcessLock::InterProcessLock(const InterProcessLock& other)
    : singleProcessor(other.singleProcessor), event(nullptr), mapping(nullptr), record(nullptr) {
  *this = other;
}

InterProcessLock& InterProcessLock::operator=(const InterProcessLock& other) {
  if (this == &other) {
    return *this;
  }
  HardReleaseLock();
  closeObjects(record, mapping, event);
  singleProcessor = other.singleProcessor;
  event = other.event ? platform::duplicateHandle(other.event) : nullptr;
  mapping = other.mapping ? platform::duplicateHandle(other.mapping) : nullptr;
  if (event != nullptr && mapping != nullptr && other.record != nullptr) {
    record = static_cast<InterProcessLockRecord*>(platform::mapSharedMemory(mapping));
  }
  return *this;
}

InterProcessLock::~InterProcessLock() {
  HardReleaseLock();
  closeObjects(record, mapping, event);
}

bool InterProcessLock::TryLock() {
  if (record == nullptr) {
    return false;
  }
  const uint32_t self = platform::currentThreadId();
  const uint64_t attempts = uint64_t{load(record->spinCount)} + 1;
  for (uint64_t attempt = 0; attempt < attempts; ++attempt) {
    int32_t free = 0;
    if (std::atomic_ref<int32_t>(record->lockCount).compare_exchange_strong(free, 1)) {
      exchange(record->ownerThreadId, self);
      exchange(record->ownerProcessId, platform::currentProcessId());
      exchange(record->ownerLock, addressOf(this));
      exchange(record->recursionCount, 1);
      return true;
    }
    if (load(record->ownerThreadId) == self) {
      add(record->lockCount, 1);
      add(record->recursionCount, 1);
      return true;
    }
  }
  return false;
}

void InterProcessLock::ObtainLock() {
  if (record == nullptr || TryLock()) {
    return;
  }
  // Counted in as a waiter. At 1 the lock came free meanwhile and is this
  // thread's at once; otherwise a release hands it over through the event.
  // A wait that fails ends the waiting as a signal does.
  if (add(record->lockCount, 1) != 1) {
    while (platform::waitForObject(event, kWaitSliceMilliseconds) ==
           platform::WaitResult::kTimedOut) {
    }
  }
  exchange(record->ownerThreadId, platform::currentThreadId());
  exchange(record->ownerProcessId, platform::currentProcessId());
  exchange(record->ownerLock, addressOf(this));
  exchange(record->recursionCount, 1);
}

void InterProcessLock::ReleaseLock() {
  if (record == nullptr || load(record->ownerThreadId) != platform::currentThreadId()) {
    return;
  }
  // The holder's own decrement: nobody else writes the count now.
  std::atomic_ref<int32_t> levels(record->recursionCount);
  const int32_t left = levels.load(std::memory_order_relaxed) - 1;
  levels.store(left, std::memory_order_relaxed);
  if (left > 0) {
    add(record->lockCount, -1);
    return;
  }
  exchange(record->ownerThreadId, 0u);
  exchange(record->ownerProcessId, 0u);
  exchange(record->ownerLock, uint64_t{0});
  exchange(record->recursionCount, 0);
  if (add(record->lockCount, -1) > 0) {
    platform::setEvent(event);
  }
}

void InterProcessLock::SetSpinCount(uint32_t spinCount) {
  if (record != nullptr && singleProcessor == 0) {
    exchange(record->spinCount, spinCount);
  }
}

// Frees every level held through this object by a thread of this process,
// and hands the lock to a waiter if there is one. A lock held through
// another object, or by another process, is left alone.
void InterProcessLock::HardReleaseLock() {
  if (record == nullptr || load(record->ownerLock) != addressOf(this) ||
      load(record->ownerProcessId) != platform::currentProcessId()) {
    return;
  }
  exchange(record->ownerThreadId, 0u);
  exchange(record->ownerProcessId, 0u);
  exchange(record->ownerLock, uint64_t{0});
  const int32_t levels = exchange(record->recursionCount, 0);
  if (add(record->lockCount, -levels) > 0) {
    platform::setEvent(event);
  }
}

int32_t InterProcessLock::AllocateSecurityDescriptor(_SECURITY_ATTRIBUTES** attributes) {
  return tsk::lock::allocateOpenSecurity(attributes);
}

int32_t InterProcessLock::FreeSecurityDescriptor(_SECURITY_ATTRIBUTES** attributes) {
  return tsk::lock::freeOpenSecurity(attributes);
}
