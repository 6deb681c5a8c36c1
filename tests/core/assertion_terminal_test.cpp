// The message box without a windowing system: a question on the controlling
// terminal. Each test runs the handler in a child process with a
// pseudo-terminal of its own. These tests have a program of their own: the
// program type is decided at the first failure in a process and inherited by
// its children, so no failure may happen in the parent.
#include "tskbase/tskassert.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "debug_break.h"
#include "platform.h"
#include "terminal.h"

namespace {

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

void failInDefaultMode() {
  tskassert_set_mode(TSKASSERT_MODE_DEFAULT);
  _tskassert("i", "i.src", 7);
}

// The program type is decided at the first failure, here one that a hook
// takes while the terminal is there; losing it later changes nothing.
void failAfterLosingTheTerminal() {
  tskassert_set_mode(TSKASSERT_MODE_DEFAULT);
  tskassert_set_hook(&takeFailure);
  _tskassert("first", "j.src", 8);
  tskassert_set_hook(nullptr);
  tsk::test::detachFromTerminal();
  _tskassert("second", "j.src", 9);
}

constexpr char kPrompt[] = "[a/r/i] ";

class AssertTerminal : public ::testing::Test {
protected:
  tsk::test::TerminalRun run(void (*body)(), const std::string& input) {
    tsk::test::TerminalRun result =
        tsk::test::runOnTerminal(body, input.empty() ? "" : kPrompt, input);
    if (!result.ran) {
      ADD_FAILURE() << "no pseudo-terminal";
    }
    return result;
  }
  void SetUp() override {
    if (tsk::test::kWindows) {
      GTEST_SKIP() << "the question is a message box on Windows";
    }
  }
};

TEST_F(AssertTerminal, IgnoreReturnsToTheCaller) {
  const tsk::test::TerminalRun result = run(&failInBoxMode, "i\n");
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("TSK Assert Failure"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("Expression: h\r\n"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("returned"), std::string::npos) << result.output;
}

TEST_F(AssertTerminal, UnknownAnswerIsAskedAgain) {
  const tsk::test::TerminalRun result = run(&failInBoxMode, "x\nI\n");
  EXPECT_EQ(result.exitCode, 0);
  const size_t first = result.output.find(kPrompt);
  EXPECT_NE(result.output.find(kPrompt, first + 1), std::string::npos) << result.output;
}

TEST_F(AssertTerminal, AbortRaisesTheAbortSignal) {
  const tsk::test::TerminalRun result = run(&failInBoxMode, "a\n");
  EXPECT_TRUE(result.aborted);
  EXPECT_EQ(result.output.find("returned"), std::string::npos);
}

TEST_F(AssertTerminal, RetryBreaksIntoTheDebuggerThenReturns) {
  const tsk::test::TerminalRun trapped = run(&failInBoxMode, "r\n");
  EXPECT_TRUE(trapped.trapped);

  const tsk::test::TerminalRun resumed = run(&retryUnderDebugger, "r\n");
  EXPECT_EQ(resumed.exitCode, 0);
  const size_t breakAt = resumed.output.find("debug break");
  ASSERT_NE(breakAt, std::string::npos) << resumed.output;
  EXPECT_NE(resumed.output.find("returned", breakAt), std::string::npos) << resumed.output;
}

TEST_F(AssertTerminal, ConsoleProgramReportsOnTheErrorStream) {
  const tsk::test::TerminalRun result = run(&failInDefaultMode, "");
  EXPECT_TRUE(result.aborted);
  EXPECT_NE(result.output.find("Assertion failed: i, file i.src, line 7"), std::string::npos)
      << result.output;
  EXPECT_EQ(result.output.find(kPrompt), std::string::npos);
}

TEST_F(AssertTerminal, ProgramTypeIsDecidedOnce) {
  const tsk::test::TerminalRun result = run(&failAfterLosingTheTerminal, "");
  EXPECT_TRUE(result.aborted);
  EXPECT_NE(result.output.find("Assertion failed: second, file j.src, line 9"), std::string::npos)
      << result.output;
}

} // namespace
