#include "platform/posix/utf8_text.h"

#include <cerrno>

#include "unicode/transcode.h"

namespace tsk::platform {

namespace {

using Traits = std::char_traits<tsk_wchar_t>;

} // namespace

Utf8Text::Utf8Text(const tsk_wchar_t* text) {
  const unicode::Transcoded utf8 =
      unicode::utf16ToUtf8(text, Traits::length(text), bytes_, sizeof bytes_ - 1);
  ok_ = utf8.fits;
  if (ok_) {
    bytes_[utf8.count] = 0;
  } else {
    errno = ENAMETOOLONG;
  }
}

std::string toUtf8String(const tsk_wchar_t* text) {
  const size_t length = Traits::length(text);
  std::string utf8(unicode::utf16ToUtf8(text, length, nullptr, 0).count, '\0');
  unicode::utf16ToUtf8(text, length, utf8.data(), utf8.size());
  return utf8;
}

std::basic_string<tsk_wchar_t> toUtf16String(std::string_view utf8) {
  std::basic_string<tsk_wchar_t> wide(
      unicode::utf8ToUtf16(utf8.data(), utf8.size(), nullptr, 0).count, 0);
  unicode::utf8ToUtf16(utf8.data(), utf8.size(), wide.data(), wide.size());
  return wide;
}

} // namespace tsk::platform
