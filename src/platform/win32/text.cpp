// Windows: the code-page conversions and the runtime's text functions.
#include "platform/text.h"

#include "unicode/transcode.h"

#include <windows.h>

#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <mbstring.h>
#include <string.h>
#include <wchar.h>

namespace tsk::platform {

namespace {

using unicode::Conversion;
using unicode::End;
using unicode::OnIllFormed;
using unicode::Status;

// UTF-8 and UTF-16 go through the library's own transcoders, which are
// several times faster than the system's; what a caller sees stays the
// system's own. Well-formed input comes out the same either way, and a
// call whose input turns out to be ill-formed is handed whole to the
// system, so that replacement and error codes are exactly its own.
// Returns -1 for such a call (and for arguments the system should judge).
template <typename In, typename Out, typename Convert>
int transcodeOrDefer(const In* src, int length, Out* dst, int capacity, Convert convert) {
  if (src == nullptr || length == 0 || length < -1 || capacity < 0 ||
      (capacity > 0 && dst == nullptr)) {
    return -1;
  }
  // With length -1 the terminator is converted too: it ends the text.
  const bool terminated = length == -1;
  const Conversion c =
      convert(src, terminated ? SIZE_MAX : static_cast<size_t>(length),
              terminated ? End::kZeroOrLength : End::kLength, capacity == 0 ? nullptr : dst,
              static_cast<size_t>(capacity), OnIllFormed::kStop);
  if (c.status == Status::kIllFormed) {
    return -1;
  }
  const size_t total = c.written + (terminated ? 1 : 0);
  if (total > INT_MAX) {
    return -1;
  }
  if (c.status == Status::kNoRoom || (capacity != 0 && total > static_cast<size_t>(capacity))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (terminated && capacity != 0) {
    dst[c.written] = 0;
  }
  return static_cast<int>(total);
}

// Ill-formed zero-terminated UTF-8 for the system, converted without its
// terminator, which is added here. Wine's converter takes the terminator
// into an incomplete four-byte character at the end ("a\xF0\x9F" gives
// "a" U+FFFD and no terminator), and a caller that sized its buffer by the
// measured count would be left with unterminated text.
int illFormedUtf8ToWide(const char* src, tsk_wchar_t* dst, int capacity) {
  const size_t length = strlen(src);
  if (length >= INT_MAX) {
    return MultiByteToWideChar(CP_UTF8, 0, src, -1, capacity == 0 ? nullptr : dst, capacity);
  }
  // No more units than bytes: n + 1 fits an int.
  const int n = MultiByteToWideChar(CP_UTF8, 0, src, static_cast<int>(length), nullptr, 0);
  if (n <= 0) {
    return 0;
  }
  if (capacity == 0) {
    return n + 1;
  }
  if (capacity <= n) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (MultiByteToWideChar(CP_UTF8, 0, src, static_cast<int>(length), dst, n) != n) {
    return 0;
  }
  dst[n] = 0;
  return n + 1;
}

} // namespace

int multiByteToWide(unsigned codePage, const char* src, int length, tsk_wchar_t* dst,
                    int capacity) {
  if (codePage == kUtf8CodePage) {
    const int n = transcodeOrDefer(src, length, dst, capacity, unicode::convertUtf8);
    if (n >= 0) {
      return n;
    }
    if (src != nullptr && length == -1 && capacity >= 0 && (capacity == 0 || dst != nullptr)) {
      return illFormedUtf8ToWide(src, dst, capacity);
    }
  }
  return MultiByteToWideChar(codePage, 0, src, length, capacity == 0 ? nullptr : dst, capacity);
}

int wideToMultiByte(unsigned codePage, const tsk_wchar_t* src, int length, char* dst,
                    int capacity) {
  if (codePage == kUtf8CodePage) {
    const int n = transcodeOrDefer(src, length, dst, capacity, unicode::convertUtf16);
    if (n >= 0) {
      return n;
    }
  }
  return WideCharToMultiByte(codePage, 0, src, length, capacity == 0 ? nullptr : dst, capacity,
                             nullptr, nullptr);
}

namespace {

// Ill-formed input is left to the system, through the explicit-length
// forms, so that its replacements and error codes apply.
template <typename In, typename Out, typename Convert>
int untilZeroOrDefer(const In* src, size_t bound, Out* dst, int capacity, Convert convert) {
  const Conversion c = convert(src, bound, End::kZeroOrLength, dst, static_cast<size_t>(capacity),
                               OnIllFormed::kStop);
  if (c.status == Status::kIllFormed) {
    return kDeferred;
  }
  if (c.status == Status::kNoRoom) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return kNoRoom;
  }
  return static_cast<int>(c.written);
}

} // namespace

int utf8ToWideUntilZero(const char* src, size_t bound, tsk_wchar_t* dst, int capacity) {
  return untilZeroOrDefer(src, bound, dst, capacity, unicode::convertUtf8);
}

int wideToUtf8UntilZero(const tsk_wchar_t* src, size_t bound, char* dst, int capacity) {
  return untilZeroOrDefer(src, bound, dst, capacity, unicode::convertUtf16);
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
