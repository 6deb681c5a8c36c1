// osUtil_ path comparison, PATH extension, deletion, error text and release,
// and the ScopedResource holder.
#include "tskbase/os_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "allocation_failure.h"
#include "environment.h"
#include "platform.h"
#include "scratch_directory.h"
#include "tskbase/scoped_resource.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using tsk::test::FailNthAllocation;
using tsk::test::WideString;

using tsk::test::wide;

// PATH as the process's environment holds it (the library writes it there,
// beside the C runtime's copy on Windows).
std::optional<std::string> pathNow() {
#if defined(_WIN32)
  char value[8192];
  const DWORD length = GetEnvironmentVariableA("PATH", value, sizeof value);
  return length > 0 ? std::optional<std::string>(std::string(value, length)) : std::nullopt;
#else
  const char* value = std::getenv("PATH");
  return value ? std::optional<std::string>(value) : std::nullopt;
#endif
}

// Joins entries with the system's PATH list separator.
std::string list(const std::vector<std::string>& entries) {
  std::string joined = entries[0];
  for (size_t i = 1; i < entries.size(); ++i) {
    joined += (tsk::test::kWindows ? ";" : ":") + entries[i];
  }
  return joined;
}

// Separators and the letters A to Z fold, nothing else is normalised.
TEST(OsUtil, CompareNormalisesSeparatorsAndLetterCaseOnly) {
  const std::tuple<const char*, const char*, int32_t> cases[] = {
      {"D:\\Temp\\\\", "d:/temp", 1},
      {"\\\\server\\share", "/server/share", 1},
      {"", "\\\\//", 1},
      {"D:\\temp", "D:\\temp\\x", 0},
      {"D:\\temp", "D:\\tem", 0},
      {"a/./b", "a/b", 0},
      {"/x", "x", 0},
      {"A~Z", "a~z", 1},
      {"[", "{", 0},
      {"\xC3\x84", "\xC3\xA4", 0}, // U+00C4, U+00E4
  };
  for (const auto& [first, second, same] : cases) {
    EXPECT_EQ(osUtil_compareFileSystemObjectNames(wide(first).c_str(), wide(second).c_str()), same)
        << first << " | " << second;
    EXPECT_EQ(osUtil_compareFileSystemObjectNames(wide(second).c_str(), wide(first).c_str()), same);
  }
  EXPECT_EQ(osUtil_compareFileSystemObjectNames(nullptr, wide("a").c_str()), 0);
  EXPECT_EQ(osUtil_compareFileSystemObjectNames(wide("a").c_str(), nullptr), 0);
}

// Unless listed (first, with firstOnly); quotes group an entry, empty entries
// are kept, the backslash escapes nothing.
TEST(OsUtil, ExtendPathPutsTheDirectoryInFrontUnlessListedOrChangesNothing) {
  const std::string base = list({"/srv/tools", "/srv/bin"});
  const std::string quoted = list({"\"/srv/my", "dir\"", "/srv/bin"});
  const std::string gaps = list({"", "", "/srv/tools", "", "/srv/bin"});
  const std::tuple<std::string, std::string, int32_t, std::string> cases[] = {
      {base, "/SRV/Tools/", 0, base},
      {base, "/srv/bin", 1, list({"/srv/bin", base})},
      {base, "\\srv\\bin", 0, base},
      {base, "/srv/tools", 1, base},
      {quoted, list({"/srv/my", "dir"}), 1, quoted},
      {quoted, "/srv/my", 0, list({"/srv/my", quoted})},
      {gaps, "/srv/tools", 1, gaps},
      {gaps, "/srv/new", 0, list({"/srv/new", gaps})},
      {list({"\\srv\\tools\\n"}), "/srv/tools/n", 1, list({"\\srv\\tools\\n"})},
  };
  for (const auto& [path, directory, firstOnly, expected] : cases) {
    const tsk::test::ScopedEnvironmentVariable restore("PATH", path.c_str());
    tsk_wchar_t* previous = nullptr;
    ASSERT_EQ(osUtil_extendPath(wide(directory).c_str(), &previous, firstOnly), TSK_OK);
    EXPECT_EQ(pathNow(), expected) << path << " + " << directory;
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(WideString(previous), wide(path));
    osUtil_freeMemory(previous);
  }

  // Without PATH, a directory or memory nothing changes; the old value is
  // released when the caller does not take it.
  tsk_wchar_t* const untouched = reinterpret_cast<tsk_wchar_t*>(0x1);
  tsk_wchar_t* previous = untouched;
  for (const char* value : {static_cast<const char*>(nullptr), ""}) {
    const tsk::test::ScopedEnvironmentVariable none("PATH", value);
    EXPECT_EQ(osUtil_extendPath(wide("/srv/new").c_str(), &previous, 0), TSK_FAIL);
  }
  const tsk::test::ScopedEnvironmentVariable restore("PATH", base.c_str());
  EXPECT_EQ(osUtil_extendPath(nullptr, &previous, 0), TSK_FAIL);
  EXPECT_EQ(osUtil_extendPath(wide("").c_str(), &previous, 0), TSK_FAIL);
  {
    const FailNthAllocation failure(1);
    EXPECT_EQ(osUtil_extendPath(wide("/srv/new").c_str(), &previous, 0), TSK_FAIL);
    EXPECT_EQ(failure.leaked(), 0);
  }
  EXPECT_EQ(previous, untouched);
  EXPECT_EQ(pathNow(), base);
  const FailNthAllocation counting(0);
  EXPECT_EQ(osUtil_extendPath(wide("/srv/new").c_str(), nullptr, 0), TSK_OK);
  EXPECT_EQ(counting.leaked(), 0);
  EXPECT_EQ(pathNow(), list({"/srv/new", base}));
}

// Trees go for good; a link out of the tree goes itself, not its target.
TEST(OsUtil, DeleteRemovesTreesPermanentlyAndReportsFailure) {
  tsk::test::ScratchDirectory dir;
  const std::filesystem::path tree = dir / "tree";
  std::filesystem::create_directories(tree / "a" / "b");
  std::ofstream(tree / "a" / "b" / "deep.txt") << "y";
  std::filesystem::create_directory(dir / "outside");
  std::ofstream(dir / "outside" / "keep.txt") << "z";
  if (!tsk::test::kWindows) {
    std::filesystem::create_directory_symlink(dir / "outside", tree / "a" / "link");
  }
  std::ofstream(dir / "single.txt") << "s";
  EXPECT_EQ(osUtil_deleteFileObject(tsk::test::toWide(tree).c_str()), 0);
  EXPECT_EQ(osUtil_deleteFileObject(dir.wide("single.txt").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(tree) || std::filesystem::exists(dir / "single.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "outside" / "keep.txt"));
  EXPECT_NE(osUtil_deleteFileObject(dir.wide("missing").c_str()), 0);
  EXPECT_NE(osUtil_deleteFileObject(nullptr), 0);
}

// 2 is "file not found" as a Windows error code and as errno ENOENT. A code
// without a message leaves the out-pointer alone; no memory gives null.
TEST(OsUtil, FormatLastErrorGivesTheSystemsTextWithoutLineBreaks) {
  tsk_wchar_t* message = nullptr;
  osUtil_formatLastError(2, &message);
  ASSERT_NE(message, nullptr);
  const WideString text(message);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of(wide("\r\n")), WideString::npos);
  const int64_t live = tsk::testing::liveAllocations();
  osUtil_freeMemory(message);
  EXPECT_EQ(tsk::testing::liveAllocations(), live - 1);
  tsk_wchar_t* const untouched = reinterpret_cast<tsk_wchar_t*>(0x1);
  message = untouched;
  osUtil_formatLastError(0x7FFF1234u, &message);
  EXPECT_EQ(message, untouched);
  osUtil_formatLastError(2, nullptr);
  const FailNthAllocation failure(1);
  osUtil_formatLastError(2, &message);
  EXPECT_EQ(message, nullptr);
  EXPECT_EQ(failure.leaked(), 0);
}

int g_deleted = 0;
int g_handedBack = 0;
struct CountingDeleter {
  void operator()(int*) const { ++g_deleted; }
};
struct CountingRelease {
  void operator()(int*) const { ++g_handedBack; }
};

// An owned resource is deleted once on every way out, unless released.
TEST(ScopedResource, ReleasesAnOwnedResourceOnceOnEveryWayOut) {
  using Holder = Tarsk::ScopedResource<int*, CountingDeleter, CountingRelease>;
  int resource = 0;
  try {
    const Holder holder(&resource);
    throw 0;
  } catch (int) {
  }
  {
    Holder holder(&resource);
    EXPECT_EQ(holder.Release(), &resource);
    EXPECT_FALSE(holder.Owns());
  }
  { const Holder empty(nullptr); }
  Tarsk::ScopedResource<int*, CountingDeleter> plain(&resource); // no release action
  EXPECT_EQ(plain.Release(), &resource);
  EXPECT_EQ(std::pair(g_deleted, g_handedBack), std::pair(1, 1));
}

} // namespace
