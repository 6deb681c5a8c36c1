#include "tskbase/stackstr.h"

#include <gtest/gtest.h>

#include <string>

#include "allocation_failure.h"

namespace {

using tsk::test::countAllocations;
using tsk::test::FailNthAllocation;
using WString = std::basic_string<tsk_wchar_t>;

WString text(const _TSKBASE_STACKSTR& s) { return WString(s.buffer); }
WString repeat(size_t count, tsk_wchar_t unit) { return WString(count, unit); }

// A record over a caller's buffer of N characters, destroyed at the end.
template <size_t N>
struct Local {
  tsk_wchar_t buffer[N] = {};
  _TSKBASE_STACKSTR s{};
  Local() { EXPECT_EQ(stackStr_Init(&s, buffer, N), TSK_STACKSTR_OK); }
  ~Local() { stackStr_Destroy(&s); }
  bool inCallersBuffer() const { return s.buffer == buffer && s.onHeap == 0; }
};

TEST(StackString, StaysInTheCallersBufferWhileTheTextFits) {
  Local<8> str;
  EXPECT_EQ(countAllocations([&] {
              EXPECT_EQ(stackStr_Copy(&str.s, TSK_W("1234567")), TSK_STACKSTR_OK);
              EXPECT_EQ(stackStr_Sprintf(&str.s, TSK_W("%d-%s"), 42, TSK_W("ab")), 0);
              EXPECT_EQ(stackStr_SprintfCat(&str.s, TSK_W("%S"), "c"), 0);
            }),
            0);
  EXPECT_TRUE(str.inCallersBuffer());
  EXPECT_EQ(text(str.s), TSK_W("42-abc"));
}

TEST(StackString, CopyGrowsToExactlyTheNeededSize) {
  Local<8> str;
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("12345678")), TSK_STACKSTR_OK);
  EXPECT_EQ(str.s.onHeap, 1);
  EXPECT_EQ(str.s.capacity, 9u);
  EXPECT_EQ(text(str.s), TSK_W("12345678"));
  EXPECT_EQ(str.buffer[0], 0); // the caller's buffer is left behind as it was
  // Destroying frees the heap buffer only (ASan would catch a free of the
  // caller's array).
}

TEST(StackString, TextThatFillsTheCallersBufferGrowsByOne) {
  Local<8> str;
  ASSERT_EQ(stackStr_Sprintf(&str.s, TSK_W("%s"), TSK_W("12345678")), TSK_STACKSTR_OK);
  EXPECT_EQ(str.s.onHeap, 1);
  EXPECT_EQ(str.s.capacity, 9u);
  EXPECT_EQ(text(str.s), TSK_W("12345678"));
}

TEST(StackString, AppendingItsOwnTextAcrossAMove) {
  Local<4> str;
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("abc")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Cat(&str.s, str.s.buffer), TSK_STACKSTR_OK);
  EXPECT_EQ(text(str.s), TSK_W("abcabc"));
  ASSERT_EQ(stackStr_NCat(&str.s, str.s.buffer + 1, 2), TSK_STACKSTR_OK); // heap to heap
  EXPECT_EQ(text(str.s), TSK_W("abcabcbc"));
}

TEST(StackString, UnterminatedBufferIsRefused) {
  tsk_wchar_t full[3] = {'a', 'b', 'c'};
  _TSKBASE_STACKSTR s{};
  ASSERT_EQ(stackStr_Init(&s, full, 3), TSK_STACKSTR_OK);
  EXPECT_EQ(stackStr_Cat(&s, TSK_W("d")), TSK_STACKSTR_INVALID);
  EXPECT_EQ(stackStr_SprintfCat(&s, TSK_W("d")), TSK_STACKSTR_INVALID);
  EXPECT_EQ(s.buffer, full);
  stackStr_Destroy(&s);
}

TEST(StackString, RecordWithoutBufferReadsAsEmpty) {
  _TSKBASE_STACKSTR s{};
  ASSERT_EQ(stackStr_Init(&s, nullptr, 0), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Copy(&s, TSK_W("")), TSK_STACKSTR_OK);
  EXPECT_EQ(s.capacity, 0u);
  ASSERT_NE(s.buffer, nullptr);
  EXPECT_EQ(s.buffer[0], 0);
  ASSERT_EQ(stackStr_Cat(&s, TSK_W("xyz")), TSK_STACKSTR_OK);
  EXPECT_EQ(s.capacity, 4u);
  EXPECT_EQ(text(s), TSK_W("xyz"));
  stackStr_Destroy(&s);
  EXPECT_EQ(s.buffer, nullptr);
  EXPECT_EQ(s.capacity, 0u);

  // With a null buffer and a capacity, the record gets a heap buffer.
  ASSERT_EQ(stackStr_Init(&s, nullptr, 5), TSK_STACKSTR_OK);
  EXPECT_EQ(s.onHeap, 1);
  EXPECT_EQ(text(s), TSK_W(""));
  stackStr_Destroy(&s);
}

TEST(StackString, CatAppendsAtMostTheCount) {
  Local<4> str;
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("xy")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_NCat(&str.s, TSK_W("abcdef"), 3), TSK_STACKSTR_OK);
  EXPECT_EQ(text(str.s), TSK_W("xyabc"));
  EXPECT_EQ(str.s.capacity, 6u);
  ASSERT_EQ(stackStr_Cat(&str.s, nullptr), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Cat(&str.s, TSK_W("!")), TSK_STACKSTR_OK);
  EXPECT_EQ(text(str.s), TSK_W("xyabc!"));
  EXPECT_EQ(str.s.capacity, 7u);
}

TEST(StackString, FormattingStartsAt128AndDoubles) {
  struct Case {
    size_t length;
    uint64_t capacity;
  };
  // 127 characters fit 128 with the terminator; 128 complete but without
  // room for the terminator take exactly one more; longer text doubles.
  for (const Case c : {Case{3, 128}, Case{127, 128}, Case{128, 129}, Case{300, 512}}) {
    _TSKBASE_STACKSTR s{};
    ASSERT_EQ(stackStr_Init(&s, nullptr, 0), TSK_STACKSTR_OK);
    const WString body = repeat(c.length, 'q');
    ASSERT_EQ(stackStr_Sprintf(&s, TSK_W("%s"), body.c_str()), TSK_STACKSTR_OK);
    EXPECT_EQ(s.capacity, c.capacity) << c.length;
    EXPECT_EQ(text(s), body);
    stackStr_Destroy(&s);
  }
}

TEST(StackString, SprintfCatKeepsTheTextWhenItMovesToTheHeap) {
  Local<4> str;
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("ab")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_SprintfCat(&str.s, TSK_W("[%05d]"), 7), TSK_STACKSTR_OK);
  EXPECT_EQ(text(str.s), TSK_W("ab[00007]"));
  EXPECT_EQ(str.s.onHeap, 1);
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
}

TEST(StackString, IncreaseToMovesOrKeepsTheText) {
  Local<4> kept, dropped;
  ASSERT_EQ(stackStr_Copy(&kept.s, TSK_W("abc")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Copy(&dropped.s, TSK_W("abc")), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_IncreaseTo(&kept.s, 10, 1), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_IncreaseTo(&dropped.s, 10, 0), TSK_STACKSTR_OK);
  EXPECT_EQ(text(kept.s), TSK_W("abc"));
  EXPECT_EQ(text(dropped.s), TSK_W(""));
  ASSERT_EQ(stackStr_IncreaseTo(&kept.s, 20, 0), TSK_STACKSTR_OK); // a heap buffer keeps its text
  EXPECT_EQ(text(kept.s), TSK_W("abc"));
  ASSERT_EQ(stackStr_IncreaseTo(&kept.s, 5, 0), TSK_STACKSTR_OK); // never shrinks
  EXPECT_EQ(kept.s.capacity, 20u);
}

TEST(StackString, FailedAllocationLeavesTheOldTextInPlace) {
  Local<4> str;
  ASSERT_EQ(stackStr_Copy(&str.s, TSK_W("abc")), TSK_STACKSTR_OK);
  for (int attempt = 0; attempt < 3; ++attempt) {
    FailNthAllocation failure(1);
    const int32_t status = attempt == 0   ? stackStr_Cat(&str.s, TSK_W("def"))
                           : attempt == 1 ? stackStr_Copy(&str.s, TSK_W("long text"))
                                          : stackStr_SprintfCat(&str.s, TSK_W("%d"), 12345);
    EXPECT_EQ(status, TSK_STACKSTR_NO_MEMORY) << attempt;
    EXPECT_EQ(failure.leaked(), 0) << attempt;
    EXPECT_TRUE(str.inCallersBuffer());
    EXPECT_EQ(str.s.capacity, 4u);
    EXPECT_EQ(text(str.s), TSK_W("abc"));
  }

  ASSERT_EQ(stackStr_Cat(&str.s, TSK_W("def")), TSK_STACKSTR_OK); // now on the heap
  tsk_wchar_t* heap = str.s.buffer;
  FailNthAllocation failure(1);
  EXPECT_EQ(stackStr_Cat(&str.s, TSK_W("ghi")), TSK_STACKSTR_NO_MEMORY);
  EXPECT_EQ(str.s.buffer, heap);
  EXPECT_EQ(str.s.capacity, 7u);
  EXPECT_EQ(text(str.s), TSK_W("abcdef"));
}

TEST(StackString, DestroyedRecordCanBeUsedAgain) {
  tsk_wchar_t local[8] = {};
  _TSKBASE_STACKSTR s{};
  ASSERT_EQ(stackStr_Init(&s, local, 8), TSK_STACKSTR_OK);
  stackStr_Destroy(&s);
  EXPECT_EQ(s.capacity, 0u);
  EXPECT_EQ(s.buffer, nullptr);
  EXPECT_EQ(s.onHeap, 0);
  ASSERT_EQ(stackStr_Init(&s, local, 8), TSK_STACKSTR_OK);
  ASSERT_EQ(stackStr_Copy(&s, TSK_W("again")), TSK_STACKSTR_OK);
  EXPECT_EQ(s.buffer, local);
  stackStr_Destroy(&s);
}

} // namespace
