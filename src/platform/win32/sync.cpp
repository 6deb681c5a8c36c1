// Windows' critical sections, events, mutexes and waits, behind the
// library's interface.
#include "platform/sync.h"

#include <windows.h>

#include <algorithm>
#include <new>

namespace tsk::platform {

namespace {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(RecursiveLock) &&
                  alignof(CRITICAL_SECTION) <= alignof(RecursiveLock),
              "a critical section fits the lock's storage");
static_assert(kInfinite == INFINITE, "the same value for no time limit");

CRITICAL_SECTION* sectionIn(unsigned char* storage) {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

WaitResult resultOf(DWORD status, DWORD count) {
  if (status < WAIT_OBJECT_0 + count) {
    return WaitResult::kSignalled;
  }
  if (status >= WAIT_ABANDONED_0 && status < WAIT_ABANDONED_0 + count) {
    return WaitResult::kAbandoned;
  }
  return status == WAIT_TIMEOUT ? WaitResult::kTimedOut : WaitResult::kFailed;
}

// Milliseconds left of a wait that began at `start` (GetTickCount64).
DWORD remaining(uint32_t milliseconds, ULONGLONG start) {
  if (milliseconds == kInfinite) {
    return INFINITE;
  }
  const ULONGLONG spent = GetTickCount64() - start;
  return spent >= milliseconds ? 0 : static_cast<DWORD>(milliseconds - spent);
}

} // namespace

RecursiveLock::RecursiveLock() { InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }

RecursiveLock::~RecursiveLock() { DeleteCriticalSection(sectionIn(storage_)); }

void RecursiveLock::lock() { EnterCriticalSection(sectionIn(storage_)); }

bool RecursiveLock::tryLock() { return TryEnterCriticalSection(sectionIn(storage_)) != FALSE; }

void RecursiveLock::unlock() { LeaveCriticalSection(sectionIn(storage_)); }

bool closeHandle(Handle object) { return object != nullptr && CloseHandle(object) != FALSE; }

Handle createEvent(bool manualReset, bool initiallySignalled) {
  return CreateEventW(nullptr, manualReset, initiallySignalled, nullptr);
}

bool setEvent(Handle event) { return SetEvent(event) != FALSE; }

bool resetEvent(Handle event) { return ResetEvent(event) != FALSE; }

Handle createMutex() { return CreateMutexW(nullptr, FALSE, nullptr); }

bool releaseMutex(Handle mutex) { return ReleaseMutex(mutex) != FALSE; }

WaitResult waitForObject(Handle object, uint32_t milliseconds) {
  return resultOf(WaitForSingleObject(object, milliseconds), 1);
}

WaitResult waitForAll(const Handle* objects, size_t count, uint32_t milliseconds) {
  if (objects == nullptr && count > 0) {
    return WaitResult::kFailed;
  }
  // WaitForMultipleObjects takes at most MAXIMUM_WAIT_OBJECTS handles: wait
  // for one batch after the other, within the one time-out.
  const ULONGLONG start = GetTickCount64();
  WaitResult outcome = WaitResult::kSignalled;
  for (size_t first = 0; first < count; first += MAXIMUM_WAIT_OBJECTS) {
    const auto batch = static_cast<DWORD>(std::min<size_t>(count - first, MAXIMUM_WAIT_OBJECTS));
    const WaitResult result = resultOf(
        WaitForMultipleObjects(batch, objects + first, TRUE, remaining(milliseconds, start)),
        batch);
    if (result == WaitResult::kAbandoned) {
      outcome = result;
    } else if (result != WaitResult::kSignalled) {
      return result;
    }
  }
  return outcome;
}

} // namespace tsk::platform
