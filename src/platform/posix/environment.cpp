// The C library's environment, its names and values in UTF-8.
#include "platform/environment.h"

#include <cstdlib>
#include <new>
#include <string>

#include "platform/posix/utf8_text.h"
#include "unicode/transcode.h"

namespace tsk::platform {

namespace {

const char* valueOf(const tsk_wchar_t* name) {
  const Utf8Text native(name);
  return native.get() == nullptr ? nullptr : std::getenv(native.get());
}

} // namespace

size_t environmentValueSize(const tsk_wchar_t* name) {
  const char* value = valueOf(name);
  if (value == nullptr) {
    return 0;
  }
  return unicode::utf8ToUtf16(value, std::char_traits<char>::length(value), nullptr, 0).count + 1;
}

size_t readEnvironmentValue(const tsk_wchar_t* name, tsk_wchar_t* buffer, size_t capacity) {
  const char* value = valueOf(name);
  if (value == nullptr || capacity == 0) {
    return 0;
  }
  const unicode::Transcoded wide =
      unicode::utf8ToUtf16(value, std::char_traits<char>::length(value), buffer, capacity - 1);
  if (!wide.fits) {
    return 0;
  }
  buffer[wide.count] = 0;
  return wide.count;
}

bool setEnvironmentValue(const tsk_wchar_t* name, const tsk_wchar_t* value) {
  const Utf8Text nativeName(name);
  if (nativeName.get() == nullptr) {
    return false;
  }
  try {
    return ::setenv(nativeName.get(), toUtf8String(value).c_str(), 1) == 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

} // namespace tsk::platform
