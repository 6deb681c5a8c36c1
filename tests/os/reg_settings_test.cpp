// CRegSettings on the system registry (Windows) or the library's own store
// (elsewhere, in a scratch configuration directory). The writers of the
// multi-process cases are os_test_helper (see its source).
#include "tskbase/reg_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "environment.h"
#include "platform/registry.h"
#include "registry_pattern.h"
#include "scratch_directory.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sqlite3.h>
#include <unistd.h>
#endif

namespace {

using tsk::test::ChildProcess;
using tsk::test::readValue;
using tsk::test::registryPattern;
using tsk::test::registryValueName;
using tsk::test::WideString;

using namespace tsk::platform::registry_status;

using tsk::test::wide;

// A key of each test's own under HKEY_CURRENT_USER, in a scratch directory
// or (Windows) under Software\tskbase-tests, deleted afterwards.
class RegSettingsTest : public ::testing::Test {
protected:
#if defined(_WIN32)
  std::string keyPath_ = "Software\\tskbase-tests\\" + std::to_string(GetCurrentProcessId()) + "-" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name();
  ~RegSettingsTest() override { RegDeleteTreeW(HKEY_CURRENT_USER, wide(keyPath_).c_str()); }

#else
  tsk::test::ScratchDirectory config_;
  tsk::test::ScopedEnvironmentVariable configHome_{"XDG_CONFIG_HOME", config_.path().c_str()};
  std::string keyPath_ = "Software\\tskbase-tests";

  std::string database() const { return (config_ / "tskbase" / "registry.db").string(); }

  // Runs one query of a single text or number on the store and returns it.
  std::string ask(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    std::string answer;
    if (sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0) != nullptr) {
      answer = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return answer;
  }

#endif

  WideString key(const std::string& below = "") const {
    return wide(below.empty() ? keyPath_ : keyPath_ + "\\" + below);
  }

  // Starts os_test_helper writing `count` values to the test's key.
  std::unique_ptr<ChildProcess> writer(int id, int count) const {
    return std::make_unique<ChildProcess>(tsk::test::helperPath("os_test_helper"),
                                          std::vector<std::string>{"registry-writer", keyPath_,
                                                                   std::to_string(id),
                                                                   std::to_string(count)});
  }
};

TEST_F(RegSettingsTest, OpensReadOnlyOnlyWhatExistsAndCreatesPaths) {
  CRegSettings settings(1, TSK_HKEY_CURRENT_USER, key("a\\b").c_str());
  EXPECT_EQ(static_cast<tsk_hkey>(settings), nullptr);
  EXPECT_EQ(settings.OpenSubkey(1, TSK_HKEY_CURRENT_USER, key("a\\b").c_str()), kNotFound);

  // Creating a\b creates a on the way; '\' runs and a trailing '\' read as one.
  ASSERT_EQ(settings.OpenSubkey(0, TSK_HKEY_CURRENT_USER, key("A\\\\B\\").c_str()), 0);
  ASSERT_EQ(settings.SetDWORD(TSK_W("Zoom"), 150), 0);
  const CRegSettings parent(1, TSK_HKEY_CURRENT_USER, key("a").c_str());
  EXPECT_NE(static_cast<tsk_hkey>(parent), nullptr);

  // Names compare without regard to case; a key opens relative to another.
  CRegSettings reader(1, parent, TSK_W("b"));
  tsk_dword zoom = 0;
  EXPECT_EQ(reader.GetDWORD(TSK_W("ZOOM"), &zoom), 0);
  EXPECT_EQ(zoom, 150u);
  EXPECT_EQ(reader.OpenSubkey(1, parent, nullptr), 0);
  EXPECT_EQ(reader.GetDWORD(TSK_W("Zoom"), &zoom), kNotFound);

  EXPECT_EQ(reader.OpenSubkey(0, TSK_HKEY_CURRENT_USER, (wide("\\") + key()).c_str()),
            kBadPathname);
  EXPECT_EQ(static_cast<tsk_hkey>(reader), nullptr);
  EXPECT_EQ(reader.OpenSubkey(1, nullptr, key().c_str()), kInvalidHandle);
}

TEST_F(RegSettingsTest, WritesStoreTheTypeAndTheBytesReadsNeverOverrun) {
  CRegSettings settings(0, TSK_HKEY_CURRENT_USER, key().c_str());
  const unsigned char raw[] = {1, 2, 0, 3};
  ASSERT_EQ(settings.SetString(TSK_W("empty"), TSK_W("")), 0);
  ASSERT_EQ(settings.SetString(TSK_W("text"), TSK_W("ab")), 0);
  ASSERT_EQ(settings.SetMultiString(TSK_W("list"), TSK_W("a\0bc\0\0")), 0);
  ASSERT_EQ(settings.SetMultiString(TSK_W("none"), TSK_W("\0")), 0);
  ASSERT_EQ(settings.SetDWORD(TSK_W("number"), 0x12345678), 0);
  ASSERT_EQ(settings.SetBinary(TSK_W("nothing"), nullptr, 0), 0);
  ASSERT_EQ(settings.SetBinary(TSK_W("raw"), raw, 4), 0);
  ASSERT_EQ(settings.SetDWORD(TSK_W("RAW"), 7), 0); // replaces it, its type included
  const std::pair<const char*, std::vector<unsigned char>> stored[] = {
      {"empty", {0, 0}},
      {"text", {'a', 0, 'b', 0, 0, 0}},
      {"list", {'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}},
      {"none", {0, 0}},
      {"number", {0x78, 0x56, 0x34, 0x12}},
      {"nothing", {}},
      {"raw", {7, 0, 0, 0}}};
  for (const auto& [name, bytes] : stored) {
    EXPECT_EQ(readValue(settings, wide(name)), bytes) << name;
  }
#if !defined(_WIN32)
  // (reg query reads the types on Windows.)
  EXPECT_EQ(ask("SELECT group_concat(type, ' ') FROM (SELECT type FROM vals ORDER BY name)"),
            "1 7 7 3 4 4 1");
#endif
  // The default value has no name.
  EXPECT_EQ(settings.SetString(nullptr, TSK_W("default")), 0);
  tsk_dword size = 0;
  EXPECT_EQ(settings.GetSize(TSK_W(""), &size), 0);
  EXPECT_EQ(size, 16u);

  // Reads never overrun and add nothing.
  const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(settings.SetBinary(TSK_W("eight"), eight, 8), 0);
  tsk_dword number[2] = {0xAAAA, 0xBBBB};
  EXPECT_EQ(settings.GetDWORD(TSK_W("eight"), number), kMoreData);
  EXPECT_EQ(number[1], 0xBBBBu);

  // Text stored without a terminator is read without one.
  const unsigned char abc[] = {'a', 0, 'b', 0, 'c', 0};
  ASSERT_EQ(settings.SetBinary(TSK_W("abc"), abc, 6), 0);
  tsk_wchar_t text[5] = {u'#', u'#', u'#', u'#', u'#'};
  EXPECT_EQ(settings.GetString(TSK_W("abc"), text, 4), kMoreData);
  EXPECT_EQ(text[0], u'#');
  EXPECT_EQ(settings.GetMultiString(TSK_W("abc"), text, 10), 0);
  EXPECT_EQ(WideString(text, 4), wide("abc#"));

  size = 3;
  unsigned char bytes[8];
  EXPECT_EQ(settings.GetBinary(TSK_W("eight"), bytes, &size), kMoreData);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(settings.GetBinary(TSK_W("eight"), bytes, nullptr), kInvalidParameter);
  EXPECT_EQ(settings.GetString(TSK_W("abc"), text, -2), kInvalidParameter);
  EXPECT_EQ(settings.GetString(TSK_W("abc"), text, 0), kMoreData);
  EXPECT_EQ(settings.GetSize(TSK_W("missing"), &size), kNotFound);
  EXPECT_EQ(settings.GetDWORD(TSK_W("missing"), number), kNotFound);

  // Bad data to write is refused, and nothing is stored.
  EXPECT_EQ(settings.SetBinary(TSK_W("bad"), eight, -1), kInvalidParameter);
  EXPECT_EQ(settings.SetBinary(TSK_W("bad"), nullptr, 4), kNoAccess);
  EXPECT_EQ(settings.SetString(TSK_W("bad"), nullptr), kNoAccess);
  EXPECT_EQ(settings.GetSize(TSK_W("bad"), &size), kNotFound);
}

TEST_F(RegSettingsTest, CopiesHoldKeysOfTheirOwnAndClosedKeysRefuse) {
  auto original = std::make_unique<CRegSettings>(0, TSK_HKEY_CURRENT_USER, key().c_str());
  auto readOnly = std::make_unique<CRegSettings>(1, TSK_HKEY_CURRENT_USER, key().c_str());
  CRegSettings copy(*original);
  CRegSettings readCopy;
  readCopy = *readOnly;
  EXPECT_NE(static_cast<tsk_hkey>(copy), static_cast<tsk_hkey>(*original));
  EXPECT_EQ(readOnly->SetDWORD(TSK_W("n"), 6), kAccessDenied);
  original.reset();
  readOnly.reset();
  EXPECT_EQ(copy.SetDWORD(TSK_W("n"), 5), 0);
  EXPECT_EQ(readCopy.SetDWORD(TSK_W("n"), 6), kAccessDenied);
  tsk_dword value = 0;
  EXPECT_EQ(readCopy.GetDWORD(TSK_W("n"), &value), 0);
  EXPECT_EQ(value, 5u);

  const CRegSettings& itself = copy;
  copy = itself;
  EXPECT_EQ(copy.SetDWORD(TSK_W("n"), 7), 0);

  // Without a key every call meets an invalid handle.
  copy = CRegSettings();
  readCopy.CloseKey();
  readCopy.CloseKey();
  for (const CRegSettings* closed : {&copy, &readCopy}) {
    EXPECT_EQ(static_cast<tsk_hkey>(*closed), nullptr);
    EXPECT_EQ(closed->GetDWORD(TSK_W("n"), &value), kInvalidHandle);
    EXPECT_EQ(closed->SetDWORD(TSK_W("n"), 3), kInvalidHandle);
  }
}

// Writers on four threads (through copies) and in four processes at once
// lose nothing and tear nothing.
TEST_F(RegSettingsTest, FourThreadsAndFourProcessesWritingAtOnceLoseNothing) {
  constexpr uint32_t kWriters = 4, kValues = 100;
  const CRegSettings settings(0, TSK_HKEY_CURRENT_USER, key().c_str());
  std::vector<std::unique_ptr<ChildProcess>> writers;
  std::vector<std::thread> threads;
  for (uint32_t id = 0; id < kWriters; ++id) {
    writers.push_back(writer(id, kValues));
    threads.emplace_back([copy = settings, id] {
      for (uint32_t i = 0; i < 25; ++i) {
        copy.SetBinary(registryValueName(id + kWriters, i).c_str(),
                       registryPattern(id + kWriters, i).data(), 4096);
      }
    });
  }
  for (uint32_t id = 0; id < kWriters; ++id) {
    threads[id].join();
    EXPECT_EQ(writers[id]->readLine(), "ok");
    EXPECT_EQ(writers[id]->wait(), 0);
  }
  for (uint32_t id = 0; id < 2 * kWriters; ++id) {
    for (uint32_t i = 0; i < (id < kWriters ? kValues : 25); ++i) {
      ASSERT_EQ(readValue(settings, registryValueName(id, i)), registryPattern(id, i));
    }
  }
}

#if defined(_WIN32)
TEST_F(RegSettingsTest, RegQueryReadsWhatTheLibraryWrote) {
  const CRegSettings settings(0, TSK_HKEY_CURRENT_USER, key().c_str());
  const unsigned char raw[] = {0x01, 0xAB};
  ASSERT_EQ(settings.SetDWORD(TSK_W("number"), 0x2A), 0);
  ASSERT_EQ(settings.SetString(TSK_W("text"), TSK_W("hello world")), 0);
  ASSERT_EQ(settings.SetMultiString(TSK_W("list"), TSK_W("a\0bc\0\0")), 0);
  ASSERT_EQ(settings.SetBinary(TSK_W("raw"), raw, 2), 0);

  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  ChildProcess reg(std::filesystem::path(system) / "reg.exe",
                   {"query", "HKEY_CURRENT_USER\\" + keyPath_});
  ASSERT_TRUE(reg.started());
  std::string output;
  for (int line = 0; line < 16; ++line) {
    output += reg.readLine() + "\n";
  }
  EXPECT_EQ(reg.wait(), 0);
  for (const char* row : {"number    REG_DWORD    0x2a", "text    REG_SZ    hello world",
                          "list    REG_MULTI_SZ    a\\0bc", "raw    REG_BINARY    01AB"}) {
    EXPECT_NE(output.find(row), std::string::npos) << row << " in\n" << output;
  }
}
#else
TEST_F(RegSettingsTest, AWriterKilledMidWriteLeavesEveryCommittedValue) {
  auto endless = writer(7, 0);
  uint32_t committed = 0;
  for (std::string line; (line = endless->readLine()) != "" && std::stoul(line) < 300;) {
    committed = static_cast<uint32_t>(std::stoul(line));
  }
  endless->kill();

  EXPECT_EQ(ask("PRAGMA integrity_check"), "ok");
  const CRegSettings settings(1, TSK_HKEY_CURRENT_USER, key().c_str());
  for (uint32_t i = 0; i <= committed; ++i) {
    ASSERT_EQ(readValue(settings, registryValueName(7, i)), registryPattern(7, i));
  }
}
#endif

} // namespace
