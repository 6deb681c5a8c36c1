// A process that leaves with its manager alive: it exits cleanly, also
// after unloading the library while the manager's threads are at work,
// which the manager prevents by keeping the library loaded.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "../lock/background.h"
#include "child_process.h"
#include "executable_path.h"

namespace {

TEST(ManagerProcess, LeavingWithoutFreeingEndsCleanly) {
  for (const char* mode : {"exit", "unload"}) {
    SCOPED_TRACE(mode);
    tsk::test::ChildProcess child(
        tsk::test::helperBeside(tsk::test::executablePath(), "threadpool_test_helper"),
        {mode, TSKBASE_LIBRARY_FILE});
    ASSERT_TRUE(child.started());
    bool done = false;
    bool unloaded = false;
    int exitCode = -1;
    {
      tsk::test::Background running([&] {
        // The monitor's dump comes first; "" stands for both an empty line
        // and the end of the output.
        for (int lines = 0; lines < 10000 && !done; ++lines) {
          const std::string line = child.readLine();
          unloaded = unloaded || line == "unloaded";
          done = line == "done";
        }
        exitCode = child.wait();
      });
      if (!running.endsWithin(std::chrono::seconds(60))) {
        child.kill();
        ADD_FAILURE() << "the process hangs";
      }
    }
    EXPECT_TRUE(done);
    EXPECT_FALSE(unloaded);
    EXPECT_EQ(exitCode, 0);
  }
}

} // namespace
