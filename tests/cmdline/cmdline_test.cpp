#include "tskbase/cmdline.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using String = CCmdLine::String;
using Arguments = std::vector<String>;
using Words = std::vector<const tsk_wchar_t*>;

// Splits "prog" followed by `words`.
class CmdLine : public CCmdLine {
public:
  int64_t split(Words words) {
    words.insert(words.begin(), TSK_W("prog"));
    return SplitLine(static_cast<int32_t>(words.size()), words.data());
  }
};

// A switch starts with '-' and has a second character that is no decimal
// digit of any script. Plain words join the list of the switch before them
// (words before the first switch are dropped); a switch without words gets the
// one argument "", and a repeated switch keeps its first list. Null words are
// absent words.
TEST(CmdLine, GroupsPlainWordsBehindTheirSwitch) {
  const std::vector<std::pair<Words, std::map<String, Arguments>>> cases = {
      {{TSK_W("-x"), TSK_W("-out"), TSK_W("--x"), TSK_W("-\u00e9"), TSK_W("-"), TSK_W("-5"),
        TSK_W("-3.2"), TSK_W("/x"), TSK_W("x-"), TSK_W(""), TSK_W("-\u0663"), TSK_W("-\uff11")},
       {{TSK_W("-x"), {TSK_W("")}},
        {TSK_W("-out"), {TSK_W("")}},
        {TSK_W("--x"), {TSK_W("")}},
        {TSK_W("-\u00e9"),
         {TSK_W("-"), TSK_W("-5"), TSK_W("-3.2"), TSK_W("/x"), TSK_W("x-"), TSK_W(""),
          TSK_W("-\u0663"), TSK_W("-\uff11")}}}},
      {{TSK_W("-a"), TSK_W("x"), TSK_W("y")}, {{TSK_W("-a"), {TSK_W("x"), TSK_W("y")}}}},
      {{TSK_W("stray"), TSK_W("-a"), TSK_W("-b"), TSK_W("-n"), TSK_W("-5")},
       {{TSK_W("-a"), {TSK_W("")}}, {TSK_W("-b"), {TSK_W("")}}, {TSK_W("-n"), {TSK_W("-5")}}}},
      {{TSK_W("-a"), TSK_W("x"), TSK_W("-a"), TSK_W("y"), TSK_W("z")},
       {{TSK_W("-a"), {TSK_W("x"), TSK_W("z")}}}},
      {{TSK_W("-a"), nullptr, TSK_W("x"), nullptr, TSK_W("-b"), nullptr},
       {{TSK_W("-a"), {TSK_W(""), TSK_W("x")}}, {TSK_W("-b"), {TSK_W("")}}}},
  };
  for (const auto& [words, expected] : cases) {
    CmdLine cmd;
    EXPECT_EQ(cmd.split(words), static_cast<int64_t>(expected.size()));
    for (const auto& [name, arguments] : expected) {
      ASSERT_EQ(cmd.GetArgumentCount(name.c_str()), static_cast<int64_t>(arguments.size()));
      for (uint32_t i = 0; i < arguments.size(); ++i) {
        EXPECT_EQ(cmd.GetArgument(name.c_str(), i), arguments[i]);
      }
      EXPECT_THROW(cmd.GetArgument(name.c_str(), static_cast<uint32_t>(arguments.size())), int);
    }
  }
}

// Lookups are exact; a missing switch, or a null name, is -1 arguments, an
// exception of value 0, or the fallback.
TEST(CmdLine, LookupsAreExact) {
  CmdLine cmd;
  cmd.split({TSK_W("-a"), TSK_W("x"), TSK_W("-ab")});
  EXPECT_TRUE(cmd.HasSwitch(TSK_W("-a")));
  for (const tsk_wchar_t* name : Words{TSK_W("-A"), TSK_W("a"), TSK_W("-"), nullptr}) {
    EXPECT_FALSE(cmd.HasSwitch(name));
    EXPECT_EQ(cmd.GetArgumentCount(name), -1);
    EXPECT_EQ(cmd.GetSafeArgument(name, 0, TSK_W("def")), TSK_W("def"));
    try {
      cmd.GetArgument(name, 0);
      ADD_FAILURE() << "no exception";
    } catch (int value) {
      EXPECT_EQ(value, 0);
    }
  }
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-a"), 0, TSK_W("def")), TSK_W("x"));
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-a"), 5, TSK_W("def")), TSK_W("def"));
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-a"), 5, nullptr), TSK_W(""));
  EXPECT_EQ(cmd.GetSafeArgument(TSK_W("-a"), -1, TSK_W("def")), TSK_W("def"));
}

// Copies go through the library's own copy members.
TEST(CmdLine, EachSplitStartsAfreshAndCopiesAreIndependent) {
  CmdLine cmd;
  cmd.split({TSK_W("-a"), TSK_W("x")});
  const CCmdLine& original = cmd;
  CCmdLine copy(original);
  EXPECT_EQ(cmd.split({TSK_W("-b")}), 1);
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("-a")));
  EXPECT_EQ(copy.GetArgument(TSK_W("-a"), 0), TSK_W("x"));
  EXPECT_FALSE(copy.HasSwitch(TSK_W("-b")));
  copy = original;
  EXPECT_TRUE(copy.HasSwitch(TSK_W("-b")));
  EXPECT_FALSE(copy.HasSwitch(TSK_W("-a")));
  EXPECT_EQ(cmd.split({TSK_W("-"), TSK_W("x")}), 0);
  const tsk_wchar_t* only[] = {TSK_W("prog"), TSK_W("-a")};
  EXPECT_EQ(cmd.SplitLine(1, only), 0);
  EXPECT_EQ(cmd.SplitLine(-3, only), 0);
  EXPECT_EQ(cmd.SplitLine(3, nullptr), 0);
  EXPECT_FALSE(cmd.HasSwitch(TSK_W("-b")));
}

} // namespace
