#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "assertion_message.h"

namespace {

using tsk::core::kAssertionMessageSize;

const std::string kTail = "\n\nFor information on how your program can cause an assertion\n"
                          "failure, see the comments in the header tskassert.h.\n\n"
                          "(Press Retry to debug the application - JIT must be enabled)";

// Formats into a buffer guarded behind its 540 bytes; checks the guard and
// the returned length.
std::string format(const std::string& expression, const std::string& file, int32_t line,
                   const char* program) {
  char out[kAssertionMessageSize + 16];
  std::memset(out + kAssertionMessageSize, 0x7f, 16);
  const size_t length =
      tsk::core::formatAssertionMessage(out, expression.c_str(), file.c_str(), line, program);
  EXPECT_EQ(std::string(out + kAssertionMessageSize, 16), std::string(16, '\x7f'));
  EXPECT_EQ(length, std::strlen(out));
  return out;
}

// The message that shows these parts.
std::string shown(const std::string& program, const std::string& file, const std::string& line,
                  const std::string& expression) {
  return "Assertion failed!\n\nProgram: " + program + "\nFile: " + file + "\nLine: " + line +
         "\n\nExpression: " + expression + kTail;
}

// Program paths over 49 characters keep their end, file names over 52 their
// start.
TEST(AssertMessage, LayoutAndLongPathsAndFileNames) {
  const std::string path49 = "/" + std::string(44, 'p') + "/exe", path50 = "q" + path49;
  const std::string file52 = std::string(48, 'f') + ".src", file53 = "g" + file52;
  EXPECT_EQ(format("x > 0", "a.src", 12, "/opt/app/bin/tool"),
            shown("/opt/app/bin/tool", "a.src", "12", "x > 0"));
  EXPECT_EQ(format("e", "f", INT32_MIN, nullptr),
            shown("<program name unknown>", "f", "-2147483648", "e"));
  EXPECT_EQ(format("e", file52, 1, path49.c_str()), shown(path49, file52, "1", "e"));
  EXPECT_EQ(format("e", file53, 1, path50.c_str()),
            shown("..." + path50.substr(4), file53.substr(0, 49) + "...", "1", "e"));
}

// The expression is shown whole while the text and its terminator fit in
// 540 bytes, and is otherwise cut so that they take exactly 540.
TEST(AssertMessage, LongExpressionIsCutToFitTheBuffer) {
  const size_t room = kAssertionMessageSize - 1 - shown("p", "f", "1", "").size();
  const std::string fits(room, 'x'), over(room + 1, 'y');
  EXPECT_EQ(format(fits, "f", 1, "p"), shown("p", "f", "1", fits));
  EXPECT_EQ(format(over, "f", 1, "p"), shown("p", "f", "1", over.substr(4) + "..."));
  const std::string huge = format(std::string(5000, 'z'), std::string(300, 'f'), -1,
                                  ("/" + std::string(259, 'p')).c_str());
  EXPECT_EQ(huge.size(), kAssertionMessageSize - 1);
  EXPECT_EQ(huge.substr(huge.size() - kTail.size()), kTail);
}

} // namespace
