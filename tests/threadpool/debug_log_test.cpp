// The log writer: standard output and "debug.txt" alike, and what it says
// when the file cannot be written.
#include "threadpool/debug_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "log_directory.h"

namespace {

using tsk::DebugLog;
using tsk::test::logText;
using tsk::test::withoutCarriageReturns;

// Each message goes unchanged (a '%' is not a format) to standard output
// and to the end of the file, which is created when absent.
TEST(DebugLog, WritesToStandardOutputAndAppendsToTheFile) {
  tsk::test::InScratchDirectory scratch;
  ASSERT_FALSE(std::filesystem::exists("debug.txt"));
  testing::internal::CaptureStdout();
  DebugLog("first line: 100% %s %d\n");
  DebugLog("\tsecond\n");
  const std::string written = withoutCarriageReturns(testing::internal::GetCapturedStdout());
  EXPECT_EQ(written, "first line: 100% %s %d\n\tsecond\n");
  EXPECT_EQ(logText(), written);
  DebugLog("third\n");
  EXPECT_EQ(logText(), written + "third\n");
}

// A log file that cannot be opened leaves the messages on standard output,
// each followed by a note.
TEST(DebugLog, SaysSoWhenTheFileCannotBeOpened) {
  tsk::test::InScratchDirectory scratch;
  std::filesystem::create_directory("debug.txt");
  testing::internal::CaptureStdout();
  DebugLog("one\n");
  DebugLog("two\n");
  EXPECT_EQ(withoutCarriageReturns(testing::internal::GetCapturedStdout()),
            "one\nThe file 'debug.txt' was not opened\ntwo\nThe file 'debug.txt' was not opened\n");
}

} // namespace
