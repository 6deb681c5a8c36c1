// Runs code in a child process that has a pseudo-terminal as its controlling
// terminal, answers its questions and records what it wrote there. Only
// where pseudo-terminals exist; elsewhere runOnTerminal reports that it could
// not run.
#ifndef TSKBASE_TESTS_SUPPORT_TERMINAL_H
#define TSKBASE_TESTS_SUPPORT_TERMINAL_H

#include <string>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tsk::test {

struct TerminalRun {
  bool ran = false;    // false where no pseudo-terminal is available
  bool exited = false; // ended with _exit / exit
  int exitCode = -1;
  bool aborted = false; // ended by SIGABRT
  bool trapped = false; // ended by SIGTRAP, a debugger break
  bool stopped = false; // a background job that stopped (SIGTTOU, SIGTTIN)
  std::string output;   // everything written to the terminal, echo included
};

// Whether the body runs in the terminal's foreground process group, or in a
// process group of its own in the background, as a shell runs `prog &`.
enum class Job { kForeground, kBackground };

#if defined(_WIN32)
inline TerminalRun runOnTerminal(void (*)(), const std::string&, const std::string&,
                                 Job = Job::kForeground) {
  return {};
}
inline bool detachFromTerminal() { return false; }
#else
// The exit code of a background job's parent when the job stopped.
inline constexpr int kStoppedExitCode = 124;

// Runs body() as a background job and ends as it ended: with its exit code,
// by its signal, or with kStoppedExitCode once it stops (it is killed then).
[[noreturn]] inline void runAsBackgroundJob(void (*body)()) {
  const pid_t job = fork();
  if (job == 0) {
    setpgid(0, 0);
    body();
    _exit(0);
  }
  setpgid(job, job);
  int status = 0;
  while (waitpid(job, &status, WUNTRACED) < 0 && errno == EINTR) {
  }
  if (WIFSTOPPED(status)) {
    kill(job, SIGKILL);
    waitpid(job, &status, 0);
    _exit(kStoppedExitCode);
  }
  if (WIFSIGNALED(status)) {
    signal(WTERMSIG(status), SIG_DFL);
    raise(WTERMSIG(status));
  }
  _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 125);
}

// Runs body() in a child whose standard output, error stream and controlling
// terminal are a fresh pseudo-terminal; the child ends with exit code 0 when
// body() returns. `input` is typed once `prompt` has appeared in the output
// (never if `prompt` is empty). Gives up after 20 seconds.
inline TerminalRun runOnTerminal(void (*body)(), const std::string& prompt,
                                 const std::string& input, Job job = Job::kForeground) {
  TerminalRun run;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    return run;
  }
  const std::string slaveName = ptsname(master);
  const pid_t child = fork();
  if (child < 0) {
    close(master);
    return run;
  }
  if (child == 0) {
    close(master);
    setsid();
    const int slave = open(slaveName.c_str(), O_RDWR);
    if (slave < 0 || ioctl(slave, TIOCSCTTY, 0) != 0) {
      _exit(125);
    }
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    if (job == Job::kBackground) {
      runAsBackgroundJob(body);
    }
    body();
    _exit(0);
  }
  run.ran = true;
  bool typed = prompt.empty();
  for (;;) {
    pollfd waiting{master, POLLIN, 0};
    if (poll(&waiting, 1, 20000) <= 0) {
      kill(child, SIGKILL);
      break;
    }
    char chunk[512];
    const ssize_t got = read(master, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break; // EIO: every copy of the terminal's other end is closed
    }
    run.output.append(chunk, static_cast<size_t>(got));
    if (!typed && run.output.find(prompt) != std::string::npos) {
      typed = true;
      const ssize_t written = write(master, input.data(), input.size());
      (void)written;
    }
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  close(master);
  run.exited = WIFEXITED(status);
  run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
  run.aborted = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
  run.trapped = WIFSIGNALED(status) && WTERMSIG(status) == SIGTRAP;
  run.stopped = job == Job::kBackground && run.exited && run.exitCode == kStoppedExitCode;
  return run;
}

// Makes the calling process lose its controlling terminal, if it has one.
// Open descriptors of the terminal stay usable.
inline bool detachFromTerminal() {
  if (setsid() >= 0) {
    return true;
  }
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
  if (tty < 0) {
    return true; // there was none
  }
  // A session leader that lets go of its terminal hangs up its own process
  // group.
  signal(SIGHUP, SIG_IGN);
  const bool detached = ioctl(tty, TIOCNOTTY) == 0;
  close(tty);
  return detached;
}
#endif

} // namespace tsk::test

#endif // TSKBASE_TESTS_SUPPORT_TERMINAL_H
