// The assertion-failure handler: the hook, the report modes, and the
// program type decided at the first failure.
#include "tskbase/tskassert.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "assertion_message.h"
#include "platform/assertion.h"

namespace {

enum ProgramType : int32_t { kUndetermined = 0, kConsole = 1, kNoConsole = 2 };

std::atomic<int32_t> g_mode{TSKASSERT_MODE_DEFAULT};
std::atomic<int32_t> g_programType{kUndetermined};
std::atomic<tskassert_hook> g_hook{nullptr};

constexpr const char kTitle[] = "TSK Assert Failure";
// Room for the executable's path.
constexpr size_t kPathSize = 260;

int32_t programType() {
  int32_t type = g_programType.load();
  if (type == kUndetermined) {
    type = tsk::platform::isConsoleProgram() ? kConsole : kNoConsole;
    // The first decision stands when two threads fail at once.
    int32_t expected = kUndetermined;
    if (!g_programType.compare_exchange_strong(expected, type)) {
      type = expected;
    }
  }
  return type;
}

// Offers the failure to the hook; true when the hook has dealt with it.
bool hookTakes(const char* expression, const char* file, int32_t line) {
  const tskassert_hook hook = g_hook.load();
  if (hook == nullptr || !tsk::platform::isCallableCode(reinterpret_cast<const void*>(hook))) {
    return false;
  }
  int32_t debugBreak = 0;
  const int32_t taken = hook(expression, file, line, &debugBreak);
  if (debugBreak == 1) {
    tsk::platform::debugBreak();
  }
  return taken == 1;
}

const char* orNull(const char* text) { return text != nullptr ? text : "(null)"; }

[[noreturn]] void reportOnErrorStream(const char* expression, const char* file, int32_t line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", orNull(expression), orNull(file),
               static_cast<int>(line));
  std::fflush(stderr);
  std::abort();
}

// The question could not be put (no desktop, no terminal that the process
// has in the foreground): the box's text goes to the error stream and the
// debugger's output, and the process ends.
[[noreturn]] void reportUnasked(const char* text) {
  char report[sizeof kTitle + 2 + tsk::core::kAssertionMessageSize + 1];
  std::snprintf(report, sizeof report, "%s\n\n%s\n", kTitle, text);
  std::fputs(report, stderr);
  std::fflush(stderr);
  tsk::platform::debugOutput(report);
  std::abort();
}

void reportInMessageBox(const char* expression, const char* file, int32_t line) {
  char path[kPathSize];
  const bool known = tsk::platform::executablePath(path, sizeof path);
  char text[tsk::core::kAssertionMessageSize];
  tsk::core::formatAssertionMessage(text, expression, file, line, known ? path : nullptr);

  switch (tsk::platform::askAbortRetryIgnore(text, kTitle)) {
  case tsk::platform::kAnswerAbort:
    std::raise(SIGABRT);
    std::_Exit(3);
  case tsk::platform::kAnswerRetry:
    tsk::platform::debugBreak();
    return;
  case tsk::platform::kAnswerIgnore:
    return;
  default:
    reportUnasked(text);
  }
}

} // namespace

void _tskassert(const char* expression, const char* file, int32_t line) {
  const int32_t type = programType();
  if (hookTakes(expression, file, line)) {
    return;
  }
  const int32_t mode = g_mode.load();
  if (mode == TSKASSERT_MODE_STDERR || (mode == TSKASSERT_MODE_DEFAULT && type == kConsole)) {
    reportOnErrorStream(expression, file, line);
  }
  reportInMessageBox(expression, file, line);
}

tskassert_hook tskassert_set_hook(tskassert_hook hook) { return g_hook.exchange(hook); }

int32_t tskassert_set_mode(int32_t mode) {
  switch (mode) {
  case TSKASSERT_MODE_DEFAULT:
  case TSKASSERT_MODE_STDERR:
  case TSKASSERT_MODE_MSGBOX:
    return g_mode.exchange(mode);
  case TSKASSERT_MODE_QUERY:
    return g_mode.load();
  default:
    return -1;
  }
}
