#include "tskbase/buffer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "byte_buffer.h"

namespace {

using tsk::test::ByteBuffer;
using tsk::test::bytes;

TEST(BufferArray, PacksCountThenElementsInTheirWidths) {
  ByteBuffer buf;
  const int16_t shorts[3] = {1, -1, 0x0203};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packShortArray(&p, p, 3, shorts), TSK_OK);
  EXPECT_EQ(p, buf.at(10));
  EXPECT_EQ(buf.head(10), bytes({3, 0, 0, 0, 1, 0, 0xFF, 0xFF, 0x03, 0x02}));
  EXPECT_EQ(buffer_packedArraySizeShort(3), 10u);
  EXPECT_EQ(buffer_packedArraySizeDouble(3), 28u);
  EXPECT_EQ(buffer_packedArraySizeChar(3), 7u);
  EXPECT_EQ(buffer_packedArraySizeFloat(0), 4u);
}

TEST(BufferArray, SizesSaturateInsteadOfWrapping) {
  EXPECT_EQ(buffer_packedArraySizeInt(0x40000000), UINT32_MAX);
  EXPECT_EQ(buffer_packedArraySizeDouble(UINT32_MAX), UINT32_MAX);
  EXPECT_EQ(buffer_packedArraySizeChar(UINT32_MAX - 4), UINT32_MAX);
  EXPECT_EQ(buffer_packedArraySizeChar(UINT32_MAX - 5), UINT32_MAX - 1);
  EXPECT_EQ(buffer_packedRawSize(UINT32_MAX), UINT32_MAX);
}

TEST(BufferArray, EmptyAndNullSources) {
  ByteBuffer buf;
  unsigned char* next = nullptr;
  ASSERT_EQ(buffer_packIntArray(&next, buf.data(), 0, nullptr), TSK_OK);
  EXPECT_EQ(next, buf.at(4));
  EXPECT_EQ(buf.head(4), bytes({0, 0, 0, 0}));

  ByteBuffer other;
  next = nullptr;
  EXPECT_EQ(buffer_packIntArray(&next, other.data(), 2, nullptr), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  EXPECT_TRUE(other.untouched(0, 8));
}

TEST(BufferArray, WCharArrayAndWStringAreOneItem) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packWString(&p, p, TSK_W("ok")), TSK_OK);
  int16_t units[3] = {};
  uint32_t count = 3;
  p = buf.data();
  ASSERT_EQ(buffer_unpackShortArray(&p, p, &count, units), TSK_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(units[0], 'o');
  EXPECT_EQ(units[1], 'k');
  EXPECT_EQ(units[2], 0);
}

// A member, a null member and an empty member.
const char* const kMixed[] = {"ab", nullptr, ""};

TEST(BufferStringArray, PacksEachEntryAsAStringItem) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packStringArray(&p, p, 3, kMixed), TSK_OK);
  EXPECT_EQ(p, buf.at(20));
  EXPECT_EQ(buf.head(20), bytes({3, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(buffer_packedArraySizeString(3, kMixed), 28u);
  EXPECT_EQ(buffer_packedArraySizeString(0, kMixed), 4u);
  EXPECT_EQ(buffer_packedArraySizeWString(5, nullptr), 4u);

  unsigned char* next = nullptr;
  EXPECT_EQ(buffer_packStringArray(&next, buf.data(), 2, nullptr), TSK_FAIL);
  ASSERT_EQ(buffer_packStringArray(&next, buf.data(), 0, nullptr), TSK_OK);
  EXPECT_EQ(next, buf.at(4));
}

TEST(BufferStringArray, UnpacksIntoFixedStrideSlots) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packStringArray(&p, p, 3, kMixed), TSK_OK);

  char slots[9];
  std::memset(slots, '#', sizeof slots);
  uint32_t count = 3;
  p = buf.data();
  ASSERT_EQ(buffer_unpackStringArray(&p, p, &count, 3, slots), TSK_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(p, buf.at(20));
  EXPECT_EQ(std::string(slots, 9), std::string("ab\0###\0##", 9));
}

TEST(BufferStringArray, UnpackFailuresWriteOnlyCompletedSlots) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  const char* const strings[] = {"a", "toolong"};
  ASSERT_EQ(buffer_packStringArray(&p, p, 2, strings), TSK_OK);

  char slots[8];
  std::memset(slots, '#', sizeof slots);
  unsigned char* next = nullptr;
  uint32_t count = 1; // fewer slots than strings
  EXPECT_EQ(buffer_unpackStringArray(&next, buf.data(), &count, 4, slots), TSK_FAIL);
  EXPECT_EQ(slots[0], '#');
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(next, nullptr);

  count = 2; // "toolong" does not fit a stride of 4
  EXPECT_EQ(buffer_unpackStringArray(&next, buf.data(), &count, 4, slots), TSK_FAIL);
  EXPECT_STREQ(slots, "a");
  EXPECT_EQ(slots[4], '#');
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(next, nullptr);

  // A stride of 0 fails even for an empty array.
  ByteBuffer empty;
  p = empty.data();
  ASSERT_EQ(buffer_packStringArray(&p, p, 0, nullptr), TSK_OK);
  count = 4;
  EXPECT_EQ(buffer_unpackStringArray(&next, empty.data(), &count, 0, slots), TSK_FAIL);
  ASSERT_EQ(buffer_unpackStringArray(&next, empty.data(), &count, 4, slots), TSK_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(next, empty.at(4));
}

TEST(BufferStringArray, WideRoundTrip) {
  ByteBuffer buf;
  const tsk_wchar_t* const strings[] = {TSK_W("\u4e2d\u6587"), nullptr, TSK_W("x")};
  EXPECT_EQ(buffer_packedArraySizeWString(3, strings), 4u + 14 + 4 + 12);
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packWStringArray(&p, p, 3, strings), TSK_OK);
  EXPECT_EQ(p, buf.at(4 + 10 + 4 + 8));

  tsk_wchar_t slots[3][4] = {};
  slots[1][0] = 0x2A;
  uint32_t count = 3;
  p = buf.data();
  ASSERT_EQ(buffer_unpackWStringArray(&p, p, &count, 4, &slots[0][0]), TSK_OK);
  EXPECT_EQ(std::char_traits<tsk_wchar_t>::compare(slots[0], strings[0], 3), 0);
  EXPECT_EQ(slots[1][0], 0x2A);
  EXPECT_EQ(slots[2][0], 'x');
}

} // namespace
