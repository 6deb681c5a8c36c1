// Starts a helper program as a child process, talks to it through its
// standard input and output, and ends it, gently or at once, the way tests of
// anything shared between processes need.
#ifndef TSKBASE_TESTS_SUPPORT_CHILD_PROCESS_H
#define TSKBASE_TESTS_SUPPORT_CHILD_PROCESS_H

#include <filesystem>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;
#endif

namespace tsk::test {

class ChildProcess {
public:
  // Starts `program` with `arguments`; its standard input and output are
  // pipes to this object, its error stream is this process's.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    start(program, arguments);
  }
  // Ends a child that is still running at once.
  ~ChildProcess() {
    kill();
    closePipe(input_);
    closePipe(output_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return running_; }

  // The next line of the child's output without its line break; what is left
  // before the end of the output, or "" at its end.
  std::string readLine() {
    std::string line;
    char c;
    while (readByte(&c) && c != '\n') {
      if (c != '\r') {
        line.push_back(c);
      }
    }
    return line;
  }

  // Writes `line` and a line break to the child's input.
  void writeLine(const std::string& line) { writeAll(line + "\n"); }

  // Closes the child's input: it reads the end of it.
  void closeInput() { closePipe(input_); }

  // Ends the child at once, as a crash would (SIGKILL, TerminateProcess),
  // and waits for its end.
  void kill();

  // Waits for the child's end and returns its exit code (-1 for a signal).
  int wait();

private:
#if defined(_WIN32)
  using Pipe = HANDLE;
  static constexpr Pipe kClosed = nullptr;
#else
  using Pipe = int;
  static constexpr Pipe kClosed = -1;
#endif
  static void closePipe(Pipe& pipe);
  void start(const std::filesystem::path& program, const std::vector<std::string>& arguments);
  bool readByte(char* c);
  void writeAll(const std::string& text);

  bool running_ = false;
  int exitCode_ = -1;
  Pipe input_ = kClosed;
  Pipe output_ = kClosed;
#if defined(_WIN32)
  HANDLE process_ = nullptr;
#else
  pid_t pid_ = -1;
#endif
};

#if defined(_WIN32)

inline void ChildProcess::start(const std::filesystem::path& program,
                                const std::vector<std::string>& arguments) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE childOutput = nullptr;
  if (!CreatePipe(&childInput, &input_, &inheritable, 0)) {
    return;
  }
  if (!CreatePipe(&output_, &childOutput, &inheritable, 0)) {
    CloseHandle(childInput);
    return;
  }
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);

  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  for (const std::string& argument : arguments) {
    commandLine += L" \"" + std::filesystem::path(argument).wstring() + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  running_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            nullptr, &startup, &info) != 0;
  CloseHandle(childInput);
  CloseHandle(childOutput);
  if (running_) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
  }
}

inline void ChildProcess::closePipe(Pipe& pipe) {
  if (pipe != kClosed) {
    CloseHandle(pipe);
    pipe = kClosed;
  }
}

inline bool ChildProcess::readByte(char* c) {
  DWORD got = 0;
  return output_ != nullptr && ReadFile(output_, c, 1, &got, nullptr) && got == 1;
}

inline void ChildProcess::writeAll(const std::string& text) {
  DWORD written = 0;
  if (input_ != nullptr) {
    WriteFile(input_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

inline void ChildProcess::kill() {
  if (running_) {
    TerminateProcess(process_, 9);
  }
  wait();
}

inline int ChildProcess::wait() {
  if (running_) {
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    exitCode_ = static_cast<int>(code);
    CloseHandle(process_);
    process_ = nullptr;
    running_ = false;
  }
  return exitCode_;
}

#else

inline void ChildProcess::start(const std::filesystem::path& program,
                                const std::vector<std::string>& arguments) {
  // A child that ended must not end this process when it writes to it.
  signal(SIGPIPE, SIG_IGN);
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) {
    return;
  }
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  running_ = posix_spawn(&pid_, words[0].c_str(), &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  input_ = toChild[1];
  output_ = fromChild[0];
}

inline void ChildProcess::closePipe(Pipe& pipe) {
  if (pipe != kClosed) {
    close(pipe);
    pipe = kClosed;
  }
}

inline bool ChildProcess::readByte(char* c) {
  for (;;) {
    const ssize_t got = output_ < 0 ? 0 : read(output_, c, 1);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    return got == 1;
  }
}

inline void ChildProcess::writeAll(const std::string& text) {
  size_t done = 0;
  while (input_ >= 0 && done < text.size()) {
    const ssize_t written = write(input_, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return;
    }
    done += static_cast<size_t>(written);
  }
}

inline void ChildProcess::kill() {
  if (running_) {
    ::kill(pid_, SIGKILL);
  }
  wait();
}

inline int ChildProcess::wait() {
  if (running_) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    running_ = false;
  }
  return exitCode_;
}

#endif

// The helper program `name` that lies beside the running test program.
inline std::filesystem::path helperBeside(const std::filesystem::path& self,
                                          const std::string& name) {
  return self.parent_path() / (name + self.extension().string());
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_CHILD_PROCESS_H
