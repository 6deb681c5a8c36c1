#include <gtest/gtest.h>

#include <cstring>

#include "byte_buffer.h"
#include "tskbase/buffer.h"

namespace {

using tsk::test::ByteBuffer;
using tsk::test::bytes;

TEST(BufferPadded, FieldTakesItsFullWidthAndLeavesTheFillerAlone) {
  ByteBuffer buf;
  const int32_t ints[2] = {7, -1};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packIntPaddedArray(&p, p, 2, 5, ints), TSK_OK);
  EXPECT_EQ(p, buf.at(28));
  EXPECT_EQ(buf.head(16), bytes({2, 0, 0, 0, 5, 0, 0, 0, 7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(buf.untouched(16, 28));

  ASSERT_EQ(buffer_packPaddedString(&p, p, 8, "abc"), TSK_OK);
  EXPECT_EQ(p, buf.at(44));
  EXPECT_EQ(std::vector<unsigned char>(buf.at(28), buf.at(40)),
            bytes({4, 0, 0, 0, 8, 0, 0, 0, 'a', 'b', 'c', 0}));
  EXPECT_TRUE(buf.untouched(40, 44));

  // An empty source packs an empty field of the full width.
  ASSERT_EQ(buffer_packDoublePaddedArray(&p, p, 0, 2, nullptr), TSK_OK);
  EXPECT_EQ(p, buf.at(44 + 8 + 16));
}

TEST(BufferPadded, UnpackCopiesStoredElementsAndSkipsTheField) {
  ByteBuffer buf;
  const int32_t ints[2] = {7, -1};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packIntPaddedArray(&p, p, 2, 5, ints), TSK_OK);
  ASSERT_EQ(buffer_packPaddedWString(&p, p, 6, TSK_W("\u00e9t\u00e9")), TSK_OK);
  const unsigned char* end = p;

  int32_t out[10] = {};
  int32_t count = 1;
  unsigned char* next = nullptr;
  EXPECT_EQ(buffer_unpackIntPaddedArray(&next, buf.data(), &count, out), TSK_FAIL);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(out[0], 0);

  count = 10;
  ASSERT_EQ(buffer_unpackIntPaddedArray(&next, buf.data(), &count, out), TSK_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(next, buf.at(28));
  EXPECT_EQ(out[1], -1);
  EXPECT_EQ(out[2], 0);

  tsk_wchar_t text[6];
  ASSERT_EQ(buffer_unpackPaddedWString(&next, next, text), TSK_OK);
  EXPECT_EQ(next, end);
  EXPECT_EQ(std::char_traits<tsk_wchar_t>::compare(text, TSK_W("\u00e9t\u00e9"), 4), 0);
}

TEST(BufferPadded, EveryElementWidthRoundTrips) {
  ByteBuffer buf(512);
  const char c[3] = {'x', 'y', 'z'};
  const int16_t s[3] = {-1, 2, -3};
  const uint16_t us[3] = {1, 2, 65535};
  const tsk_wchar_t wc[3] = {0x41, 0x20AC, 0};
  const int32_t l[3] = {INT32_MIN, 0, INT32_MAX};
  const uint32_t ul[3] = {1, 2, 3};
  const float f[3] = {1.5f, -2.5f, 0.0f};
  const double d[3] = {1e-9, 2e9, -0.5};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packCharPaddedArray(&p, p, 3, 4, c), TSK_OK);
  ASSERT_EQ(buffer_packShortPaddedArray(&p, p, 3, 4, s), TSK_OK);
  ASSERT_EQ(buffer_packUShortPaddedArray(&p, p, 3, 4, us), TSK_OK);
  ASSERT_EQ(buffer_packWCharPaddedArray(&p, p, 3, 4, wc), TSK_OK);
  ASSERT_EQ(buffer_packLongPaddedArray(&p, p, 3, 4, l), TSK_OK);
  ASSERT_EQ(buffer_packULongPaddedArray(&p, p, 3, 4, ul), TSK_OK);
  ASSERT_EQ(buffer_packFloatPaddedArray(&p, p, 3, 4, f), TSK_OK);
  ASSERT_EQ(buffer_packDoublePaddedArray(&p, p, 3, 4, d), TSK_OK);
  EXPECT_EQ(p - buf.data(), 8 * 8 + 4 * (1 + 2 + 2 + 2 + 4 + 4 + 4 + 8));

  char c2[3];
  int16_t s2[3];
  uint16_t us2[3];
  tsk_wchar_t wc2[3];
  int32_t l2[3];
  uint32_t ul2[3];
  float f2[3];
  double d2[3];
  int32_t n = 3;
  p = buf.data();
  ASSERT_EQ(buffer_unpackCharPaddedArray(&p, p, &n, c2), TSK_OK);
  ASSERT_EQ(buffer_unpackShortPaddedArray(&p, p, &n, s2), TSK_OK);
  ASSERT_EQ(buffer_unpackUShortPaddedArray(&p, p, &n, us2), TSK_OK);
  ASSERT_EQ(buffer_unpackWCharPaddedArray(&p, p, &n, wc2), TSK_OK);
  ASSERT_EQ(buffer_unpackLongPaddedArray(&p, p, &n, l2), TSK_OK);
  ASSERT_EQ(buffer_unpackULongPaddedArray(&p, p, &n, ul2), TSK_OK);
  ASSERT_EQ(buffer_unpackFloatPaddedArray(&p, p, &n, f2), TSK_OK);
  ASSERT_EQ(buffer_unpackDoublePaddedArray(&p, p, &n, d2), TSK_OK);
  EXPECT_EQ(std::memcmp(c2, c, sizeof c), 0);
  EXPECT_EQ(std::memcmp(s2, s, sizeof s), 0);
  EXPECT_EQ(std::memcmp(us2, us, sizeof us), 0);
  EXPECT_EQ(std::memcmp(wc2, wc, sizeof wc), 0);
  EXPECT_EQ(std::memcmp(l2, l, sizeof l), 0);
  EXPECT_EQ(std::memcmp(ul2, ul, sizeof ul), 0);
  EXPECT_EQ(std::memcmp(f2, f, sizeof f), 0);
  EXPECT_EQ(std::memcmp(d2, d, sizeof d), 0);
}

TEST(BufferPadded, StringsMustBeGiven) {
  ByteBuffer buf;
  unsigned char* next = nullptr;
  EXPECT_EQ(buffer_packPaddedString(&next, buf.data(), 8, nullptr), TSK_FAIL);
  EXPECT_EQ(buffer_packPaddedWString(&next, buf.data(), 8, nullptr), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  EXPECT_TRUE(buf.untouched(0, 16));

  ASSERT_EQ(buffer_packPaddedString(&next, buf.data(), 1, ""), TSK_OK);
  EXPECT_EQ(buf.head(9), bytes({1, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(next, buf.at(9));
}

// A field whose elements do not fit its width would spill into the next
// item: such packs are refused and such stored fields are not read.
TEST(BufferPadded, FieldsNeverReachOutsideThemselves) {
  ByteBuffer buf;
  const int32_t ints[4] = {1, 2, 3, 4};
  unsigned char* next = nullptr;
  EXPECT_EQ(buffer_packIntPaddedArray(&next, buf.data(), 4, 3, ints), TSK_FAIL);
  EXPECT_EQ(buffer_packIntPaddedArray(&next, buf.data(), -1, 3, ints), TSK_FAIL);
  EXPECT_EQ(buffer_packIntPaddedArray(&next, buf.data(), 0, -2, ints), TSK_FAIL);
  EXPECT_EQ(buffer_packPaddedString(&next, buf.data(), 3, "abc"), TSK_FAIL);
  EXPECT_EQ(buffer_packIntPaddedArray(&next, buf.data(), 2, 3, nullptr), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  EXPECT_TRUE(buf.untouched(0, 32));

  // A foreign field claiming 5 elements in a width of 2.
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packInt(&p, p, 5), TSK_OK);
  ASSERT_EQ(buffer_packInt(&p, p, 2), TSK_OK);
  int32_t out[8] = {};
  int32_t count = 8;
  char text[8] = {'#'};
  EXPECT_EQ(buffer_unpackIntPaddedArray(&next, buf.data(), &count, out), TSK_FAIL);
  EXPECT_EQ(buffer_unpackPaddedString(&next, buf.data(), text), TSK_FAIL);
  EXPECT_EQ(count, 8);
  EXPECT_EQ(text[0], '#');
  EXPECT_EQ(next, nullptr);
}

// The capacity of a padded unpack is signed: a negative one holds nothing,
// not even an empty field.
TEST(BufferPadded, CapacityIsSigned) {
  ByteBuffer buf;
  const int32_t two[2] = {1, 2};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packIntPaddedArray(&p, p, 0, 2, nullptr), TSK_OK);
  ASSERT_EQ(buffer_packIntPaddedArray(&p, p, 2, 2, two), TSK_OK);
  int32_t out[2] = {};
  for (unsigned char* field : {buf.data(), buf.at(16)}) {
    int32_t count = -1;
    unsigned char* next = nullptr;
    EXPECT_EQ(buffer_unpackIntPaddedArray(&next, field, &count, out), TSK_FAIL);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(next, nullptr);
  }
  EXPECT_EQ(out[0], 0);
}

TEST(BufferPadded, UnpackNeedsADestinationOnlyForStoredElements) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packShortPaddedArray(&p, p, 0, 3, nullptr), TSK_OK);
  int32_t count = 0;
  unsigned char* next = nullptr;
  ASSERT_EQ(buffer_unpackShortPaddedArray(&next, buf.data(), &count, nullptr), TSK_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(next, buf.at(14));

  const int16_t one = 1;
  p = buf.data();
  ASSERT_EQ(buffer_packShortPaddedArray(&p, p, 1, 3, &one), TSK_OK);
  count = 3;
  next = nullptr;
  EXPECT_EQ(buffer_unpackShortPaddedArray(&next, buf.data(), &count, nullptr), TSK_FAIL);
  EXPECT_EQ(buffer_unpackShortPaddedArray(&next, buf.data(), nullptr, nullptr), TSK_FAIL);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(next, nullptr);
}

} // namespace
