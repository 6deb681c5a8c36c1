// Windows' critical sections, events, mutexes, waits, named objects and
// security descriptors, behind the library's interface.
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

Handle duplicateHandle(Handle object) {
  HANDLE duplicate = nullptr;
  const HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, object, self, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return duplicate;
}

Handle createNamedEvent(const tsk_wchar_t* name, bool manualReset, bool initiallySignalled,
                        SecurityAttributes* security) {
  return CreateEventW(security, manualReset, initiallySignalled, name);
}

Handle createNamedMutex(const tsk_wchar_t* name, SecurityAttributes* security) {
  return CreateMutexW(security, FALSE, name);
}

Handle createSharedMemory(const tsk_wchar_t* name, uint32_t size, SecurityAttributes* security) {
  if (name == nullptr || name[0] == 0) {
    return nullptr;
  }
  // Backed by the paging file.
  return CreateFileMappingW(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0, size, name);
}

void* mapSharedMemory(Handle memory) { return MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, 0); }

bool unmapSharedMemory(void* view) { return UnmapViewOfFile(view) != FALSE; }

size_t securityDescriptorSize() { return SECURITY_DESCRIPTOR_MIN_LENGTH; }

size_t securityAttributesSize() { return sizeof(SECURITY_ATTRIBUTES); }

SecurityAttributes* makeOpenSecurity(void* descriptor, void* attributes) {
  if (!InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(descriptor, TRUE, nullptr, FALSE)) {
    return nullptr;
  }
  auto* record = static_cast<SECURITY_ATTRIBUTES*>(attributes);
  record->nLength = sizeof(SECURITY_ATTRIBUTES);
  record->lpSecurityDescriptor = descriptor;
  record->bInheritHandle = FALSE;
  return record;
}

void* securityDescriptorOf(const SecurityAttributes* attributes) {
  return attributes->lpSecurityDescriptor;
}

} // namespace tsk::platform
