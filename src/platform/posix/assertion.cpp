// Stand-ins for the console and message-box services: a console program is
// one with a controlling terminal, and the message box is the same text and
// an Abort / Retry / Ignore question on that terminal.
#include "platform/assertion.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <pthread.h>
#include <signal.h>

namespace tsk::platform {

namespace {

constexpr const char kTerminal[] = "/dev/tty";

int openTerminal() { return ::open(kTerminal, O_RDWR | O_NOCTTY | O_CLOEXEC); }

void writeAll(int fd, const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t done = ::write(fd, text, left);
    if (done < 0 && errno == EINTR) {
      continue;
    }
    if (done <= 0) {
      return;
    }
    text += done;
    left -= static_cast<size_t>(done);
  }
}

// Holds SIGTTOU and SIGTTIN back from the calling thread while it uses the
// terminal: should the process be moved to the background meanwhile, mode
// changes go through and reads fail, rather than stopping the process.
class TerminalSignalsHeld {
public:
  TerminalSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTTOU);
    sigaddset(&set, SIGTTIN);
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~TerminalSignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  TerminalSignalsHeld(const TerminalSignalsHeld&) = delete;
  TerminalSignalsHeld& operator=(const TerminalSignalsHeld&) = delete;

private:
  sigset_t saved_;
};

// The terminal in line mode for the length of the question, whatever mode a
// full-screen program left it in (raw, say): lines edited and echoed, a
// carriage return read as a line feed, Ctrl-C a signal. Input typed before
// the question is discarded. The terminal's own settings come back after.
class LineMode {
public:
  explicit LineMode(int fd) : fd_(fd), saved_(::tcgetattr(fd, &settings_) == 0) {
    if (!saved_) {
      return;
    }
    termios line = settings_;
    line.c_iflag |= ICRNL;
    line.c_iflag &= ~static_cast<tcflag_t>(IGNCR | INLCR);
    line.c_oflag |= OPOST | ONLCR;
    line.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSAFLUSH, &line);
  }
  ~LineMode() {
    if (saved_) {
      ::tcsetattr(fd_, TCSADRAIN, &settings_);
    }
  }
  LineMode(const LineMode&) = delete;
  LineMode& operator=(const LineMode&) = delete;

private:
  int fd_;
  termios settings_{};
  bool saved_;
};

// Reads one line (ended by a line feed or a carriage return) and returns the
// answer its first non-blank character names, -1 for anything else, or 0 at
// the end of input or on an error.
int readAnswer(int fd) {
  int answer = -1;
  bool first = true;
  for (;;) {
    char c;
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return 0;
    }
    if (c == '\n' || c == '\r') {
      return answer;
    }
    if (first && c != ' ' && c != '\t') {
      first = false;
      switch (c) {
      case 'a':
      case 'A':
        answer = kAnswerAbort;
        break;
      case 'r':
      case 'R':
        answer = kAnswerRetry;
        break;
      case 'i':
      case 'I':
        answer = kAnswerIgnore;
        break;
      default:
        break;
      }
    }
  }
}

// Reads a hexadecimal number at p; p ends on the first other character.
uintptr_t readHex(const char*& p, const char* end) {
  uintptr_t value = 0;
  for (; p < end; ++p) {
    const char c = *p;
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) {
      break;
    }
    value = value * 16 + static_cast<uintptr_t>(digit);
  }
  return value;
}

// True when the head of a line of /proc/self/maps ("start-end perms ...")
// describes an executable mapping that contains `address`.
bool mapsExecutable(const char* line, const char* end, uintptr_t address) {
  const char* p = line;
  const uintptr_t first = readHex(p, end);
  if (p >= end || *p != '-') {
    return false;
  }
  ++p;
  const uintptr_t last = readHex(p, end);
  if (end - p < 4 || *p != ' ') {
    return false;
  }
  return address >= first && address < last && p[3] == 'x';
}

// Whether /proc/self/maps lists `address` in an executable mapping; true
// when the file cannot be read (nothing to check against). Only system
// calls and a stack buffer: the check may run inside an allocator or a
// signal handler.
bool listedAsCode(uintptr_t address) {
  const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return true;
  }
  // Only the head of a line matters; the rest of a long one is skipped.
  char buffer[4096];
  size_t held = 0;
  bool skipping = false;
  bool callable = false;
  for (;;) {
    const ssize_t got = ::read(fd, buffer + held, sizeof buffer - held);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    held += static_cast<size_t>(got);
    const char* line = buffer;
    const char* const end = buffer + held;
    for (const char* newline; (newline = static_cast<const char*>(std::memchr(
                                   line, '\n', static_cast<size_t>(end - line)))) != nullptr;
         line = newline + 1) {
      callable = callable || (!skipping && mapsExecutable(line, newline, address));
      skipping = false;
    }
    if (line == buffer && held == sizeof buffer) {
      // A line longer than the buffer: its head has been seen.
      callable = callable || (!skipping && mapsExecutable(line, end, address));
      skipping = true;
      held = 0;
    } else {
      held = static_cast<size_t>(end - line);
      std::memmove(buffer, line, held);
    }
  }
  ::close(fd);
  return callable;
}

} // namespace

bool isConsoleProgram() {
  const int fd = openTerminal();
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  return true;
}

bool executablePath(char* buffer, size_t size) {
  if (size == 0) {
    return false;
  }
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) {
    return false;
  }
  const size_t kept = static_cast<size_t>(length) < size ? static_cast<size_t>(length) : size - 1;
  std::memcpy(buffer, path, kept);
  buffer[kept] = '\0';
  return true;
}

bool isCallableCode(const void* address) {
  return listedAsCode(reinterpret_cast<uintptr_t>(address));
}

int askAbortRetryIgnore(const char* text, const char* title) {
  // One question at a time: threads that fail together would otherwise mix
  // their reports and take each other's answers.
  static std::mutex terminalLock;
  const std::lock_guard<std::mutex> hold(terminalLock);
  const TerminalSignalsHeld held;
  const int fd = openTerminal();
  if (fd < 0) {
    return 0;
  }
  int answer = 0;
  // A job in the background asks nothing: the terminal is the foreground
  // job's, and its answers are not meant for this process.
  if (::tcgetpgrp(fd) == ::getpgrp()) {
    const LineMode lineMode(fd);
    writeAll(fd, "\n");
    writeAll(fd, title);
    writeAll(fd, "\n\n");
    writeAll(fd, text);
    writeAll(fd, "\n\n");
    answer = -1;
    while (answer < 0) {
      writeAll(fd, "Abort, Retry or Ignore? [a/r/i] ");
      answer = readAnswer(fd);
    }
  }
  ::close(fd);
  return answer;
}

void debugOutput(const char*) {}

void debugBreak() { std::raise(SIGTRAP); }

} // namespace tsk::platform
