// The C library's text for errno values. strerrordesc_np tells the codes it
// knows (it gives null for the others, whose strerror text would be
// "Unknown error N"); strerror_r gives the text in the language of the
// locale, in its narrow encoding.
#include "platform/error_message.h"

#include <climits>
#include <cstring>

#include "platform/text.h"

namespace tsk::platform {

bool systemErrorMessage(uint32_t code, std::basic_string<tsk_wchar_t>* text) {
  if (code > INT_MAX || ::strerrordesc_np(static_cast<int>(code)) == nullptr) {
    return false;
  }
  char buffer[256];
  // The GNU strerror_r: returns the text, in `buffer` or in static storage.
  const char* message = ::strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  const int units = multiByteToWide(kAnsiCodePage, message, -1, nullptr, 0);
  if (units <= 0) {
    return false;
  }
  text->resize(static_cast<size_t>(units));
  multiByteToWide(kAnsiCodePage, message, -1, text->data(), units);
  text->pop_back(); // the terminator
  return true;
}

} // namespace tsk::platform
