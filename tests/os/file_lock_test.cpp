// FileLock within one process and between processes. The other processes
// are os_test_helper (see its source), started beside this program. A lock
// that must fail waits out a timeout of 1, so each such case costs a second.
#include "tskbase/file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "executable_path.h"
#include "platform/filesystem.h"
#include "scratch_directory.h"

namespace {

using tsk::test::ChildProcess;
using tsk::test::ScratchDirectory;
using tsk::test::WideString;

constexpr auto kShared = FileLock::FILE_LOCK_SHARED;
constexpr auto kExclusive = FileLock::FILE_LOCK_EXCLUSIVE;

WideString wide(const char* ascii) { return tsk::test::toWide(ascii); }

// Exposes the protected splitter.
struct Splitter : FileLock {
  using FileLock::SplitPath;
};

TEST(FileLockNames, LockFileLiesBesideTheDataFile) {
  struct Case {
    const char* path;
    const char* lockPath; // null: refused
  };
  const Case cases[] = {
      {"D:\\work\\plan.dat", "D:\\work\\._lock_plan.dat"},
      {"D:/work/plan.dat", "D:/work/._lock_plan.dat"},
      {"D:/work\\sub/plan.dat", "D:/work\\sub/._lock_plan.dat"},
      {"D:\\work/sub\\plan.dat", "D:\\work/sub\\._lock_plan.dat"},
      {"/plan.dat", "/._lock_plan.dat"},
      {"plan.dat", nullptr},
      {"D:\\work\\", nullptr},
      {"", nullptr},
  };
  const FileLock lock;
  for (const Case& c : cases) {
    tsk_wchar_t out[260] = {u'#', 0};
    const bool named = lock.GetLockName(wide(c.path).c_str(), out, 260);
    EXPECT_EQ(named, c.lockPath != nullptr) << c.path;
    if (named) {
      EXPECT_EQ(WideString(out), wide(c.lockPath)) << c.path;
    }
  }
  tsk_wchar_t out[8];
  EXPECT_FALSE(lock.GetLockName(nullptr, out, 8));
  EXPECT_FALSE(lock.GetLockName(wide("/a/b").c_str(), nullptr, 8));
}

TEST(FileLockNames, NamesNeverOverrunTheirRoom) {
  const FileLock lock;
  const WideString path = wide("/dir/plan.dat");
  const size_t length = wide("/dir/._lock_plan.dat").size();
  std::vector<tsk_wchar_t> out(length + 2, u'#');
  EXPECT_FALSE(lock.GetLockName(path.c_str(), out.data(), length));
  EXPECT_EQ(out[0], u'#');
  EXPECT_TRUE(lock.GetLockName(path.c_str(), out.data(), length + 1));
  EXPECT_EQ(out[length + 1], u'#');

  // Lock paths are at most 259 characters, whatever room the caller gives.
  std::vector<tsk_wchar_t> large(1000);
  const WideString fits = wide("/") + WideString(259 - 8, u'x');
  const WideString tooLong = fits + wide("x");
  EXPECT_TRUE(lock.GetLockName(fits.c_str(), large.data(), large.size()));
  EXPECT_EQ(std::char_traits<tsk_wchar_t>::length(large.data()), 259u);
  EXPECT_FALSE(lock.GetLockName(tooLong.c_str(), large.data(), large.size()));
  FileLock holder;
  EXPECT_FALSE(holder.Create(kShared, tooLong.c_str(), 1));

  // The splitter sees the first 259 characters only, and fails rather than
  // cut a part to fit its buffer.
  const Splitter splitter;
  tsk_wchar_t directory[260];
  tsk_wchar_t name[260];
  const WideString longPath = wide("a/") + WideString(300, u'x') + wide("/y");
  ASSERT_TRUE(splitter.SplitPath(longPath.c_str(), directory, 260, nullptr, 0));
  EXPECT_EQ(WideString(directory), wide("a/"));
  EXPECT_FALSE(splitter.SplitPath(wide("a/bcd").c_str(), directory, 260, name, 3));
  EXPECT_FALSE(splitter.SplitPath(wide("ab/c").c_str(), directory, 3, nullptr, 0));
  EXPECT_TRUE(splitter.SplitPath(wide("ab/c").c_str(), directory, 4, name, 2));
}

class FileLockTest : public ::testing::Test {
protected:
  const char* data() const { return dataNarrow_.c_str(); }
  const tsk_wchar_t* path() const { return dataPath_.c_str(); }
  bool lockFileExists() const { return std::filesystem::exists(dir_ / "._lock_plan.dat"); }

  // Whether a lock of the given kind could be taken right now, asked of the
  // system without waiting.
  bool available(bool exclusive) const {
    const WideString lockPath = dir_.wide("._lock_plan.dat");
    tsk::platform::FileHandle handle;
    if (tsk::platform::openLockFile(lockPath.c_str(), exclusive, &handle) !=
        tsk::platform::LockFileResult::kLocked) {
      return false;
    }
    tsk::platform::closeLockFile(handle, lockPath.c_str());
    return true;
  }

  // Starts a helper that tries to take the lock, and returns it once it has
  // reported the outcome.
  std::unique_ptr<ChildProcess> helper(const char* type, int timeout, const char* expected) {
    auto child = std::make_unique<ChildProcess>(
        tsk::test::helperBeside(tsk::test::executablePath(), "os_test_helper"),
        std::vector<std::string>{"lock", type, std::to_string(timeout), data()});
    EXPECT_TRUE(child->started());
    EXPECT_EQ(child->readLine(), expected);
    return child;
  }

  ScratchDirectory dir_;
  std::string dataNarrow_ = (dir_ / "plan.dat").string();
  WideString dataPath_ = dir_.wide("plan.dat");
};

TEST_F(FileLockTest, HolderLifecycle) {
  FileLock lock;
  EXPECT_FALSE(lock.Exists(path()));
  ASSERT_TRUE(lock.Create(kShared, path()));
  EXPECT_TRUE(lock.Exists(path()));
  EXPECT_TRUE(lockFileExists());
  EXPECT_TRUE(available(false));
  EXPECT_FALSE(available(true));

  // A second Create on a holding object fails and keeps the first lock.
  EXPECT_FALSE(lock.Create(kExclusive, path(), 1));
  EXPECT_FALSE(available(true));

  lock.Close();
  EXPECT_FALSE(lock.Exists(path()));
  lock.Close();
  ASSERT_TRUE(lock.Create(kExclusive, path()));
  EXPECT_FALSE(available(false));
  EXPECT_FALSE(available(true));
}

TEST_F(FileLockTest, RefusedPathsFailWithoutWaiting) {
  FileLock lock;
  const WideString missing = dir_.wide("no-such-dir") + wide("/plan.dat");
  EXPECT_FALSE(lock.Create(kShared, missing.c_str(), FileLock::INFINITE_FILE_ACCESS_TIMEOUT));
  EXPECT_FALSE(lock.Create(kShared, nullptr));
  EXPECT_FALSE(lock.Create(kShared, wide("").c_str()));
  EXPECT_FALSE(lock.Create(kShared, wide("plan.dat").c_str()));
  EXPECT_FALSE(lock.Create(kShared, (dir_.wide("sub") + wide("/")).c_str()));
  EXPECT_FALSE(lock.Exists(nullptr));
  // A negative timeout makes no attempt.
  EXPECT_FALSE(lock.Create(kShared, path(), -1));
  EXPECT_FALSE(lockFileExists());
}

TEST_F(FileLockTest, AnExclusiveHolderKeepsASharedOneOutForItsTimeout) {
  FileLock exclusive;
  ASSERT_TRUE(exclusive.Create(kExclusive, path()));
  FileLock shared;
  EXPECT_FALSE(shared.Create(kShared, path(), 1));
  exclusive.Close();
  EXPECT_TRUE(shared.Create(kShared, path(), 1));
}

TEST_F(FileLockTest, CopiesHoldTheSameLockUntilTheLastCloses) {
  auto original = std::make_unique<FileLock>();
  ASSERT_TRUE(original->Create(kExclusive, path()));
  FileLock copy(*original);
  FileLock assigned;
  assigned = copy;
  const FileLock& itself = assigned;
  assigned = itself;
  original.reset();
  EXPECT_TRUE(lockFileExists());
  EXPECT_FALSE(available(false));
  copy.Close();
  EXPECT_FALSE(available(false));
  assigned.Close();
  EXPECT_FALSE(lockFileExists());

  // A copy of an object that holds nothing holds nothing.
  const FileLock empty;
  FileLock copyOfEmpty(empty);
  copyOfEmpty.Close();
  EXPECT_TRUE(copyOfEmpty.Create(kShared, path(), 1));
}

TEST_F(FileLockTest, SharedHoldersInTwoProcessesKeepAnExclusiveOneOut) {
  auto sharedHolder = helper("shared", 1, "locked");
  FileLock shared;
  ASSERT_TRUE(shared.Create(kShared, path(), 1));

  // A third process waits out its timeout of one attempt.
  auto exclusive = helper("exclusive", 1, "failed");
  EXPECT_EQ(exclusive->wait(), 1);

  // The file stays while the other process holds it, and goes with it.
  shared.Close();
  EXPECT_TRUE(lockFileExists());
  sharedHolder->writeLine("release");
  EXPECT_EQ(sharedHolder->wait(), 0);
  EXPECT_FALSE(lockFileExists());

  EXPECT_TRUE(shared.Create(kExclusive, path(), 1));
}

TEST_F(FileLockTest, AWaiterWithoutTimeoutGetsTheLockWhenItIsReleased) {
  FileLock exclusive;
  ASSERT_TRUE(exclusive.Create(kExclusive, path()));
  ChildProcess waiter(tsk::test::helperBeside(tsk::test::executablePath(), "os_test_helper"),
                      {"lock", "shared", "0", data()});
  ASSERT_TRUE(waiter.started());
  exclusive.Close();
  EXPECT_EQ(waiter.readLine(), "locked");
  EXPECT_FALSE(available(true));
  waiter.closeInput();
  EXPECT_EQ(waiter.wait(), 0);
  EXPECT_FALSE(lockFileExists());
}

TEST_F(FileLockTest, AKilledHolderBlocksNobody) {
  auto holder = helper("exclusive", 1, "locked");
  EXPECT_FALSE(available(false));
  holder->kill();

  // Its lock file stays behind, but the lock went with the process.
  FileLock lock;
  EXPECT_TRUE(lock.Exists(path()));
  ASSERT_TRUE(lock.Create(kExclusive, path(), 1));
  lock.Close();
  EXPECT_FALSE(lockFileExists());
}

} // namespace
