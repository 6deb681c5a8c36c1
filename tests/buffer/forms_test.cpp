// Every typed name of the buffer_ family, from one table of element types:
// each name must move the position by its own width and carry the values'
// bytes unchanged. Names that share an implementation are wired to it one by
// one, so each is checked on its own.
#include "tskbase/buffer.h"
#include "tskbase/os_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Byte = unsigned char;

template <typename T>
bool sameBytes(const T* a, const T* b, size_t count) {
  return count == 0 || std::memcmp(a, b, count * sizeof(T)) == 0;
}

// A scalar at an odd position: width bytes written and read, size function.
template <typename T>
void scalarRoundTrip(tsk_status (*pack)(Byte**, Byte*, T), tsk_status (*unpack)(Byte**, Byte*, T*),
                     uint32_t (*size)(), T value) {
  std::vector<Byte> buf(sizeof(T) + 2);
  Byte* p = buf.data() + 1;
  ASSERT_EQ(pack(&p, p, value), TSK_OK);
  EXPECT_EQ(p, buf.data() + 1 + sizeof(T));
  EXPECT_EQ(size(), sizeof(T));
  T out{};
  p = buf.data() + 1;
  ASSERT_EQ(unpack(&p, p, &out), TSK_OK);
  EXPECT_EQ(p, buf.data() + 1 + sizeof(T));
  EXPECT_TRUE(sameBytes(&out, &value, 1));
}

// An array: exact size, element count and capacity rules, bytes unchanged.
template <typename T>
void arrayRoundTrip(tsk_status (*pack)(Byte**, Byte*, uint32_t, const T*),
                    tsk_status (*unpack)(Byte**, Byte*, uint32_t*, T*), uint32_t (*size)(uint32_t),
                    const std::vector<T>& values) {
  const auto count = static_cast<uint32_t>(values.size());
  std::vector<Byte> buf(size(count));
  ASSERT_EQ(buf.size(), 4 + count * sizeof(T));
  Byte* p = buf.data();
  ASSERT_EQ(pack(&p, p, count, values.data()), TSK_OK);
  EXPECT_EQ(p, buf.data() + buf.size());

  std::vector<T> out(count + 1);
  uint32_t capacity = count - 1; // one short: nothing happens
  Byte* next = nullptr;
  EXPECT_EQ(unpack(&next, buf.data(), &capacity, out.data()), TSK_FAIL);
  EXPECT_EQ(capacity, count - 1);
  EXPECT_EQ(next, nullptr);
  capacity = count + 1;
  ASSERT_EQ(unpack(&next, buf.data(), &capacity, out.data()), TSK_OK);
  EXPECT_EQ(capacity, count);
  EXPECT_EQ(next, buf.data() + buf.size());
  EXPECT_TRUE(sameBytes(out.data(), values.data(), count));
}

// A padded field `width` wide: the field's full size, the stored count.
template <typename T>
void paddedRoundTrip(tsk_status (*pack)(Byte**, Byte*, int32_t, int32_t, const T*),
                     tsk_status (*unpack)(Byte**, Byte*, int32_t*, T*),
                     const std::vector<T>& values, int32_t width) {
  const auto count = static_cast<int32_t>(values.size());
  const size_t fieldSize = 8 + static_cast<size_t>(width) * sizeof(T);
  std::vector<Byte> buf(fieldSize);
  Byte* p = buf.data();
  ASSERT_EQ(pack(&p, p, count, width, values.data()), TSK_OK);
  EXPECT_EQ(p, buf.data() + fieldSize);

  std::vector<T> out(static_cast<size_t>(width));
  int32_t capacity = count - 1;
  Byte* next = nullptr;
  EXPECT_EQ(unpack(&next, buf.data(), &capacity, out.data()), TSK_FAIL);
  EXPECT_EQ(next, nullptr);
  capacity = width;
  ASSERT_EQ(unpack(&next, buf.data(), &capacity, out.data()), TSK_OK);
  EXPECT_EQ(capacity, count);
  EXPECT_EQ(next, buf.data() + fieldSize);
  EXPECT_TRUE(sameBytes(out.data(), values.data(), values.size()));
}

// An array unpacked into a block that the library allocates.
template <typename T>
void allocRoundTrip(tsk_status (*pack)(Byte**, Byte*, uint32_t, const T*),
                    tsk_status (*unpack)(Byte**, Byte*, uint32_t*, T**),
                    const std::vector<T>& values) {
  const auto count = static_cast<uint32_t>(values.size());
  std::vector<Byte> buf(4 + values.size() * sizeof(T));
  Byte* p = buf.data();
  ASSERT_EQ(pack(&p, p, count, values.data()), TSK_OK);
  T* block = nullptr;
  uint32_t n = 12345; // output only
  p = buf.data();
  ASSERT_EQ(unpack(&p, p, &n, &block), TSK_OK);
  EXPECT_EQ(p, buf.data() + buf.size());
  EXPECT_EQ(n, count);
  EXPECT_TRUE(sameBytes(block, values.data(), count));
  osUtil_freeMemory(block);
}

// The element types of the scalar names, with a value of each.
#define TSK_SCALAR_TYPES(X)                                                                        \
  X(char, Char, 'x')                                                                               \
  X(unsigned char, UChar, 0xFE)                                                                    \
  X(int16_t, Short, -2)                                                                            \
  X(uint16_t, UShort, 0xBEEF)                                                                      \
  X(tsk_wchar_t, WChar, 0x20AC)                                                                    \
  X(int32_t, Int, -123456789)                                                                      \
  X(uint32_t, UInt, 0xDEADBEEFu)                                                                   \
  X(int32_t, Long, INT32_MIN)                                                                      \
  X(uint32_t, ULong, 0xFFFFFFFFu)                                                                  \
  X(float, Float, -1.5f)                                                                           \
  X(double, Double, 6.02214076e23)

// The element types of the array names, with values of each.
#define TSK_ARRAY_TYPES(X)                                                                         \
  X(char, Char, 'a', 0, 'b')                                                                       \
  X(int16_t, Short, 1, -1, 0x0203)                                                                 \
  X(uint16_t, UShort, 7, 65535, 0)                                                                 \
  X(tsk_wchar_t, WChar, 0xD83D, 0xDE00, 0x41)                                                      \
  X(int32_t, Int, 10, -20, 30)                                                                     \
  X(int32_t, Long, INT32_MIN, INT32_MAX, 5)                                                        \
  X(uint32_t, ULong, 0, 0xFFFFFFFFu, 3)                                                            \
  X(float, Float, 0.25f, -8.0f, 1.5f)                                                              \
  X(double, Double, 1e300, -1e-300, 0.5)

TEST(BufferForms, EveryScalarNameRoundTripsItsWidth){
#define TSK_CHECK(T, Name, value)                                                                  \
  {                                                                                                \
    SCOPED_TRACE(#Name);                                                                           \
    scalarRoundTrip<T>(buffer_pack##Name, buffer_unpack##Name, buffer_packedSize##Name, value);    \
  }
    TSK_SCALAR_TYPES(TSK_CHECK)
#undef TSK_CHECK
}

TEST(BufferForms, EveryArrayNameRoundTripsItsWidthInEachForm) {
#define TSK_CHECK(T, Name, a, b, c)                                                                \
  {                                                                                                \
    SCOPED_TRACE(#Name);                                                                           \
    const std::vector<T> values{a, b, c};                                                          \
    arrayRoundTrip<T>(buffer_pack##Name##Array, buffer_unpack##Name##Array,                        \
                      buffer_packedArraySize##Name, values);                                       \
    allocRoundTrip<T>(buffer_pack##Name##Array, buffer_unpack##Name##ArrayAlloc, values);          \
    paddedRoundTrip<T>(buffer_pack##Name##PaddedArray, buffer_unpack##Name##PaddedArray, values,   \
                       5);                                                                         \
  }
  TSK_ARRAY_TYPES(TSK_CHECK)
#undef TSK_CHECK
}

} // namespace
