// thread_setName: the name that the system shows for the calling thread,
// cut after 9 characters.
#include "tskbase/thread_pool.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// The calling thread's name as the system shows it: its description on
// Windows (empty where the system has none), its kernel name elsewhere.
std::string shownName() {
#if defined(_WIN32)
  using GetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription");
  if (found == nullptr) {
    return "";
  }
  const auto getDescription =
      reinterpret_cast<GetThreadDescriptionFunction>(reinterpret_cast<void (*)()>(found));
  PWSTR description = nullptr;
  if (FAILED(getDescription(GetCurrentThread(), &description))) {
    return "";
  }
  std::string name;
  for (PWSTR unit = description; *unit != 0; ++unit) {
    name.push_back(static_cast<char>(*unit));
  }
  LocalFree(description);
  return name;
#else
  std::ifstream comm("/proc/self/task/" + std::to_string(syscall(SYS_gettid)) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
#endif
}

// The name shown after naming a fresh thread `name` (null: left unnamed
// after being named "before").
std::string nameOnAFreshThread(const char* name) {
  std::string shown;
  std::thread([&] {
    thread_setName("before");
    thread_setName(name);
    shown = shownName();
  }).join();
  return shown;
}

TEST(ThreadName, NamesTheCallingThreadAfterItsFirstNineCharacters) {
#if defined(_WIN32)
  if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription") == nullptr) {
    GTEST_SKIP() << "no thread descriptions on this system";
  }
#endif
  struct Case {
    const char* name;
    std::string shown;
  };
  for (const Case& c : {Case{"worker", "worker"}, Case{"123456789", "123456789"},
                        Case{"monitoring-13", "monitorin"}, Case{"a", "a"}, Case{"", ""},
                        Case{nullptr, "before"}}) {
    EXPECT_EQ(nameOnAFreshThread(c.name), c.shown) << (c.name ? c.name : "(null)");
  }
}

} // namespace
