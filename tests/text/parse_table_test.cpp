#include "tskbase/parse_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "allocation_failure.h"
#include "platform/heap.h"

namespace {

using Names = std::vector<std::string>;

// A table that releases itself.
struct Table {
  ParseTableValue* head = nullptr;
  ~Table() { string_freeParseTable(&head); }

  // The names of the entries, or "name=text" for each with `withText`.
  Names names(bool withText = false) {
    Names out;
    for (const ParseTableValue* e = head; e != nullptr; e = e->next) {
      out.push_back(withText ? std::string(e->name) + "=" + text(e->name) : e->name);
    }
    return out;
  }
  ParseTableValue* get(const char* name) {
    ParseTableValue* entry = nullptr;
    return string_getParseTableValue(name, head, &entry) == TSK_OK ? entry : nullptr;
  }
  std::string text(const char* name) {
    const ParseTableValue* e = get(name);
    return e == nullptr || e->type != TSK_PARSE_TEXT ? "<no text entry>"
           : e->value.text == nullptr                ? "<null>"
                                                     : e->value.text;
  }
  // Adds an entry allocated the way a caller would (from its runtime heap),
  // with a text if given.
  ParseTableValue* add(const char* name, uint32_t type, const char* text = nullptr) {
    auto* entry =
        static_cast<ParseTableValue*>(tsk::platform::heapAllocate(sizeof(ParseTableValue)));
    std::memset(entry, 0, sizeof *entry);
    std::strcpy(entry->name, name);
    entry->type = type;
    EXPECT_EQ(string_addParseTableValue(&head, entry), TSK_OK);
    if (text != nullptr) {
      EXPECT_EQ(string_setParseTableValue(name, head, text), TSK_OK) << name;
    }
    return entry;
  }
  // Builds into a 256-byte output followed by a canary.
  std::string build(const char* templ, uint32_t dropEmpty, tsk_status expected = TSK_OK) {
    char out[256 + 1];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(string_buildString(head, templ, dropEmpty, out), expected) << templ;
    EXPECT_EQ(out[256], '#') << "written past the output's 256 bytes";
    return out;
  }
};

// One entry per field, in reverse template order; long names are cut alike
// where they are made and where they are looked up.
TEST(ParseTable, TablesFromTemplates) {
  Table t, groups, none;
  ASSERT_EQ(string_buildParseTable("first + Last:10 + \"x\"", &t.head), TSK_OK);
  EXPECT_EQ(t.names(true), (Names{"last=<null>", "first=<null>"}));
  ASSERT_EQ(string_buildParseTable("(Alias, \"z\")+Code+(\"q\", )", &groups.head), TSK_OK);
  EXPECT_EQ(groups.names(), (Names{"(\"q\", ", "code", "alias"}));
  none.head = reinterpret_cast<ParseTableValue*>(0x1); // overwritten, not read
  ASSERT_EQ(string_buildParseTable("\"only\"+\"literals\"", &none.head), TSK_OK);
  EXPECT_EQ(none.head, nullptr);

  const std::string name(100, 'k');
  Table cut;
  ASSERT_EQ(string_buildParseTable(name.c_str(), &cut.head), TSK_OK);
  ASSERT_EQ(string_parseString(name.c_str(), "value", &cut.head), TSK_OK);
  EXPECT_EQ(cut.names(true), (Names{std::string(63, 'k') + "=value"}));
  EXPECT_EQ(cut.text(name.c_str()), "value");
  EXPECT_EQ(cut.build(name.c_str(), 0), "value");
  cut.add("a", TSK_PARSE_TEXT, "same");
  ASSERT_EQ(string_setParseTableValue("a", cut.head, cut.get("a")->value.text), TSK_OK); // itself
  EXPECT_EQ(cut.text("a"), "same");
}

TEST(ParseTable, LookupsCountsAndTypedValues) {
  Table t;
  uint32_t count = 9;
  EXPECT_EQ(string_parseTableLength(t.head, &count), TSK_FAIL); // an empty table
  EXPECT_EQ(count, 9u);
  ParseTableValue* entry = nullptr;
  char out[256];
  EXPECT_EQ(string_buildParseTable(nullptr, &t.head), TSK_FAIL);
  EXPECT_EQ(string_parseString("a", nullptr, &t.head), TSK_FAIL);
  EXPECT_EQ(string_buildString(nullptr, "a", 0, out), TSK_FAIL);
  EXPECT_EQ(string_getParseTableValue("a", nullptr, &entry), TSK_FAIL);
  EXPECT_EQ(string_addParseTableValue(&t.head, nullptr), TSK_FAIL);
  EXPECT_EQ(string_freeParseTable(nullptr), TSK_FAIL);
  ASSERT_EQ(string_buildParseTable("a+b+a", &t.head), TSK_OK);
  ASSERT_EQ(string_parseTableLength(t.head, &count), TSK_OK);
  EXPECT_EQ(count, 3u);
  ASSERT_NE(t.get("B"), nullptr);                                   // get lowers the name
  EXPECT_EQ(string_setParseTableValue("B", t.head, "x"), TSK_FAIL); // set is exact
  ASSERT_EQ(string_setParseTableValue("a", t.head, "first"), TSK_OK);
  EXPECT_EQ(t.head->value.text, std::string("first")); // the later "a" comes first
  EXPECT_EQ(t.get("c"), nullptr);

  const int16_t sv = -7;
  const int32_t lv = 123456789;
  const double dv = 2.5;
  EXPECT_EQ(t.add("s", TSK_PARSE_SHORT, reinterpret_cast<const char*>(&sv))->value.shortValue, sv);
  EXPECT_EQ(t.add("l", TSK_PARSE_LONG, reinterpret_cast<const char*>(&lv))->value.longValue, lv);
  EXPECT_EQ(t.add("d", TSK_PARSE_DOUBLE, reinterpret_cast<const char*>(&dv))->value.doubleValue,
            dv);
  t.add("odd", 9);
  EXPECT_EQ(string_setParseTableValue("odd", t.head, &lv), TSK_FAIL); // no known type
}

// A missing last literal takes the rest; a mismatched literal fails, keeping
// what was read before it.
TEST(ParseTable, ParsesFieldsBetweenLiterals) {
  using Case = std::tuple<const char*, const char*, tsk_status, Names>;
  for (const auto& [templ, input, status, entries] : std::vector<Case>{
           {"key+\"=\"+val", "speed=42", TSK_OK, {"key=speed", "val=42"}},
           {"a:3+b", "abcdef", TSK_OK, {"a=abc", "b=def"}},
           {"\"\\\"\"+q+\"\\\\\"+r+\"!\"", "\"in\\out", TSK_OK, {"q=in", "r=out"}},
           {"\"ID:\"+num", "XX:5", TSK_FAIL, {}},
           {"a+\",\"+b+\";\"+c", "1,2 3", TSK_FAIL, {"a=1"}},
           {"a+\",\"+b+\",\"+c", "1,", TSK_OK, {"a=1"}},
       }) {
    Table t;
    EXPECT_EQ(string_parseString(templ, input, &t.head), status) << templ;
    EXPECT_EQ(t.names(true), entries) << templ;
  }
}

// Parsing goes on past an entry of no known type, but fails.
TEST(ParseTable, TypedEntriesReadWithTheFormattedScan) {
  Table t;
  t.add("n", TSK_PARSE_LONG);
  t.add("w", TSK_PARSE_TEXT);
  t.add("x", 9);
  ASSERT_EQ(string_parseString("n+rest", "  17 apples", &t.head), TSK_OK);
  ASSERT_EQ(string_parseString("w+tail", " one two", &t.head), TSK_OK);
  EXPECT_EQ(string_parseString("x+\":\"+after", "1:2", &t.head), TSK_FAIL);
  EXPECT_EQ(t.get("n")->value.longValue, 17);
  EXPECT_EQ(t.names(true), (Names{"n=<no text entry>", "w= one", "x=<no text entry>",
                                  "rest= apples", "tail= two", "after=2"}));
}

// An empty value makes no piece; with dropEmpty it swallows the literal after
// it, and at the end the literal before it too.
TEST(ParseTable, BuildsText) {
  Table t;
  t.add("w", TSK_PARSE_SHORT)->value.shortValue = 7;
  t.add("p", TSK_PARSE_DOUBLE)->value.doubleValue = 2.5;
  t.add("who", TSK_PARSE_TEXT, "world");
  t.add("a", TSK_PARSE_TEXT, "A");
  t.add("b", TSK_PARSE_TEXT, "B");
  t.add("e", TSK_PARSE_TEXT, "");
  t.add("n", TSK_PARSE_TEXT);
  using Case = std::tuple<const char*, uint32_t, const char*, tsk_status>;
  for (const auto& [templ, dropEmpty, expected, status] :
       std::vector<Case>{{"w:03+p:.1", 0, "0072.5", TSK_OK},
                         {"hello+\", \"+who", 0, "hello, world", TSK_OK},
                         {"WHO:-7+\"|\"", 0, "world  |", TSK_OK},
                         {"who+ \"x\" ", 0, "world\"x\"", TSK_OK},
                         {"who:s%s%s+\"!\"", 0, "!", TSK_FAIL},
                         {"who:*", 0, "", TSK_FAIL},
                         {"a+\", \"+n+\", \"+who", 1, "A, world", TSK_OK},
                         {"a+\", \"+n+\", \"+who", 0, "A, , world", TSK_OK},
                         {"who+\" (\"+n+\")\"", 1, "world", TSK_OK},
                         {"a+\", \"+b+\", \"+e", 1, "A, B", TSK_OK},
                         {"a+\", \"+e+\", \"+e", 1, "A", TSK_OK},
                         {"a+\"[\"+n:5+\"]\"", 0, "A[]", TSK_OK},
                         {"a+\", \"+n:5", 1, "A", TSK_OK},
                         {"a+\", \"+\"\"+n", 1, "A, ", TSK_OK}}) {
    EXPECT_EQ(t.build(templ, dropEmpty, status), expected) << templ;
  }
}

TEST(ParseTable, SizesBeyondTheLimitsFailWithoutOverrunning) {
  Table t;
  EXPECT_EQ(string_buildParseTable(std::string(300, 'n').c_str(), &t.head), TSK_FAIL);
  EXPECT_EQ(string_parseString("v", std::string(200, 'v').c_str(), &t.head), TSK_FAIL);
  t.add("big", TSK_PARSE_TEXT, std::string(200, 'b').c_str());
  t.build("big", 0, TSK_FAIL);
  const std::string many = "\"" + std::string(100, 'x') + "\"";
  const std::string templ = many + "+" + many + "+" + many;
  EXPECT_EQ(t.build(templ.c_str(), 0, TSK_FAIL), std::string(255, 'x')); // cut to 256 bytes
  // Over the limit midway fails, even when a dropped value takes text back.
  t.add("none", TSK_PARSE_TEXT);
  const std::string sixty = "\"" + std::string(60, 'y') + "\"";
  EXPECT_EQ(t.build((many + "+" + many + "+" + sixty + "+none").c_str(), 1, TSK_FAIL),
            std::string(200, 'x'));
}

TEST(ParseTable, FailedAllocationsLeakNothing) {
  for (int64_t n = 1; n <= 2; ++n) { // an entry for each field
    ParseTableValue sentinel{};
    ParseTableValue* head = &sentinel;
    tsk::test::FailNthAllocation failure(n);
    EXPECT_EQ(string_buildParseTable("a+b", &head), TSK_FAIL) << n;
    EXPECT_EQ(failure.leaked(), 0) << n;
    EXPECT_EQ(head, &sentinel);
  }
  Table t;
  {
    tsk::test::FailNthAllocation failure(1); // the entry for "a"
    EXPECT_EQ(string_parseString("a+b", "xy", &t.head), TSK_FAIL);
    EXPECT_EQ(failure.leaked(), 0);
  }
  t.add("a", TSK_PARSE_TEXT, "old");
  tsk::test::FailNthAllocation failure(1);
  EXPECT_EQ(string_setParseTableValue("a", t.head, "new"), TSK_FAIL);
  EXPECT_EQ(t.head->value.text, nullptr);
}

} // namespace
