// The running test program's own executable path, as the system gives it.
#ifndef TSKBASE_TESTS_SUPPORT_EXECUTABLE_PATH_H
#define TSKBASE_TESTS_SUPPORT_EXECUTABLE_PATH_H

#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>

#include <climits>
#endif

namespace tsk::test {

inline std::filesystem::path executablePath() {
#if defined(_WIN32)
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return std::filesystem::path(std::wstring(path, length));
#else
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  return std::filesystem::path(std::string(path, length > 0 ? static_cast<size_t>(length) : 0));
#endif
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_EXECUTABLE_PATH_H
