// The library's UTF-16 text in the UTF-8 that the POSIX calls take.
#ifndef TSKBASE_SRC_PLATFORM_POSIX_UTF8_TEXT_H
#define TSKBASE_SRC_PLATFORM_POSIX_UTF8_TEXT_H

#include <climits>
#include <string>
#include <string_view>

#include "tskbase/common.h"

namespace tsk::platform {

// A path or name converted to UTF-8 in a buffer of its own, without
// allocating. Text that needs more than PATH_MAX bytes is refused, as the
// system would refuse such a path.
class Utf8Text {
public:
  explicit Utf8Text(const tsk_wchar_t* text);
  Utf8Text(const Utf8Text&) = delete;
  Utf8Text& operator=(const Utf8Text&) = delete;

  // The UTF-8 text, or null (with errno ENAMETOOLONG) when it did not fit.
  const char* get() const { return ok_ ? bytes_ : nullptr; }

private:
  char bytes_[PATH_MAX];
  bool ok_;
};

// UTF-8 of text of any length. Throws std::bad_alloc.
std::string toUtf8String(const tsk_wchar_t* text);

// UTF-16 of UTF-8 text, ill-formed bytes as U+FFFD. Throws std::bad_alloc.
std::basic_string<tsk_wchar_t> toUtf16String(std::string_view utf8);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_POSIX_UTF8_TEXT_H
