// Conversions between the narrow encoding, UTF-8 and UTF-16 for use inside
// the library. The narrow ("ANSI") encoding is the process's current one.
//
// toWide and toNarrow have the contract of Windows' MultiByteToWideChar and
// WideCharToMultiByte (flags 0, no default character): `length` source
// elements, or -1 for the whole zero-terminated source with its terminator;
// capacity 0 measures; otherwise the count written, or 0 when the output
// does not fit (it is never cut) or an argument is invalid. Ill-formed input
// becomes U+FFFD, characters the narrow encoding lacks become '?'.
#ifndef TSKBASE_SRC_TEXT_CONVERT_H
#define TSKBASE_SRC_TEXT_CONVERT_H

#include "tskbase/common.h"

#include <cstddef>

namespace tsk::text {

enum class Encoding : unsigned {
  kAnsi = 0,    // the process's narrow encoding
  kUtf8 = 65001 // UTF-8
};

int toWide(Encoding from, const char* src, int length, tsk_wchar_t* dst, int capacity);
int toNarrow(Encoding to, const tsk_wchar_t* src, int length, char* dst, int capacity);

// UTF-8 <-> UTF-16 of the text at src up to its terminator or `bound`
// elements, whichever comes first (the terminator not converted), in one
// pass where the platform can: the number of elements written (0 for empty
// text), or -1 when they do not all fit in capacity (>= 1).
int utf8ToWideUntilZero(const char* src, size_t bound, tsk_wchar_t* dst, int capacity);
int wideToUtf8UntilZero(const tsk_wchar_t* src, size_t bound, char* dst, int capacity);

// A fresh block of the library heap holding the whole zero-terminated
// source converted and terminated, or null if conversion or allocation
// fails. Release it with tsk::heap::release (or free()).
tsk_wchar_t* newWide(Encoding from, const char* src);
char* newNarrow(Encoding to, const tsk_wchar_t* src);

// A fresh library-heap copy of a wide string, or null.
tsk_wchar_t* newWideCopy(const tsk_wchar_t* src);

} // namespace tsk::text

#endif // TSKBASE_SRC_TEXT_CONVERT_H
