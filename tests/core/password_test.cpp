#include "tskbase/password.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(Password, IsTheConfiguredValueOfTwentyFourCharacters) {
  char first[32];
  std::memset(first, 'x', sizeof first);
  dlmPassword(first);
  EXPECT_EQ(first[DLM_PASSWORD_LENGTH], '\0');
  EXPECT_EQ(first[DLM_PASSWORD_LENGTH + 1], 'x'); // exactly 25 bytes written
  const std::string value = first;
  ASSERT_EQ(value.size(), 24u);
  for (char c : value) {
    EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) << value;
  }
  EXPECT_EQ(value, TSKBASE_EXPECTED_PASSWORD);

  char second[25];
  dlmPassword(second);
  EXPECT_EQ(std::memcmp(first, second, sizeof second), 0);
}

} // namespace
