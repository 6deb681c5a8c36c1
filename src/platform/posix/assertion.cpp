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

// Reads one line and returns the answer its first non-blank character
// names, -1 for anything else, or 0 at the end of input or on an error.
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
    if (c == '\n') {
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

// True when the line of /proc/self/maps describes an executable mapping
// that contains `address`.
bool mapsExecutable(const char* line, uintptr_t address) {
  char* end = nullptr;
  const uintptr_t start = std::strtoull(line, &end, 16);
  if (end == nullptr || *end != '-') {
    return false;
  }
  const uintptr_t stop = std::strtoull(end + 1, &end, 16);
  if (end == nullptr || *end != ' ') {
    return false;
  }
  return address >= start && address < stop && end[1] != '\0' && end[2] != '\0' && end[3] == 'x';
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
  FILE* maps = std::fopen("/proc/self/maps", "re");
  if (maps == nullptr) {
    return true; // nothing to check against: trust the caller
  }
  const auto wanted = reinterpret_cast<uintptr_t>(address);
  char line[512];
  bool callable = false;
  while (!callable && std::fgets(line, sizeof line, maps) != nullptr) {
    callable = mapsExecutable(line, wanted);
    // Skip the rest of a line longer than the buffer (a long path).
    while (std::strchr(line, '\n') == nullptr && std::fgets(line, sizeof line, maps) != nullptr) {
    }
  }
  std::fclose(maps);
  return callable;
}

int askAbortRetryIgnore(const char* text, const char* title) {
  // One question at a time: threads that fail together would otherwise mix
  // their reports and take each other's answers.
  static std::mutex terminalLock;
  const std::lock_guard<std::mutex> hold(terminalLock);
  const int fd = openTerminal();
  if (fd < 0) {
    // The question cannot be put; keep the report on the error stream.
    std::fprintf(stderr, "%s\n\n%s\n", title, text);
    std::fflush(stderr);
    return 0;
  }
  // Only an answer typed after the question counts.
  ::tcflush(fd, TCIFLUSH);
  writeAll(fd, "\n");
  writeAll(fd, title);
  writeAll(fd, "\n\n");
  writeAll(fd, text);
  writeAll(fd, "\n\n");
  int answer = -1;
  while (answer < 0) {
    writeAll(fd, "Abort, Retry or Ignore? [a/r/i] ");
    answer = readAnswer(fd);
  }
  ::close(fd);
  return answer;
}

void debugBreak() { std::raise(SIGTRAP); }

} // namespace tsk::platform
