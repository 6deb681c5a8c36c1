#include "tskbase/string_array.h"
#include "tskbase/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
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

  ArrayA(std::initializer_list<const char*> members = {})
      : ArrayA(std::vector<const char*>(members)) {}
  explicit ArrayA(const std::vector<const char*>& members) {
    const auto size = static_cast<uint32_t>(members.size());
    EXPECT_TRUE(size == 0 || stringArray_copyA(&items, &count, members.data(), size) == TSK_OK);
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

// The helper arrays below are made by stringArray_copyA.
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

  // Copies are fresh; copying nothing makes no block.
  const char* const x = "x";
  ArrayA copy(std::vector<const char*>{x}), empty;
  EXPECT_NE(copy.items[0], x);
  ASSERT_EQ(stringArray_copyA(&empty.items, &empty.count, &x, 0), TSK_OK);
  EXPECT_TRUE(empty.items == nullptr && empty.count == 0);
  EXPECT_EQ(stringArray_copyA(&dest.items, &dest.count, nullptr, 2), TSK_FAIL);
}

// Every array of one to four members drawn from a small pool (null, empty and
// case twins included), edited by the library and by a std::vector model:
// lookups compare byte for byte, removals keep the survivors in order and null
// the vacated slots, case changes work in place. Members are never copied.
TEST(StringArray, EditsMatchAVectorModel) {
  struct Edit {
    tsk_status (*library)(ArrayA&, const char* target);
    void (*model)(Strings&, const char* target);
  };
  const Edit edits[] = {
      {[](ArrayA& a, const char*) { return stringArray_removeNullsA(a.items, &a.count); },
       [](Strings& m, const char*) { std::erase(m, "<null>"); }},
      {[](ArrayA& a, const char*) {
         // The empty members dropped stay the caller's: freeing them is a
         // double free had the array released them.
         std::vector<char*> empties;
         std::copy_if(a.items, a.items + a.count, std::back_inserter(empties),
                      [](const char* m) { return m != nullptr && m[0] == 0; });
         const tsk_status status = stringArray_removeBlanksA(a.items, &a.count);
         std::ranges::for_each(empties, string_freeA);
         return status;
       },
       [](Strings& m, const char*) {
         std::erase_if(m, [](const std::string& s) { return s.empty() || s == "<null>"; });
       }},
      {[](ArrayA& a, const char*) { return stringArray_removeDuplicatesA(a.items, &a.count); },
       [](Strings& m, const char*) {
         for (auto it = m.begin(); it != m.end(); ++it) {
           if (*it != "<null>") {
             m.erase(std::remove(it + 1, m.end(), *it), m.end());
           }
         }
       }},
      {[](ArrayA& a, const char*) { return stringArray_toUpperA(a.items, a.count - 1); },
       [](Strings& m, const char*) {
         for (size_t i = 0; i + 1 < m.size(); ++i) {
           if (m[i] != "<null>") {
             std::ranges::transform(m[i], m[i].begin(), ::toupper);
           }
         }
       }},
      {[](ArrayA& a, const char* target) {
         return stringArray_deleteMemberA(&a.items, &a.count, target);
       },
       [](Strings& m, const char* target) {
         const auto at = std::ranges::find(m, target);
         if (at != m.end()) {
           m.erase(at);
           std::erase(m, "<null>");
         }
       }},
  };
  const char* const pool[] = {nullptr, "", "a", "A", "ab"};
  for (size_t n = 1, codes = std::size(pool); n <= 4; ++n, codes *= std::size(pool)) {
    for (size_t code = 0; code < codes; ++code) {
      std::vector<const char*> members;
      for (size_t c = code; members.size() < n; c /= std::size(pool)) {
        members.push_back(pool[c % std::size(pool)]);
      }
      const Strings original = ArrayA(members).strings();
      for (const char* target : {"", "a", "A", "ab"}) {
        const auto at = std::ranges::find(original, target);
        ArrayA a(members);
        uint32_t index = 99;
        EXPECT_EQ(stringArray_findMemberA(a.items, a.count, target, &index),
                  at == original.end() ? TSK_FAIL : TSK_OK);
        EXPECT_EQ(index, at == original.end() ? 99 : at - original.begin());
        for (const Edit& edit : edits) {
          ArrayA edited(members);
          const std::vector<char*> slots(edited.items, edited.items + n);
          Strings expected = original;
          edit.model(expected, target);
          ASSERT_EQ(edit.library(edited, target), TSK_OK);
          EXPECT_EQ(edited.strings(), expected) << testing::PrintToString(original) << target;
          for (size_t i = 0; i < n; ++i) {
            EXPECT_TRUE(i < edited.count ? std::ranges::count(slots, edited.items[i]) > 0
                                         : edited.items[i] == nullptr);
          }
        }
      }
    }
  }
  EXPECT_EQ(stringArray_toLowerA(nullptr, 0), TSK_OK);
  EXPECT_EQ(stringArray_toLowerA(nullptr, 1), TSK_FAIL);
  EXPECT_EQ(stringArray_toUpperW(nullptr, 2), TSK_FAIL);
  ArrayA one{"a"};
  EXPECT_EQ(stringArray_deleteMemberA(&one.items, &one.count, nullptr), TSK_FAIL);
  EXPECT_EQ(stringArray_removeNullsA(nullptr, &one.count), TSK_FAIL);
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

// ---- Failed allocations ---------------------------------------------------

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

// A failed addition, or a failure to grow the block, leaves the array as it
// was; failing to copy a member for appendCopy releases the block, "old" and
// the copies made before.
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
