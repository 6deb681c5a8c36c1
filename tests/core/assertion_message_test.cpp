#include <gtest/gtest.h>

#include <string>

#include "assertion_message.h"

namespace {

using tsk::core::formatAssertionMessage;
using tsk::core::kAssertionMessageSize;

const std::string kTail = "\n\nFor information on how your program can cause an assertion\n"
                          "failure, see the comments in the header tskassert.h.\n\n"
                          "(Press Retry to debug the application - JIT must be enabled)";

struct Message {
  std::string text;
  size_t returned;
};

Message format(const std::string& expression, const std::string& file, int32_t line,
               const char* program) {
  char out[kAssertionMessageSize + 16];
  std::string guard(16, '\x7f');
  std::copy(guard.begin(), guard.end(), out + kAssertionMessageSize);
  const size_t length =
      formatAssertionMessage(out, expression.c_str(), file.c_str(), line, program);
  EXPECT_EQ(std::string(out + kAssertionMessageSize, 16), guard) << "wrote past 540 bytes";
  return {out, length};
}

// The text between "label" and the next line feed.
std::string field(const std::string& text, const std::string& label) {
  const size_t start = text.find(label);
  if (start == std::string::npos) {
    return "<missing>";
  }
  const size_t from = start + label.size();
  return text.substr(from, text.find('\n', from) - from);
}

TEST(AssertMessage, HasTheFullLayout) {
  const Message m = format("x > 0", "a.src", 12, "/opt/app/bin/tool");
  EXPECT_EQ(m.text, "Assertion failed!\n\nProgram: /opt/app/bin/tool\nFile: a.src\nLine: 12\n\n"
                    "Expression: x > 0" +
                        kTail);
  EXPECT_EQ(m.returned, m.text.size());
}

TEST(AssertMessage, UnknownProgramAndNegativeLine) {
  const Message m = format("e", "f", -2147483647 - 1, nullptr);
  EXPECT_EQ(field(m.text, "Program: "), "<program name unknown>");
  EXPECT_EQ(field(m.text, "Line: "), "-2147483648");
}

TEST(AssertMessage, LongProgramPathKeepsItsEnd) {
  const std::string path49 = "/" + std::string(44, 'p') + "/exe";
  ASSERT_EQ(path49.size(), 49u);
  EXPECT_EQ(field(format("e", "f", 1, path49.c_str()).text, "Program: "), path49);

  const std::string path50 = "/q" + path49;
  ASSERT_EQ(path50.size(), 51u);
  const std::string path = path50.substr(1); // 50 characters
  EXPECT_EQ(field(format("e", "f", 1, path.c_str()).text, "Program: "),
            "..." + path.substr(path.size() - 46));
}

TEST(AssertMessage, LongFileNameKeepsItsStart) {
  const std::string file52 = std::string(48, 'f') + ".src";
  EXPECT_EQ(field(format("e", file52, 1, "p").text, "File: "), file52);

  const std::string file53 = "g" + file52;
  EXPECT_EQ(field(format("e", file53, 1, "p").text, "File: "), file53.substr(0, 49) + "...");
}

// The expression is cut so that the text and its terminator take exactly
// 540 bytes, and is shown whole while that fits.
TEST(AssertMessage, LongExpressionIsCutToFitTheBuffer) {
  const std::string head = format("", "f", 1, "p").text;
  const size_t fixed = head.size(); // everything but the expression
  const size_t room = kAssertionMessageSize - 1 - fixed;

  const std::string fits(room, 'x');
  const Message whole = format(fits, "f", 1, "p");
  EXPECT_EQ(field(whole.text, "Expression: "), fits);
  EXPECT_EQ(whole.text.size(), kAssertionMessageSize - 1);

  const std::string over(room + 1, 'y');
  const Message cut = format(over, "f", 1, "p");
  EXPECT_EQ(field(cut.text, "Expression: "), std::string(room - 3, 'y') + "...");
  EXPECT_EQ(cut.text.size(), kAssertionMessageSize - 1);
  EXPECT_EQ(cut.text.substr(cut.text.size() - kTail.size()), kTail);

  const Message huge = format(std::string(5000, 'z'), std::string(300, 'f'), -1,
                              ("/" + std::string(259, 'p')).c_str());
  EXPECT_EQ(huge.text.size(), kAssertionMessageSize - 1);
  EXPECT_EQ(huge.text.substr(huge.text.size() - kTail.size()), kTail);
}

} // namespace
