// The module_ functions against the test program's own executable path.
#include "tskbase/module_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "child_process.h"
#include "platform.h"
#include "scratch_directory.h"

namespace {

using tsk::test::WideString;

// The name follows the directory's terminator; a forced read switches
// buffers, keeping the old text readable.
TEST(ModulePath, SplitsTheExecutablesPathAtItsLastSeparator) {
  const std::filesystem::path self = tsk::test::executablePath();
  ASSERT_EQ(module_initializeModulePath(0), TSK_OK);
  const tsk_wchar_t* base = module_getBasePath();
  const tsk_wchar_t* name = module_getFileName();
  ASSERT_TRUE(base != nullptr && name != nullptr);
  EXPECT_EQ(WideString(base), tsk::test::toWide(self.parent_path()));
  EXPECT_EQ(WideString(name), tsk::test::toWide(self.filename()));
  EXPECT_EQ(name, base + std::char_traits<tsk_wchar_t>::length(base) + 1);
  ASSERT_EQ(module_initializeModulePath(1), TSK_OK);
  EXPECT_NE(module_getBasePath(), base);
  EXPECT_EQ(WideString(module_getBasePath()), WideString(base));
}

// Every stage needs room for one character beyond its terminator.
TEST(ModulePath, ComposesBasePathSubdirectoryAndFileName) {
  const WideString base = module_getBasePath();
  const WideString sep(1, tsk::test::kWindows ? u'\\' : u'/');
  const auto wide = [](const char* ascii) {
    return ascii ? tsk::test::toWide(ascii) : WideString();
  };
  const std::tuple<const char*, const char*, WideString> cases[] = {
      {"cfg.ini", "conf", base + sep + wide("conf") + sep + wide("cfg.ini")},
      {"cfg.ini", nullptr, base + sep + wide("cfg.ini")},
      {nullptr, nullptr, base},
      {nullptr, "conf", base + sep + wide("conf")},
      {"cfg.ini", tsk::test::kWindows ? "conf\\" : "conf/",
       base + sep + wide("conf") + sep + wide("cfg.ini")},
  };
  for (const auto& [file, subdirectory, expected] : cases) {
    const WideString fileName = wide(file), subName = wide(subdirectory);
    const tsk_wchar_t* fileArg = file ? fileName.c_str() : nullptr;
    const tsk_wchar_t* subArg = subdirectory ? subName.c_str() : nullptr;
    const auto length = static_cast<uint32_t>(expected.size());
    std::vector<tsk_wchar_t> out(length + 2, u'#');
    EXPECT_EQ(module_setFilePath(out.data(), length + 1, fileArg, subArg), 0u) << length;
    EXPECT_EQ(module_setFilePath(out.data(), length + 2, fileArg, subArg), length);
    EXPECT_EQ(WideString(out.data()), expected);
  }
  std::vector<tsk_wchar_t> room(base.size() + 8);
  EXPECT_EQ(module_setFilePath(room.data(), uint32_t(room.size()), wide("").c_str(), nullptr),
            base.size() + 1)
      << "an empty name still gets its separator";
  EXPECT_EQ(WideString(room.data()), base + sep);
  tsk_wchar_t out[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(module_setFilePath(out, 0, wide("a").c_str(), nullptr), 0u);
  EXPECT_EQ(module_setFilePath(out, 2, nullptr, nullptr), 0u);
  EXPECT_EQ(out[0], u'#');
  EXPECT_EQ(module_setFilePath(nullptr, 260, nullptr, nullptr), 0u);
}

// The first calls of a process, made from several threads at once, in a
// process of its own.
TEST(ModulePath, ConcurrentFirstCallsSeeOneCompletePath) {
  tsk::test::ChildProcess child(tsk::test::helperPath("os_test_helper"), {"module-path"});
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.readLine(), "ok");
  EXPECT_EQ(child.wait(), 0);
}

} // namespace
