#include "tskbase/parse_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "allocation_failure.h"

namespace {

// A table that releases itself.
struct Table {
  ParseTableValue* head = nullptr;
  ~Table() { string_freeParseTable(&head); }

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const ParseTableValue* e = head; e != nullptr; e = e->next) {
      out.emplace_back(e->name);
    }
    return out;
  }
  const ParseTableValue* get(const char* name) {
    ParseTableValue* entry = nullptr;
    return string_getParseTableValue(name, head, &entry) == TSK_OK ? entry : nullptr;
  }
  std::string text(const char* name) {
    const ParseTableValue* entry = get(name);
    if (entry == nullptr || entry->type != TSK_PARSE_TEXT) {
      return "<no text entry>";
    }
    return entry->value.text == nullptr ? "<null>" : entry->value.text;
  }
  // Adds an entry of the given type, allocated the way a caller would.
  ParseTableValue* add(const char* name, uint32_t type) {
    auto* entry = static_cast<ParseTableValue*>(std::calloc(1, sizeof(ParseTableValue)));
    std::strcpy(entry->name, name);
    entry->type = type;
    EXPECT_EQ(string_addParseTableValue(&head, entry), TSK_OK);
    return entry;
  }
  void setText(const char* name, const char* value) {
    ASSERT_EQ(string_setParseTableValue(name, head, value), TSK_OK) << name;
  }
  std::string build(const char* templ, uint32_t dropEmpty, tsk_status expected = TSK_OK) {
    char out[256 + 1];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(string_buildString(head, templ, dropEmpty, out), expected) << templ;
    EXPECT_EQ(out[256], '#') << "written past the output's 256 bytes";
    return out;
  }
};

using Names = std::vector<std::string>;

TEST(ParseTable, RecordLayoutIsFixed) {
  EXPECT_EQ(offsetof(ParseTableValue, type), 64u);
  EXPECT_EQ(offsetof(ParseTableValue, value), 72u);
  EXPECT_EQ(sizeof(ParseTableValue::value), 8u);
  EXPECT_EQ(offsetof(ParseTableValue, next), 80u);
}

TEST(ParseTable, BuiltFromTemplateFieldsInReverseOrder) {
  Table t;
  ASSERT_EQ(string_buildParseTable("first + Last:10 + \"x\"", &t.head), TSK_OK);
  EXPECT_EQ(t.names(), (Names{"last", "first"}));
  EXPECT_EQ(t.head->type, TSK_PARSE_TEXT);
  EXPECT_EQ(t.head->value.text, nullptr);

  Table groups;
  ASSERT_EQ(string_buildParseTable("(Alias, \"z\")+Code+(\"q\", )", &groups.head), TSK_OK);
  EXPECT_EQ(groups.names(), (Names{"(\"q\", ", "code", "alias"}));

  Table none;
  none.head = reinterpret_cast<ParseTableValue*>(0x1); // overwritten, not read
  ASSERT_EQ(string_buildParseTable("\"only\"+\"literals\"", &none.head), TSK_OK);
  EXPECT_EQ(none.head, nullptr);
}

TEST(ParseTable, LookupsAndCounts) {
  Table t;
  uint32_t count = 9;
  EXPECT_EQ(string_parseTableLength(t.head, &count), TSK_FAIL);
  EXPECT_EQ(count, 9u);
  ASSERT_EQ(string_buildParseTable("a+b+a", &t.head), TSK_OK);
  ASSERT_EQ(string_parseTableLength(t.head, &count), TSK_OK);
  EXPECT_EQ(count, 3u);

  ASSERT_NE(t.get("B"), nullptr);                                   // get lowers the name
  EXPECT_EQ(string_setParseTableValue("B", t.head, "x"), TSK_FAIL); // set is exact
  ASSERT_EQ(string_setParseTableValue("a", t.head, "first"), TSK_OK);
  EXPECT_EQ(t.head->value.text, std::string("first")); // the later "a" comes first
  EXPECT_EQ(t.get("c"), nullptr);
}

TEST(ParseTable, TypedValues) {
  Table t;
  ParseTableValue* s = t.add("s", TSK_PARSE_SHORT);
  ParseTableValue* l = t.add("l", TSK_PARSE_LONG);
  ParseTableValue* d = t.add("d", TSK_PARSE_DOUBLE);
  const int16_t sv = -7;
  const int32_t lv = 123456789;
  const double dv = 2.5;
  ASSERT_EQ(string_setParseTableValue("s", t.head, &sv), TSK_OK);
  ASSERT_EQ(string_setParseTableValue("l", t.head, &lv), TSK_OK);
  ASSERT_EQ(string_setParseTableValue("d", t.head, &dv), TSK_OK);
  EXPECT_EQ(s->value.shortValue, -7);
  EXPECT_EQ(l->value.longValue, 123456789);
  EXPECT_EQ(d->value.doubleValue, 2.5);

  ParseTableValue* odd = t.add("odd", 9);
  EXPECT_EQ(string_setParseTableValue("odd", t.head, &lv), TSK_FAIL);
  EXPECT_EQ(odd->type, 9u);
}

TEST(ParseTable, ParsesFieldsBetweenLiterals) {
  Table t;
  ASSERT_EQ(string_parseString("key+\"=\"+val", "speed=42", &t.head), TSK_OK);
  EXPECT_EQ(t.names(), (Names{"key", "val"}));
  EXPECT_EQ(t.text("key"), "speed");
  EXPECT_EQ(t.text("val"), "42");

  Table widths;
  ASSERT_EQ(string_parseString("a:3+b", "abcdef", &widths.head), TSK_OK);
  EXPECT_EQ(widths.text("a"), "abc");
  EXPECT_EQ(widths.text("b"), "def");

  // Escaped quotes and backslashes in literals; a missing last literal takes
  // the rest.
  Table escaped;
  ASSERT_EQ(string_parseString("\"\\\"\"+q+\"\\\\\"+r+\"!\"", "\"in\\out", &escaped.head), TSK_OK);
  EXPECT_EQ(escaped.text("q"), "in");
  EXPECT_EQ(escaped.text("r"), "out");
}

TEST(ParseTable, ParseFailuresKeepEarlierValues) {
  Table t;
  EXPECT_EQ(string_parseString("\"ID:\"+num", "XX:5", &t.head), TSK_FAIL);
  EXPECT_EQ(t.head, nullptr);

  EXPECT_EQ(string_parseString("a+\",\"+b+\";\"+c", "1,2 3", &t.head), TSK_FAIL);
  EXPECT_EQ(t.text("a"), "1");
  EXPECT_EQ(t.get("b"), nullptr);

  // Input that ends early leaves the rest alone and succeeds.
  Table early;
  ASSERT_EQ(string_parseString("a+\",\"+b+\",\"+c", "1,", &early.head), TSK_OK);
  EXPECT_EQ(early.names(), (Names{"a"}));
}

TEST(ParseTable, TypedEntriesReadWithTheFormattedScan) {
  Table t;
  t.add("n", TSK_PARSE_LONG);
  t.add("w", TSK_PARSE_TEXT);
  ASSERT_EQ(string_parseString("n+rest", "  17 apples", &t.head), TSK_OK);
  EXPECT_EQ(t.get("n")->value.longValue, 17);
  EXPECT_EQ(t.text("rest"), " apples");

  ASSERT_EQ(string_parseString("w+tail", " one two", &t.head), TSK_OK);
  EXPECT_EQ(t.text("w"), " one");
  EXPECT_EQ(t.text("tail"), " two");

  t.add("x", 9);
  EXPECT_EQ(string_parseString("x+\":\"+after", "1:2", &t.head), TSK_FAIL);
  EXPECT_EQ(t.text("after"), "2"); // parsing went on
}

TEST(ParseTable, BuildsTextWithFormats) {
  Table t;
  ParseTableValue* w = t.add("w", TSK_PARSE_SHORT);
  ParseTableValue* p = t.add("p", TSK_PARSE_DOUBLE);
  t.add("who", TSK_PARSE_TEXT);
  w->value.shortValue = 7;
  p->value.doubleValue = 2.5;
  t.setText("who", "world");
  EXPECT_EQ(t.build("w:03", 0), "007");
  EXPECT_EQ(t.build("p:.1", 0), "2.5");
  EXPECT_EQ(t.build("hello+\", \"+who", 0), "hello, world");
  EXPECT_EQ(t.build("WHO:-7+\"|\"", 0), "world  |");
  // A quoted text with spaces around it is no literal: it is output as is.
  EXPECT_EQ(t.build("who+ \"x\" ", 0), "world\"x\"");
  // Formats are flags, width and precision only.
  EXPECT_EQ(t.build("who:s%s%s+\"!\"", 0, TSK_FAIL), "!");
  EXPECT_EQ(t.build("who:*", 0, TSK_FAIL), "");
}

TEST(ParseTable, DroppingEmptyValuesSwallowsSeparators) {
  Table t;
  for (const char* name : {"a", "b", "c", "name", "d"}) {
    t.add(name, TSK_PARSE_TEXT);
  }
  t.setText("a", "A");
  t.setText("c", "C");
  t.setText("name", "N");
  EXPECT_EQ(t.build("a+\", \"+b+\", \"+c", 1), "A, C");
  EXPECT_EQ(t.build("a+\", \"+b+\", \"+c", 0), "A, , C");
  EXPECT_EQ(t.build("name+\" (\"+d+\")\"", 1), "N");
  t.setText("b", "B");
  t.setText("c", "");
  EXPECT_EQ(t.build("a+\", \"+b+\", \"+c", 1), "A, B");
  t.setText("b", "");
  EXPECT_EQ(t.build("a+\", \"+b+\", \"+c", 1), "A");
}

TEST(ParseTable, EmptyValuesAndEmptyLiterals) {
  Table t;
  t.add("a", TSK_PARSE_TEXT);
  t.add("d", TSK_PARSE_TEXT);
  t.setText("a", "A");
  // No text, no piece: a width pads nothing.
  EXPECT_EQ(t.build("a+\"[\"+d:5+\"]\"", 0), "A[]");
  EXPECT_EQ(t.build("a+\", \"+d:5", 1), "A");
  // An empty literal is the last literal: nothing is taken back.
  EXPECT_EQ(t.build("a+\", \"+\"\"+d", 1), "A, ");
}

TEST(ParseTable, LongNamesAreCutAlikeWhereMadeAndLookedUp) {
  const std::string name(100, 'k');
  Table t;
  ASSERT_EQ(string_buildParseTable(name.c_str(), &t.head), TSK_OK);
  ASSERT_EQ(string_parseString(name.c_str(), "value", &t.head), TSK_OK);
  uint32_t count = 0;
  ASSERT_EQ(string_parseTableLength(t.head, &count), TSK_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(t.text(name.c_str()), "value");
  EXPECT_EQ(t.build(name.c_str(), 0), "value");
}

TEST(ParseTable, TextMayBeSetToItself) {
  Table t;
  t.add("a", TSK_PARSE_TEXT);
  t.setText("a", "same");
  t.setText("a", t.head->value.text);
  EXPECT_EQ(t.text("a"), "same");
}

TEST(ParseTable, SizesBeyondTheLimitsFailWithoutOverrunning) {
  Table t;
  const std::string longName(300, 'n');
  EXPECT_EQ(string_buildParseTable(longName.c_str(), &t.head), TSK_FAIL);
  const std::string name100(100, 'm');
  ASSERT_EQ(string_buildParseTable(name100.c_str(), &t.head), TSK_OK);
  EXPECT_EQ(std::strlen(t.head->name), 63u); // cut to what the entry holds
  string_freeParseTable(&t.head);

  const std::string longValue(200, 'v');
  EXPECT_EQ(string_parseString("v", longValue.c_str(), &t.head), TSK_FAIL);

  t.add("big", TSK_PARSE_TEXT);
  t.setText("big", std::string(200, 'b').c_str());
  char out[256];
  EXPECT_EQ(string_buildString(t.head, "big", 0, out), TSK_FAIL);
  const std::string many = "\"" + std::string(100, 'x') + "\"";
  const std::string templ = many + "+" + many + "+" + many;
  EXPECT_EQ(t.build(templ.c_str(), 0, TSK_FAIL), std::string(255, 'x')); // cut to 256 bytes
  // Over the limit midway fails, even when a dropped value takes text back.
  t.add("none", TSK_PARSE_TEXT);
  const std::string sixty = "\"" + std::string(60, 'y') + "\"";
  EXPECT_EQ(t.build((many + "+" + many + "+" + sixty + "+none").c_str(), 1, TSK_FAIL),
            std::string(200, 'x'));
}

TEST(ParseTable, NullArgumentsFail) {
  Table t;
  ParseTableValue* entry = nullptr;
  char out[256];
  EXPECT_EQ(string_buildParseTable(nullptr, &t.head), TSK_FAIL);
  EXPECT_EQ(string_parseString("a", nullptr, &t.head), TSK_FAIL);
  EXPECT_EQ(string_buildString(nullptr, "a", 0, out), TSK_FAIL); // an empty table too
  EXPECT_EQ(string_getParseTableValue("a", nullptr, &entry), TSK_FAIL);
  EXPECT_EQ(string_addParseTableValue(&t.head, nullptr), TSK_FAIL);
  EXPECT_EQ(string_freeParseTable(nullptr), TSK_FAIL);
}

TEST(ParseTable, FailedAllocationsLeakNothing) {
  const int64_t allocations = tsk::test::countAllocations([] {
    Table t;
    string_buildParseTable("a+b", &t.head);
  });
  ASSERT_GE(allocations, 2); // an entry for each field
  for (int64_t n = 1; n <= allocations; ++n) {
    ParseTableValue sentinel{};
    ParseTableValue* head = &sentinel;
    tsk::test::FailNthAllocation failure(n);
    EXPECT_EQ(string_buildParseTable("a+b", &head), TSK_FAIL) << n;
    EXPECT_EQ(failure.leaked(), 0) << n;
    EXPECT_EQ(head, &sentinel);
  }
  {
    Table t;
    tsk::test::FailNthAllocation failure(1); // the entry for "a"
    EXPECT_EQ(string_parseString("a+b", "xy", &t.head), TSK_FAIL);
    EXPECT_EQ(failure.leaked(), 0);
  }
  Table t;
  t.add("a", TSK_PARSE_TEXT);
  t.setText("a", "old");
  tsk::test::FailNthAllocation failure(1);
  EXPECT_EQ(string_setParseTableValue("a", t.head, "new"), TSK_FAIL);
  EXPECT_EQ(t.head->value.text, nullptr);
}

} // namespace
