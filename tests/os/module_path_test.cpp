// The module_ functions against the test program's own executable path.
#include "tskbase/module_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "executable_path.h"
#include "platform.h"
#include "scratch_directory.h"

namespace {

using tsk::test::WideString;

constexpr tsk_wchar_t kSeparator = tsk::test::kWindows ? u'\\' : u'/';

WideString wide(const char* ascii) { return tsk::test::toWide(ascii); }

TEST(ModulePath, SplitsTheExecutablesPathAtItsLastSeparator) {
  const std::filesystem::path self = tsk::test::executablePath();
  ASSERT_EQ(module_initializeModulePath(0), TSK_OK);
  const tsk_wchar_t* base = module_getBasePath();
  const tsk_wchar_t* name = module_getFileName();
  ASSERT_NE(base, nullptr);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(WideString(base), tsk::test::toWide(self.parent_path()));
  EXPECT_EQ(WideString(name), tsk::test::toWide(self.filename()));
  // Directory and name share one buffer, the name after the directory's end.
  EXPECT_EQ(name, base + std::char_traits<tsk_wchar_t>::length(base) + 1);
  EXPECT_EQ(module_getBasePath(), base);
}

TEST(ModulePath, AForcedReadSwitchesBuffersAndKeepsTheOldText) {
  const WideString before = module_getBasePath();
  const tsk_wchar_t* old = module_getBasePath();
  ASSERT_EQ(module_initializeModulePath(1), TSK_OK);
  const tsk_wchar_t* now = module_getBasePath();
  EXPECT_NE(now, old);
  EXPECT_EQ(WideString(now), before);
  EXPECT_EQ(WideString(old), before);
}

TEST(ModulePath, ComposesBasePathSubdirectoryAndFileName) {
  const WideString base = module_getBasePath();
  const WideString sep(1, kSeparator);
  struct Case {
    const char* fileName;
    const char* subdirectory;
    WideString expected;
  };
  const Case cases[] = {
      {"cfg.ini", "conf", base + sep + wide("conf") + sep + wide("cfg.ini")},
      {"cfg.ini", nullptr, base + sep + wide("cfg.ini")},
      {nullptr, nullptr, base},
      {nullptr, "conf", base + sep + wide("conf")},
      // A part that ends in the separator gets no second one.
      {"cfg.ini", tsk::test::kWindows ? "conf\\" : "conf/",
       base + sep + wide("conf") + sep + wide("cfg.ini")},
  };
  for (const Case& c : cases) {
    const WideString fileName = c.fileName ? wide(c.fileName) : WideString();
    const WideString subdirectory = c.subdirectory ? wide(c.subdirectory) : WideString();
    const tsk_wchar_t* fileArg = c.fileName ? fileName.c_str() : nullptr;
    const tsk_wchar_t* subArg = c.subdirectory ? subdirectory.c_str() : nullptr;
    const auto length = static_cast<uint32_t>(c.expected.size());

    // Every stage needs room for one character beyond its terminator.
    std::vector<tsk_wchar_t> out(length + 2, u'#');
    EXPECT_EQ(module_setFilePath(out.data(), length + 1, fileArg, subArg), 0u) << length;
    EXPECT_EQ(module_setFilePath(out.data(), length + 2, fileArg, subArg), length);
    EXPECT_EQ(WideString(out.data()), c.expected);
  }

  // An empty part still gets its separator.
  std::vector<tsk_wchar_t> out(base.size() + 8);
  EXPECT_EQ(
      module_setFilePath(out.data(), static_cast<uint32_t>(out.size()), wide("").c_str(), nullptr),
      base.size() + 1);
  EXPECT_EQ(WideString(out.data()), base + sep);
}

TEST(ModulePath, RefusesNoRoomWithoutWriting) {
  tsk_wchar_t out[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(module_setFilePath(out, 0, wide("a").c_str(), nullptr), 0u);
  EXPECT_EQ(module_setFilePath(out, 2, nullptr, nullptr), 0u);
  EXPECT_EQ(out[0], u'#');
  EXPECT_EQ(module_setFilePath(nullptr, 260, nullptr, nullptr), 0u);
}

// The first calls of a process, made from several threads at once, in a
// process of its own.
TEST(ModulePath, ConcurrentFirstCallsSeeOneCompletePath) {
  tsk::test::ChildProcess child(
      tsk::test::helperBeside(tsk::test::executablePath(), "os_test_helper"), {"module-path"});
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.readLine(), "ok");
  EXPECT_EQ(child.wait(), 0);
}

} // namespace
