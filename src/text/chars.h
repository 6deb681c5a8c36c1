// Character-level text operations for use inside the library: the narrow
// encoding's multibyte characters and the classification and case mapping
// of UTF-16 units.
//
// Narrow functions step whole characters and never split one; a byte that
// begins no valid character counts as a character of one byte. A character
// code is the character's bytes read as a big-endian number (0x41 for "A").
// Wide classification is Windows': space is U+0009-U+000D, U+0020, U+00A0
// and the Unicode space separators; control is U+0000-U+001F, U+007F-U+009F
// and the format characters. Case mapping follows the current locale (ASCII
// letters only in the C locale).
#ifndef TSKBASE_SRC_TEXT_CHARS_H
#define TSKBASE_SRC_TEXT_CHARS_H

#include "tskbase/common.h"

#include <cstddef>

namespace tsk::text {

// The character after the one at s (s + 1 at the terminator).
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
// Case mapping in place; return s.
unsigned char* mbsLwr(unsigned char* s);
unsigned char* mbsUpr(unsigned char* s);
// Whether a character code is white space.
bool isMbcSpace(unsigned code);
// mblen and mbtowc over at most n bytes: 0 at a terminator, -1 for bytes that
// begin no valid character.
int mbLen(const char* s, size_t n);
int mbToWc(tsk_wchar_t* out, const char* s, size_t n);

bool isWideSpace(tsk_wchar_t unit);
bool isWideControl(tsk_wchar_t unit);
// Decimal digits of any script (and the superscripts one to three), as
// Windows' iswdigit has them.
bool isWideDigit(tsk_wchar_t unit);
// Case mapping in place; return s.
tsk_wchar_t* wcsLwr(tsk_wchar_t* s);
tsk_wchar_t* wcsUpr(tsk_wchar_t* s);

} // namespace tsk::text

#endif // TSKBASE_SRC_TEXT_CHARS_H
