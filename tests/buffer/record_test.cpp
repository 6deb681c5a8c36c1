// A whole record through the library, the way a caller uses the family: sum
// the size functions, pack field after field, unpack in the same order.
#include "tskbase/buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(BufferRecord, SizeFunctionsBoundWhatPackingWrites) {
  const char* name = "record";
  const tsk_wchar_t* title = TSK_W("T\u00eftle");
  const int32_t values[4] = {1, 2, 3, 4};
  const char* const tags[] = {"x", nullptr, "yz"};

  const uint32_t size = buffer_packedSizeInt() + buffer_packedSizeString(name) +
                        buffer_packedSizeWString(title) + buffer_packedArraySizeInt(4) +
                        buffer_packedSizeDouble() + buffer_packedArraySizeString(3, tags) +
                        buffer_packedSizeString(nullptr);
  std::vector<unsigned char> buf(size);

  unsigned char* p = buf.data();
  ASSERT_EQ(buffer_packInt(&p, p, 42), TSK_OK);
  ASSERT_EQ(buffer_packString(&p, p, name), TSK_OK);
  ASSERT_EQ(buffer_packWString(&p, p, title), TSK_OK);
  ASSERT_EQ(buffer_packIntArray(&p, p, 4, values), TSK_OK);
  ASSERT_EQ(buffer_packDouble(&p, p, 2.5), TSK_OK);
  ASSERT_EQ(buffer_packStringArray(&p, p, 3, tags), TSK_OK);
  ASSERT_EQ(buffer_packString(&p, p, nullptr), TSK_OK);
  const auto written = static_cast<uint32_t>(p - buf.data());
  // Each of the four non-null strings is sized with 4 spare bytes.
  EXPECT_EQ(written + 4 * 4, size);

  int32_t i = 0;
  char nameOut[16];
  tsk_wchar_t titleOut[16];
  int32_t valuesOut[4];
  double d = 0;
  char tagSlots[3][4] = {};
  char nullOut = '#';
  uint32_t n = 16;
  p = buf.data();
  ASSERT_EQ(buffer_unpackInt(&p, p, &i), TSK_OK);
  ASSERT_EQ(buffer_unpackString(&p, p, &n, nameOut), TSK_OK);
  n = 16;
  ASSERT_EQ(buffer_unpackWString(&p, p, &n, titleOut), TSK_OK);
  n = 4;
  ASSERT_EQ(buffer_unpackIntArray(&p, p, &n, valuesOut), TSK_OK);
  ASSERT_EQ(buffer_unpackDouble(&p, p, &d), TSK_OK);
  n = 3;
  ASSERT_EQ(buffer_unpackStringArray(&p, p, &n, 4, &tagSlots[0][0]), TSK_OK);
  n = 1;
  ASSERT_EQ(buffer_unpackString(&p, p, &n, &nullOut), TSK_OK);
  EXPECT_EQ(p - buf.data(), written);

  EXPECT_EQ(i, 42);
  EXPECT_STREQ(nameOut, name);
  EXPECT_EQ(std::char_traits<tsk_wchar_t>::compare(titleOut, title, 6), 0);
  EXPECT_EQ(valuesOut[3], 4);
  EXPECT_EQ(d, 2.5);
  EXPECT_STREQ(tagSlots[0], "x");
  EXPECT_STREQ(tagSlots[2], "yz");
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(nullOut, '#');
}

} // namespace
