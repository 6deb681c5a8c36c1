#include "tskbase/tskassert.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "debug_break.h"
#include "platform.h"
#include "terminal.h"

namespace {

std::string g_seen; // "expression file line flag;" for each call of takeFailure

int32_t takeFailure(const char* expression, const char* file, int32_t line, int32_t* flag) {
  g_seen += std::string(expression) + " " + file + " " + std::to_string(line) + " " +
            std::to_string(*flag) + ";";
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

std::atomic<int> g_taken{0};

template <int>
int32_t countTaken(const char*, const char*, int32_t, int32_t*) {
  ++g_taken;
  return 1;
}

// Each test starts and ends without a hook, in the default mode.
class AssertState : public ::testing::Test {
protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  void TearDown() override {
    tskassert_set_hook(nullptr);
    tskassert_set_mode(TSKASSERT_MODE_DEFAULT);
  }
};

using AssertDeathTest = AssertState;

// The setters return the previous value; unknown modes change nothing. A
// hook that takes the failure makes the handler return.
TEST_F(AssertState, SettersAndAHookThatTakesTheFailure) {
  EXPECT_EQ(tskassert_set_mode(TSKASSERT_MODE_MSGBOX), TSKASSERT_MODE_DEFAULT);
  EXPECT_EQ(tskassert_set_mode(TSKASSERT_MODE_STDERR), TSKASSERT_MODE_MSGBOX);
  for (int32_t mode : {7, 4, -1, INT32_MIN}) {
    EXPECT_EQ(tskassert_set_mode(mode), -1) << mode;
  }
  EXPECT_EQ(tskassert_set_mode(TSKASSERT_MODE_QUERY), TSKASSERT_MODE_STDERR);
  EXPECT_EQ(tskassert_set_hook(&takeFailure), nullptr);
  const int32_t line = __LINE__ + 1;
  TSK_ASSERT(1 + 1 == 3); // a report would end the process
  TSK_ASSERT(2 + 2 == 4); // holds: no call
  EXPECT_EQ(g_seen, "1 + 1 == 3 " __FILE__ " " + std::to_string(line) + " 0;");
  EXPECT_EQ(tskassert_set_hook(nullptr), &takeFailure);
  EXPECT_EQ(tskassert_set_hook(nullptr), nullptr);
  EXPECT_EQ(tskassert_set_mode(TSKASSERT_MODE_DEFAULT), TSKASSERT_MODE_STDERR);
}

TEST_F(AssertState, ModeAndHookMayChangeWhileOtherThreadsFail) {
  tskassert_set_hook(&countTaken<0>);
  {
    std::jthread changer([](std::stop_token stop) {
      for (int i = 0; !stop.stop_requested(); ++i) {
        tskassert_set_hook(i % 2 ? &countTaken<1> : &countTaken<0>);
        tskassert_set_mode(i % 2 ? TSKASSERT_MODE_MSGBOX : TSKASSERT_MODE_STDERR);
      }
    });
    std::vector<std::jthread> failing(4);
    for (std::jthread& thread : failing) {
      thread = std::jthread([] {
        for (int i = 0; i < 200; ++i) {
          _tskassert("concurrent", "thread.src", i);
        }
      });
    }
  } // joins the failing threads, then stops the changer
  EXPECT_EQ(g_taken, 800);
}

// A hook that declines, asks for a break, or is no code at all is followed
// by the one-line report on the error stream and an abort. Without a
// terminal (POSIX) or a desktop (Windows: the tests run without one, as a
// service or a batch job does) the question of a message box cannot be put:
// its text goes to the error stream and the debugger's output, and the
// process aborts.
TEST_F(AssertDeathTest, ReportsOnTheErrorStreamWhenNoHookTakesTheFailure) {
  static unsigned char notCode[64] = {};
  const std::string line = "Assertion failed: x > 0, file a\\.src, line -3\n";
  const std::string box = "TSK Assert Failure\n\nAssertion failed!\n\nProgram: .*core_tests.*\n"
                          "File: a\\.src\nLine: -3\n\nExpression: x > 0\n";
  std::vector<std::tuple<int32_t, tskassert_hook, std::string>> cases = {
      {TSKASSERT_MODE_STDERR, nullptr, line},
      {TSKASSERT_MODE_STDERR, &declineFailure, "hook declined\n" + line},
      {TSKASSERT_MODE_STDERR, &askForBreak, "debug break\n" + line},
      {TSKASSERT_MODE_STDERR, reinterpret_cast<tskassert_hook>(uintptr_t{0x40}), line}};
  // IsBadCodePtr only tests that the memory is readable. Whether a Windows
  // program has a console depends on how it was started.
  if (!tsk::test::kWindows) {
    cases.insert(cases.end(),
                 {{TSKASSERT_MODE_STDERR, reinterpret_cast<tskassert_hook>(+notCode), line},
                  {TSKASSERT_MODE_MSGBOX, nullptr, box},
                  {TSKASSERT_MODE_DEFAULT, nullptr, box}});
  } else {
    cases.insert(cases.end(), {{TSKASSERT_MODE_MSGBOX, nullptr, box},
                               {TSKASSERT_MODE_MSGBOX, nullptr,
                                std::string(tsk::test::kDebugOutputNote) +
                                    "TSK Assert Failure\n\nAssertion failed!\n"}});
  }
  for (const auto& [mode, hook, report] : cases) {
    tskassert_set_mode(mode);
    tskassert_set_hook(hook);
    EXPECT_DEATH(
        {
          tsk::test::catchDebugBreaks();
          tsk::test::catchDebugOutput();
          tsk::test::detachFromTerminal();
          _tskassert("x > 0", "a.src", -3);
        },
        report);
  }
}

} // namespace
