// What the cross-process lock tests share: another process that holds a
// lock (lock_test_helper, see its source for the commands), names that no
// other test uses, and a look at the machine's named objects.
#ifndef TSKBASE_TESTS_LOCK_LOCK_PROCESS_H
#define TSKBASE_TESTS_LOCK_LOCK_PROCESS_H

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

#include "child_process.h"
#include "scratch_directory.h"

namespace tsk::test {

// The helper process, one command at a time; its destructor lets it end by
// itself (closing its lock object) unless it was killed.
struct LockProcess : ChildProcess {
  LockProcess() : ChildProcess(helperPath("lock_test_helper"), {}) {}
  ~LockProcess() {
    closeInput();
    wait();
  }
  // Sends `command` and returns the answer ("" if the helper has ended).
  std::string ask(const std::string& command) {
    writeLine(command);
    return readLine();
  }
};

// A lock name of plain ASCII that no other test, process or run uses.
inline std::string uniqueLockName(const std::string& purpose) {
  static std::atomic<int> serial{0};
  static const std::string salt =
      std::to_string(std::random_device{}()) + "-" + std::to_string(std::random_device{}());
  return "tsktest-" + purpose + "-" + salt + "-" + std::to_string(serial++);
}

// Whether a named kernel object exists (outside Windows the library keeps it
// as the file "/dev/shm/tskbase.<name>").
inline bool kernelObjectExists(const std::string& name) {
#if defined(_WIN32)
  const std::wstring wideName(name.begin(), name.end());
  HANDLE found = OpenMutexW(SYNCHRONIZE, FALSE, wideName.c_str());
  found = found ? found : OpenEventW(SYNCHRONIZE, FALSE, wideName.c_str());
  found = found ? found : OpenFileMappingW(FILE_MAP_READ, FALSE, wideName.c_str());
  return found != nullptr && CloseHandle(found);
#else
  std::error_code ignored;
  return std::filesystem::exists("/dev/shm/tskbase." + name, ignored);
#endif
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_LOCK_LOCK_PROCESS_H
