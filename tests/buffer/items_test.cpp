// The stored form of each kind of item, the packs that are refused, and the
// capacity rules of unpacking into the caller's memory.
#include "tskbase/buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "byte_buffer.h"

namespace {

using tsk::test::ByteBuffer;
using Byte = unsigned char;
using Bytes = std::vector<Byte>;
using WString = std::basic_string<tsk_wchar_t>;
template <typename T>
using Exactly = std::type_identity_t<T>; // an argument that takes the parameter's type

// A member, a null member and an empty member.
const char* const kMixed[] = {"ab", nullptr, ""};

// The bytes that pack(args) writes up to the position it returns; the bytes
// after it must be untouched.
template <typename... A>
Bytes stored(tsk_status (*pack)(Byte**, Byte*, A...), Exactly<A>... args) {
  ByteBuffer buf;
  Byte* next = nullptr;
  EXPECT_EQ(pack(&next, buf.data(), args...), TSK_OK);
  if (next == nullptr) {
    return {};
  }
  const auto size = static_cast<size_t>(next - buf.data());
  EXPECT_TRUE(buf.untouched(size, size + 8));
  return buf.head(size);
}

// Whether pack(args) fails without writing anything.
template <typename... A>
bool refused(tsk_status (*pack)(Byte**, Byte*, A...), Exactly<A>... args) {
  ByteBuffer buf;
  Byte* next = nullptr;
  return pack(&next, buf.data(), args...) == TSK_FAIL && next == nullptr && buf.untouched(0, 32);
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Numbers little-endian in their own width; a count before the elements of
// arrays and strings (units with the terminator, 0 for a null string); a
// padded field stores count and width, then takes its full width and leaves
// the filler alone.
TEST(BufferItems, StoredForms) {
  const Bytes filler4(4, tsk::test::kUntouched);
  const int16_t shorts[3] = {1, -1, 0x0203};
  const int32_t ints[2] = {7, -1};
  const Byte raw[3] = {1, 2, 3};
  EXPECT_EQ(stored(buffer_packInt, 1), (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(stored(buffer_packShort, -2), (Bytes{0xFE, 0xFF}));
  EXPECT_EQ(stored(buffer_packUChar, 0xAB), (Bytes{0xAB}));
  EXPECT_EQ(stored(buffer_packLong, 0x01020304), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(stored(buffer_packWChar, 0x20AC), (Bytes{0xAC, 0x20}));
  EXPECT_EQ(stored(buffer_packDouble, -0.0), (Bytes{0, 0, 0, 0, 0, 0, 0, 0x80}));
  EXPECT_EQ(stored(buffer_packString, "abc"), (Bytes{4, 0, 0, 0, 'a', 'b', 'c', 0}));
  EXPECT_EQ(stored(buffer_packString, ""), (Bytes{1, 0, 0, 0, 0}));
  EXPECT_EQ(stored(buffer_packString, nullptr), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(stored(buffer_packWString, TSK_W("h\u00e9")),
            (Bytes{3, 0, 0, 0, 'h', 0, 0xE9, 0, 0, 0}));
  EXPECT_EQ(stored(buffer_packShortArray, 3, shorts), (Bytes{3, 0, 0, 0, 1, 0, 0xFF, 0xFF, 3, 2}));
  EXPECT_EQ(stored(buffer_packIntArray, 0, nullptr), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(stored(buffer_packRaw, 3, raw), (Bytes{3, 0, 0, 0, 1, 2, 3}));
  EXPECT_EQ(stored(buffer_packRaw, 0, nullptr), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(stored(buffer_packStringArray, 3, kMixed),
            (Bytes{3, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(stored(buffer_packStringArray, 0, nullptr), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(stored(buffer_packIntPaddedArray, 2, 5, ints),
            (Bytes{2, 0, 0, 0, 5, 0, 0, 0, 7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF} + filler4 + filler4 +
             filler4));
  EXPECT_EQ(stored(buffer_packDoublePaddedArray, 0, 2, nullptr),
            (Bytes{0, 0, 0, 0, 2, 0, 0, 0} + Bytes(16, tsk::test::kUntouched)));
  EXPECT_EQ(stored(buffer_packPaddedString, 8, "abc"),
            (Bytes{4, 0, 0, 0, 8, 0, 0, 0, 'a', 'b', 'c', 0} + filler4));
  EXPECT_EQ(stored(buffer_packPaddedString, 1, ""), (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(
      stored(buffer_packPaddedWString, 6, TSK_W("\u00e9t")),
      (Bytes{3, 0, 0, 0, 6, 0, 0, 0, 0xE9, 0, 't', 0, 0, 0} + Bytes(6, tsk::test::kUntouched)));
}

// Packs without a position or a source, and padded fields whose elements do
// not fit their width (they would spill into the next item), are refused
// without writing anything.
TEST(BufferItems, RefusedPacksWriteNothing) {
  const int32_t ints[4] = {1, 2, 3, 4};
  ByteBuffer buf;
  EXPECT_EQ(buffer_packInt(nullptr, buf.data(), 1), TSK_FAIL);
  EXPECT_TRUE(buf.untouched(0, 8));
  EXPECT_TRUE(refused(
      +[](Byte** n, Byte*, int v) { return buffer_packInt(n, nullptr, v); }, 1));
  EXPECT_TRUE(refused(buffer_packIntArray, 1, nullptr));
  EXPECT_TRUE(refused(buffer_packRaw, 1, nullptr));
  EXPECT_TRUE(refused(buffer_packStringArray, 1, nullptr));
  EXPECT_TRUE(refused(buffer_packPaddedString, 8, nullptr));
  EXPECT_TRUE(refused(buffer_packPaddedWString, 8, nullptr));
  EXPECT_TRUE(refused(buffer_packPaddedString, 3, "abc"));
  EXPECT_TRUE(refused(buffer_packIntPaddedArray, 4, 3, ints));
  EXPECT_TRUE(refused(buffer_packIntPaddedArray, -1, 3, ints));
  EXPECT_TRUE(refused(buffer_packIntPaddedArray, 0, -2, ints));
  EXPECT_TRUE(refused(buffer_packIntPaddedArray, 1, 3, nullptr));
}

TEST(BufferItems, SizesAreUpperBoundsAndSaturate) {
  // Each string is sized with 4 spare bytes.
  EXPECT_EQ(buffer_packedSizeString("abc"), 12u);
  EXPECT_EQ(buffer_packedSizeString(""), 9u);
  EXPECT_EQ(buffer_packedSizeString(nullptr), 4u);
  EXPECT_EQ(buffer_packedSizeWString(TSK_W("abc")), 16u);
  EXPECT_EQ(buffer_packedSizeWString(nullptr), 4u);
  EXPECT_EQ(buffer_packedArraySizeString(3, kMixed), 28u);
  EXPECT_EQ(buffer_packedArraySizeString(0, kMixed), 4u);
  EXPECT_EQ(buffer_packedArraySizeWString(5, nullptr), 4u);
  const tsk_wchar_t* const wide[] = {TSK_W("\u4e2d\u6587"), nullptr, TSK_W("x")};
  EXPECT_EQ(buffer_packedArraySizeWString(3, wide), 4u + 14 + 4 + 12);
  EXPECT_EQ(buffer_packedArraySizeInt(0x40000000), UINT32_MAX);
  EXPECT_EQ(buffer_packedArraySizeDouble(UINT32_MAX), UINT32_MAX);
  EXPECT_EQ(buffer_packedArraySizeChar(UINT32_MAX - 4), UINT32_MAX);
  EXPECT_EQ(buffer_packedArraySizeChar(UINT32_MAX - 5), UINT32_MAX - 1);
  EXPECT_EQ(buffer_packedRawSize(UINT32_MAX), UINT32_MAX);
}

TEST(BufferItems, ScalarUnpackNeedsEveryArgument) {
  ByteBuffer buf;
  Byte* p = buf.data();
  ASSERT_EQ(buffer_packDouble(&p, p, -0.0), TSK_OK);
  uint64_t bits = 0; // Uint64 reads the 8 bytes that another writer produced
  p = buf.data();
  ASSERT_EQ(buffer_unpackUint64(&p, p, &bits), TSK_OK);
  EXPECT_EQ(bits, 0x8000000000000000ull);
  EXPECT_EQ(p, buf.at(8));

  Byte* next = nullptr;
  int32_t value = 7;
  EXPECT_EQ(buffer_unpackInt(&next, buf.data(), nullptr), TSK_FAIL);
  EXPECT_EQ(buffer_unpackInt(&next, nullptr, &value), TSK_FAIL);
  EXPECT_EQ(buffer_unpackInt(nullptr, buf.data(), &value), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(value, 7);
}

// The capacity is checked before anything is written; it counts units with
// the terminator and compares as an unsigned number.
TEST(BufferItems, StringUnpackChecksCapacityBeforeWriting) {
  ByteBuffer buf;
  Byte* p = buf.data();
  ASSERT_EQ(buffer_packString(&p, p, "abc"), TSK_OK);
  ASSERT_EQ(buffer_packWString(&p, p, TSK_W("h\u00e9")), TSK_OK);
  char out[8];
  std::memset(out, '#', sizeof out);
  Byte* next = nullptr;
  uint32_t capacity = 3;
  EXPECT_EQ(buffer_unpackString(&next, buf.data(), &capacity, out), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(capacity, 3u);
  EXPECT_EQ(out[0], '#');
  capacity = 4;
  ASSERT_EQ(buffer_unpackString(&next, buf.data(), &capacity, out), TSK_OK);
  EXPECT_EQ(next, buf.at(8));
  EXPECT_EQ(capacity, 4u);
  EXPECT_EQ(std::string(out, 5), std::string("abc\0#", 5));

  tsk_wchar_t wide[4] = {9, 9, 9, 9};
  capacity = 4;
  ASSERT_EQ(buffer_unpackWString(&next, next, &capacity, wide), TSK_OK);
  EXPECT_EQ(capacity, 3u);
  EXPECT_EQ(next, buf.at(18));
  EXPECT_EQ(WString(wide, 4), (WString{'h', 0xE9, 0, 9}));

  p = buf.data();
  ASSERT_EQ(buffer_packRaw(&p, p, 3, "xyz"), TSK_OK);
  capacity = UINT32_MAX;
  p = buf.data();
  ASSERT_EQ(buffer_unpackRaw(&p, p, &capacity, out), TSK_OK);
  EXPECT_EQ(capacity, 3u);
  EXPECT_EQ(std::string(out, 3), "xyz");
}

TEST(BufferItems, NullStringUnpacksToNothingButNeedsADestination) {
  ByteBuffer buf;
  Byte* p = buf.data();
  ASSERT_EQ(buffer_packString(&p, p, nullptr), TSK_OK);
  char out[4] = {'#', '#', '#', '#'};
  uint32_t capacity = 4;
  Byte* next = nullptr;
  EXPECT_EQ(buffer_unpackString(&next, buf.data(), &capacity, nullptr), TSK_FAIL);
  EXPECT_EQ(capacity, 4u);
  ASSERT_EQ(buffer_unpackString(&next, buf.data(), &capacity, out), TSK_OK);
  EXPECT_EQ(capacity, 0u);
  EXPECT_EQ(next, buf.at(4));
  EXPECT_EQ(out[0], '#');
}

TEST(BufferItems, StringArraysUnpackIntoFixedStrideSlots) {
  ByteBuffer buf;
  Byte* p = buf.data();
  ASSERT_EQ(buffer_packStringArray(&p, p, 3, kMixed), TSK_OK);
  char slots[9];
  std::memset(slots, '#', sizeof slots);
  uint32_t count = 3;
  p = buf.data();
  ASSERT_EQ(buffer_unpackStringArray(&p, p, &count, 3, slots), TSK_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(p, buf.at(20));
  EXPECT_EQ(std::string(slots, 9), std::string("ab\0###\0##", 9));

  const tsk_wchar_t* const strings[] = {TSK_W("\u4e2d\u6587"), nullptr, TSK_W("x")};
  p = buf.data();
  ASSERT_EQ(buffer_packWStringArray(&p, p, 3, strings), TSK_OK);
  EXPECT_EQ(p, buf.at(4 + 10 + 4 + 8));
  tsk_wchar_t wide[3][4] = {};
  wide[1][0] = 0x2A;
  p = buf.data();
  ASSERT_EQ(buffer_unpackWStringArray(&p, p, &count, 4, &wide[0][0]), TSK_OK);
  EXPECT_EQ(WString(wide[0]), strings[0]);
  EXPECT_EQ(wide[1][0], 0x2A);
  EXPECT_EQ(WString(wide[2]), TSK_W("x"));
}

// Slots completed before a failure keep what they got; nothing else is
// written.
TEST(BufferItems, StringArrayUnpackFailuresWriteOnlyCompletedSlots) {
  ByteBuffer buf;
  Byte* p = buf.data();
  const char* const strings[] = {"a", "toolong"};
  ASSERT_EQ(buffer_packStringArray(&p, p, 2, strings), TSK_OK);
  char slots[8];
  std::memset(slots, '#', sizeof slots);
  Byte* next = nullptr;
  uint32_t count = 1; // fewer slots than strings
  EXPECT_EQ(buffer_unpackStringArray(&next, buf.data(), &count, 4, slots), TSK_FAIL);
  EXPECT_EQ(slots[0], '#');
  EXPECT_EQ(count, 1u);
  count = 2; // "toolong" does not fit a stride of 4
  EXPECT_EQ(buffer_unpackStringArray(&next, buf.data(), &count, 4, slots), TSK_FAIL);
  EXPECT_STREQ(slots, "a");
  EXPECT_EQ(slots[4], '#');
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(next, nullptr);

  // A stride of 0 fails even for an empty array.
  p = buf.data();
  ASSERT_EQ(buffer_packStringArray(&p, p, 0, nullptr), TSK_OK);
  count = 4;
  EXPECT_EQ(buffer_unpackStringArray(&next, buf.data(), &count, 0, slots), TSK_FAIL);
  ASSERT_EQ(buffer_unpackStringArray(&next, buf.data(), &count, 4, slots), TSK_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(next, buf.at(4));
}

// A stored field claiming more elements than its width is not read; the
// capacity is signed (a negative one holds nothing, not even an empty
// field); a destination is needed only for stored elements.
TEST(BufferItems, PaddedUnpackReadsOnlyWhatTheFieldHolds) {
  ByteBuffer buf;
  Byte* p = buf.data();
  ASSERT_EQ(buffer_packInt(&p, p, 5), TSK_OK);
  ASSERT_EQ(buffer_packInt(&p, p, 2), TSK_OK);
  int32_t out[8] = {};
  int32_t count = 8;
  char text[8] = {'#'};
  Byte* next = nullptr;
  EXPECT_EQ(buffer_unpackIntPaddedArray(&next, buf.data(), &count, out), TSK_FAIL);
  EXPECT_EQ(buffer_unpackPaddedString(&next, buf.data(), text), TSK_FAIL);
  EXPECT_EQ(count, 8);
  EXPECT_EQ(text[0], '#');

  const int32_t one = 1;
  p = buf.data();
  ASSERT_EQ(buffer_packIntPaddedArray(&p, p, 0, 2, nullptr), TSK_OK);
  ASSERT_EQ(buffer_packIntPaddedArray(&p, p, 1, 2, &one), TSK_OK);
  for (Byte* field : {buf.data(), buf.at(16)}) {
    count = -1;
    EXPECT_EQ(buffer_unpackIntPaddedArray(&next, field, &count, out), TSK_FAIL);
    EXPECT_EQ(count, -1);
  }
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(next, nullptr);

  count = 0;
  ASSERT_EQ(buffer_unpackIntPaddedArray(&next, buf.data(), &count, nullptr), TSK_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(next, buf.at(16));
  next = nullptr;
  count = 3;
  EXPECT_EQ(buffer_unpackIntPaddedArray(&next, buf.at(16), &count, nullptr), TSK_FAIL);
  EXPECT_EQ(buffer_unpackIntPaddedArray(&next, buf.at(16), nullptr, out), TSK_FAIL);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(next, nullptr);

  tsk_wchar_t wide[6];
  p = buf.data();
  ASSERT_EQ(buffer_packPaddedWString(&p, p, 6, TSK_W("\u00e9t\u00e9")), TSK_OK);
  p = buf.data();
  ASSERT_EQ(buffer_unpackPaddedWString(&p, p, wide), TSK_OK);
  EXPECT_EQ(p, buf.at(8 + 12)); // the whole field
  EXPECT_EQ(WString(wide), TSK_W("\u00e9t\u00e9"));
}

} // namespace
