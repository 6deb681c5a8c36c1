// The recycle bin. Outside Windows it is the freedesktop.org home trash, here
// in a scratch XDG_DATA_HOME, which gio and trash-cli share. Wine keeps the
// shell's bin in that same trash, but its recycle-bin folder shows file names
// instead of original paths and has no deletion-date column, so there the
// purge can only report that it cannot compare.
#include "tskbase/os_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <tuple>

#include "environment.h"
#include "platform.h"
#include "scratch_directory.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

using tsk::test::toWide;

// The day of the week is deliberately wrong: it plays no part.
tsk_systemtime calendar(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                        uint16_t second, uint16_t milliseconds = 0) {
  return {year, month, 6, day, hour, minute, second, milliseconds};
}

// The local time now, with an offset in seconds.
tsk_systemtime localNow(int offset) {
  const std::time_t when = std::time(nullptr) + offset;
  const std::tm local = *std::localtime(&when);
  const auto field = [](int value) { return static_cast<uint16_t>(value); };
  return calendar(field(local.tm_year + 1900), field(local.tm_mon + 1), field(local.tm_mday),
                  field(local.tm_hour), field(local.tm_min), field(local.tm_sec));
}

#if defined(_WIN32)
// Wine exports its own functions from its system DLLs.
bool underWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The host's path of a directory, for the XDG variables that Wine reads.
std::string hostPath(const fs::path& path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = toUnix != nullptr ? toUnix(path.c_str()) : nullptr;
  const std::string result = unix != nullptr ? unix : path.string();
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}
#else
bool underWine() { return false; }
std::string hostPath(const fs::path& path) { return path.string(); }
#endif

// The trash of the data directory that XDG_DATA_HOME names for the whole
// program: Wine reads the variable once.
fs::path programTrash() {
  static const tsk::test::ScratchDirectory dir;
  static const tsk::test::ScopedEnvironmentVariable dataHome("XDG_DATA_HOME",
                                                             hostPath(dir.path()).c_str());
  return dir / "Trash";
}

class RecycleBinTest : public ::testing::Test {
protected:
  RecycleBinTest() { empty(); }

  // Empties the trash, keeping its directories.
  void empty() const {
    for (const char* part : {"files", "info"}) {
      fs::remove_all(trash_ / part);
      fs::create_directories(trash_ / part);
    }
  }

  // A file (or a directory holding one) in the scratch directory.
  fs::path make(const std::string& name, bool directory = false) {
    const fs::path path = dir_ / name;
    fs::create_directories(directory ? path / "inner" : path.parent_path());
    std::ofstream(directory ? path / "inner" / "deep.txt" : path) << name;
    return path;
  }

  // NAME of every item in files/NAME, or in info/NAME.trashinfo.
  std::set<std::string> items(const char* part = "files") const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(trash_ / part)) {
      const std::string name = entry.path().filename().string();
      names.insert(part == std::string("files") ? name : name.substr(0, name.size() - 10));
    }
    return names;
  }

  // An item as another trash program would leave it, without its file when
  // `withFile` is false.
  void craft(const std::string& name, const std::string& path, const std::string& date,
             bool withFile = true) const {
    std::ofstream(trash_ / "info" / (name + ".trashinfo"))
        << "[Trash Info]\nPath=" << path << "\nDeletionDate=" << date << "\n";
    if (withFile) {
      std::ofstream(trash_ / "files" / name) << name;
    }
  }

  tsk_status purge(const fs::path& path, const tsk_systemtime& from, const tsk_systemtime& to) {
    return osUtil_removeItemFromRecycleBinByOriginalPath(toWide(path).c_str(), &from, &to);
  }

  tsk::test::ScratchDirectory dir_;
  fs::path trash_ = programTrash();
};

// Files and trees go to the bin, named with either separator; the purge
// removes what was sent within its window.
TEST_F(RecycleBinTest, SendAndRemoveWithinTheWindow) {
  EXPECT_EQ(osUtil_sendFileToRecycleBin(nullptr), TSK_FAIL);
  EXPECT_EQ(osUtil_sendFileToRecycleBin(dir_.wide("missing.txt").c_str()), TSK_FAIL);
  EXPECT_TRUE(items("info").empty());
  const fs::path file = make("a.txt");
  const fs::path tree = make("tree", true);
  const tsk_systemtime before = localNow(-1);
  EXPECT_EQ(purge(file, before, localNow(1)), TSK_OK) << "no match in an empty bin";
  EXPECT_EQ(osUtil_sendFileToRecycleBin(toWide(file.generic_string()).c_str()), TSK_OK);
  EXPECT_EQ(osUtil_sendFileToRecycleBin(toWide(tree).c_str()), TSK_OK);
  const tsk_systemtime after = localNow(1);
  EXPECT_FALSE(fs::exists(file) || fs::exists(tree));
  if (!tsk::test::kWindows || underWine()) {
    EXPECT_EQ(items(), (std::set<std::string>{"a.txt", "tree"}));
    EXPECT_EQ(items("info"), items());
    EXPECT_TRUE(fs::exists(trash_ / "files" / "tree" / "inner" / "deep.txt"));
  }
  if (underWine()) {
    EXPECT_EQ(purge(file, before, after), TSK_FAIL) << "no date column: the first item stops it";
    GTEST_SKIP() << "Wine's recycle-bin folder shows no original paths nor deletion dates";
  }
  EXPECT_EQ(purge(file, before, after), TSK_OK);
  EXPECT_TRUE(tsk::test::kWindows || items() == std::set<std::string>{"tree"});
}

#if defined(_WIN32)
TEST_F(RecycleBinTest, RemoveRefusesASingleThreadedApartment) {
  tsk_status result = TSK_OK;
  std::thread([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    result = purge(dir_ / "a.txt", localNow(-60), localNow(60));
    CoUninitialize();
  }).join();
  EXPECT_EQ(result, TSK_FAIL);
}
#else
// The record holds the normalised absolute path, percent-encoded; a file on
// another file system is refused.
TEST_F(RecycleBinTest, SendRecordsTheAbsolutePathAndNamesUniquely) {
  const fs::path file = make("sub/a b%\xC3\xA9#.txt");
  const std::string name = file.filename().string();
  const std::string relative = fs::relative(dir_.path()).string() + "/sub/.././sub//" + name;
  const tsk_systemtime before = localNow(-1);
  ASSERT_EQ(osUtil_sendFileToRecycleBin(toWide(relative).c_str()), TSK_OK);
  make("sub/" + name);
  ASSERT_EQ(osUtil_sendFileToRecycleBin(toWide(file).c_str()), TSK_OK);
  ASSERT_EQ(items(), (std::set<std::string>{name, name + ".2"}));
  EXPECT_EQ(items("info"), items());
  std::ifstream in(trash_ / "info" / (name + ".trashinfo"));
  const std::string text(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(text.find("[Trash Info]\nPath=" + dir_.path().string() +
                      "/sub/a%20b%25%C3%A9%23.txt\nDeletionDate="),
            0u)
      << text;
  EXPECT_EQ(purge(file, before, localNow(1)), TSK_OK);
  EXPECT_TRUE(items().empty());

  const fs::path other = fs::path("/dev/shm") / ("tskbase-" + std::to_string(getpid()));
  std::ofstream(other) << "x";
  struct stat here {
  }, there{};
  if (stat(other.c_str(), &there) == 0 && stat(dir_.path().c_str(), &here) == 0 &&
      here.st_dev != there.st_dev) {
    EXPECT_EQ(osUtil_sendFileToRecycleBin(toWide(other).c_str()), TSK_FAIL);
    EXPECT_TRUE(fs::exists(other) && items("info").empty());
  }
  fs::remove(other);
}

// Runs a shell command; its standard output.
std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
      output += buffer;
    }
    pclose(pipe);
  }
  return output;
}

TEST_F(RecycleBinTest, GioAndTrashCliShareTheTrash) {
  if (run("command -v gio trash-put trash-list").empty()) {
    GTEST_SKIP() << "gio (libglib2.0-bin) or trash-cli is not installed";
  }
  const fs::path ours = make("ours é.txt");
  const fs::path gio = make("gio %é.txt");
  const fs::path put = make("put #.txt");
  const tsk_systemtime before = localNow(-1);
  ASSERT_EQ(osUtil_sendFileToRecycleBin(toWide(ours).c_str()), TSK_OK);
  ASSERT_EQ(std::system(("gio trash '" + gio.string() + "'").c_str()), 0);
  ASSERT_EQ(std::system(("trash-put '" + put.string() + "'").c_str()), 0);
  const tsk_systemtime after = localNow(1);
  const std::string listed = run("trash-list");
  for (const fs::path& path : {ours, gio, put}) {
    EXPECT_NE(listed.find(" " + path.string() + "\n"), std::string::npos) << listed;
    EXPECT_EQ(purge(path, before, after), TSK_OK);
  }
  EXPECT_TRUE(items().empty() && items("info").empty());
  EXPECT_EQ(run("trash-list"), "");
}

// The path matches in any letter case, as decoded; the window is inclusive
// and in whole seconds. A record whose file has gone is removed as well.
TEST_F(RecycleBinTest, RemoveMatchesThePathInAnyCaseAndTheWindowInWholeSeconds) {
  const std::tuple<const char*, const char*, const char*> all[] = {
      {"first", "/work/a.txt", "2024-05-01T10:00:00"},
      {"last", "/work/a.txt", "2024-05-01T10:00:05.250"},
      {"upper", "/WORK/A.TXT", "2024-05-01T10:00:03"},
      {"encoded", "/work/a%2Etxt", "2024-05-01T10:00:04"},
      {"backslash", "%5Cwork%5Ca.txt", "2024-05-01T10:00:03"},
      {"other", "/work/b.txt", "2024-05-01T10:00:03"},
  };
  const auto at = [](uint16_t second, uint16_t ms = 0) {
    return calendar(2024, 5, 1, 10, 0, second, ms);
  };
  const std::tuple<const char*, tsk_systemtime, tsk_systemtime, std::set<std::string>> cases[] = {
      {"/work/a.txt", at(0, 500), at(0, 0), {"first"}},
      {"/work/a.txt", at(0), at(5), {"first", "last", "upper", "encoded"}},
      {"/Work/A.txt", at(1), at(4), {"upper", "encoded"}},
      {"/work/a.txt", at(5), at(0), {}},
      {"\\work\\a.txt", at(0), at(5), {"backslash"}},
      {"/work/a.txt/", at(0), at(5), {}},
  };
  for (const auto& [path, from, to, removed] : cases) {
    empty();
    std::set<std::string> kept;
    for (const auto& [name, original, date] : all) {
      craft(name, original, date);
      if (removed.count(name) == 0) {
        kept.insert(name);
      }
    }
    EXPECT_EQ(purge(path, from, to), TSK_OK) << path;
    EXPECT_EQ(items(), kept) << path;
    EXPECT_EQ(items("info"), kept) << path;
  }
  craft("orphan", "/work/a.txt", "2024-05-01T10:00:02", false);
  EXPECT_EQ(purge("/work/a.txt", at(2), at(2)), TSK_OK);
  EXPECT_EQ(items("info").count("orphan"), 0u);
}

// A time that is no calendar time, given or recorded, stops the purge with
// a failure before anything is removed; null or empty arguments fail.
TEST_F(RecycleBinTest, RemoveStopsAtTimesThatAreNoCalendarTimes) {
  const tsk_systemtime valid = calendar(2024, 2, 29, 0, 0, 0);
  const tsk_systemtime invalid[] = {
      calendar(1600, 12, 31, 0, 0, 0), calendar(2024, 13, 1, 0, 0, 0),
      calendar(2023, 2, 29, 0, 0, 0),  calendar(1900, 2, 29, 0, 0, 0),
      calendar(2024, 4, 31, 0, 0, 0),  calendar(2024, 1, 0, 0, 0, 0),
      calendar(2024, 1, 1, 24, 0, 0),  calendar(2024, 1, 1, 0, 60, 0),
      calendar(2024, 1, 1, 0, 0, 60),  calendar(2024, 1, 1, 0, 0, 0, 1000)};
  EXPECT_EQ(purge("/work/a.txt", invalid[0], invalid[1]), TSK_OK)
      << "an empty bin compares nothing";
  craft("a", "/work/a.txt", "2024-02-29T00:00:00");
  for (const tsk_systemtime& bad : invalid) {
    EXPECT_EQ(purge("/work/a.txt", bad, valid), TSK_FAIL) << bad.wYear << "-" << bad.wMonth;
    EXPECT_EQ(purge("/work/a.txt", valid, bad), TSK_FAIL);
  }
  EXPECT_EQ(items(), std::set<std::string>{"a"});
  EXPECT_EQ(purge("/work/a.txt", calendar(2000, 2, 29, 0, 0, 0), valid), TSK_OK);
  EXPECT_TRUE(items().empty());
  for (const char* date : {"", "yesterday", "2024-13-01T00:00:00", "2024-02-30T00:00:00"}) {
    craft("b", "/work/b.txt", date);
    EXPECT_EQ(purge("/work/b.txt", valid, valid), TSK_FAIL) << date;
    EXPECT_EQ(items(), std::set<std::string>{"b"});
  }
  EXPECT_EQ(osUtil_removeItemFromRecycleBinByOriginalPath(nullptr, &valid, &valid), TSK_FAIL);
  EXPECT_EQ(osUtil_removeItemFromRecycleBinByOriginalPath(TSK_W(""), &valid, &valid), TSK_FAIL);
  EXPECT_EQ(osUtil_removeItemFromRecycleBinByOriginalPath(TSK_W("/b"), nullptr, &valid), TSK_FAIL);
  EXPECT_EQ(osUtil_removeItemFromRecycleBinByOriginalPath(TSK_W("/b"), &valid, nullptr), TSK_FAIL);
}
#endif

} // namespace
