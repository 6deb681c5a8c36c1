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

TEST(BufferArray, UnpackHonoursCapacity) {
  ByteBuffer buf;
  const int32_t ints[3] = {10, 20, 30};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packIntArray(&p, p, 3, ints), TSK_OK);

  int32_t out[5] = {-1, -1, -1, -1, -1};
  uint32_t count = 2;
  unsigned char* next = nullptr;
  EXPECT_EQ(buffer_unpackIntArray(&next, buf.data(), &count, out), TSK_FAIL);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(out[0], -1);

  count = 5;
  ASSERT_EQ(buffer_unpackIntArray(&next, buf.data(), &count, out), TSK_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(next, buf.at(16));
  EXPECT_EQ(out[2], 30);
  EXPECT_EQ(out[3], -1);
}

TEST(BufferArray, RoundTripsEveryElementWidth) {
  ByteBuffer buf(512);
  const char chars[2] = {'a', 'b'};
  const uint16_t ushorts[2] = {1, 65535};
  const tsk_wchar_t wchars[2] = {0xD83D, 0xDE00};
  const int32_t longs[2] = {-5, 5};
  const uint32_t ulongs[2] = {0, 0xFFFFFFFFu};
  const float floats[2] = {0.25f, -8.0f};
  const double doubles[2] = {1e300, -1e-300};

  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packCharArray(&p, p, 2, chars), TSK_OK);
  ASSERT_EQ(buffer_packUShortArray(&p, p, 2, ushorts), TSK_OK);
  ASSERT_EQ(buffer_packWCharArray(&p, p, 2, wchars), TSK_OK);
  ASSERT_EQ(buffer_packLongArray(&p, p, 2, longs), TSK_OK);
  ASSERT_EQ(buffer_packULongArray(&p, p, 2, ulongs), TSK_OK);
  ASSERT_EQ(buffer_packFloatArray(&p, p, 2, floats), TSK_OK);
  ASSERT_EQ(buffer_packDoubleArray(&p, p, 2, doubles), TSK_OK);
  EXPECT_EQ(p - buf.data(), 7 * 4 + 2 * (1 + 2 + 2 + 4 + 4 + 4 + 8));

  char c[2];
  uint16_t us[2];
  tsk_wchar_t wc[2];
  int32_t l[2];
  uint32_t ul[2];
  float f[2];
  double d[2];
  uint32_t n = 2;
  p = buf.data();
  ASSERT_EQ(buffer_unpackCharArray(&p, p, &n, c), TSK_OK);
  ASSERT_EQ(buffer_unpackUShortArray(&p, p, &n, us), TSK_OK);
  ASSERT_EQ(buffer_unpackWCharArray(&p, p, &n, wc), TSK_OK);
  ASSERT_EQ(buffer_unpackLongArray(&p, p, &n, l), TSK_OK);
  ASSERT_EQ(buffer_unpackULongArray(&p, p, &n, ul), TSK_OK);
  ASSERT_EQ(buffer_unpackFloatArray(&p, p, &n, f), TSK_OK);
  ASSERT_EQ(buffer_unpackDoubleArray(&p, p, &n, d), TSK_OK);
  EXPECT_EQ(std::memcmp(c, chars, sizeof c), 0);
  EXPECT_EQ(std::memcmp(us, ushorts, sizeof us), 0);
  EXPECT_EQ(std::memcmp(wc, wchars, sizeof wc), 0);
  EXPECT_EQ(std::memcmp(l, longs, sizeof l), 0);
  EXPECT_EQ(std::memcmp(ul, ulongs, sizeof ul), 0);
  EXPECT_EQ(std::memcmp(f, floats, sizeof f), 0);
  EXPECT_EQ(std::memcmp(d, doubles, sizeof d), 0);
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
