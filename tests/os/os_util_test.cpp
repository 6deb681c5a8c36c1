// osUtil_ path comparison, PATH extension, deletion, error text and release,
// and the ScopedResource holder.
#include "tskbase/os_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "platform.h"
#include "scratch_directory.h"
#include "tskbase/scoped_resource.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>

#include <cstdlib>
#endif

namespace {

using tsk::test::FailNthAllocation;
using tsk::test::ScratchDirectory;
using tsk::test::WideString;

WideString wide(const char* ascii) { return tsk::test::toWide(ascii); }

// PATH of the process's environment, as the library reads and writes it;
// saved and restored around each test that changes it.
class ScopedPath {
public:
  ScopedPath() : saved_(get()) {}
  ~ScopedPath() { set(saved_); }
  ScopedPath(const ScopedPath&) = delete;
  ScopedPath& operator=(const ScopedPath&) = delete;

  static std::optional<std::string> get() {
#if defined(_WIN32)
    const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (size == 0) {
      return std::nullopt;
    }
    std::string value(size, '\0');
    value.resize(GetEnvironmentVariableA("PATH", value.data(), size));
    return value;
#else
    const char* value = std::getenv("PATH");
    return value ? std::optional<std::string>(value) : std::nullopt;
#endif
  }

  // Sets PATH, or removes it for nullopt.
  static void set(const std::optional<std::string>& value) {
#if defined(_WIN32)
    SetEnvironmentVariableA("PATH", value ? value->c_str() : nullptr);
#else
    if (value) {
      setenv("PATH", value->c_str(), 1);
    } else {
      unsetenv("PATH");
    }
#endif
  }

private:
  std::optional<std::string> saved_;
};

// Joins entries with the system's PATH list separator.
std::string list(const std::vector<std::string>& entries) {
  std::string joined;
  for (size_t i = 0; i < entries.size(); ++i) {
    joined += (i == 0 ? "" : tsk::test::kWindows ? ";" : ":") + entries[i];
  }
  return joined;
}

TEST(OsUtilCompare, NormalisesSeparatorsAndLetterCaseOnly) {
  struct Case {
    const char* first;
    const char* second;
    int32_t same;
  };
  const Case cases[] = {
      {"D:\\Temp\\\\", "d:/temp", 1},
      {"\\\\server\\share", "/server/share", 1},
      {"", "/", 1},
      {"", "\\\\//", 1},
      {"D:\\temp", "D:\\temp\\x", 0},
      {"D:\\temp", "D:\\tem", 0},
      {"a//b", "a/b", 1},
      {"a/./b", "a/b", 0},
      {"a/../b", "b", 0},
      {"/x", "x", 0},
      {"A~Z", "a~z", 1},
      {"@[`{", "@[`{", 1},
      {"[", "{", 0},               // only letters fold
      {"\xC3\x84", "\xC3\xA4", 0}, // U+00C4 and U+00E4: beyond A to Z, no folding
  };
  for (const Case& c : cases) {
    const WideString first = tsk::test::toWide(std::filesystem::u8path(c.first));
    const WideString second = tsk::test::toWide(std::filesystem::u8path(c.second));
    EXPECT_EQ(osUtil_compareFileSystemObjectNames(first.c_str(), second.c_str()), c.same)
        << c.first << " | " << c.second;
    EXPECT_EQ(osUtil_compareFileSystemObjectNames(second.c_str(), first.c_str()), c.same);
  }
  EXPECT_EQ(osUtil_compareFileSystemObjectNames(nullptr, wide("a").c_str()), 0);
  EXPECT_EQ(osUtil_compareFileSystemObjectNames(wide("a").c_str(), nullptr), 0);
  EXPECT_EQ(osUtil_compareFileSystemObjectNames(nullptr, nullptr), 0);
}

TEST(OsUtilExtendPath, PutsTheDirectoryInFrontUnlessListed) {
  struct Case {
    std::string path;
    std::string directory;
    int32_t firstOnly;
    std::string expected; // PATH afterwards
  };
  const std::string base = list({"/srv/tools", "/srv/bin"});
  const std::string quoted = list({"\"/srv/my", "dir\"", "/srv/bin"});
  const std::string gaps = list({"", "", "/srv/tools", "", "/srv/bin"});
  const Case cases[] = {
      {base, "/SRV/Tools/", 0, base},
      {base, "\\srv\\bin", 0, base},
      {base, "/srv/bin", 1, list({"/srv/bin", base})},
      {base, "/srv/tools", 1, base},
      {base, "/srv/new", 0, list({"/srv/new", base})},
      // A quoted stretch is one entry, compared without its quotes.
      {quoted, list({"/srv/my", "dir"}), 1, quoted},
      {quoted, "/srv/my", 0, list({"/srv/my", quoted})},
      // Empty entries do not count, and are kept.
      {gaps, "/srv/tools", 1, gaps},
      {gaps, "/srv/new", 0, list({"/srv/new", gaps})},
      // The backslash escapes nothing.
      {list({"\\srv\\tools\\n"}), "/srv/tools/n", 1, list({"\\srv\\tools\\n"})},
  };
  for (const Case& c : cases) {
    const ScopedPath restore;
    ScopedPath::set(c.path);
    tsk_wchar_t* previous = nullptr;
    ASSERT_EQ(osUtil_extendPath(wide(c.directory.c_str()).c_str(), &previous, c.firstOnly), TSK_OK)
        << c.path << " + " << c.directory;
    EXPECT_EQ(ScopedPath::get(), c.expected) << c.path << " + " << c.directory;
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(WideString(previous), wide(c.path.c_str()));
    osUtil_freeMemory(previous);
  }
}

TEST(OsUtilExtendPath, FailsWithoutChangingAnything) {
  const ScopedPath restore;
  const std::string base = list({"/srv/tools", "/srv/bin"});
  tsk_wchar_t* const untouched = reinterpret_cast<tsk_wchar_t*>(0x1);
  tsk_wchar_t* previous = untouched;

  const std::optional<std::string> values[] = {std::nullopt, std::string()};
  for (const auto& value : values) {
    ScopedPath::set(value);
    EXPECT_EQ(osUtil_extendPath(wide("/srv/new").c_str(), &previous, 0), TSK_FAIL);
    EXPECT_EQ(previous, untouched);
  }

  ScopedPath::set(base);
  EXPECT_EQ(osUtil_extendPath(nullptr, &previous, 0), TSK_FAIL);
  EXPECT_EQ(osUtil_extendPath(wide("").c_str(), &previous, 0), TSK_FAIL);
  EXPECT_EQ(previous, untouched);
  {
    const FailNthAllocation failure(1);
    EXPECT_EQ(osUtil_extendPath(wide("/srv/new").c_str(), &previous, 0), TSK_FAIL);
    EXPECT_EQ(failure.leaked(), 0);
  }
  EXPECT_EQ(previous, untouched);
  EXPECT_EQ(ScopedPath::get(), base);

  // Without an out-pointer the old value is released.
  const FailNthAllocation counting(0);
  EXPECT_EQ(osUtil_extendPath(wide("/srv/new").c_str(), nullptr, 0), TSK_OK);
  EXPECT_EQ(counting.leaked(), 0);
  EXPECT_EQ(ScopedPath::get(), list({"/srv/new", base}));
}

TEST(OsUtilDelete, RemovesTreesPermanentlyAndReportsFailure) {
  ScratchDirectory dir;
  const std::filesystem::path tree = dir / "tree";
  std::filesystem::create_directories(tree / "a" / "b");
  std::ofstream(tree / "top.txt") << "x";
  std::ofstream(tree / "a" / "b" / "deep.txt") << "y";
  const std::filesystem::path outside = dir / "outside";
  std::filesystem::create_directory(outside);
  std::ofstream(outside / "keep.txt") << "z";
  if (!tsk::test::kWindows) {
    // A link out of the tree is deleted itself; what it points to stays.
    std::filesystem::create_directory_symlink(outside, tree / "a" / "link");
  }
  std::ofstream(dir / "single.txt") << "s";

  EXPECT_EQ(osUtil_deleteFileObject(tsk::test::toWide(tree).c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(tree));
  EXPECT_TRUE(std::filesystem::exists(outside / "keep.txt"));
  EXPECT_EQ(osUtil_deleteFileObject(dir.wide("single.txt").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "single.txt"));

  EXPECT_NE(osUtil_deleteFileObject(dir.wide("missing").c_str()), 0);
  EXPECT_NE(osUtil_deleteFileObject(nullptr), 0);
}

TEST(OsUtilFormatLastError, GivesTheSystemsTextWithoutLineBreaks) {
  // 2 is "file not found" as a Windows error code and as errno ENOENT.
  tsk_wchar_t* message = nullptr;
  osUtil_formatLastError(2, &message);
  ASSERT_NE(message, nullptr);
  const WideString text(message);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of(wide("\r\n")), WideString::npos);
  const int64_t live = tsk::testing::liveAllocations();
  osUtil_freeMemory(message);
  EXPECT_EQ(tsk::testing::liveAllocations(), live - 1);

  // A code without a message leaves the out-pointer alone.
  tsk_wchar_t* const untouched = reinterpret_cast<tsk_wchar_t*>(0x1);
  message = untouched;
  osUtil_formatLastError(0x7FFF1234u, &message);
  EXPECT_EQ(message, untouched);
  osUtil_formatLastError(2, nullptr);
  osUtil_freeMemory(nullptr);

  // Memory running out gives a null message.
  const FailNthAllocation failure(1);
  osUtil_formatLastError(2, &message);
  EXPECT_EQ(message, nullptr);
  EXPECT_EQ(failure.leaked(), 0);
}

// Counts what the holder does with the resources it is given.
int g_deleted = 0;
int g_handedBack = 0;
struct CountingDeleter {
  void operator()(int*) const { ++g_deleted; }
};
struct CountingRelease {
  void operator()(int*) const { ++g_handedBack; }
};

TEST(ScopedResource, ReleasesAnOwnedResourceOnceOnEveryWayOut) {
  using Holder = Tarsk::ScopedResource<int*, CountingDeleter, CountingRelease>;
  int resource = 0;
  { const Holder holder(&resource); }
  try {
    const Holder holder(&resource);
    throw 0;
  } catch (int) {
  }
  EXPECT_EQ(g_deleted, 2);
  {
    Holder holder(&resource);
    EXPECT_EQ(holder.Release(), &resource);
    EXPECT_FALSE(holder.Owns());
  }
  { const Holder empty(nullptr); }
  EXPECT_EQ(g_deleted, 2);
  EXPECT_EQ(g_handedBack, 1);
  // The default third parameter does nothing on Release.
  Tarsk::ScopedResource<int*, CountingDeleter> plain(&resource);
  EXPECT_EQ(plain.Release(), &resource);
  EXPECT_EQ(g_handedBack, 1);
}

} // namespace
