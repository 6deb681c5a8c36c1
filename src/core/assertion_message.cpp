#include "assertion_message.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace tsk::core {
namespace {

constexpr std::string_view kEllipsis = "...";
constexpr std::string_view kAdvice = "For information on how your program can cause an assertion\n"
                                     "failure, see the comments in the header tskassert.h.";
constexpr std::string_view kLastLine =
    "(Press Retry to debug the application - JIT must be enabled)";

// Paths longer than this show "..." and their last kPathShown - 3 characters.
constexpr size_t kPathShown = 49;
// File names longer than this show their first kFileShown - 3 characters and
// "...".
constexpr size_t kFileShown = 52;
// Room kept behind the expression: its two line feeds, the advice with its
// two line feeds, and the last line with the terminator.
constexpr size_t kTail = 2 + kAdvice.size() + 2 + kLastLine.size() + 1;

static_assert(kAdvice.size() == 111, "the advice is sized into the expression limit");
static_assert(kTail == 176);

// Appends to a fixed buffer; never writes past its end or the terminator.
class Writer {
public:
  explicit Writer(char* out) : out_(out) { out_[0] = '\0'; }

  void add(std::string_view text) {
    const size_t room = kAssertionMessageSize - 1 - length_;
    const size_t count = text.size() < room ? text.size() : room;
    std::memcpy(out_ + length_, text.data(), count);
    length_ += count;
    out_[length_] = '\0';
  }

  size_t length() const { return length_; }

private:
  char* out_;
  size_t length_ = 0;
};

std::string_view orNull(const char* text) { return text != nullptr ? text : "(null)"; }

} // namespace

size_t formatAssertionMessage(char* out, const char* expression, const char* file, int32_t line,
                              const char* program) {
  Writer text(out);
  text.add("Assertion failed!\n\nProgram: ");
  if (program == nullptr) {
    text.add("<program name unknown>");
  } else if (const std::string_view path = program; path.size() > kPathShown) {
    text.add(kEllipsis);
    text.add(path.substr(path.size() - (kPathShown - kEllipsis.size())));
  } else {
    text.add(path);
  }

  text.add("\nFile: ");
  const std::string_view fileName = orNull(file);
  if (fileName.size() > kFileShown) {
    text.add(fileName.substr(0, kFileShown - kEllipsis.size()));
    text.add(kEllipsis);
  } else {
    text.add(fileName);
  }

  char digits[16];
  const auto converted = std::to_chars(digits, digits + sizeof digits, line);
  text.add("\nLine: ");
  text.add(std::string_view(digits, static_cast<size_t>(converted.ptr - digits)));

  text.add("\n\nExpression: ");
  const std::string_view expr = orNull(expression);
  const size_t used = text.length();
  if (used + expr.size() + kTail > kAssertionMessageSize) {
    text.add(expr.substr(0, kAssertionMessageSize - kTail - kEllipsis.size() - used));
    text.add(kEllipsis);
  } else {
    text.add(expr);
  }

  text.add("\n\n");
  text.add(kAdvice);
  text.add("\n\n");
  text.add(kLastLine);
  return text.length();
}

} // namespace tsk::core
