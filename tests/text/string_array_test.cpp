#include "tskbase/string_array.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "allocation_failure.h"

namespace {

using tsk::test::countAllocations;
using tsk::test::FailNthAllocation;

// A narrow string array that releases itself, with helpers to read it.
struct ArrayA {
  char** items = nullptr;
  uint32_t count = 0;

  ~ArrayA() { stringArray_destroyA(&items, &count); }

  void add(const char* s) { ASSERT_EQ(stringArray_addMemberCopyA(&items, &count, s), TSK_OK); }
  void addNull() {
    // Null members can only enter through a copy of an array holding them.
    const char* const null[] = {nullptr};
    ASSERT_EQ(stringArray_appendCopyA(&items, &count, null, 1), TSK_OK);
  }
  std::vector<std::string> strings() const {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < count; ++i) {
      out.push_back(items[i] == nullptr ? "<null>" : items[i]);
    }
    return out;
  }
};

using Strings = std::vector<std::string>;

TEST(StringArray, AddKeepsCallOrderAndTakesOverMembers) {
  ArrayA a;
  a.add("one");
  a.add("two");
  char* owned = static_cast<char*>(std::malloc(6));
  std::memcpy(owned, "three", 6);
  ASSERT_EQ(stringArray_addMemberA(&a.items, &a.count, owned), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"one", "two", "three"}));
  EXPECT_EQ(a.items[2], owned); // taken over, not copied

  EXPECT_EQ(stringArray_addMemberA(&a.items, &a.count, nullptr), TSK_FAIL);
  EXPECT_EQ(stringArray_addMemberCopyA(&a.items, nullptr, "x"), TSK_FAIL);
  EXPECT_EQ(a.count, 3u);
}

TEST(StringArray, AppendMovesMembersAndEmptiesTheSource) {
  ArrayA dest, src;
  dest.add("a");
  src.add("b");
  src.addNull();
  char* moved = src.items[0];
  ASSERT_EQ(stringArray_appendA(&dest.items, &dest.count, &src.items, &src.count), TSK_OK);
  EXPECT_EQ(dest.strings(), (Strings{"a", "b", "<null>"}));
  EXPECT_EQ(dest.items[1], moved);
  EXPECT_EQ(src.items, nullptr);
  EXPECT_EQ(src.count, 0u);

  // An empty or missing source changes nothing.
  EXPECT_EQ(stringArray_appendA(&dest.items, &dest.count, &src.items, &src.count), TSK_OK);
  EXPECT_EQ(stringArray_appendA(&dest.items, &dest.count, nullptr, nullptr), TSK_OK);
  EXPECT_EQ(dest.count, 3u);
  EXPECT_EQ(stringArray_appendA(nullptr, &dest.count, &src.items, &src.count), TSK_FAIL);
}

TEST(StringArray, CopiesAreIndependent) {
  const char* const src[] = {"x", nullptr, ""};
  ArrayA copy;
  ASSERT_EQ(stringArray_copyA(&copy.items, &copy.count, src, 3), TSK_OK);
  EXPECT_EQ(copy.strings(), (Strings{"x", "<null>", ""}));
  EXPECT_NE(copy.items[0], src[0]);

  ArrayA more;
  more.add("first");
  ASSERT_EQ(stringArray_appendCopyA(&more.items, &more.count, src, 3), TSK_OK);
  EXPECT_EQ(more.strings(), (Strings{"first", "x", "<null>", ""}));

  ArrayA empty;
  ASSERT_EQ(stringArray_copyA(&empty.items, &empty.count, src, 0), TSK_OK);
  EXPECT_EQ(empty.items, nullptr);
  EXPECT_EQ(empty.count, 0u);
  EXPECT_EQ(stringArray_copyA(&empty.items, &empty.count, nullptr, 2), TSK_FAIL);
}

TEST(StringArray, FindIsExactAndSkipsNulls) {
  ArrayA a;
  a.addNull();
  a.add("apple");
  a.add("Apple");
  uint32_t index = 99;
  ASSERT_EQ(stringArray_findMemberA(a.items, a.count, "Apple", &index), TSK_OK);
  EXPECT_EQ(index, 2u);
  index = 99;
  EXPECT_EQ(stringArray_findMemberA(a.items, a.count, "APPLE", &index), TSK_FAIL);
  EXPECT_EQ(stringArray_findMemberA(a.items, a.count, "appl", &index), TSK_FAIL);
  EXPECT_EQ(stringArray_findMemberA(a.items, 0, "apple", &index), TSK_FAIL);
  EXPECT_EQ(index, 99u);
}

TEST(StringArray, DeleteReleasesTheMemberAndCompacts) {
  ArrayA a;
  a.add("a");
  a.addNull();
  a.add("b");
  ASSERT_EQ(stringArray_deleteMemberA(&a.items, &a.count, "a"), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"b"}));
  EXPECT_EQ(a.items[1], nullptr);
  EXPECT_EQ(a.items[2], nullptr);
  ASSERT_EQ(stringArray_deleteMemberA(&a.items, &a.count, "missing"), TSK_OK);
  EXPECT_EQ(a.count, 1u);
  EXPECT_EQ(stringArray_deleteMemberA(&a.items, &a.count, nullptr), TSK_FAIL);
}

TEST(StringArray, RemoveDuplicatesKeepsFirstOccurrences) {
  ArrayA a;
  for (const char* s : {"x", "y", "x", "x", "y"}) {
    a.add(s);
  }
  a.addNull();
  a.addNull();
  ASSERT_EQ(stringArray_removeDuplicatesA(a.items, &a.count), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"x", "y", "<null>", "<null>"}));
  for (uint32_t i = a.count; i < 7; ++i) {
    EXPECT_EQ(a.items[i], nullptr) << i;
  }
}

TEST(StringArray, RemoveBlanksDropsEmptyStringsWithoutReleasingThem) {
  ArrayA a;
  a.add("a");
  a.add("");
  a.addNull();
  a.add("b");
  char* empty = a.items[1];
  ASSERT_EQ(stringArray_removeBlanksA(a.items, &a.count), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"a", "b"}));
  EXPECT_EQ(a.items[2], nullptr);
  // Still ours: releasing it again would be a double free.
  std::free(empty);

  ASSERT_EQ(stringArray_removeNullsA(a.items, &a.count), TSK_OK);
  EXPECT_EQ(a.count, 2u);
  EXPECT_EQ(stringArray_removeNullsA(nullptr, &a.count), TSK_FAIL);
}

TEST(StringArray, WideFormsCompareUnitByUnit) {
  tsk_wchar_t** items = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(stringArray_addMemberCopyW(&items, &count, TSK_W("\u00e9t\u00e9")), TSK_OK);
  ASSERT_EQ(stringArray_addMemberCopyW(&items, &count, TSK_W("")), TSK_OK);
  ASSERT_EQ(stringArray_addMemberCopyW(&items, &count, TSK_W("\u00e9t\u00e9")), TSK_OK);
  ASSERT_EQ(stringArray_addMemberCopyW(&items, &count, TSK_W("apple")), TSK_OK);
  uint32_t index = 0;
  EXPECT_EQ(stringArray_findMemberW(items, count, TSK_W("Apple"), &index), TSK_FAIL);
  ASSERT_EQ(stringArray_removeDuplicatesW(items, &count), TSK_OK);
  EXPECT_EQ(count, 3u);
  tsk_wchar_t* empty = items[1];
  ASSERT_EQ(stringArray_removeBlanksW(items, &count), TSK_OK);
  std::free(empty);
  ASSERT_EQ(stringArray_deleteMemberW(&items, &count, TSK_W("\u00e9t\u00e9")), TSK_OK);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(items[0][0], u'a');
  ASSERT_EQ(stringArray_destroyW(&items, &count), TSK_OK);
  EXPECT_EQ(items, nullptr);
  EXPECT_EQ(count, 0u);
}

TEST(StringArray, RemoveNullsKeepsOrderAndNullsVacatedSlots) {
  ArrayA a;
  a.addNull();
  a.add("a");
  a.addNull();
  a.addNull();
  a.add("b");
  ASSERT_EQ(stringArray_removeNullsA(a.items, &a.count), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"a", "b"}));
  for (uint32_t i = 2; i < 5; ++i) {
    EXPECT_EQ(a.items[i], nullptr) << i;
  }
}

// The arrays are caller-held pairs that may alias; no form of aliasing may
// lose members or touch released memory.
TEST(StringArray, AliasedArrays) {
  ArrayA a;
  a.add("x");
  a.add("y");
  char** block = a.items;
  EXPECT_EQ(stringArray_appendA(&a.items, &a.count, &a.items, &a.count), TSK_FAIL);
  char** alias = a.items;
  uint32_t aliasCount = a.count;
  EXPECT_EQ(stringArray_appendA(&a.items, &a.count, &alias, &aliasCount), TSK_FAIL);
  EXPECT_EQ(a.items, block);
  EXPECT_EQ(a.strings(), (Strings{"x", "y"}));

  // Copies of an array's own members append like any others.
  ASSERT_EQ(stringArray_appendCopyA(&a.items, &a.count, a.items, a.count), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"x", "y", "x", "y"}));
  ASSERT_EQ(stringArray_appendCopyA(&a.items, &a.count, a.items + 3, 1), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"x", "y", "x", "y", "y"}));
}

TEST(StringArray, ANullBlockWithACountIsNoArray) {
  char** items = nullptr;
  uint32_t count = 2;
  EXPECT_EQ(stringArray_addMemberCopyA(&items, &count, "x"), TSK_FAIL);
  const char* const more[] = {"y"};
  EXPECT_EQ(stringArray_appendCopyA(&items, &count, more, 1), TSK_FAIL);
  EXPECT_EQ(items, nullptr);
  EXPECT_EQ(count, 2u);
}

TEST(StringArray, CaseChangesEveryMemberInPlace) {
  ArrayA a;
  a.add("MiXed");
  a.addNull();
  a.add("two Words");
  char* const first = a.items[0];
  ASSERT_EQ(stringArray_toUpperA(a.items, a.count), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"MIXED", "<null>", "TWO WORDS"}));
  EXPECT_EQ(a.items[0], first);
  ASSERT_EQ(stringArray_toLowerA(a.items, a.count), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"mixed", "<null>", "two words"}));
  // Only the first `count` members are touched.
  ASSERT_EQ(stringArray_toUpperA(a.items, 1), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"MIXED", "<null>", "two words"}));

  tsk_wchar_t** items = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(stringArray_addMemberCopyW(&items, &count, TSK_W("Wide")), TSK_OK);
  ASSERT_EQ(stringArray_toUpperW(items, count), TSK_OK);
  EXPECT_EQ(std::basic_string<tsk_wchar_t>(items[0]), TSK_W("WIDE"));
  ASSERT_EQ(stringArray_toLowerW(items, count), TSK_OK);
  EXPECT_EQ(std::basic_string<tsk_wchar_t>(items[0]), TSK_W("wide"));
  ASSERT_EQ(stringArray_destroyW(&items, &count), TSK_OK);

  EXPECT_EQ(stringArray_toLowerA(nullptr, 0), TSK_OK);
  EXPECT_EQ(stringArray_toLowerA(nullptr, 1), TSK_FAIL);
  EXPECT_EQ(stringArray_toUpperW(nullptr, 2), TSK_FAIL);
}

// ---- Failed allocations ---------------------------------------------------

TEST(StringArrayAllocation, FailedAdditionLeavesTheArrayAsItWas) {
  ArrayA a;
  a.add("kept");
  char** before = a.items;
  for (int64_t n = 1; n <= 2; ++n) { // the copy, then the block
    FailNthAllocation failure(n);
    EXPECT_EQ(stringArray_addMemberCopyA(&a.items, &a.count, "new"), TSK_FAIL) << n;
    EXPECT_EQ(failure.leaked(), 0) << "allocation " << n;
    EXPECT_EQ(a.items, before);
    EXPECT_EQ(a.strings(), (Strings{"kept"}));
  }
}

TEST(StringArrayAllocation, FailedCopyLeavesTheTargetUntouched) {
  const char* const src[] = {"a", nullptr, "b", "c"};
  const int64_t allocations = countAllocations([&] {
    ArrayA scratch;
    stringArray_copyA(&scratch.items, &scratch.count, src, 4);
  });
  ASSERT_EQ(allocations, 4); // the block and three strings
  for (int64_t n = 1; n <= allocations; ++n) {
    char** target = reinterpret_cast<char**>(0x1); // must not be touched
    uint32_t count = 77;
    FailNthAllocation failure(n);
    EXPECT_EQ(stringArray_copyA(&target, &count, src, 4), TSK_FAIL);
    EXPECT_EQ(failure.leaked(), 0) << "allocation " << n;
    EXPECT_EQ(target, reinterpret_cast<char**>(0x1));
    EXPECT_EQ(count, 77u);
  }
}

TEST(StringArrayAllocation, FailedAppendCopyEmptiesTheDestination) {
  const char* const src[] = {"x", "y"};
  {
    ArrayA dest;
    dest.add("old");
    FailNthAllocation failure(1); // growing the block
    EXPECT_EQ(stringArray_appendCopyA(&dest.items, &dest.count, src, 2), TSK_FAIL);
    EXPECT_EQ(dest.strings(), (Strings{"old"}));
  }
  for (int64_t n = 2; n <= 3; ++n) { // copying "x", then "y"
    ArrayA dest;
    dest.add("old");
    FailNthAllocation failure(n);
    EXPECT_EQ(stringArray_appendCopyA(&dest.items, &dest.count, src, 2), TSK_FAIL);
    // The block and "old" are released, and so are the copies made before.
    EXPECT_EQ(failure.leaked(), -2) << "allocation " << n;
    EXPECT_EQ(dest.items, nullptr);
    EXPECT_EQ(dest.count, 0u);
  }
}

} // namespace
