// The stringArray_ family. Each operation is one template over the character
// type, so the narrow names stand for the wide ones.
#include "tskbase/string_array.h"
#include "tskbase/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "platform/heap.h"

namespace {

using tsk::test::FailNthAllocation;
using Strings = std::vector<std::string>;

// A narrow string array, made as a copy of `members`, that releases itself.
// "<null>" stands for a null member.
struct ArrayA {
  char** items = nullptr;
  uint32_t count = 0;

  ArrayA(std::initializer_list<const char*> members = {}) {
    const auto size = static_cast<uint32_t>(members.size());
    EXPECT_TRUE(size == 0 || stringArray_appendCopyA(&items, &count, members.begin(), size) == 0);
  }
  ~ArrayA() { stringArray_destroyA(&items, &count); }
  Strings strings() const {
    Strings out;
    for (uint32_t i = 0; i < count; ++i) {
      out.push_back(items[i] == nullptr ? "<null>" : items[i]);
    }
    return out;
  }
};

TEST(StringArray, AddTakesOverOrCopiesInCallOrder) {
  ArrayA a;
  ASSERT_EQ(stringArray_addMemberCopyA(&a.items, &a.count, "one"), TSK_OK);
  // A block of the caller's runtime heap, which the array takes over.
  char* owned = static_cast<char*>(tsk::platform::heapAllocate(4));
  std::memcpy(owned, "two", 4);
  ASSERT_EQ(stringArray_addMemberA(&a.items, &a.count, owned), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"one", "two"}));
  EXPECT_EQ(a.items[1], owned); // taken over, not copied
  EXPECT_EQ(stringArray_addMemberA(&a.items, &a.count, nullptr), TSK_FAIL);
  EXPECT_EQ(stringArray_addMemberCopyA(&a.items, nullptr, "x"), TSK_FAIL);
  EXPECT_EQ(a.count, 2u);

  char** none = nullptr;
  uint32_t count = 2; // a null block with a count is no array
  EXPECT_EQ(stringArray_addMemberCopyA(&none, &count, "x"), TSK_FAIL);
  EXPECT_EQ(stringArray_appendCopyA(&none, &count, a.items, 1), TSK_FAIL);
  EXPECT_TRUE(none == nullptr && count == 2);
}

TEST(StringArray, AppendMovesMembersAndCopyMakesFreshOnes) {
  ArrayA dest{"a"}, src{"b", nullptr};
  char* moved = src.items[0];
  ASSERT_EQ(stringArray_appendA(&dest.items, &dest.count, &src.items, &src.count), TSK_OK);
  EXPECT_EQ(dest.strings(), (Strings{"a", "b", "<null>"}));
  EXPECT_EQ(dest.items[1], moved);
  EXPECT_TRUE(src.items == nullptr && src.count == 0);
  // An empty or missing source changes nothing.
  EXPECT_EQ(stringArray_appendA(&dest.items, &dest.count, &src.items, &src.count), TSK_OK);
  EXPECT_EQ(stringArray_appendA(&dest.items, &dest.count, nullptr, nullptr), TSK_OK);
  EXPECT_EQ(dest.count, 3u);
  EXPECT_EQ(stringArray_appendA(nullptr, &dest.count, &src.items, &src.count), TSK_FAIL);

  // Copies are fresh and independent of their source.
  const char* const strs[] = {"x", nullptr, ""};
  ArrayA copy, empty;
  ASSERT_EQ(stringArray_copyA(&copy.items, &copy.count, strs, 3), TSK_OK);
  EXPECT_EQ(copy.strings(), (Strings{"x", "<null>", ""}));
  EXPECT_NE(copy.items[0], strs[0]);
  ASSERT_EQ(stringArray_copyA(&empty.items, &empty.count, strs, 0), TSK_OK);
  EXPECT_TRUE(empty.items == nullptr && empty.count == 0);
  EXPECT_EQ(stringArray_copyA(&empty.items, &empty.count, nullptr, 2), TSK_FAIL);
}

// Lookups compare byte for byte, case included; case changes touch the first
// `count` members in place.
TEST(StringArray, FindAndCaseChanges) {
  ArrayA a{nullptr, "apple", "Apple", "two Words"};
  uint32_t index = 99;
  ASSERT_EQ(stringArray_findMemberA(a.items, a.count, "Apple", &index), TSK_OK);
  EXPECT_EQ(index, 2u);
  index = 99;
  EXPECT_EQ(stringArray_findMemberA(a.items, a.count, "APPLE", &index), TSK_FAIL);
  EXPECT_EQ(stringArray_findMemberA(a.items, a.count, "appl", &index), TSK_FAIL);
  EXPECT_EQ(stringArray_findMemberA(a.items, 0, "apple", &index), TSK_FAIL);
  EXPECT_EQ(index, 99u);

  char* const second = a.items[1];
  ASSERT_EQ(stringArray_toUpperA(a.items, a.count), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"<null>", "APPLE", "APPLE", "TWO WORDS"}));
  EXPECT_EQ(a.items[1], second);
  ASSERT_EQ(stringArray_toLowerA(a.items, 3), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"<null>", "apple", "apple", "TWO WORDS"}));
  EXPECT_EQ(stringArray_toLowerA(nullptr, 0), TSK_OK);
  EXPECT_EQ(stringArray_toLowerA(nullptr, 1), TSK_FAIL);
  EXPECT_EQ(stringArray_toUpperW(nullptr, 2), TSK_FAIL);
}

// Removals keep the survivors in order and set the vacated slots to null.
TEST(StringArray, RemovalsCompact) {
  const auto expect = [](const ArrayA& a, const Strings& survivors, uint32_t slots) {
    EXPECT_EQ(a.strings(), survivors);
    for (uint32_t i = a.count; i < slots; ++i) {
      EXPECT_EQ(a.items[i], nullptr) << i;
    }
  };
  ArrayA nulls{nullptr, "a", nullptr, nullptr, "b"};
  ASSERT_EQ(stringArray_removeNullsA(nulls.items, &nulls.count), TSK_OK);
  expect(nulls, {"a", "b"}, 5);
  ArrayA dups{"x", "y", "x", "x", nullptr, "y", nullptr, "z"}; // nulls are never equal
  ASSERT_EQ(stringArray_removeDuplicatesA(dups.items, &dups.count), TSK_OK);
  expect(dups, {"x", "y", "<null>", "<null>", "z"}, 8);
  ArrayA del{"a", nullptr, "b"};
  ASSERT_EQ(stringArray_deleteMemberA(&del.items, &del.count, "a"), TSK_OK);
  expect(del, {"b"}, 3);
  ASSERT_EQ(stringArray_deleteMemberA(&del.items, &del.count, "missing"), TSK_OK);
  EXPECT_EQ(del.count, 1u);
  EXPECT_EQ(stringArray_deleteMemberA(&del.items, &del.count, nullptr), TSK_FAIL);

  ArrayA blanks{"a", "", nullptr, "b"};
  char* empty = blanks.items[1];
  ASSERT_EQ(stringArray_removeBlanksA(blanks.items, &blanks.count), TSK_OK);
  expect(blanks, {"a", "b"}, 3);
  string_freeA(empty); // still ours: had it been released, this would be a double free
  EXPECT_EQ(stringArray_removeNullsA(nullptr, &blanks.count), TSK_FAIL);
}

// The arrays are caller-held pairs that may alias; no form of aliasing may
// lose members or touch released memory.
TEST(StringArray, AliasedArrays) {
  ArrayA a{"x", "y"};
  char** block = a.items;
  EXPECT_EQ(stringArray_appendA(&a.items, &a.count, &a.items, &a.count), TSK_FAIL);
  char** alias = a.items;
  uint32_t aliasCount = a.count;
  EXPECT_EQ(stringArray_appendA(&a.items, &a.count, &alias, &aliasCount), TSK_FAIL);
  EXPECT_EQ(a.items, block);
  EXPECT_EQ(a.strings(), (Strings{"x", "y"}));
  // Copies of an array's own members append like any others.
  ASSERT_EQ(stringArray_appendCopyA(&a.items, &a.count, a.items, a.count), TSK_OK);
  ASSERT_EQ(stringArray_appendCopyA(&a.items, &a.count, a.items + 3, 1), TSK_OK);
  EXPECT_EQ(a.strings(), (Strings{"x", "y", "x", "y", "y"}));
}

TEST(StringArrayAllocation, FailedCopyLeavesTheTargetUntouched) {
  const char* const src[] = {"a", nullptr, "b", "c"};
  for (int64_t n = 1; n <= 4; ++n) {               // the block and three strings
    char** target = reinterpret_cast<char**>(0x1); // must not be touched
    uint32_t count = 77;
    FailNthAllocation failure(n);
    EXPECT_EQ(stringArray_copyA(&target, &count, src, 4), TSK_FAIL);
    EXPECT_EQ(failure.leaked(), 0) << "allocation " << n;
    EXPECT_TRUE(target == reinterpret_cast<char**>(0x1) && count == 77);
  }
}

// A failed addition leaves the array as it was; a failed member copy of
// appendCopy releases the whole array.
TEST(StringArrayAllocation, FailedAdditionsKeepOrEmptyTheArray) {
  const char* const src[] = {"x", "y"};
  for (int64_t n = 1; n <= 3; ++n) { // appendCopy: the block, then "x", then "y"
    ArrayA a{"old"};
    char** before = a.items;
    if (n <= 2) { // addMemberCopy: the copy, then the block
      FailNthAllocation failure(n);
      EXPECT_EQ(stringArray_addMemberCopyA(&a.items, &a.count, "new"), TSK_FAIL) << n;
      EXPECT_EQ(failure.leaked(), 0) << "allocation " << n;
      EXPECT_TRUE(a.items == before && a.strings() == Strings{"old"}) << n;
    }
    FailNthAllocation failure(n);
    EXPECT_EQ(stringArray_appendCopyA(&a.items, &a.count, src, 2), TSK_FAIL);
    EXPECT_EQ(failure.leaked(), n == 1 ? 0 : -2) << "allocation " << n;
    EXPECT_EQ(a.strings(), n == 1 ? Strings{"old"} : Strings{});
    EXPECT_EQ(a.items, n == 1 ? before : nullptr);
  }
}

} // namespace
