#include "tskbase/buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "byte_buffer.h"

namespace {

using tsk::test::ByteBuffer;
using tsk::test::bytes;

TEST(BufferScalar, StoresLittleEndianBytesAndAdvancesByWidth) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packInt(&p, p, 1), TSK_OK);
  ASSERT_EQ(buffer_packShort(&p, p, -2), TSK_OK);
  ASSERT_EQ(buffer_packUChar(&p, p, 0xAB), TSK_OK);
  ASSERT_EQ(buffer_packLong(&p, p, 0x01020304), TSK_OK);
  ASSERT_EQ(buffer_packWChar(&p, p, 0x20AC), TSK_OK);
  EXPECT_EQ(p, buf.at(13));
  EXPECT_EQ(buf.head(13),
            bytes({0x01, 0, 0, 0, 0xFE, 0xFF, 0xAB, 0x04, 0x03, 0x02, 0x01, 0xAC, 0x20}));
  EXPECT_TRUE(buf.untouched(13, 32));
}

TEST(BufferScalar, FloatingPointKeepsBitPatterns) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  const double negativeZero = -0.0;
  ASSERT_EQ(buffer_packDouble(&p, p, negativeZero), TSK_OK);
  EXPECT_EQ(buf.head(8), bytes({0, 0, 0, 0, 0, 0, 0, 0x80}));

  // Uint64 and Double read the same 8 bytes.
  uint64_t bits = 0;
  double d = 1;
  p = buf.data();
  ASSERT_EQ(buffer_unpackUint64(&p, p, &bits), TSK_OK);
  EXPECT_EQ(bits, 0x8000000000000000ull);
  p = buf.data();
  ASSERT_EQ(buffer_unpackDouble(&p, p, &d), TSK_OK);
  EXPECT_TRUE(std::signbit(d));
  EXPECT_EQ(p, buf.at(8));
}

TEST(BufferScalar, NullArgumentsFailWithoutWriting) {
  ByteBuffer buf;
  unsigned char* next = nullptr;
  int32_t value = 7;
  EXPECT_EQ(buffer_packInt(nullptr, buf.data(), 1), TSK_FAIL);
  EXPECT_EQ(buffer_packInt(&next, nullptr, 1), TSK_FAIL);
  EXPECT_EQ(buffer_unpackInt(&next, buf.data(), nullptr), TSK_FAIL);
  EXPECT_EQ(buffer_unpackInt(&next, nullptr, &value), TSK_FAIL);
  EXPECT_EQ(buffer_unpackInt(nullptr, buf.data(), &value), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(buf.untouched(0, 16));
}

TEST(BufferString, PacksCountTerminatorAndTellsNullFromEmpty) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packString(&p, p, "abc"), TSK_OK);
  ASSERT_EQ(buffer_packString(&p, p, ""), TSK_OK);
  ASSERT_EQ(buffer_packString(&p, p, nullptr), TSK_OK);
  EXPECT_EQ(p, buf.at(17));
  EXPECT_EQ(buf.head(17), bytes({4, 0, 0, 0, 'a', 'b', 'c', 0, // "abc"
                                 1, 0, 0, 0, 0,                // ""
                                 0, 0, 0, 0}));                // null
}

TEST(BufferString, WideStringCountsUnits) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packWString(&p, p, TSK_W("h\u00e9")), TSK_OK);
  EXPECT_EQ(p, buf.at(10));
  EXPECT_EQ(buf.head(10), bytes({3, 0, 0, 0, 'h', 0, 0xE9, 0, 0, 0}));

  tsk_wchar_t out[4] = {9, 9, 9, 9};
  uint32_t capacity = 4;
  p = buf.data();
  ASSERT_EQ(buffer_unpackWString(&p, p, &capacity, out), TSK_OK);
  EXPECT_EQ(capacity, 3u);
  EXPECT_EQ(p, buf.at(10));
  EXPECT_EQ(std::char_traits<tsk_wchar_t>::compare(out, TSK_W("h\u00e9"), 3), 0);
  EXPECT_EQ(out[3], 9);
}

TEST(BufferString, UnpackChecksCapacityBeforeWriting) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packString(&p, p, "abc"), TSK_OK);

  char out[8];
  std::memset(out, '#', sizeof out);
  unsigned char* next = nullptr;
  uint32_t capacity = 3;
  EXPECT_EQ(buffer_unpackString(&next, buf.data(), &capacity, out), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(capacity, 3u);
  EXPECT_EQ(out[0], '#');

  capacity = 4;
  ASSERT_EQ(buffer_unpackString(&next, buf.data(), &capacity, out), TSK_OK);
  EXPECT_EQ(next, buf.at(8));
  EXPECT_EQ(capacity, 4u);
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(out[4], '#');
}

// Capacities and counts compare as unsigned numbers.
TEST(BufferString, CapacityIsUnsigned) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packRaw(&p, p, 3, "xyz"), TSK_OK);
  char out[3];
  uint32_t capacity = UINT32_MAX;
  p = buf.data();
  ASSERT_EQ(buffer_unpackRaw(&p, p, &capacity, out), TSK_OK);
  EXPECT_EQ(capacity, 3u);
}

TEST(BufferString, NullStringUnpacksToNothingButNeedsADestination) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packString(&p, p, nullptr), TSK_OK);

  char out[4] = {'#', '#', '#', '#'};
  uint32_t capacity = 4;
  unsigned char* next = nullptr;
  EXPECT_EQ(buffer_unpackString(&next, buf.data(), &capacity, nullptr), TSK_FAIL);
  EXPECT_EQ(capacity, 4u);
  ASSERT_EQ(buffer_unpackString(&next, buf.data(), &capacity, out), TSK_OK);
  EXPECT_EQ(capacity, 0u);
  EXPECT_EQ(next, buf.at(4));
  EXPECT_EQ(out[0], '#');
}

TEST(BufferString, SizesAreUpperBoundsWithFourSpareBytes) {
  EXPECT_EQ(buffer_packedSizeString("abc"), 12u);
  EXPECT_EQ(buffer_packedSizeString(""), 9u);
  EXPECT_EQ(buffer_packedSizeString(nullptr), 4u);
  EXPECT_EQ(buffer_packedSizeWString(TSK_W("abc")), 16u);
  EXPECT_EQ(buffer_packedSizeWString(nullptr), 4u);
}

TEST(BufferRaw, PacksBytesAndRejectsNullDataWithACount) {
  ByteBuffer buf;
  unsigned char* next = nullptr;
  ASSERT_EQ(buffer_packRaw(&next, buf.data(), 0, nullptr), TSK_OK);
  EXPECT_EQ(next, buf.at(4));
  EXPECT_EQ(buf.head(4), bytes({0, 0, 0, 0}));

  ByteBuffer untouched;
  next = nullptr;
  EXPECT_EQ(buffer_packRaw(&next, untouched.data(), 3, nullptr), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  EXPECT_TRUE(untouched.untouched(0, 8));

  const unsigned char data[6] = {1, 2, 3, 4, 5, 6};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packRaw(&p, p, 6, data), TSK_OK);
  EXPECT_EQ(p, buf.at(10));
  EXPECT_EQ(buffer_packedRawSize(6), 10u);

  // A Raw item is a Char array.
  char chars[6] = {};
  uint32_t count = 6;
  p = buf.data();
  ASSERT_EQ(buffer_unpackCharArray(&p, p, &count, chars), TSK_OK);
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(std::memcmp(chars, data, 6), 0);
}

} // namespace
