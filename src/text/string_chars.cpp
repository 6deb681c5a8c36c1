// string_ stepping, lengths, counts, search and case.
#include "tskbase/strings.h"

#include "core/heap.h"
#include "text/chars.h"
#include "text/string_ops.h"
#include "text/utf.h"

namespace {

namespace text = tsk::text;

const unsigned char* bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }
char* chars(const unsigned char* s) { return const_cast<char*>(reinterpret_cast<const char*>(s)); }
tsk_wchar_t* mutableUnits(const tsk_wchar_t* s) { return const_cast<tsk_wchar_t*>(s); }

// The first occurrence of `unit` at or after s, the terminator included.
const tsk_wchar_t* wideChr(const tsk_wchar_t* s, tsk_wchar_t unit) {
  for (;; ++s) {
    if (*s == unit) {
      return s;
    }
    if (*s == 0) {
      return nullptr;
    }
  }
}

const tsk_wchar_t* wideRChr(const tsk_wchar_t* s, tsk_wchar_t unit) {
  const tsk_wchar_t* found = nullptr;
  for (;; ++s) {
    if (*s == unit) {
      found = s;
    }
    if (*s == 0) {
      return found;
    }
  }
}

// Whether `pattern` occurs at s; reads no unit of s past the first mismatch,
// so never past its terminator.
bool startsWith(const tsk_wchar_t* s, const tsk_wchar_t* pattern) {
  for (; *pattern != 0; ++s, ++pattern) {
    if (*s != *pattern) {
      return false;
    }
  }
  return true;
}

const tsk_wchar_t* wideStr(const tsk_wchar_t* s, const tsk_wchar_t* pattern) {
  for (; *s != 0; ++s) {
    if (startsWith(s, pattern)) {
      return s;
    }
  }
  return nullptr;
}

} // namespace

namespace tsk::text {

const char* nextChar(const char* p) {
  if (*p == 0) {
    return p;
  }
  const char* next = reinterpret_cast<const char*>(mbsInc(bytes(p)));
  for (const char* q = p + 1; q < next; ++q) {
    if (*q == 0) {
      return q;
    }
  }
  return next;
}

} // namespace tsk::text

char* string_incrementA(const char* pos) {
  return pos == nullptr ? nullptr : chars(text::mbsInc(bytes(pos)));
}
tsk_wchar_t* string_incrementW(const tsk_wchar_t* pos) {
  return pos == nullptr ? nullptr : mutableUnits(pos + 1);
}
tsk_wchar_t* string_nextCharW(const tsk_wchar_t* pos) { return string_incrementW(pos); }

char* string_decrementA(const char* start, const char* pos) {
  if (start == nullptr || pos == nullptr || pos <= start) {
    return nullptr;
  }
  return chars(text::mbsDec(bytes(start), bytes(pos)));
}
tsk_wchar_t* string_decrementW(const tsk_wchar_t* start, const tsk_wchar_t* pos) {
  if (start == nullptr || pos == nullptr || pos <= start) {
    return nullptr;
  }
  return mutableUnits(pos - 1);
}

char* string_getLastCharA(const char* str) {
  if (str == nullptr || *str == 0) {
    return nullptr;
  }
  // Stepping forward finds the last character's first byte in any encoding.
  return chars(text::mbsNInc(bytes(str), text::mbsLen(bytes(str)) - 1));
}
tsk_wchar_t* string_getLastCharW(const tsk_wchar_t* str) {
  if (str == nullptr || *str == 0) {
    return nullptr;
  }
  return mutableUnits(str + text::wideLength(str) - 1);
}

size_t string_numCharsA(const char* str) { return str == nullptr ? 0 : text::mbsLen(bytes(str)); }
size_t string_numCharsW(const tsk_wchar_t* str) {
  return str == nullptr ? 0 : text::wideLength(str);
}
size_t string_safeLengthA(const char* str) { return str == nullptr ? 0 : text::length(str); }
size_t string_safeLengthW(const tsk_wchar_t* str) { return string_numCharsW(str); }

size_t string_getCharCountA(const char* str, uint32_t code) {
  if (str == nullptr || code == 0) {
    return 0;
  }
  size_t count = 0;
  for (const unsigned char* hit = text::mbsChr(bytes(str), code); hit != nullptr;
       hit = text::mbsChr(hit + 1, code)) {
    ++count;
  }
  return count;
}
size_t string_getCharCountW(const tsk_wchar_t* str, tsk_wchar_t unit) {
  if (str == nullptr || unit == 0) {
    return 0;
  }
  size_t count = 0;
  for (const tsk_wchar_t* hit = wideChr(str, unit); hit != nullptr; hit = wideChr(hit + 1, unit)) {
    ++count;
  }
  return count;
}

int32_t string_isSpaceW(tsk_wchar_t unit) { return unit != 0 && text::isWideSpace(unit) ? 1 : 0; }

tsk_wchar_t* string_skipWhiteSpaceW(const tsk_wchar_t* str) {
  if (str == nullptr) {
    return nullptr;
  }
  while (string_isSpaceW(*str) != 0) {
    ++str;
  }
  return mutableUnits(str);
}

char* string_strchrA(const char* str, uint32_t code) {
  return str == nullptr ? nullptr : chars(text::mbsChr(bytes(str), code));
}
char* string_strrchrA(const char* str, uint32_t code) {
  return str == nullptr ? nullptr : chars(text::mbsRChr(bytes(str), code));
}
tsk_wchar_t* string_strchrW(const tsk_wchar_t* str, tsk_wchar_t unit) {
  return str == nullptr ? nullptr : mutableUnits(wideChr(str, unit));
}
tsk_wchar_t* string_strrchrW(const tsk_wchar_t* str, tsk_wchar_t unit) {
  return str == nullptr ? nullptr : mutableUnits(wideRChr(str, unit));
}

char* string_strstrA(const char* str, const char* pattern) {
  if (str == nullptr || pattern == nullptr || *str == 0 || *pattern == 0) {
    return nullptr;
  }
  return chars(text::mbsStr(bytes(str), bytes(pattern)));
}
tsk_wchar_t* string_strstrW(const tsk_wchar_t* str, const tsk_wchar_t* pattern) {
  if (str == nullptr || pattern == nullptr || *str == 0 || *pattern == 0) {
    return nullptr;
  }
  return mutableUnits(wideStr(str, pattern));
}

char* string_toLowerA(char* str) {
  return str == nullptr ? nullptr : chars(text::mbsLwr(reinterpret_cast<unsigned char*>(str)));
}
char* string_toUpperA(char* str) {
  return str == nullptr ? nullptr : chars(text::mbsUpr(reinterpret_cast<unsigned char*>(str)));
}
tsk_wchar_t* string_toLowerW(tsk_wchar_t* str) {
  return str == nullptr ? nullptr : text::wcsLwr(str);
}
tsk_wchar_t* string_toUpperW(tsk_wchar_t* str) {
  return str == nullptr ? nullptr : text::wcsUpr(str);
}

void string_freeA(void* block) { tsk::heap::release(block); }
void string_freeW(void* block) { string_freeA(block); }
