// string_ replacing and stripping in place.
#include "tskbase/strings.h"

#include <climits>

#include "core/heap.h"
#include "text/chars.h"
#include "text/convert.h"
#include "text/string_ops.h"

namespace tsk::text {

tsk_wchar_t* wideCopyOf(const char* s) {
  const int units = toWide(Encoding::kAnsi, s, -1, nullptr, 0);
  if (units <= 0) {
    return nullptr;
  }
  tsk_wchar_t* copy = heap::allocateArray<tsk_wchar_t>(static_cast<size_t>(units));
  if (copy != nullptr && toWide(Encoding::kAnsi, s, -1, copy, units) != units) {
    heap::release(copy);
    copy = nullptr;
  }
  return copy;
}

char* storeNarrow(char* s, tsk_wchar_t* copy) {
  // The result is measured first so that s is either replaced whole or left
  // as it was. Invalid bytes that came in as U+FFFD may need more room going
  // back than they took.
  const int room = static_cast<int>(length(s) + 1);
  const int needed = toNarrow(Encoding::kAnsi, copy, -1, nullptr, 0);
  const bool fits =
      needed > 0 && needed <= room && toNarrow(Encoding::kAnsi, copy, -1, s, room) == needed;
  heap::release(copy);
  return fits ? s : nullptr;
}

bool narrowArgumentToWide(int32_t ch, tsk_wchar_t* out) {
  const char byte = static_cast<char>(ch & 0xFF);
  return byte != 0 && mbToWc(out, &byte, 1) == 1;
}

} // namespace tsk::text

namespace {

namespace text = tsk::text;

bool isControl(tsk_wchar_t unit) { return text::isWideControl(unit); }
bool isSpace(tsk_wchar_t unit) { return text::isWideSpace(unit); }

bool isNarrowSpace(const char* p) { return text::isMbcSpace(static_cast<unsigned char>(*p)); }

// Bytes of the narrow character at p: at least 1, a byte that begins no
// valid character counting as one, and never reaching past the terminator.
size_t charBytes(const char* p) {
  const int n = text::mbLen(p, text::kMaxCharBytes);
  size_t bytes = 1;
  while (static_cast<int>(bytes) < n && p[bytes] != 0) {
    ++bytes;
  }
  return bytes;
}

// Strips, through a UTF-16 copy, the narrow character argument `ch` with
// one of the unit templates. The round trip runs whatever the argument: a
// byte that is no character on its own (or 0) occurs nowhere, so it removes
// nothing, but a string that does not convert still fails.
template <typename Strip>
char* stripNarrowChar(char* str, int32_t ch, Strip strip) {
  tsk_wchar_t unit = 0;
  const bool maps = text::narrowArgumentToWide(ch, &unit);
  return text::throughWideCopy(str, [&](tsk_wchar_t* copy) {
    strip(copy, [maps, unit](tsk_wchar_t u) { return maps && u == unit; });
  });
}

// The wide functions compare the whole 32-bit argument, so one outside the
// 16-bit range matches no unit.
auto equalTo(int32_t ch) {
  return [ch](tsk_wchar_t u) { return static_cast<int32_t>(u) == ch; };
}

} // namespace

char* string_replaceCharA(char* str, int32_t from, int32_t to) {
  if (str == nullptr) {
    return nullptr;
  }
  const char old = static_cast<char>(from);
  for (char* p = str; *p != 0;) {
    const size_t n = charBytes(p);
    if (n == 1 && *p == old) {
      *p = static_cast<char>(to);
    }
    p += n;
  }
  return str;
}

tsk_wchar_t* string_replaceCharW(tsk_wchar_t* str, tsk_wchar_t from, tsk_wchar_t to) {
  if (str == nullptr) {
    return nullptr;
  }
  for (tsk_wchar_t* p = str; *p != 0; ++p) {
    if (*p == from) {
      *p = to;
    }
  }
  return str;
}

char* string_replaceCRA(char* str) {
  if (str == nullptr) {
    return nullptr;
  }
  for (char* p = str; *p != 0;) {
    const size_t n = charBytes(p);
    if (n == 1 && *p == '\\' && (p[1] == 'n' || p[1] == 'N') && charBytes(p + 1) == 1) {
      *p = '\n';
      text::shiftDown(p + 1, p + 2);
    }
    p += n;
  }
  return str;
}

tsk_wchar_t* string_replaceCRW(tsk_wchar_t* str) {
  if (str == nullptr) {
    return nullptr;
  }
  for (tsk_wchar_t* p = str; *p != 0; ++p) {
    if (*p == '\\' && (p[1] == 'n' || p[1] == 'N')) {
      *p = '\n';
      text::shiftDown(p + 1, p + 2);
    }
  }
  return str;
}

char* string_stripCharA(char* str, int32_t ch) {
  return stripNarrowChar(str, ch,
                         [](tsk_wchar_t* s, auto match) { text::removeSkipping(s, match); });
}

tsk_wchar_t* string_stripCharW(tsk_wchar_t* str, int32_t ch) {
  if (str != nullptr) {
    text::removeSkipping(str, equalTo(ch));
  }
  return str;
}

char* string_stripCtlCharA(char* str) {
  return text::throughWideCopy(str, [](tsk_wchar_t* s) { text::removeSkipping(s, isControl); });
}

tsk_wchar_t* string_stripCtlCharW(tsk_wchar_t* str) {
  if (str != nullptr) {
    text::removeEvery(str, isControl);
  }
  return str;
}

char* string_stripLeadingCharA(char* str, int32_t ch, int32_t max) {
  return stripNarrowChar(str, ch,
                         [max](tsk_wchar_t* s, auto match) { text::removeLeading(s, match, max); });
}

tsk_wchar_t* string_stripLeadingCharW(tsk_wchar_t* str, int32_t ch, int32_t max) {
  if (str != nullptr) {
    text::removeLeading(str, equalTo(ch), max);
  }
  return str;
}

char* string_stripLeadingCtlCharA(char* str, int32_t max) {
  return text::throughWideCopy(str,
                               [max](tsk_wchar_t* s) { text::removeLeading(s, isControl, max); });
}

tsk_wchar_t* string_stripLeadingCtlCharW(tsk_wchar_t* str, int32_t max) {
  if (str != nullptr) {
    text::removeLeading(str, isControl, max);
  }
  return str;
}

char* string_stripTrailingCharA(char* str, int32_t ch, int32_t max) {
  return stripNarrowChar(
      str, ch, [max](tsk_wchar_t* s, auto match) { text::removeTrailing(s, match, max); });
}

tsk_wchar_t* string_stripTrailingCharW(tsk_wchar_t* str, int32_t ch, int32_t max) {
  if (str != nullptr) {
    text::removeTrailing(str, equalTo(ch), max);
  }
  return str;
}

char* string_stripTrailingCtlCharA(char* str, int32_t max) {
  return text::throughWideCopy(str,
                               [max](tsk_wchar_t* s) { text::removeTrailing(s, isControl, max); });
}

tsk_wchar_t* string_stripTrailingCtlCharW(tsk_wchar_t* str, int32_t max) {
  if (str != nullptr) {
    text::removeTrailing(str, isControl, max);
  }
  return str;
}

char* string_stripLeadWhiteSpaceA(char* str) {
  if (str == nullptr) {
    return nullptr;
  }
  const char* p = str;
  while (*p != 0 && isNarrowSpace(p)) {
    ++p;
  }
  if (p != str) {
    text::shiftDown(str, p);
  }
  return str;
}

tsk_wchar_t* string_stripLeadWhiteSpaceW(tsk_wchar_t* str) {
  if (str != nullptr) {
    text::removeLeading(str, isSpace, INT32_MAX);
  }
  return str;
}

char* string_stripTrailWhiteSpaceA(char* str) {
  if (str == nullptr || *str == 0) {
    return str;
  }
  // From the last character backward, each space becomes the terminator.
  auto* start = reinterpret_cast<unsigned char*>(str);
  const unsigned char* last = text::mbsNInc(start, text::mbsLen(start) - 1);
  while (last != nullptr && isNarrowSpace(reinterpret_cast<const char*>(last))) {
    start[last - start] = 0;
    last = text::mbsDec(start, last);
  }
  return str;
}

tsk_wchar_t* string_stripTrailWhiteSpaceW(tsk_wchar_t* str) {
  if (str != nullptr) {
    text::removeTrailing(str, isSpace, INT32_MAX);
  }
  return str;
}

char* string_stripWhiteSpaceA(char* str) {
  if (str == nullptr) {
    return nullptr;
  }
  // The skipping rule, character by character, in one pass: after a space
  // the next character is kept unexamined.
  char* out = str;
  for (const char* in = str; *in != 0;) {
    if (isNarrowSpace(in) && *++in == 0) {
      break;
    }
    const char* end = text::nextChar(in);
    while (in != end) {
      *out++ = *in++;
    }
  }
  *out = 0;
  return str;
}

tsk_wchar_t* string_stripWhiteSpaceW(tsk_wchar_t* str) {
  if (str != nullptr) {
    text::removeEvery(str, isSpace);
  }
  return str;
}
