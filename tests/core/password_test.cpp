#include "tskbase/password.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(Password, WritesTheConfiguredValueAndATerminatorOnly) {
  char out[32];
  std::memset(out, 'x', sizeof out);
  dlmPassword(out);
  EXPECT_EQ(std::string(out), TSKBASE_EXPECTED_PASSWORD);
  EXPECT_EQ(out[DLM_PASSWORD_LENGTH + 1], 'x');
}

} // namespace
