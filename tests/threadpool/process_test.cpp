// A process that leaves with its manager alive exits cleanly, also after
// unloading the library while the manager's threads are at work.
#include <gtest/gtest.h>

#include "../lock/background.h"
#include "child_process.h"
#include "executable_path.h"

TEST(ManagerProcess, LeavingWithoutFreeingEndsCleanly) {
  for (const char* mode : {"exit", "unload"}) {
    tsk::test::ChildProcess child(
        tsk::test::helperBeside(tsk::test::executablePath(), "threadpool_test_helper"),
        {mode, TSKBASE_LIBRARY_FILE});
    ASSERT_TRUE(child.started());
    bool done = false;
    int exitCode = -1;
    {
      tsk::test::Background running([&] {
        // The monitor's dump comes first; "" is also the end of the output.
        for (int lines = 0; lines < 10000 && !done; ++lines) {
          done = child.readLine() == "done";
        }
        exitCode = child.wait();
      });
      if (!running.endsWithin(std::chrono::seconds(60))) {
        child.kill();
      }
    }
    EXPECT_TRUE(done) << mode;
    EXPECT_EQ(exitCode, 0) << mode;
  }
}
