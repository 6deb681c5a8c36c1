// The operating system's text for its error codes.
#ifndef TSKBASE_SRC_PLATFORM_ERROR_MESSAGE_H
#define TSKBASE_SRC_PLATFORM_ERROR_MESSAGE_H

#include <cstdint>
#include <string>

#include "tskbase/common.h"

namespace tsk::platform {

// Stores the system's message for error `code` in *text, as the system
// writes it (line breaks included), and returns true; false when the system
// has no message for the code. Windows: FormatMessageW from the system's
// message table in the user's default language. Elsewhere `code` is an errno
// value and the text is strerror's, in the narrow encoding of the locale;
// codes unknown to the C library have none. Throws std::bad_alloc.
bool systemErrorMessage(uint32_t code, std::basic_string<tsk_wchar_t>* text);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_ERROR_MESSAGE_H
