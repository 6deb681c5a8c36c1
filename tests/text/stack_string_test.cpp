#include "tskbase/stackstr.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "allocation_failure.h"

namespace {

using tsk::test::FailNthAllocation;
using WString = std::basic_string<tsk_wchar_t>;

using State = std::pair<WString, uint64_t>; // the text and the capacity

WString text(const _TSKBASE_STACKSTR& s) { return WString(s.buffer); }
State state(const _TSKBASE_STACKSTR& s) { return {text(s), s.capacity}; }

// A record over a caller's buffer of N characters, destroyed at the end.
template <size_t N>
struct Local {
  tsk_wchar_t buffer[N] = {};
  _TSKBASE_STACKSTR s{};
  Local() { EXPECT_EQ(stackStr_Init(&s, buffer, N), TSK_STACKSTR_OK); }
  ~Local() { stackStr_Destroy(&s); }
  bool inCallersBuffer() const { return s.buffer == buffer && s.onHeap == 0; }
};

TEST(StackString, StaysInTheCallersBufferUntilOutgrown) {
  Local<8> str;
  EXPECT_EQ(tsk::test::countAllocations([&] {
              EXPECT_EQ(stackStr_Copy(&str.s, TSK_W("1234567")), TSK_STACKSTR_OK);
              EXPECT_EQ(stackStr_Sprintf(&str.s, TSK_W("%d-%s"), 42, TSK_W("ab")), 0);
              EXPECT_EQ(stackStr_SprintfCat(&str.s, TSK_W("%S"), "c"), 0);
            }),
            0);
  EXPECT_TRUE(str.inCallersBuffer());
  EXPECT_EQ(text(str.s), TSK_W("42-abc"));

  // Copying grows to exactly the size needed. The caller's buffer is left
  // behind as it was and never freed (ASan would catch that).
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("12345678")), TSK_STACKSTR_OK);
  EXPECT_EQ(str.s.onHeap, 1);
  EXPECT_EQ(state(str.s), State(TSK_W("12345678"), 9));
  EXPECT_EQ(WString(str.buffer), TSK_W("42-abc"));
}

// Formatting without a buffer starts at 128 characters and doubles; text that
// misses only its terminator takes exactly one more.
TEST(StackString, FormattingStartsAt128AndDoubles) {
  // {caller's buffer, text length, resulting capacity}
  const uint64_t cases[][3] = {{0, 3, 128},   {0, 127, 128}, {0, 128, 129},
                               {0, 129, 256}, {0, 300, 512}, {8, 8, 9}};
  for (const auto& c : cases) {
    std::vector<tsk_wchar_t> local(c[0] + 1, 0);
    _TSKBASE_STACKSTR s{};
    ASSERT_EQ(stackStr_Init(&s, c[0] != 0 ? local.data() : nullptr, c[0]), TSK_STACKSTR_OK);
    const WString body(c[1], 'q');
    ASSERT_EQ(stackStr_Sprintf(&s, TSK_W("%s"), body.c_str()), TSK_STACKSTR_OK);
    EXPECT_EQ(state(s), State(body, c[2])) << c[1];
    stackStr_Destroy(&s);
  }
}

// Appending grows to exactly the size needed and keeps the text when it moves
// to the heap, even when the appended text is the record's own.
TEST(StackString, AppendingGrowsExactlyAndKeepsTheText) {
  Local<4> str, formatted;
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("xy")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Cat(&str.s, str.s.buffer), TSK_STACKSTR_OK);
  EXPECT_EQ(state(str.s), State(TSK_W("xyxy"), 5));
  ASSERT_EQ(stackStr_NCat(&str.s, TSK_W("abcdef"), 3), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Cat(&str.s, nullptr), TSK_STACKSTR_OK);
  EXPECT_EQ(state(str.s), State(TSK_W("xyxyabc"), 8));
  ASSERT_EQ(stackStr_NCat(&str.s, str.s.buffer + 1, 2), TSK_STACKSTR_OK); // heap to heap
  EXPECT_EQ(state(str.s), State(TSK_W("xyxyabcyx"), 10));
  ASSERT_EQ(stackStr_Copy(&formatted.s, TSK_W("ab")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_SprintfCat(&formatted.s, TSK_W("[%05d]"), 7), TSK_STACKSTR_OK);
  EXPECT_EQ(text(formatted.s), TSK_W("ab[00007]"));
}

// A record without a buffer reads as empty and gets a heap buffer when needed;
// destroying clears the record.
TEST(StackString, RecordsWithoutBuffer) {
  _TSKBASE_STACKSTR s{};
  ASSERT_EQ(stackStr_Init(&s, nullptr, 0), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Copy(&s, TSK_W("")), TSK_STACKSTR_OK);
  ASSERT_NE(s.buffer, nullptr);
  EXPECT_EQ(state(s), State(TSK_W(""), 0));
  ASSERT_EQ(stackStr_Cat(&s, TSK_W("xyz")), TSK_STACKSTR_OK);
  EXPECT_EQ(state(s), State(TSK_W("xyz"), 4));
  stackStr_Destroy(&s);
  EXPECT_TRUE(s.buffer == nullptr && s.capacity == 0 && s.onHeap == 0);

  ASSERT_EQ(stackStr_Init(&s, nullptr, 5), TSK_STACKSTR_OK);
  EXPECT_EQ(s.onHeap, 1);
  EXPECT_EQ(state(s), State(TSK_W(""), 5));
  stackStr_Destroy(&s);
}

TEST(StackString, InvalidArguments) {
  Local<4> str;
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("abc")), TSK_STACKSTR_OK);
  EXPECT_EQ(stackStr_Init(nullptr, nullptr, 0), TSK_STACKSTR_INVALID);
  _TSKBASE_STACKSTR other{};
  EXPECT_EQ(stackStr_Init(&other, nullptr, 0x7FFFFFFFFFFFFFFFull), TSK_STACKSTR_INVALID);
  EXPECT_EQ(stackStr_Copy(nullptr, TSK_W("x")), TSK_STACKSTR_INVALID);
  EXPECT_EQ(stackStr_Sprintf(&str.s, nullptr), TSK_STACKSTR_INVALID);
  EXPECT_EQ(stackStr_IncreaseTo(&str.s, TSK_STACKSTR_MAX_CAPACITY + 1, 0), TSK_STACKSTR_INVALID);
  va_list none{};
  EXPECT_EQ(stackStr_VSprintf(&str.s, TSK_W("x"), 5, none), TSK_STACKSTR_INVALID);
  // A format the formatter rejects is an error, not a lack of room.
  EXPECT_EQ(stackStr_Sprintf(&str.s, TSK_W("%n")), TSK_STACKSTR_INVALID);
  EXPECT_TRUE(str.inCallersBuffer());
  stackStr_Destroy(nullptr);

  // A buffer without a terminator holds no text to append to.
  tsk_wchar_t full[3] = {'a', 'b', 'c'};
  ASSERT_EQ(stackStr_Init(&other, full, 3), TSK_STACKSTR_OK);
  EXPECT_EQ(stackStr_Cat(&other, TSK_W("d")), TSK_STACKSTR_INVALID);
  EXPECT_EQ(stackStr_SprintfCat(&other, TSK_W("d")), TSK_STACKSTR_INVALID);
  EXPECT_TRUE(other.buffer == full && other.onHeap == 0);
}

TEST(StackString, IncreaseToMovesOrKeepsTheText) {
  Local<4> kept, dropped;
  ASSERT_EQ(stackStr_Copy(&kept.s, TSK_W("abc")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Copy(&dropped.s, TSK_W("abc")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_IncreaseTo(&kept.s, 10, 1), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_IncreaseTo(&dropped.s, 10, 0), TSK_STACKSTR_OK);
  EXPECT_EQ(text(dropped.s), TSK_W(""));
  ASSERT_EQ(stackStr_IncreaseTo(&kept.s, 20, 0), TSK_STACKSTR_OK); // a heap buffer keeps its text
  ASSERT_EQ(stackStr_IncreaseTo(&kept.s, 5, 0), TSK_STACKSTR_OK);  // and it never shrinks
  EXPECT_EQ(state(kept.s), State(TSK_W("abc"), 20));
}

// Attempts 0 to 2 would move the text out of the caller's buffer, attempt 3
// would reallocate a heap buffer.
TEST(StackString, FailedAllocationLeavesTheOldTextInPlace) {
  Local<4> str;
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("abc")), TSK_STACKSTR_OK);
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (attempt == 3) {
      ASSERT_EQ(stackStr_Cat(&str.s, TSK_W("def")), TSK_STACKSTR_OK);
    }
    tsk_wchar_t* const buffer = str.s.buffer;
    const State before = state(str.s);
    FailNthAllocation failure(1);
    const int32_t status = attempt == 1   ? stackStr_Copy(&str.s, TSK_W("long text"))
                           : attempt == 2 ? stackStr_SprintfCat(&str.s, TSK_W("%d"), 12345)
                                          : stackStr_Cat(&str.s, TSK_W("ghi"));
    EXPECT_EQ(status, TSK_STACKSTR_NO_MEMORY) << attempt;
    EXPECT_EQ(failure.leaked(), 0) << attempt;
    EXPECT_EQ(state(str.s), before) << attempt;
    EXPECT_TRUE(str.s.buffer == buffer && str.s.onHeap == (attempt == 3 ? 1 : 0)) << attempt;
  }
}

} // namespace
