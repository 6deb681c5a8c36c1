// Two processes take turns through a cross-process lock: the demo starts a
// copy of itself, and under the lock each process moves a turn counter kept
// in a file on when the turn is its own: the parent takes the even turns, the
// child the odd ones. Once with a MutexLock, once with an InterProcessLock.
#include "tskbase/interprocess_lock.h"
#include "tskbase/module_path.h"
#include "tskbase/mutex_lock.h"
#include "tskbase/stringcnv.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "demo.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace {

constexpr int kTurns = 6;
constexpr char kChildSwitch[] = "--take-turns";

// Either lock class behind one interface.
class TurnLock {
public:
  virtual ~TurnLock() = default;
  virtual void obtain() = 0;
  virtual void release() = 0;
};

class MutexTurns final : public TurnLock {
public:
  explicit MutexTurns(const tsk_wchar_t* name) : lock_(name) {}
  void obtain() override { lock_.ObtainLock(); }
  void release() override { lock_.ReleaseLock(); }

private:
  MutexLock lock_;
};

class InterProcessTurns final : public TurnLock {
public:
  explicit InterProcessTurns(const tsk_wchar_t* name) : lock_(name, nullptr, 4000) {}
  void obtain() override { lock_.ObtainLock(); }
  void release() override { lock_.ReleaseLock(); }

private:
  InterProcessLock lock_;
};

std::unique_ptr<TurnLock> makeLock(const std::string& kind, const std::string& name) {
  const std::basic_string<tsk_wchar_t> wideName(name.begin(), name.end());
  if (kind == "mutex") {
    return std::make_unique<MutexTurns>(wideName.c_str());
  }
  return std::make_unique<InterProcessTurns>(wideName.c_str());
}

int readTurn(const std::string& file) {
  int turn = 0;
  std::ifstream(file) >> turn;
  return turn;
}

// Takes this process's turns (even or odd) until all are taken.
void takeTurns(TurnLock& lock, const std::string& file, int parity, const char* who) {
  for (bool done = false; !done;) {
    lock.obtain();
    const int turn = readTurn(file);
    if (turn < kTurns && turn % 2 == parity) {
      std::printf("    %s takes turn %d\n", who, turn);
      std::fflush(stdout);
      std::ofstream(file) << turn + 1;
    }
    done = turn + 1 >= kTurns;
    lock.release();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Starts this program again with `arguments` and waits for its end; false
// when it cannot be started.
bool runCopy(const std::vector<std::string>& arguments) {
  tsk_wchar_t self[MODULE_PATH_CAPACITY];
  if (module_setFilePath(self, MODULE_PATH_CAPACITY, module_getFileName(), nullptr) == 0) {
    return false;
  }
#if defined(_WIN32)
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\"";
  for (const std::string& argument : arguments) {
    commandLine += L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &child)) {
    return false;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return true;
#else
  char program[MODULE_PATH_CAPACITY * 3];
  if (stringCnv_wcsToUTF8(self, program, sizeof program) != TSK_OK) {
    return false;
  }
  std::vector<char*> argv{program};
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, program, nullptr, nullptr, argv.data(), environ) != 0) {
    return false;
  }
  int status = 0;
  waitpid(child, &status, 0);
  return true;
#endif
}

void turnsWith(const std::string& kind, const char* title) {
  std::printf("  %s:\n", title);
  const std::string name =
      "tskbase-demo-turns-" + kind + "-" + std::to_string(std::random_device{}());
  const std::string file = (std::filesystem::temp_directory_path() / (name + ".txt")).string();
  std::ofstream(file) << 0;
  std::unique_ptr<TurnLock> lock = makeLock(kind, name);
  std::thread child([&] {
    if (!runCopy({kChildSwitch, kind, name, file})) {
      std::printf("    the second process could not be started\n");
      lock->obtain();
      std::ofstream(file) << kTurns;
      lock->release();
    }
  });
  takeTurns(*lock, file, 0, "parent");
  child.join();
  std::filesystem::remove(file);
}

} // namespace

int demo::crossProcessLockChild(int argc, char** argv) {
  if (argc != 5 || std::strcmp(argv[1], kChildSwitch) != 0) {
    std::fprintf(stderr, "usage: tskbase_demo [%s mutex|iplock NAME FILE]\n", kChildSwitch);
    return 2;
  }
  std::unique_ptr<TurnLock> lock = makeLock(argv[2], argv[3]);
  takeTurns(*lock, argv[4], 1, "child ");
  return 0;
}

void demo::crossProcessLocks() {
  heading("Cross-process locks: two processes taking turns");
  turnsWith("mutex", "MutexLock");
  turnsWith("iplock", "InterProcessLock");
}
