#include "platform/assertion.h"

#include <windows.h>

namespace tsk::platform {

bool isConsoleProgram() {
  char title[256] = {};
  return GetConsoleTitleA(title, sizeof title) != 0 && title[0] != '\0';
}

bool executablePath(char* buffer, size_t size) {
  if (size == 0) {
    return false;
  }
  const DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
  if (length == 0) {
    return false;
  }
  buffer[length < size ? length : size - 1] = '\0';
  return true;
}

bool isCallableCode(const void* address) {
  return IsBadCodePtr(reinterpret_cast<FARPROC>(const_cast<void*>(address))) == 0;
}

int askAbortRetryIgnore(const char* text, const char* title) {
  return MessageBoxA(nullptr, text, title,
                     MB_ABORTRETRYIGNORE | MB_ICONSTOP | MB_TASKMODAL | MB_SETFOREGROUND);
}

void debugOutput(const char* text) { OutputDebugStringA(text); }

void debugBreak() { DebugBreak(); }

} // namespace tsk::platform
