// Starts a helper program as a child process, talks to it through its
// standard input and output, and ends it, gently or at once, the way tests of
// anything shared between processes need.
#ifndef TSKBASE_TESTS_SUPPORT_CHILD_PROCESS_H
#define TSKBASE_TESTS_SUPPORT_CHILD_PROCESS_H

#include <filesystem>
#include <string>
#include <utility>
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
#include <climits>

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
    for (char c; readByte(&c) && c != '\n';) {
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

#if defined(_WIN32)
  // Ends the child at once, as a crash would, and waits for its end.
  void kill() {
    if (running_) {
      TerminateProcess(process_, 9);
    }
    wait();
  }

  // Waits for the child's end and returns its exit code.
  int wait() {
    if (running_) {
      WaitForSingleObject(process_, INFINITE);
      DWORD code = 0;
      GetExitCodeProcess(process_, &code);
      exitCode_ = static_cast<int>(code);
      CloseHandle(process_);
      running_ = false;
    }
    return exitCode_;
  }

private:
  using Pipe = HANDLE;
  static constexpr Pipe kClosed = nullptr;
  static void closePipe(Pipe& pipe) {
    if (pipe != kClosed) {
      CloseHandle(std::exchange(pipe, kClosed));
    }
  }
  bool readByte(char* c) {
    DWORD got = 0;
    return output_ != kClosed && ReadFile(output_, c, 1, &got, nullptr) && got == 1;
  }
  void writeAll(const std::string& text) {
    DWORD written = 0;
    if (input_ != kClosed) {
      WriteFile(input_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
  }

  void start(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childInput = nullptr, childOutput = nullptr;
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

  HANDLE process_ = nullptr;
#else
  // Ends the child at once, as a crash would, and waits for its end.
  void kill() {
    if (running_) {
      ::kill(pid_, SIGKILL);
    }
    wait();
  }

  // Waits for the child's end and returns its exit code (-1 for a signal).
  int wait() {
    if (running_) {
      int status = 0;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      running_ = false;
    }
    return exitCode_;
  }

private:
  using Pipe = int;
  static constexpr Pipe kClosed = -1;
  static void closePipe(Pipe& pipe) {
    if (pipe != kClosed) {
      close(std::exchange(pipe, kClosed));
    }
  }
  bool readByte(char* c) {
    ssize_t got = 0;
    while (output_ != kClosed && (got = read(output_, c, 1)) < 0 && errno == EINTR) {
    }
    return got == 1;
  }
  void writeAll(const std::string& text) {
    for (size_t done = 0; input_ != kClosed && done < text.size();) {
      const ssize_t written = write(input_, text.data() + done, text.size() - done);
      if (written <= 0 && errno != EINTR) {
        return;
      }
      done += written > 0 ? static_cast<size_t>(written) : 0;
    }
  }

  void start(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    signal(SIGPIPE, SIG_IGN); // a child that ended must not end this process
    int toChild[2], fromChild[2];
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
    running_ = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
  }

  pid_t pid_ = -1;
#endif

  bool running_ = false;
  int exitCode_ = -1;
  Pipe input_ = kClosed;
  Pipe output_ = kClosed;
};

// The running program's own executable path, as the system gives it.
inline std::filesystem::path executablePath() {
#if defined(_WIN32)
  wchar_t path[MAX_PATH * 4];
  return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 4));
#else
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  return std::string(path, length > 0 ? static_cast<size_t>(length) : 0);
#endif
}

// The helper program `name` that lies beside the running program.
inline std::filesystem::path helperPath(const std::string& name) {
  const std::filesystem::path self = executablePath();
  return self.parent_path() / (name + self.extension().string());
}

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_CHILD_PROCESS_H
