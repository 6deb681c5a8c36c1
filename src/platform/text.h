// The operating system's text services: code-page conversion, the runtime's
// multibyte character functions over the narrow ("ANSI") encoding, the
// classification and case mapping of UTF-16 units, and the locale's decimal
// point.
//
// On Windows these are the real MultiByteToWideChar, WideCharToMultiByte and
// runtime functions. Elsewhere the narrow encoding is the codeset of the
// current LC_CTYPE locale, read at each call; the C and POSIX locales (plain
// ASCII) count as UTF-8. Code page 65001 is always UTF-8.
//
// Library code reaches these through src/text/, not directly.
#ifndef TSKBASE_SRC_PLATFORM_TEXT_H
#define TSKBASE_SRC_PLATFORM_TEXT_H

#include "tskbase/common.h"

#include <cstddef>

namespace tsk::platform {

inline constexpr unsigned kAnsiCodePage = 0;
inline constexpr unsigned kUtf8CodePage = 65001;

// ---- Conversion --------------------------------------------------------
//
// Converts `length` source elements, or with length -1 the whole
// zero-terminated source including its terminator. With capacity 0 (dst
// ignored) returns the number of elements the output needs. Otherwise
// returns the number of elements written, or 0 when they do not all fit (the
// output is never cut) or an argument is invalid (length 0, or below -1).
// Ill-formed input and characters the target lacks are replaced (U+FFFD when
// decoding, '?' when encoding to a codeset other than UTF-8).
int multiByteToWide(unsigned codePage, const char* src, int length, tsk_wchar_t* dst, int capacity);
int wideToMultiByte(unsigned codePage, const tsk_wchar_t* src, int length, char* dst, int capacity);

// UTF-8 <-> UTF-16 in one pass over zero-terminated text: converts the text
// at src up to its terminator or `bound` elements, whichever comes first
// (the terminator not converted), into dst (capacity >= 1). Returns the
// number of elements written (0 for empty text), kNoRoom when they do not
// all fit, or kDeferred when the caller must measure the text and convert
// it with the explicit-length functions above (on Windows, ill-formed input,
// so that the system's own replacements apply).
inline constexpr int kNoRoom = -1;
inline constexpr int kDeferred = -2;
int utf8ToWideUntilZero(const char* src, size_t bound, tsk_wchar_t* dst, int capacity);
int wideToUtf8UntilZero(const tsk_wchar_t* src, size_t bound, char* dst, int capacity);

// ---- Multibyte characters of the narrow encoding -------------------------
//
// A character is never split; a byte that begins no valid character counts
// as a character of one byte. A character code (mbsChr, mbsRChr,
// isMbcSpace) is the character's bytes read as a big-endian number: 0x41 for
// "A", 0xC3A9 for a UTF-8 "é".

// The character after the one at s (s + 1 at the terminator). Never steps
// past a terminator, even when it follows a lone lead byte.
const unsigned char* mbsInc(const unsigned char* s);
// The character before pos, or null when pos <= start.
const unsigned char* mbsDec(const unsigned char* start, const unsigned char* pos);
// Advances `count` characters, stopping at the terminator.
const unsigned char* mbsNInc(const unsigned char* s, size_t count);
// Number of characters.
size_t mbsLen(const unsigned char* s);
// First / last character with the given code; code 0 finds the terminator.
const unsigned char* mbsChr(const unsigned char* s, unsigned code);
const unsigned char* mbsRChr(const unsigned char* s, unsigned code);
// First occurrence of `pattern` that starts on a character boundary.
const unsigned char* mbsStr(const unsigned char* s, const unsigned char* pattern);
// Case mapping in place, character by character; returns s.
unsigned char* mbsLwr(unsigned char* s);
unsigned char* mbsUpr(unsigned char* s);
// Whether a character code is white space.
bool isMbcSpace(unsigned code);
// mblen and mbtowc over at most n bytes: 0 at a terminator, -1 for bytes
// that begin no valid character (mbToWc also for one that needs two units).
int mbLen(const char* s, size_t n);
int mbToWc(tsk_wchar_t* out, const char* s, size_t n);

// ---- UTF-16 units ---------------------------------------------------------
//
// Classification as Windows' runtime gives it: space is U+0009-U+000D,
// U+0020, U+00A0 and the Unicode space separators; control is U+0000-U+001F,
// U+007F-U+009F and the Unicode format characters. Case mapping follows the
// current locale: ASCII letters only in the C locale.
bool isWideSpace(tsk_wchar_t unit);
bool isWideControl(tsk_wchar_t unit);
// Decimal digits as Windows' runtime classifies them: the Unicode decimal
// digits of the Basic Multilingual Plane, and the superscripts one to three.
bool isWideDigit(tsk_wchar_t unit);
tsk_wchar_t* wcsLwr(tsk_wchar_t* s);
tsk_wchar_t* wcsUpr(tsk_wchar_t* s);

// ---- Numbers ----------------------------------------------------------------

// The decimal point of the current C locale (LC_NUMERIC) in the narrow
// encoding; "." when the locale has none.
const char* decimalPoint();

// Whether a long double argument is passed as a double. Windows' calling
// convention has long double the same as double, so callers built with
// Microsoft's compiler pass a double for %Lf; the formatter reads it so.
#if defined(_WIN32)
inline constexpr bool kLongDoubleIsDouble = true;
#else
inline constexpr bool kLongDoubleIsDouble = false;
#endif

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_TEXT_H
