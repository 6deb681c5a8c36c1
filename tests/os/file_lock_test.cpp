// FileLock within one process and between processes (os_test_helper). A
// lock that must fail waits out a timeout of 1: each such case costs a second.
#include "tskbase/file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "platform/filesystem.h"
#include "scratch_directory.h"

namespace {

using tsk::test::ChildProcess;
using tsk::test::WideString;

constexpr auto kShared = FileLock::FILE_LOCK_SHARED;
constexpr auto kExclusive = FileLock::FILE_LOCK_EXCLUSIVE;

using tsk::test::wide;

// Exposes the protected splitter.
struct Splitter : FileLock {
  using FileLock::SplitPath;
};

// At most 259 characters, never beyond the caller's room; the splitter fails
// rather than cut a part to fit.
TEST(FileLockNames, LockFileLiesBesideTheDataFile) {
  const std::pair<const char*, const char*> cases[] = {
      {"D:\\work\\plan.dat", "D:\\work\\._lock_plan.dat"},
      {"D:/work\\sub/plan.dat", "D:/work\\sub/._lock_plan.dat"},
      {"D:\\work/sub\\plan.dat", "D:\\work/sub\\._lock_plan.dat"},
      {"/plan.dat", "/._lock_plan.dat"},
      {"plan.dat", nullptr},
      {"D:\\work\\", nullptr},
      {"", nullptr},
  };
  const FileLock lock;
  for (const auto& [path, lockPath] : cases) {
    tsk_wchar_t out[260] = {u'#', 0};
    EXPECT_EQ(lock.GetLockName(wide(path).c_str(), out, 260), lockPath != nullptr) << path;
    EXPECT_EQ(WideString(out), lockPath ? wide(lockPath) : wide("#")) << path;
  }
  tsk_wchar_t out[8];
  EXPECT_FALSE(lock.GetLockName(nullptr, out, 8));
  EXPECT_FALSE(lock.GetLockName(wide("/a/b").c_str(), nullptr, 8));

  const size_t length = wide("/dir/._lock_plan.dat").size();
  std::vector<tsk_wchar_t> room(length + 2, u'#');
  EXPECT_FALSE(lock.GetLockName(wide("/dir/plan.dat").c_str(), room.data(), length));
  EXPECT_EQ(room[0], u'#');
  EXPECT_TRUE(lock.GetLockName(wide("/dir/plan.dat").c_str(), room.data(), length + 1));
  EXPECT_EQ(room[length + 1], u'#');
  std::vector<tsk_wchar_t> large(1000);
  const WideString fits = wide("/") + WideString(259 - 8, u'x');
  EXPECT_TRUE(lock.GetLockName(fits.c_str(), large.data(), large.size()));
  EXPECT_EQ(std::char_traits<tsk_wchar_t>::length(large.data()), 259u);
  EXPECT_FALSE(lock.GetLockName((fits + wide("x")).c_str(), large.data(), large.size()));
  EXPECT_FALSE(FileLock().Create(kShared, (fits + wide("x")).c_str(), 1));

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
  const tsk_wchar_t* path() const { return dataPath_.c_str(); }
  bool lockFileExists() const { return std::filesystem::exists(dir_ / "._lock_plan.dat"); }

  // Whether a lock of the given kind could be taken now, asked of the system.
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

  // A helper process that tries to take the lock; `expected` is what it
  // reports first ("" to read nothing yet).
  std::unique_ptr<ChildProcess> helper(const char* type, int timeout, const char* expected) {
    auto child = std::make_unique<ChildProcess>(
        tsk::test::helperPath("os_test_helper"),
        std::vector<std::string>{"lock", type, std::to_string(timeout),
                                 (dir_ / "plan.dat").string()});
    EXPECT_TRUE(child->started());
    EXPECT_TRUE(*expected == 0 || child->readLine() == expected) << expected;
    return child;
  }

  tsk::test::ScratchDirectory dir_;
  WideString dataPath_ = dir_.wide("plan.dat");
};

// A holder keeps its lock against a second Create and other kinds, until
// Close; refused paths and a negative timeout fail without waiting.
TEST_F(FileLockTest, HoldersInOneProcessAndCopies) {
  FileLock lock;
  EXPECT_FALSE(lock.Exists(path()));
  ASSERT_TRUE(lock.Create(kShared, path()));
  EXPECT_TRUE(lock.Exists(path()) && lockFileExists());
  EXPECT_TRUE(available(false));
  EXPECT_FALSE(lock.Create(kExclusive, path(), 1));
  EXPECT_FALSE(available(true));
  lock.Close();
  lock.Close();
  EXPECT_FALSE(lock.Exists(path()) || lockFileExists());
  ASSERT_TRUE(lock.Create(kExclusive, path()));
  EXPECT_FALSE(available(false));
  FileLock shared;
  EXPECT_FALSE(shared.Create(kShared, path(), 1));
  lock.Close();
  EXPECT_TRUE(shared.Create(kShared, path(), 1));
  shared.Close();

  const WideString missing = dir_.wide("no-such-dir") + wide("/plan.dat");
  EXPECT_FALSE(lock.Create(kShared, missing.c_str(), FileLock::INFINITE_FILE_ACCESS_TIMEOUT));
  for (const WideString& refused : {wide(""), wide("plan.dat"), dir_.wide("sub") + wide("/")}) {
    EXPECT_FALSE(lock.Create(kShared, refused.c_str()));
  }
  EXPECT_FALSE(lock.Create(kShared, nullptr) || lock.Exists(nullptr));
  EXPECT_FALSE(lock.Create(kShared, path(), -1));
  EXPECT_FALSE(lockFileExists());

  // Copies hold the same lock until the last closes; a copy of nothing holds nothing.
  auto original = std::make_unique<FileLock>();
  ASSERT_TRUE(original->Create(kExclusive, path()));
  FileLock copy(*original);
  FileLock assigned;
  assigned = copy;
  const FileLock& itself = assigned;
  assigned = itself;
  original.reset();
  copy.Close();
  EXPECT_FALSE(available(false));
  assigned.Close();
  EXPECT_FALSE(lockFileExists());
  const FileLock empty;
  FileLock copyOfEmpty(empty);
  copyOfEmpty.Close();
  EXPECT_TRUE(copyOfEmpty.Create(kShared, path(), 1));
}

// Shared holders in two processes keep a third's exclusive lock out; the
// lock file goes with the last holder.
TEST_F(FileLockTest, HoldersWaitersAndKilledHoldersInOtherProcesses) {
  auto sharedHolder = helper("shared", 1, "locked");
  FileLock shared;
  ASSERT_TRUE(shared.Create(kShared, path(), 1));
  EXPECT_EQ(helper("exclusive", 1, "failed")->wait(), 1);
  shared.Close();
  EXPECT_TRUE(lockFileExists());
  sharedHolder->writeLine("release");
  EXPECT_EQ(sharedHolder->wait(), 0);
  EXPECT_FALSE(lockFileExists());

  // A waiter without a timeout gets the lock once released; a killed holder
  // blocks nobody (its lock file stays until the next holder).
  FileLock exclusive;
  ASSERT_TRUE(exclusive.Create(kExclusive, path()));
  auto waiter = helper("shared", 0, "");
  exclusive.Close();
  EXPECT_EQ(waiter->readLine(), "locked");
  EXPECT_FALSE(available(true));
  waiter->kill();
  FileLock lock;
  EXPECT_TRUE(lock.Exists(path()));
  ASSERT_TRUE(lock.Create(kExclusive, path(), 1));
  lock.Close();
  EXPECT_FALSE(lockFileExists());
}

} // namespace
