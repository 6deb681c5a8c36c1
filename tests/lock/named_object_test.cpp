// What named machine-wide objects add to the unnamed ones (whose shared
// behaviour platform_sync_test.cpp tests on both): one namespace for three
// kinds, a distinct object for every name, shared memory and its views, and,
// outside Windows, the files that stand for them.
#include "platform/sync.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include "platform/posix/shared_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#endif

namespace {

using namespace tsk::platform;

using Owned = std::unique_ptr<void, bool (*)(Handle)>;
Owned own(Handle handle) { return Owned(handle, &closeHandle); }

using Name = std::basic_string<tsk_wchar_t>;

Name freshName(const char* purpose) {
  static std::atomic<int> serial{0};
  const std::string name = std::string("tsktest-") + purpose + "-" +
                           std::to_string(currentProcessId()) + "-" +
                           std::to_string(serial.fetch_add(1));
  return Name(name.begin(), name.end());
}

enum class Made { kEvent, kMutex, kMemory };

Handle make(Made kind, const Name& name) {
  switch (kind) {
  case Made::kEvent:
    return createNamedEvent(name.c_str(), true, false, nullptr);
  case Made::kMutex:
    return createNamedMutex(name.c_str(), nullptr);
  case Made::kMemory:
    return createSharedMemory(name.c_str(), 32, nullptr);
  }
  return nullptr;
}

// Events, mutexes and shared memory share one namespace: a name in use by
// one kind cannot be made as another, and is free again once closed.
TEST(NamedObjects, KindsShareOneNamespace) {
  const Made kinds[] = {Made::kEvent, Made::kMutex, Made::kMemory};
  for (const Made first : kinds) {
    const Name name = freshName("kinds");
    {
      Owned object = own(make(first, name));
      ASSERT_NE(object, nullptr);
      for (const Made other : kinds) {
        Owned again = own(make(other, name));
        EXPECT_EQ(again != nullptr, other == first)
            << static_cast<int>(first) << " then " << static_cast<int>(other);
      }
    }
    for (const Made other : kinds) {
      EXPECT_NE(own(make(other, name)), nullptr) << "free again";
    }
  }
}

// Every name is an object of its own, however alike two names are: case,
// characters that a file name could not hold, an escape written out, lone
// surrogates, and long names that differ only at the end.
TEST(NamedObjects, EveryNameIsAnObjectOfItsOwn) {
  const Name base = freshName("names");
  const Name longBase = base + Name(240 - base.size(), 'x');
  const std::vector<std::pair<Name, Name>> pairs = {
      {base + TSK_W("a"), base + TSK_W("A")},
      {base + TSK_W("A"), base + TSK_W("%0041")},
      {base + TSK_W("a/b"), base + TSK_W("a%002Fb")},
      {base + TSK_W(" .."), base + TSK_W("..")},
      {base + Name(1, tsk_wchar_t(0xD800)), base + Name(1, tsk_wchar_t(0xDC00))},
      {base + Name(1, tsk_wchar_t(0x00E9)), base + TSK_W("e")},
      {longBase + TSK_W("1"), longBase + TSK_W("2")},
      {longBase + Name(19, 'y') + TSK_W("1"), longBase + Name(19, 'y') + TSK_W("2")},
  };
  for (const auto& [first, second] : pairs) {
    ASSERT_LE(second.size(), kMaxObjectName);
    Owned signalled = own(createNamedEvent(first.c_str(), true, true, nullptr));
    Owned other = own(createNamedEvent(second.c_str(), true, false, nullptr));
    Owned same = own(createNamedEvent(first.c_str(), true, false, nullptr));
    ASSERT_TRUE(signalled && other && same);
    EXPECT_EQ(waitForObject(other.get(), 0), WaitResult::kTimedOut)
        << std::string(second.begin(), second.end());
    EXPECT_EQ(waitForObject(same.get(), 0), WaitResult::kSignalled);
  }
}

// An empty name is no name: each create makes an object of its own.
TEST(NamedObjects, AnEmptyNameMakesAnUnnamedObject) {
  Owned first = own(createNamedEvent(TSK_W(""), true, true, nullptr));
  Owned second = own(createNamedEvent(TSK_W(""), true, false, nullptr));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(waitForObject(second.get(), 0), WaitResult::kTimedOut);
  Owned mutex = own(createNamedMutex(TSK_W(""), nullptr));
  EXPECT_NE(mutex, nullptr);
  EXPECT_EQ(createSharedMemory(TSK_W(""), 32, nullptr), nullptr);
  EXPECT_EQ(createSharedMemory(nullptr, 32, nullptr), nullptr);
}

bool allZero(const void* memory, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(memory);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) {
      return false;
    }
  }
  return true;
}

// Shared memory is zero when made and the same memory through every handle
// and view of its name. The name goes with the last handle, and the next
// create makes new memory, while a view still maps the old.
TEST(NamedObjects, SharedMemoryLivesWhileAHandleOrViewDoes) {
  const Name name = freshName("memory");
  Handle first = createSharedMemory(name.c_str(), 64, nullptr);
  ASSERT_NE(first, nullptr);
  auto* view = static_cast<char*>(mapSharedMemory(first));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(allZero(view, 64));
  std::memcpy(view, "shared", 7);
  Handle second = createSharedMemory(name.c_str(), 64, nullptr);
  auto* secondView = static_cast<char*>(mapSharedMemory(second));
  auto* thirdView = static_cast<char*>(mapSharedMemory(first));
  EXPECT_STREQ(secondView, "shared");
  std::memcpy(thirdView, "third", 6);
  EXPECT_STREQ(view, "third");
  EXPECT_TRUE(unmapSharedMemory(secondView));
  EXPECT_TRUE(unmapSharedMemory(thirdView));
  EXPECT_FALSE(unmapSharedMemory(thirdView)) << "unmapped already";
  EXPECT_TRUE(closeHandle(second));
  EXPECT_TRUE(closeHandle(first));

  std::memcpy(view, "kept", 5);
  EXPECT_STREQ(view, "kept") << "the view still maps the memory";
  Handle fresh = createSharedMemory(name.c_str(), 64, nullptr);
  auto* freshView = static_cast<char*>(mapSharedMemory(fresh));
  EXPECT_TRUE(allZero(freshView, 64)) << "the name went with the last handle";
  EXPECT_TRUE(unmapSharedMemory(view));
  EXPECT_TRUE(unmapSharedMemory(freshView));
  EXPECT_EQ(waitForObject(fresh, 0), WaitResult::kFailed) << "shared memory cannot be waited on";
  EXPECT_TRUE(closeHandle(fresh));
}

// A duplicated handle is closed on its own: the object lives on through it.
TEST(NamedObjects, ADuplicateOutlivesItsOriginal) {
  const Name name = freshName("duplicate");
  Handle original = createNamedMutex(name.c_str(), nullptr);
  Owned duplicate = own(duplicateHandle(original));
  ASSERT_NE(duplicate, nullptr);
  EXPECT_EQ(waitForObject(original, 0), WaitResult::kSignalled);
  EXPECT_TRUE(closeHandle(original));
  EXPECT_TRUE(releaseMutex(duplicate.get())) << "the same mutex, held by this thread";
  Owned byName = own(createNamedMutex(name.c_str(), nullptr));
  EXPECT_EQ(waitForObject(byName.get(), 0), WaitResult::kSignalled);
  EXPECT_TRUE(releaseMutex(byName.get()));
}

#if !defined(_WIN32)

std::string filePath(const Name& name) {
  return std::string(posix::kSharedFileDirectory) + "/" + posix::sharedFileName(name);
}

// The files are open to every user whatever the umask, and go with the
// last handle.
TEST(NamedObjectFiles, AreOpenToEveryUserAndGoWithTheLastHandle) {
  const Name name = freshName("mode");
  const mode_t saved = umask(077);
  Handle event = createNamedEvent(name.c_str(), false, false, nullptr);
  umask(saved);
  struct stat info {};
  ASSERT_EQ(stat(filePath(name).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666u);
  closeHandle(event);
  EXPECT_FALSE(std::filesystem::exists(filePath(name)));
}

// File names: plain characters stand for themselves, the others are
// escaped, and a name too long for a file name keeps its start and ends in
// a hash.
TEST(NamedObjectFiles, NamesMapToFileNames) {
  EXPECT_EQ(posix::sharedFileName(TSK_W("Mutex_a-b.c_9")), "tskbase.Mutex_a-b.c_9");
  EXPECT_EQ(posix::sharedFileName(TSK_W("a/%~ ")), "tskbase.a%002F%0025%007E%0020");
  EXPECT_EQ(posix::sharedFileName(Name(1, tsk_wchar_t(0xD83D))), "tskbase.%D83D");
  const std::string longName = posix::sharedFileName(Name(kMaxObjectName, 'q'));
  EXPECT_EQ(longName.size(), 255u);
  EXPECT_EQ(longName.compare(0, 30, "tskbase." + std::string(22, 'q')), 0);
  EXPECT_EQ(longName[255 - 33], '~');
  const std::string escapes = posix::sharedFileName(Name(100, tsk_wchar_t(0x20AC)));
  EXPECT_LE(escapes.size(), 255u);
  EXPECT_EQ(escapes.find('~') % 5, 3u) << "not cut inside an escape";
}

// A file that holds another name (two names with one hash) is refused, not
// shared.
TEST(NamedObjectFiles, AFileOfAnotherNameIsRefused) {
  const Name name = freshName("owner");
  const Name intruder = freshName("intruder");
  Handle event = createNamedEvent(name.c_str(), false, false, nullptr);
  ASSERT_EQ(std::rename(filePath(name).c_str(), filePath(intruder).c_str()), 0);
  EXPECT_EQ(createNamedEvent(intruder.c_str(), false, false, nullptr), nullptr);
  ASSERT_EQ(std::rename(filePath(intruder).c_str(), filePath(name).c_str()), 0);
  closeHandle(event);
  EXPECT_FALSE(std::filesystem::exists(filePath(name)));
}

#endif

} // namespace
