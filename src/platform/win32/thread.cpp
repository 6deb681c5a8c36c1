// Windows threads behind the library's interface. Suspension and
// termination are the system's own, so safe points have nothing to do.
#include "platform/thread.h"

#include <windows.h>

#include <process.h>

namespace tsk::platform {

Handle createSuspendedThread(ThreadRoutine routine, void* argument, uint32_t* id) {
  if (routine == nullptr) {
    return nullptr;
  }
  unsigned threadId = 0;
  const uintptr_t thread =
      _beginthreadex(nullptr, 0, routine, argument, CREATE_SUSPENDED, &threadId);
  if (thread == 0) {
    return nullptr;
  }
  if (id != nullptr) {
    *id = threadId;
  }
  return reinterpret_cast<Handle>(thread);
}

int32_t suspendThread(Handle thread) { return static_cast<int32_t>(SuspendThread(thread)); }

int32_t resumeThread(Handle thread) { return static_cast<int32_t>(ResumeThread(thread)); }

bool terminateThread(Handle thread, uint32_t exitCode) {
  // A thread that has ended keeps its exit code (Wine would replace it).
  if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
    return true;
  }
  if (TerminateThread(thread, exitCode) == FALSE) {
    return false;
  }
  // TerminateThread only starts the end: the thread is waited for, so that
  // a caller holding a lock that the thread takes knows it can no longer
  // end while holding it.
  WaitForSingleObject(thread, INFINITE);
  return true;
}

bool threadExitCode(Handle thread, uint32_t* exitCode) {
  DWORD code = 0;
  if (exitCode == nullptr || GetExitCodeThread(thread, &code) == FALSE) {
    return false;
  }
  // STILL_ACTIVE is also a valid exit code: only the handle tells.
  if (code == STILL_ACTIVE && WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
    return false;
  }
  *exitCode = code;
  return true;
}

void safePoint() {}

WaitResult waitAtSafePoint(Handle object, uint32_t milliseconds) {
  return waitForObject(object, milliseconds);
}

uint32_t currentThreadId() { return GetCurrentThreadId(); }

uint32_t currentProcessId() { return GetCurrentProcessId(); }

uint32_t processorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

void sleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

} // namespace tsk::platform
