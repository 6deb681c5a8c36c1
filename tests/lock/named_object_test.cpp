// Named machine-wide objects beyond what platform_sync_test.cpp tests on
// unnamed and named ones alike: every name is an object of its own and,
// outside Windows, a file that every user may open whatever the umask.
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

// Every name is an object of its own, however alike two names are: case,
// characters that a file name could not hold, an escape written out, lone
// surrogates, and long names that differ only at the end.
TEST(NamedObjects, EveryNameIsAnObjectOfItsOwn) {
  const WideString base = tsk::test::wide(tsk::test::uniqueLockName("names"));
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
    const mode_t saved = umask(077);
#endif
    Owned signalled = own(createNamedEvent(first.c_str(), true, true, nullptr));
#if !defined(_WIN32)
    umask(saved);
    const std::string file =
        std::string(posix::kSharedFileDirectory) + "/" + posix::sharedFileName(first);
    struct stat info {};
    EXPECT_TRUE(stat(file.c_str(), &info) == 0 && (info.st_mode & 0777) == 0666) << file;
#endif
    Owned other = own(createNamedEvent(second.c_str(), true, false, nullptr));
    Owned same = own(createNamedEvent(first.c_str(), true, false, nullptr));
    ASSERT_TRUE(signalled && other && same);
    EXPECT_EQ(waitForObject(other.get(), 0), WaitResult::kTimedOut)
        << std::string(second.begin(), second.end());
    EXPECT_EQ(waitForObject(same.get(), 0), WaitResult::kSignalled);
  }
}

} // namespace
