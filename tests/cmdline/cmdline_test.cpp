#include "tskbase/cmdline.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

using String = CCmdLine::String;
using Arguments = std::vector<String>;

// Exposes the protected switch test.
class CmdLine : public CCmdLine {
public:
  using CCmdLine::IsSwitch;

  // Splits "prog" followed by `words`.
  int64_t split(std::initializer_list<const tsk_wchar_t*> words) {
    std::vector<const tsk_wchar_t*> argv{TSK_W("prog")};
    argv.insert(argv.end(), words);
    return SplitLine(static_cast<int32_t>(argv.size()), argv.data());
  }

  // All arguments of a switch, read through GetArgument.
  Arguments arguments(const tsk_wchar_t* name) {
    Arguments out;
    for (int64_t i = 0; i < GetArgumentCount(name); ++i) {
      out.push_back(GetArgument(name, static_cast<uint32_t>(i)));
    }
    return out;
  }
};

TEST(CmdLine, SwitchesNeedAHyphenAndNoDigitBehindIt) {
  CmdLine cmd;
  for (const tsk_wchar_t* word : {TSK_W("-x"), TSK_W("-out"), TSK_W("--x"), TSK_W("-\u00e9")}) {
    EXPECT_TRUE(cmd.IsSwitch(word));
  }
  // Decimal digits of any script make negative numbers, not switches.
  for (const tsk_wchar_t* word : {TSK_W("-"), TSK_W("-5"), TSK_W("-3.2"), TSK_W("/x"), TSK_W("x-"),
                                  TSK_W(""), TSK_W("-\u0663"), TSK_W("-\uff11")}) {
    EXPECT_FALSE(cmd.IsSwitch(word));
  }
  EXPECT_FALSE(cmd.IsSwitch(nullptr));
}

TEST(CmdLine, GroupsPlainWordsBehindTheirSwitch) {
  CmdLine cmd;
  EXPECT_EQ(cmd.split({TSK_W("-a"), TSK_W("x"), TSK_W("y")}), 1);
  EXPECT_EQ(cmd.arguments(TSK_W("-a")), (Arguments{TSK_W("x"), TSK_W("y")}));
  EXPECT_EQ(cmd.GetArgument(TSK_W("-a"), 1), TSK_W("y"));
  EXPECT_THROW(cmd.GetArgument(TSK_W("-a"), 2), int);
}

TEST(CmdLine, EverySwitchHasAtLeastOneArgument) {
  CmdLine cmd;
  EXPECT_EQ(cmd.split({TSK_W("stray"), TSK_W("-a"), TSK_W("-b"), TSK_W("-n"), TSK_W("-5")}), 3);
  EXPECT_EQ(cmd.arguments(TSK_W("-a")), (Arguments{TSK_W("")}));
  EXPECT_EQ(cmd.arguments(TSK_W("-b")), (Arguments{TSK_W("")}));
  EXPECT_EQ(cmd.arguments(TSK_W("-n")), (Arguments{TSK_W("-5")}));
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("stray")));
}

TEST(CmdLine, ARepeatedSwitchKeepsItsFirstList) {
  CmdLine cmd;
  EXPECT_EQ(cmd.split({TSK_W("-a"), TSK_W("x"), TSK_W("-a"), TSK_W("y"), TSK_W("z")}), 1);
  EXPECT_EQ(cmd.arguments(TSK_W("-a")), (Arguments{TSK_W("x"), TSK_W("z")}));
}

TEST(CmdLine, LookupsAreExact) {
  CmdLine cmd;
  cmd.split({TSK_W("-a"), TSK_W("-ab")});
  EXPECT_TRUE(cmd.HasSwitch(TSK_W("-a")));
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("-A")));
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("a")));
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("-")));
  EXPECT_EQ(cmd.GetArgumentCount(TSK_W("-missing")), -1);
  EXPECT_THROW(cmd.GetArgument(TSK_W("-missing"), 0), int);
  try {
    cmd.GetArgument(TSK_W("-A"), 0);
    FAIL() << "no exception";
  } catch (int value) {
    EXPECT_EQ(value, 0);
  }
}

TEST(CmdLine, SafeArgumentFallsBack) {
  CmdLine cmd;
  cmd.split({TSK_W("-a"), TSK_W("x")});
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-a"), 0, TSK_W("def")), TSK_W("x"));
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-a"), 5, TSK_W("def")), TSK_W("def"));
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-a"), 5, nullptr), TSK_W(""));
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-a"), -1, TSK_W("def")), TSK_W("def"));
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-b"), 0, TSK_W("def")), TSK_W("def"));
}

TEST(CmdLine, EachSplitStartsAfresh) {
  CmdLine cmd;
  cmd.split({TSK_W("-a"), TSK_W("x")});
  EXPECT_EQ(cmd.split({TSK_W("-b")}), 1);
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("-a")));
  EXPECT_EQ(cmd.split({TSK_W("-"), TSK_W("x")}), 0);
  const tsk_wchar_t* only[] = {TSK_W("prog"), TSK_W("-a")};
  EXPECT_EQ(cmd.SplitLine(1, only), 0);
  EXPECT_EQ(cmd.SplitLine(-3, only), 0);
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("-b")));
}

TEST(CmdLine, NullWordsAndNamesAreAbsent) {
  CmdLine cmd;
  EXPECT_EQ(cmd.split({TSK_W("-a"), nullptr, TSK_W("x"), nullptr, TSK_W("-b"), nullptr}), 2);
  EXPECT_EQ(cmd.arguments(TSK_W("-a")), (Arguments{TSK_W(""), TSK_W("x")}));
  EXPECT_EQ(cmd.arguments(TSK_W("-b")), (Arguments{TSK_W("")}));
  EXPECT_FALSE(cmd.HasSwitch(nullptr));
  EXPECT_EQ(cmd.GetArgumentCount(nullptr), -1);
  EXPECT_THROW(cmd.GetArgument(nullptr, 0), int);
  EXPECT_EQ(cmd.GetSafeArgument(nullptr, 0, TSK_W("def")), TSK_W("def"));
  EXPECT_EQ(cmd.SplitLine(3, nullptr), 0);
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("-a")));
}

// Copies go through the library's own copy members.
TEST(CmdLine, CopiesAreIndependent) {
  CmdLine filled;
  filled.split({TSK_W("-a"), TSK_W("x")});
  const CCmdLine& original = filled;
  CCmdLine copy(original);
  filled.split({TSK_W("-b")});
  EXPECT_EQ(copy.GetArgument(TSK_W("-a"), 0), TSK_W("x"));
  EXPECT_FALSE(copy.HasSwitch(TSK_W("-b")));
  copy = original;
  EXPECT_TRUE(copy.HasSwitch(TSK_W("-b")));
  EXPECT_FALSE(copy.HasSwitch(TSK_W("-a")));
}

} // namespace
