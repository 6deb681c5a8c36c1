#include <gtest/gtest.h>

#include <cstring>

#include "allocation_failure.h"
#include "byte_buffer.h"
#include "tskbase/buffer.h"
#include "tskbase/os_util.h"
#include "tskbase/string_array.h"

namespace {

using tsk::test::ByteBuffer;
using tsk::test::FailNthAllocation;

TEST(BufferAllocUnpack, EmptyItemsGiveNullBlocks) {
  ByteBuffer buf;
  const int32_t ints[3] = {1, -2, 3};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packIntArray(&p, p, 3, ints), TSK_OK);
  ASSERT_EQ(buffer_packIntArray(&p, p, 0, nullptr), TSK_OK);

  // An empty item gives a null block.
  int32_t* block = reinterpret_cast<int32_t*>(0x1);
  uint32_t count = 12345;
  p = buf.at(16);
  ASSERT_EQ(buffer_unpackIntArrayAlloc(&p, p, &count, &block), TSK_OK);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(p, buf.at(20));

  // A null block pointer fails, even for an item of count 0.
  unsigned char* next = nullptr;
  EXPECT_EQ(buffer_unpackIntArrayAlloc(&next, buf.at(16), &count, nullptr), TSK_FAIL);
  EXPECT_EQ(buffer_unpackIntArrayAlloc(&next, buf.data(), &count, nullptr), TSK_FAIL);
  EXPECT_EQ(buffer_unpackIntArrayAlloc(&next, buf.data(), nullptr, &block), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
}

TEST(BufferAllocUnpack, RawHandsOutAnUntypedBlock) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packRaw(&p, p, 3, "xyz"), TSK_OK);
  void* raw = nullptr;
  uint32_t n = 0;
  p = buf.data();
  ASSERT_EQ(buffer_unpackRawAlloc(&p, p, &n, &raw), TSK_OK);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::memcmp(raw, "xyz", 3), 0);
  osUtil_freeMemory(raw);
}

TEST(BufferAllocUnpack, StringsKeepNullAndEmptyApart) {
  ByteBuffer buf;
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packString(&p, p, nullptr), TSK_OK);
  ASSERT_EQ(buffer_packString(&p, p, ""), TSK_OK);
  ASSERT_EQ(buffer_packWString(&p, p, TSK_W("w\u00e9")), TSK_OK);

  char* null = reinterpret_cast<char*>(0x1);
  char* empty = nullptr;
  tsk_wchar_t* wide = nullptr;
  p = buf.data();
  ASSERT_EQ(buffer_unpackStringAlloc(&p, p, &null), TSK_OK);
  ASSERT_EQ(buffer_unpackStringAlloc(&p, p, &empty), TSK_OK);
  ASSERT_EQ(buffer_unpackWStringAlloc(&p, p, &wide), TSK_OK);
  EXPECT_EQ(null, nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], '\0');
  EXPECT_EQ(std::char_traits<tsk_wchar_t>::compare(wide, TSK_W("w\u00e9"), 3), 0);
  EXPECT_EQ(p, buf.at(4 + 5 + 10));
  unsigned char* next = nullptr;
  EXPECT_EQ(buffer_unpackStringAlloc(&next, buf.data(), nullptr), TSK_FAIL);
  EXPECT_EQ(buffer_unpackWStringAlloc(&next, buf.at(9), nullptr), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  osUtil_freeMemory(empty);
  osUtil_freeMemory(wide);
}

TEST(BufferAllocUnpack, StringArrayComesBackAsALibraryArray) {
  ByteBuffer buf;
  const char* const strings[] = {"ab", nullptr, ""};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packStringArray(&p, p, 3, strings), TSK_OK);
  ASSERT_EQ(buffer_packStringArray(&p, p, 0, nullptr), TSK_OK);

  char** array = nullptr;
  uint32_t count = 0;
  p = buf.data();
  ASSERT_EQ(buffer_unpackStringArrayAlloc(&p, p, &count, &array), TSK_OK);
  EXPECT_EQ(p, buf.at(20));
  ASSERT_EQ(count, 3u);
  EXPECT_STREQ(array[0], "ab");
  EXPECT_EQ(array[1], nullptr);
  EXPECT_STREQ(array[2], "");
  ASSERT_EQ(stringArray_destroyA(&array, &count), TSK_OK);

  count = 9;
  array = reinterpret_cast<char**>(0x1);
  ASSERT_EQ(buffer_unpackStringArrayAlloc(&p, p, &count, &array), TSK_OK);
  EXPECT_EQ(array, nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(p, buf.at(24));
}

// Every allocation of a string-array unpack may fail: the call then fails,
// writes no out-parameter and leaks nothing.
TEST(BufferAllocUnpack, FailedAllocationsWriteNothingAndLeakNothing) {
  ByteBuffer buf;
  const tsk_wchar_t* const strings[] = {TSK_W("one"), nullptr, TSK_W("three"), TSK_W("")};
  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packWStringArray(&p, p, 4, strings), TSK_OK);

  const int64_t allocations = tsk::test::countAllocations([&] {
    tsk_wchar_t** array = nullptr;
    uint32_t count = 0;
    unsigned char* next = nullptr;
    buffer_unpackWStringArrayAlloc(&next, buf.data(), &count, &array);
    stringArray_destroyW(&array, &count);
  });
  ASSERT_EQ(allocations, 4); // the pointer block and three strings
  for (int64_t n = 1; n <= allocations; ++n) {
    tsk_wchar_t** array = reinterpret_cast<tsk_wchar_t**>(0x1);
    uint32_t count = 77;
    unsigned char* next = nullptr;
    FailNthAllocation failure(n);
    EXPECT_EQ(buffer_unpackWStringArrayAlloc(&next, buf.data(), &count, &array), TSK_FAIL);
    EXPECT_EQ(failure.leaked(), 0) << "allocation " << n;
    EXPECT_EQ(array, reinterpret_cast<tsk_wchar_t**>(0x1));
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(next, nullptr);
  }

  uint32_t count = 77;
  double* block = nullptr;
  p = buf.data();
  ASSERT_EQ(buffer_packDoubleArray(&p, p, 1, std::initializer_list<double>{1.0}.begin()), TSK_OK);
  FailNthAllocation failure(1);
  p = buf.data();
  EXPECT_EQ(buffer_unpackDoubleArrayAlloc(&p, p, &count, &block), TSK_FAIL);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(count, 77u);
  EXPECT_EQ(p, buf.data());
}

} // namespace
