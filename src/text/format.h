// The library's printf-family formatter, for narrow text (in the narrow
// encoding) and for UTF-16 text. Every family that formats text goes through
// it, so that output is the same on every platform.
//
// Conversions are those of C's printf, with Windows' conventions
// for text arguments: in a narrow format %s and %c take narrow text and %S
// and %C wide text; in a wide format %s and %c take wide text and %S and %C
// narrow text. The size prefixes h (narrow), l and w (wide) fix the width of
// a text argument whatever the format's own width. Text of the other width is
// converted through the narrow encoding with the code-page conversions
// (unmappable characters become '?', ill-formed ones U+FFFD). Windows'
// runtime converts with wctomb instead and fails the whole call on a
// character the code page lacks; here the text comes out with a '?'. A null string prints as
// "(null)". Width and precision count output elements. Text of the format's own width is cut after
// `precision` raw elements, which can split a UTF-8 sequence or a surrogate pair, as on Windows;
// converted text is cut before the first character that would pass the precision, and with a
// precision no source element is read once the output has reached it (the array then needs no
// terminator). Width pads with spaces, or with zeros under the 0 flag.
//
// Numbers are formatted by the library itself (format_number.h), with the C
// standard's rules for flags, widths and precisions, so that every platform
// writes the same text: the platforms' C libraries differ (glibc writes a NaN
// with its sign bit as "-nan"; MinGW's printf writes nothing for %#.0o of 0,
// honours the space flag in unsigned conversions and ignores some %g
// widths). Besides C99's size prefixes (hh h l ll L j z t), Windows' I32, I64
// and I (pointer-sized) are accepted. %L reads a long double where the
// platform has one of its own, and a double on Windows, where callers built
// with Microsoft's compiler pass one. %p prints the address as upper-case
// hexadecimal digits, 16 of them. %n is refused.
//
// The functions read their argument list in place, as vsnprintf does: a
// caller that needs the arguments again passes a va_copy.
//
// Every function returns -1 on a formatting error (an unknown or malformed
// conversion, text of the other width that cannot be converted, or text
// longer than INT_MAX elements); what was written before the error stays.
//
// The formatter needs no memory of its own, whatever the widths and
// precisions; only the digits of a long double that no double holds (not on
// Windows) may take a heap block when they pass 1,400 characters.
#ifndef TSKBASE_SRC_TEXT_FORMAT_H
#define TSKBASE_SRC_TEXT_FORMAT_H

#include "tskbase/common.h"

#include <cstdarg>
#include <cstddef>

namespace tsk::text {

// Legacy bounded mode, with room for `room` elements. Returns the text's
// length when text and terminator fit (the terminator is written); exactly
// `room` when the text fills the room and its terminator does not fit (no
// terminator is written); -1 when the text is longer, after writing its
// first `room` elements. A null buffer with room 0 measures, as Windows'
// _vsnprintf does; a null buffer with room fails.
int vformatBounded(char* buf, size_t room, const char* format, va_list args);
int vformatBounded(tsk_wchar_t* buf, size_t room, const tsk_wchar_t* format, va_list args);

// Measuring mode: the text's length in elements, terminator excluded.
int vformatLength(const char* format, va_list args);
int vformatLength(const tsk_wchar_t* format, va_list args);

// Secure mode: writes the text and its terminator and returns the length
// when both fit in `capacity` elements; otherwise fails with -1 and leaves
// an empty string (capacity 0 fails without writing).
int vformatSecure(char* buf, size_t capacity, const char* format, va_list args);
int vformatSecure(tsk_wchar_t* buf, size_t capacity, const tsk_wchar_t* format, va_list args);

// Variadic forms of the above.
template <typename C>
int formatBounded(C* buf, size_t room, const C* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = vformatBounded(buf, room, format, args);
  va_end(args);
  return n;
}

template <typename C>
int formatLength(const C* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = vformatLength(format, args);
  va_end(args);
  return n;
}

template <typename C>
int formatSecure(C* buf, size_t capacity, const C* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = vformatSecure(buf, capacity, format, args);
  va_end(args);
  return n;
}

} // namespace tsk::text

#endif // TSKBASE_SRC_TEXT_FORMAT_H
