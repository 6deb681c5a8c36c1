#include "tskbase/tskassert.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "debug_break.h"
#include "platform.h"
#include "terminal.h"

namespace {

// What the recording hooks saw.
struct HookCall {
  std::string expression;
  std::string file;
  int32_t line = 0;
  int32_t flagOnEntry = -1;
  int calls = 0;
};
HookCall g_seen;

int32_t takeFailure(const char* expression, const char* file, int32_t line, int32_t* flag) {
  g_seen.expression = expression;
  g_seen.file = file;
  g_seen.line = line;
  g_seen.flagOnEntry = *flag;
  ++g_seen.calls;
  return 1;
}

int32_t declineFailure(const char*, const char*, int32_t, int32_t*) {
  std::fputs("hook declined\n", stderr);
  return 0;
}

int32_t askForBreak(const char*, const char*, int32_t, int32_t* flag) {
  *flag = 1;
  return 0;
}

// Installs a hook and a mode for one test and restores the previous ones.
class AssertState : public ::testing::Test {
protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    savedHook_ = tskassert_set_hook(nullptr);
    savedMode_ = tskassert_set_mode(TSKASSERT_MODE_QUERY);
    g_seen = HookCall{};
  }
  void TearDown() override {
    tskassert_set_hook(savedHook_);
    tskassert_set_mode(savedMode_);
  }

private:
  tskassert_hook savedHook_ = nullptr;
  int32_t savedMode_ = 0;
};

using AssertMode = AssertState;
using AssertHook = AssertState;
using AssertReportDeathTest = AssertState;
using AssertMessageBoxDeathTest = AssertState;

TEST_F(AssertMode, SetReturnsThePreviousModeQueryAndUnknownModesChangeNothing) {
  EXPECT_EQ(tskassert_set_mode(TSKASSERT_MODE_STDERR), TSKASSERT_MODE_DEFAULT);
  EXPECT_EQ(tskassert_set_mode(TSKASSERT_MODE_MSGBOX), TSKASSERT_MODE_STDERR);
  for (int32_t mode : {7, 4, -1, INT32_MIN}) {
    EXPECT_EQ(tskassert_set_mode(mode), -1) << mode;
  }
  EXPECT_EQ(tskassert_set_mode(TSKASSERT_MODE_QUERY), TSKASSERT_MODE_MSGBOX);
  EXPECT_EQ(tskassert_set_mode(TSKASSERT_MODE_DEFAULT), TSKASSERT_MODE_MSGBOX);
}

TEST_F(AssertHook, SetReturnsThePreviousHookAndNullRemovesIt) {
  EXPECT_EQ(tskassert_set_hook(&takeFailure), nullptr);
  EXPECT_EQ(tskassert_set_hook(&declineFailure), &takeFailure);
  EXPECT_EQ(tskassert_set_hook(nullptr), &declineFailure);
  EXPECT_EQ(tskassert_set_hook(nullptr), nullptr);
}

TEST_F(AssertHook, HookThatTakesTheFailureMakesTheHandlerReturn) {
  tskassert_set_mode(TSKASSERT_MODE_STDERR); // a report would end the process
  tskassert_set_hook(&takeFailure);
  const int32_t line = __LINE__ + 1;
  TSK_ASSERT(1 + 1 == 3);
  EXPECT_EQ(g_seen.calls, 1);
  EXPECT_EQ(g_seen.expression, "1 + 1 == 3");
  EXPECT_EQ(g_seen.file, __FILE__);
  EXPECT_EQ(g_seen.line, line);
  EXPECT_EQ(g_seen.flagOnEntry, 0);

  TSK_ASSERT(2 + 2 == 4); // holds: no call
  EXPECT_EQ(g_seen.calls, 1);
}

std::atomic<int> g_takenByFirst{0};
std::atomic<int> g_takenBySecond{0};

int32_t countFirst(const char*, const char*, int32_t, int32_t*) {
  g_takenByFirst.fetch_add(1);
  return 1;
}

int32_t countSecond(const char*, const char*, int32_t, int32_t*) {
  g_takenBySecond.fetch_add(1);
  return 1;
}

TEST_F(AssertHook, ModeAndHookMayChangeWhileOtherThreadsFail) {
  tskassert_set_mode(TSKASSERT_MODE_STDERR);
  tskassert_set_hook(&countFirst);
  std::atomic<bool> stop{false};
  std::thread changer([&] {
    while (!stop.load()) {
      tskassert_set_mode(TSKASSERT_MODE_MSGBOX);
      tskassert_set_hook(&countSecond);
      tskassert_set_mode(TSKASSERT_MODE_STDERR);
      tskassert_set_hook(&countFirst);
    }
  });
  std::vector<std::thread> failing;
  for (int t = 0; t < 4; ++t) {
    failing.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        _tskassert("concurrent", "thread.src", i);
      }
    });
  }
  for (std::thread& thread : failing) {
    thread.join();
  }
  stop.store(true);
  changer.join();
  EXPECT_EQ(g_takenByFirst.load() + g_takenBySecond.load(), 800);
}

TEST_F(AssertReportDeathTest, StderrModeWritesOneLineAndAborts) {
  tskassert_set_mode(TSKASSERT_MODE_STDERR);
  EXPECT_DEATH(_tskassert("x > 0", "a.src", 12),
               "Assertion failed: x > 0, file a\\.src, line 12\n");
  EXPECT_DEATH(_tskassert("p", "b.src", -3), "Assertion failed: p, file b\\.src, line -3\n");
}

TEST_F(AssertReportDeathTest, DecliningHookIsFollowedByTheReport) {
  tskassert_set_mode(TSKASSERT_MODE_STDERR);
  tskassert_set_hook(&declineFailure);
  EXPECT_DEATH(_tskassert("ok", "c.src", 1), "hook declined\nAssertion failed: ok, file c\\.src");
}

TEST_F(AssertReportDeathTest, BreakRequestedByTheHookComesBeforeTheReport) {
  tskassert_set_mode(TSKASSERT_MODE_STDERR);
  tskassert_set_hook(&askForBreak);
  EXPECT_DEATH(
      {
        tsk::test::catchDebugBreaks();
        _tskassert("ok", "d.src", 2);
      },
      "debug break\nAssertion failed: ok, file d\\.src, line 2");
}

TEST_F(AssertReportDeathTest, HookAtAnUnmappedAddressIsSkipped) {
  tskassert_set_mode(TSKASSERT_MODE_STDERR);
  tskassert_set_hook(reinterpret_cast<tskassert_hook>(uintptr_t{0x40}));
  EXPECT_DEATH(_tskassert("e", "e.src", 3), "Assertion failed: e, file e\\.src, line 3");
}

TEST_F(AssertReportDeathTest, HookInDataMemoryIsSkipped) {
  if (tsk::test::kWindows) {
    GTEST_SKIP() << "IsBadCodePtr only tests that the memory is readable";
  }
  static unsigned char notCode[64] = {};
  tskassert_set_mode(TSKASSERT_MODE_STDERR);
  tskassert_set_hook(reinterpret_cast<tskassert_hook>(static_cast<void*>(notCode)));
  EXPECT_DEATH(_tskassert("f", "f.src", 4), "Assertion failed: f, file f\\.src, line 4");
}

// Without a terminal the question cannot be put: the text goes to the error
// stream and the process aborts.
TEST_F(AssertMessageBoxDeathTest, WithoutATerminalTheTextIsReportedAndTheProcessAborts) {
  if (tsk::test::kWindows) {
    GTEST_SKIP() << "a real message box would wait for a user";
  }
  for (int32_t mode : {TSKASSERT_MODE_MSGBOX, TSKASSERT_MODE_DEFAULT}) {
    tskassert_set_mode(mode);
    EXPECT_DEATH(
        {
          tsk::test::detachFromTerminal();
          _tskassert("g", "g.src", 5);
        },
        "TSK Assert Failure\n\nAssertion failed!\n\nProgram: .*core_tests.*\nFile: g\\.src\n"
        "Line: 5\n\nExpression: g\n")
        << "mode " << mode;
  }
}

} // namespace
