// The platform's events and mutexes, unnamed and named, and the naming of
// shared objects: what the locks built on them cannot show. (Waiters blocked
// on events are driven through the locks and the thread pools.)
// On Windows these are the system's objects, so the same expectations hold
// the POSIX stand-ins to Windows' behaviour.
#include "platform/sync.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>

#include "background.h"
#include "lock_process.h"

#if !defined(_WIN32)
#include "platform/posix/shared_file.h"

#include <sys/stat.h>
#endif

namespace {

using namespace tsk::platform;
using tsk::test::Background;
using tsk::test::WideString;

using Owned = std::unique_ptr<void, bool (*)(Handle)>;
Owned own(Handle handle) { return Owned(handle, &closeHandle); }

// Unnamed and named objects; waiters use a handle of their own, opened by
// name as another process would, or a duplicate.
class PlatformSyncObjects : public ::testing::TestWithParam<bool> {
protected:
  // The object that `make` makes, and another handle to it.
  std::pair<Owned, Owned> twoHandles(const std::function<Handle(const tsk_wchar_t*)>& make) {
    const WideString name = tsk::test::wide(tsk::test::uniqueLockName("sync"));
    Owned object = own(make(GetParam() ? name.c_str() : nullptr));
    Handle other = GetParam() ? make(name.c_str()) : duplicateHandle(object.get());
    return {std::move(object), own(other)};
  }
  std::pair<Owned, Owned> event(bool manualReset, bool signalled) {
    return twoHandles([=](const tsk_wchar_t* name) {
      return createNamedEvent(name, manualReset, signalled, nullptr);
    });
  }
};

INSTANTIATE_TEST_SUITE_P(, PlatformSyncObjects, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

// S sets, R resets, W waits with time-out 0 (+ signalled, - timed out): an
// auto-reset event lets one wait through per signal, counting none.
TEST_P(PlatformSyncObjects, EventStatesWithoutWaiters) {
  const std::tuple<bool, bool, const char*, const char*> cases[] = {
      {false, false, "W", "-"},      {false, true, "WW", "+-"},  {false, false, "SSWW", "+-"},
      {false, true, "RW", "-"},      {false, false, "SRW", "-"}, {true, true, "WWW", "+++"},
      {true, false, "SWWRW", "++-"}, {true, false, "RSW", "+"},
  };
  for (const auto& [manualReset, signalled, script, expected] : cases) {
    const auto [event, waiting] = this->event(manualReset, signalled);
    std::string seen;
    for (const char* op = script; *op != 0; ++op) {
      if (*op == 'S' || *op == 'R') {
        EXPECT_TRUE(*op == 'S' ? setEvent(event.get()) : resetEvent(event.get()));
      } else {
        const WaitResult result = waitForObject(waiting.get(), 0);
        seen += "+-!"[result == WaitResult::kSignalled  ? 0
                      : result == WaitResult::kTimedOut ? 1
                                                        : 2];
      }
    }
    EXPECT_EQ(seen, expected) << manualReset << signalled << " " << script;
  }
}

// Recursive for its owner, released only by it, level by level; a thread
// that ends holding it hands it over abandoned, once.
TEST_P(PlatformSyncObjects, MutexOwnershipAndAbandonment) {
  auto handles =
      twoHandles([](const tsk_wchar_t* name) { return createNamedMutex(name, nullptr); });
  const Owned &mutex = handles.first, &otherHandle = handles.second;
  auto otherThreadGets = [&](WaitResult expected) {
    Background([&] {
      const WaitResult result = waitForObject(otherHandle.get(), 0);
      EXPECT_EQ(result, expected);
      EXPECT_EQ(result == WaitResult::kSignalled && releaseMutex(otherHandle.get()),
                result == WaitResult::kSignalled);
    }).ends();
  };
  otherThreadGets(WaitResult::kSignalled);
  ASSERT_EQ(waitForObject(mutex.get(), kInfinite), WaitResult::kSignalled);
  ASSERT_EQ(waitForObject(mutex.get(), 0), WaitResult::kSignalled);
  otherThreadGets(WaitResult::kTimedOut);
  Background([&] { EXPECT_FALSE(releaseMutex(mutex.get())) << "a stranger"; }).ends();
  EXPECT_TRUE(releaseMutex(mutex.get()));
  otherThreadGets(WaitResult::kTimedOut);
  EXPECT_TRUE(releaseMutex(mutex.get()));
  EXPECT_FALSE(releaseMutex(mutex.get())) << "not held any more";

  for (const uint32_t timeout : {kInfinite, 0u, 5000u}) {
    Background([&] {
      ASSERT_EQ(waitForObject(otherHandle.get(), kInfinite), WaitResult::kSignalled);
      ASSERT_EQ(waitForObject(otherHandle.get(), kInfinite), WaitResult::kSignalled);
    }).ends();
    EXPECT_EQ(waitForObject(mutex.get(), timeout), WaitResult::kAbandoned) << timeout;
    EXPECT_TRUE(releaseMutex(mutex.get())) << "the new owner holds one level";
    EXPECT_FALSE(releaseMutex(mutex.get()));
    EXPECT_EQ(waitForObject(mutex.get(), timeout), WaitResult::kSignalled);
    EXPECT_TRUE(releaseMutex(mutex.get()));
  }
}

// However alike two names are (case, '/', escapes, lone surrogates, long
// tails); outside Windows each is a file every user may open, whatever the umask.
TEST(PlatformSync, EveryNameIsAnObjectOfItsOwn) {
  const WideString base = tsk::test::wide(tsk::test::uniqueLockName("names"));
  const WideString longBase = base + WideString(259 - base.size(), 'x');
  const std::pair<WideString, WideString> pairs[] = {
      {base + TSK_W("a"), base + TSK_W("A")},
      {base + TSK_W("a/b"), base + TSK_W("a%002Fb")},
      {base + WideString(1, tsk_wchar_t(0xD800)), base + WideString(1, tsk_wchar_t(0xDC00))},
      {longBase.substr(0, 240) + TSK_W("1"), longBase.substr(0, 240) + TSK_W("2")},
      {longBase + TSK_W("1"), longBase + TSK_W("2")},
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
    EXPECT_EQ(waitForObject(other.get(), 0), WaitResult::kTimedOut) << second.size();
    EXPECT_EQ(waitForObject(same.get(), 0), WaitResult::kSignalled);
  }
}

} // namespace
