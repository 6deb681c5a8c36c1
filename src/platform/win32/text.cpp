// Windows: the code-page conversions and the runtime's text functions.
#include "platform/text.h"

#include <windows.h>

#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <mbstring.h>
#include <string.h>
#include <wchar.h>

namespace tsk::platform {

int multiByteToWide(unsigned codePage, const char* src, int length, tsk_wchar_t* dst,
                    int capacity) {
  return MultiByteToWideChar(codePage, 0, src, length, capacity == 0 ? nullptr : dst, capacity);
}

int wideToMultiByte(unsigned codePage, const tsk_wchar_t* src, int length, char* dst,
                    int capacity) {
  return WideCharToMultiByte(codePage, 0, src, length, capacity == 0 ? nullptr : dst, capacity,
                             nullptr, nullptr);
}

// msvcrt.dll's _mbsinc steps two bytes over a lone lead byte even when the
// second is the terminator; stop at the terminator instead.
const unsigned char* mbsInc(const unsigned char* s) {
  if (*s == 0) {
    return s + 1;
  }
  const unsigned char* next = _mbsinc(s);
  for (const unsigned char* p = s + 1; p < next; ++p) {
    if (*p == 0) {
      return p;
    }
  }
  return next;
}

const unsigned char* mbsDec(const unsigned char* start, const unsigned char* pos) {
  return pos <= start ? nullptr : _mbsdec(start, pos);
}

const unsigned char* mbsNInc(const unsigned char* s, size_t count) { return _mbsninc(s, count); }

size_t mbsLen(const unsigned char* s) { return _mbslen(s); }

const unsigned char* mbsChr(const unsigned char* s, unsigned code) { return _mbschr(s, code); }

const unsigned char* mbsRChr(const unsigned char* s, unsigned code) { return _mbsrchr(s, code); }

const unsigned char* mbsStr(const unsigned char* s, const unsigned char* pattern) {
  return _mbsstr(s, pattern);
}

unsigned char* mbsLwr(unsigned char* s) { return _mbslwr(s); }

unsigned char* mbsUpr(unsigned char* s) { return _mbsupr(s); }

bool isMbcSpace(unsigned code) { return _ismbcspace(code) != 0; }

int mbLen(const char* s, size_t n) { return mblen(s, n); }

int mbToWc(tsk_wchar_t* out, const char* s, size_t n) { return mbtowc(out, s, n); }

bool isWideSpace(tsk_wchar_t unit) { return iswspace(unit) != 0; }

bool isWideControl(tsk_wchar_t unit) { return iswcntrl(unit) != 0; }

bool isWideDigit(tsk_wchar_t unit) { return iswdigit(unit) != 0; }

tsk_wchar_t* wcsLwr(tsk_wchar_t* s) { return _wcslwr(s); }

tsk_wchar_t* wcsUpr(tsk_wchar_t* s) { return _wcsupr(s); }

const char* decimalPoint() {
  const char* point = localeconv()->decimal_point;
  return point != nullptr && *point != 0 ? point : ".";
}

} // namespace tsk::platform
