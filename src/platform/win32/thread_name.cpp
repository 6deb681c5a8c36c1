// The thread-naming exception that debuggers watch for, and the thread
// description of Windows 10 and later (looked up at run time, since older
// systems lack it).
#include "platform/thread_name.h"

#include <windows.h>

namespace tsk::platform {

namespace {

constexpr DWORD kThreadNamingException = 0x406D1388;

// THREADNAME_INFO, which the debugger reads from the exception's arguments.
#pragma pack(push, 8)
struct ThreadNameInfo {
  DWORD type;     // 0x1000
  LPCSTR name;    // the name, narrow
  DWORD threadId; // -1: the calling thread
  DWORD flags;    // 0
};
#pragma pack(pop)

LONG CALLBACK dismissThreadNaming(EXCEPTION_POINTERS* exception) {
  return exception->ExceptionRecord->ExceptionCode == kThreadNamingException
             ? EXCEPTION_CONTINUE_EXECUTION
             : EXCEPTION_CONTINUE_SEARCH;
}

// An attached debugger takes the exception first and continues the thread.
// Without one the exception goes to the handlers: MinGW's g++ has no
// __try/__except, so a vectored handler, first in line and registered for
// this call only, dismisses it. Without that handler nothing is raised.
void raiseThreadNamingException(const char* name) {
  ThreadNameInfo info{0x1000, name, 0xFFFFFFFF, 0};
  PVOID handler = AddVectoredExceptionHandler(1, &dismissThreadNaming);
  if (handler == nullptr) {
    return;
  }
  RaiseException(kThreadNamingException, 0, sizeof info / sizeof(ULONG_PTR),
                 reinterpret_cast<const ULONG_PTR*>(&info));
  RemoveVectoredExceptionHandler(handler);
}

void setThreadDescription(const char* name) {
  using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const FARPROC found =
      kernel != nullptr ? GetProcAddress(kernel, "SetThreadDescription") : nullptr;
  wchar_t wide[16];
  if (found == nullptr || MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 16) == 0) {
    return;
  }
  // Through void (*)(): the conversion that GCC accepts between unrelated
  // function types.
  const auto setDescription =
      reinterpret_cast<SetThreadDescriptionFunction>(reinterpret_cast<void (*)()>(found));
  setDescription(GetCurrentThread(), wide);
}

} // namespace

void nameCurrentThread(const char* name) {
  raiseThreadNamingException(name);
  setThreadDescription(name);
}

} // namespace tsk::platform
