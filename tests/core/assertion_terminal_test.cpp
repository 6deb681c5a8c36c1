// The message box without a windowing system: a question on the controlling
// terminal. Each run has a child process with a pseudo-terminal of its own.
// These tests have a program of their own: the program type is decided at
// the first failure in a process and inherited by its children, so no
// failure may happen in the parent.
#include "tskbase/tskassert.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

#if !defined(_WIN32)
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "debug_break.h"
#include "platform.h"
#include "terminal.h"

namespace {

using tsk::test::Job;
using tsk::test::TerminalRun;

int32_t takeFailure(const char*, const char*, int32_t, int32_t*) { return 1; }

void failInBoxMode() {
  tskassert_set_mode(TSKASSERT_MODE_MSGBOX);
  _tskassert("h", "h.src", 6);
  std::fputs("returned\n", stdout);
  std::fflush(stdout);
}

// Retry under a "debugger" that notes the break and continues.
void retryUnderDebugger() {
  tsk::test::catchDebugBreaks();
  failInBoxMode();
}

void failInDefaultMode() { _tskassert("i", "i.src", 7); }

// The program type is decided at the first failure, here one that a hook
// takes while the terminal is there; losing it later changes nothing.
void failAfterLosingTheTerminal() {
  tskassert_set_hook(&takeFailure);
  _tskassert("first", "j.src", 8);
  tskassert_set_hook(nullptr);
  tsk::test::detachFromTerminal();
  _tskassert("second", "j.src", 9);
}

// The terminal of a full-screen program: raw, so that Enter sends a
// carriage return and Ctrl-C is no signal. After the question the terminal
// must be as raw as before.
void failInRawMode() {
#if !defined(_WIN32)
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
  termios raw{};
  tcgetattr(tty, &raw);
  cfmakeraw(&raw);
  tcsetattr(tty, TCSANOW, &raw);
  failInBoxMode();
  termios after{};
  tcgetattr(tty, &after);
  const bool same = after.c_iflag == raw.c_iflag && after.c_oflag == raw.c_oflag &&
                    after.c_cflag == raw.c_cflag && after.c_lflag == raw.c_lflag &&
                    std::memcmp(after.c_cc, raw.c_cc, sizeof raw.c_cc) == 0;
  std::fputs(same ? "settings restored\n" : "settings changed\n", stdout);
  std::fflush(stdout);
#endif
}

constexpr char kPrompt[] = "[a/r/i] ";

class AssertTerminal : public ::testing::Test {
protected:
  void SetUp() override {
    if (tsk::test::kWindows) {
      GTEST_SKIP() << "the question is a message box on Windows";
    }
  }
  // Runs body() on a terminal of its own, typing `input` at the question.
  static TerminalRun run(void (*body)(), const std::string& input) {
    TerminalRun result = tsk::test::runOnTerminal(body, input.empty() ? "" : kPrompt, input);
    EXPECT_TRUE(result.ran) << "no pseudo-terminal";
    return result;
  }
  static bool shows(const TerminalRun& run, const char* text, size_t from = 0) {
    return run.output.find(text, from) != std::string::npos;
  }
};

TEST_F(AssertTerminal, AnswersIgnoreAbortRetry) {
  // An unknown answer is asked again; Ignore returns to the caller.
  const TerminalRun ignored = run(&failInBoxMode, "x\nI\n");
  EXPECT_EQ(ignored.exitCode, 0);
  for (const char* text : {"TSK Assert Failure", "Expression: h\r\n", "returned"}) {
    EXPECT_TRUE(shows(ignored, text)) << text << " in " << ignored.output;
  }
  EXPECT_TRUE(shows(ignored, kPrompt, ignored.output.find(kPrompt) + 1)) << ignored.output;

  const TerminalRun aborted = run(&failInBoxMode, "a\n");
  EXPECT_TRUE(aborted.aborted);
  EXPECT_FALSE(shows(aborted, "returned"));

  EXPECT_TRUE(run(&failInBoxMode, "r\n").trapped);
  const TerminalRun resumed = run(&retryUnderDebugger, "r\n");
  EXPECT_EQ(resumed.exitCode, 0);
  EXPECT_TRUE(shows(resumed, "returned", resumed.output.find("debug break"))) << resumed.output;
}

// A raw terminal is asked in line mode, a carriage return ends the answer,
// and the raw settings come back.
TEST_F(AssertTerminal, RawTerminalIsAskedInLineModeAndRestored) {
  const TerminalRun ignored = run(&failInRawMode, "i\r");
  EXPECT_EQ(ignored.exitCode, 0) << ignored.output;
  for (const char* text : {"Expression: h\r\n", "returned", "settings restored"}) {
    EXPECT_TRUE(shows(ignored, text)) << text << " in " << ignored.output;
  }
  EXPECT_TRUE(run(&failInRawMode, "a\r").aborted);
}

// A console program reports on the error stream without asking, and stays a
// console program after losing its terminal. A background job does not own
// the terminal: it is not asked, and does not stop on touching the terminal;
// the report goes to the error stream and the process aborts.
TEST_F(AssertTerminal, ConsoleProgramsAndBackgroundJobsReportOnTheErrorStream) {
  for (const auto& [body, job, report] :
       {std::tuple{&failInDefaultMode, Job::kForeground, "Assertion failed: i, file i.src, line 7"},
        {&failAfterLosingTheTerminal, Job::kForeground,
         "Assertion failed: second, file j.src, line 9"},
        {&failInBoxMode, Job::kBackground, "Expression: h"}}) {
    const TerminalRun result = tsk::test::runOnTerminal(body, "", "", job);
    ASSERT_TRUE(result.ran) << "no pseudo-terminal";
    EXPECT_TRUE(result.aborted) << result.output;
    EXPECT_TRUE(shows(result, report)) << result.output;
    EXPECT_FALSE(shows(result, kPrompt)) << result.output;
  }
}

} // namespace
