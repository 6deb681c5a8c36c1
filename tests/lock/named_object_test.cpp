// What named machine-wide objects add to the unnamed ones (whose shared
// behaviour platform_sync_test.cpp tests on both): a distinct object for
// every name and, outside Windows, the files that stand for them.
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lock_process.h"

#if !defined(_WIN32)
#include "platform/posix/shared_file.h"

#include <sys/stat.h>
#endif

namespace {

using namespace tsk::platform;
using tsk::test::WideString;

using Owned = std::unique_ptr<void, bool (*)(Handle)>;
Owned own(Handle handle) { return Owned(handle, &closeHandle); }

WideString freshName(const char* purpose) {
  return tsk::test::wide(tsk::test::uniqueLockName(purpose));
}

// Every name is an object of its own, however alike two names are: case,
// characters that a file name could not hold, an escape written out, lone
// surrogates, and long names that differ only at the end.
TEST(NamedObjects, EveryNameIsAnObjectOfItsOwn) {
  const WideString base = freshName("names");
  const WideString longBase = base + WideString(240 - base.size(), 'x');
  const std::vector<std::pair<WideString, WideString>> pairs = {
      {base + TSK_W("a"), base + TSK_W("A")},
      {base + TSK_W("a/b"), base + TSK_W("a%002Fb")},
      {base + WideString(1, tsk_wchar_t(0xD800)), base + WideString(1, tsk_wchar_t(0xDC00))},
      {longBase + TSK_W("1"), longBase + TSK_W("2")},
      {longBase + WideString(19, 'y') + TSK_W("1"), longBase + WideString(19, 'y') + TSK_W("2")},
  };
  for (const auto& [first, second] : pairs) {
    ASSERT_LE(second.size(), kMaxObjectName);
#if !defined(_WIN32)
    EXPECT_LE(tsk::platform::posix::sharedFileName(second).size(), 255u) << "NAME_MAX";
#endif
    Owned signalled = own(createNamedEvent(first.c_str(), true, true, nullptr));
    Owned other = own(createNamedEvent(second.c_str(), true, false, nullptr));
    Owned same = own(createNamedEvent(first.c_str(), true, false, nullptr));
    ASSERT_TRUE(signalled && other && same);
    EXPECT_EQ(waitForObject(other.get(), 0), WaitResult::kTimedOut)
        << std::string(second.begin(), second.end());
    EXPECT_EQ(waitForObject(same.get(), 0), WaitResult::kSignalled);
  }
}

#if !defined(_WIN32)

// The files are open to every user whatever the umask and go with the last
// handle; a file that holds another name (two names with one hash) is
// refused, not shared.
TEST(NamedObjectFiles, OpenToEveryUserRefusedToOtherNamesAndRemoved) {
  auto path = [](const WideString& name) {
    return std::string(posix::kSharedFileDirectory) + "/" + posix::sharedFileName(name);
  };
  const WideString name = freshName("mode");
  const WideString intruder = freshName("intruder");
  const mode_t saved = umask(077);
  Handle event = createNamedEvent(name.c_str(), false, false, nullptr);
  umask(saved);
  struct stat info {};
  ASSERT_EQ(stat(path(name).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666u);
  ASSERT_EQ(std::rename(path(name).c_str(), path(intruder).c_str()), 0);
  EXPECT_EQ(createNamedEvent(intruder.c_str(), false, false, nullptr), nullptr);
  ASSERT_EQ(std::rename(path(intruder).c_str(), path(name).c_str()), 0);
  closeHandle(event);
  EXPECT_NE(stat(path(name).c_str(), &info), 0);
}

#endif

} // namespace
