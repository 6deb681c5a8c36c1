/**
 * @file
 * tskbase/strings.h - small operations on zero-terminated strings that the
 * caller owns: stepping, counting, searching, case, replacing and stripping
 * in place, bounded copying and formatting, tokens, search and replace,
 * fractions, number reading, an environment variable and path strings.
 *
 * Functions ending in A take narrow text in the process's narrow ("ANSI")
 * encoding and work per character: a multibyte character is never split,
 * and a byte that begins no valid character counts as a character of one
 * byte. Functions ending in W take UTF-16 text and work per 16-bit unit.
 * Buffer sizes count elements of the buffer's own type (bytes or units) and
 * include the terminator.
 *
 * Three kinds of result:
 *   - pointer functions return their string (or the position found), and
 *     null when the string is null;
 *   - status functions return TSK_OK or TSK_FAIL;
 *   - count functions return 0 for a null or empty string.
 *
 * Character arguments of the stripping functions are 32-bit integers; the
 * narrow ones use only the low byte, the wide ones the whole value (so one
 * beyond 16 bits matches no unit). A maximum count of 0 or less removes
 * nothing.
 *
 * The skipping rule. string_stripCharA, string_stripCharW,
 * string_stripCtlCharA and string_stripWhiteSpaceA walk the string once and,
 * after removing a character, step past the one that moved into its place
 * without examining it: of a run of k characters to be removed, k / 2
 * (rounded down) remain. A doubled backslash stripped of backslashes leaves
 * one, and a backslash before a quote leaves the quote.
 *
 * The narrow character stripping functions (stripChar, stripCtlChar,
 * stripLeading..., stripTrailing...) work on a UTF-16 copy of the string and
 * convert the result back; they return null, leaving the string as it was,
 * when a conversion fails or the result would not fit in the original. A
 * character argument whose low byte is 0 or no character on its own in the
 * narrow encoding (a UTF-8 lead byte, say) matches nothing, but the string
 * still makes the round trip.
 *
 * Everything is re-entrant and works only in the caller's memory; only
 * string_sprintfAllocW hands out memory. The narrow functions follow the
 * process's current narrow encoding.
 */
#ifndef TSKBASE_STRINGS_H
#define TSKBASE_STRINGS_H

#include "tskbase/common.h"

#include <stdarg.h>

TSKBASE_EXTERN_C_BEGIN

/* ---- Stepping, lengths and counts ---------------------------------------- */

/** @{ */
/** The next character (the position after the terminator at the terminator). */
TSKBASE_API char* string_incrementA(const char* pos);
TSKBASE_API tsk_wchar_t* string_incrementW(const tsk_wchar_t* pos);
TSKBASE_API tsk_wchar_t* string_nextCharW(const tsk_wchar_t* pos);
/** @} */

/** @{ */
/** The character before `pos`; null when either is null or pos <= start. */
TSKBASE_API char* string_decrementA(const char* start, const char* pos);
TSKBASE_API tsk_wchar_t* string_decrementW(const tsk_wchar_t* start, const tsk_wchar_t* pos);
/** @} */

/** @{ */
/** The last character (its first byte); null for a null or empty string. */
TSKBASE_API char* string_getLastCharA(const char* str);
TSKBASE_API tsk_wchar_t* string_getLastCharW(const tsk_wchar_t* str);
/** @} */

/** @{ */
/** Characters (A) or units (W) before the terminator. */
TSKBASE_API size_t string_numCharsA(const char* str);
TSKBASE_API size_t string_numCharsW(const tsk_wchar_t* str);
/** @} */
/** @{ */
/** Bytes (A) or units (W) before the terminator. */
TSKBASE_API size_t string_safeLengthA(const char* str);
TSKBASE_API size_t string_safeLengthW(const tsk_wchar_t* str);
/** @} */

/** @{ */
/** Occurrences of a character. In A the code is the character's bytes read
 * as a big-endian number (0x41 for "A"); each search starts one byte after
 * the previous hit. The terminator (code 0) is never counted. */
TSKBASE_API size_t string_getCharCountA(const char* str, uint32_t code);
TSKBASE_API size_t string_getCharCountW(const tsk_wchar_t* str, tsk_wchar_t unit);
/** @} */

/** 1 when `unit` is white space (and not 0), otherwise 0. */
TSKBASE_API int32_t string_isSpaceW(tsk_wchar_t unit);
/** The first unit that is not white space (the terminator at the latest). */
TSKBASE_API tsk_wchar_t* string_skipWhiteSpaceW(const tsk_wchar_t* str);

/* ---- Search and case ------------------------------------------------------ */

/** @{ */
/** First / last occurrence of a character (A: code as above); null when
 * there is none. Code 0 finds the terminator. */
TSKBASE_API char* string_strchrA(const char* str, uint32_t code);
TSKBASE_API char* string_strrchrA(const char* str, uint32_t code);
TSKBASE_API tsk_wchar_t* string_strchrW(const tsk_wchar_t* str, tsk_wchar_t unit);
TSKBASE_API tsk_wchar_t* string_strrchrW(const tsk_wchar_t* str, tsk_wchar_t unit);
/** @} */

/** @{ */
/** First occurrence of `pattern` (in A starting on a character boundary);
 * null when either is null or empty, or there is none. */
TSKBASE_API char* string_strstrA(const char* str, const char* pattern);
TSKBASE_API tsk_wchar_t* string_strstrW(const tsk_wchar_t* str, const tsk_wchar_t* pattern);
/** @} */

/** @{ */
/** Case mapping in place; return the string. */
TSKBASE_API char* string_toLowerA(char* str);
TSKBASE_API char* string_toUpperA(char* str);
TSKBASE_API tsk_wchar_t* string_toLowerW(tsk_wchar_t* str);
TSKBASE_API tsk_wchar_t* string_toUpperW(tsk_wchar_t* str);
/** @} */

/** @{ */
/** Releases a block that the library allocated (free() of the C runtime heap,
 * see tskbase/common.h). */
TSKBASE_API void string_freeA(void* block);
TSKBASE_API void string_freeW(void* block);
/** @} */

/* ---- Replacing in place ----------------------------------------------------
 * Return the string; an empty string stays as it is. */

/** @{ */
/** Every single-byte character (A) or unit (W) equal to `from` becomes `to`;
 * the bytes of multibyte characters never match. */
TSKBASE_API char* string_replaceCharA(char* str, int32_t from, int32_t to);
TSKBASE_API tsk_wchar_t* string_replaceCharW(tsk_wchar_t* str, tsk_wchar_t from, tsk_wchar_t to);
/** @} */

/** @{ */
/** Every backslash followed by n or N becomes a newline; the letter goes. */
TSKBASE_API char* string_replaceCRA(char* str);
TSKBASE_API tsk_wchar_t* string_replaceCRW(tsk_wchar_t* str);
/** @} */

/* ---- Stripping in place ----------------------------------------------------
 * Return the string. */

/** @{ */
/** Removes occurrences of `ch`, by the skipping rule. */
TSKBASE_API char* string_stripCharA(char* str, int32_t ch);
TSKBASE_API tsk_wchar_t* string_stripCharW(tsk_wchar_t* str, int32_t ch);
/** @} */
/** @{ */
/** A: removes control characters by the skipping rule. W: removes every
 * control character. */
TSKBASE_API char* string_stripCtlCharA(char* str);
TSKBASE_API tsk_wchar_t* string_stripCtlCharW(tsk_wchar_t* str);
/** @} */

/** @{ */
/** Remove up to `max` leading / trailing occurrences of `ch`, or control
 * characters. */
TSKBASE_API char* string_stripLeadingCharA(char* str, int32_t ch, int32_t max);
TSKBASE_API tsk_wchar_t* string_stripLeadingCharW(tsk_wchar_t* str, int32_t ch, int32_t max);
TSKBASE_API char* string_stripLeadingCtlCharA(char* str, int32_t max);
TSKBASE_API tsk_wchar_t* string_stripLeadingCtlCharW(tsk_wchar_t* str, int32_t max);
TSKBASE_API char* string_stripTrailingCharA(char* str, int32_t ch, int32_t max);
TSKBASE_API tsk_wchar_t* string_stripTrailingCharW(tsk_wchar_t* str, int32_t ch, int32_t max);
TSKBASE_API char* string_stripTrailingCtlCharA(char* str, int32_t max);
TSKBASE_API tsk_wchar_t* string_stripTrailingCtlCharW(tsk_wchar_t* str, int32_t max);
/** @} */

/** @{ */
/** Remove all leading / trailing white space. */
TSKBASE_API char* string_stripLeadWhiteSpaceA(char* str);
TSKBASE_API tsk_wchar_t* string_stripLeadWhiteSpaceW(tsk_wchar_t* str);
TSKBASE_API char* string_stripTrailWhiteSpaceA(char* str);
TSKBASE_API tsk_wchar_t* string_stripTrailWhiteSpaceW(tsk_wchar_t* str);
/** @} */
/** @{ */
/** A: removes white space anywhere by the skipping rule. W: removes every
 * white-space unit. */
TSKBASE_API char* string_stripWhiteSpaceA(char* str);
TSKBASE_API tsk_wchar_t* string_stripWhiteSpaceW(tsk_wchar_t* str);
/** @} */

/* ---- Bounded copying and formatting ----------------------------------------
 * Copy and concatenate take the source first, the formatters the buffer. */

/** @{ */
/** Copies at most size - 1 elements (zero-filling up to size - 1 after a
 * shorter source) and stores 0 in element size - 1. A longer source is cut,
 * in A possibly inside a character. Fails for a null pointer or size 0. */
TSKBASE_API tsk_status string_safeCopyA(const char* src, char* dst, size_t size);
TSKBASE_API tsk_status string_safeCopyW(const tsk_wchar_t* src, tsk_wchar_t* dst, size_t size);
/** @} */

/** Appends as much of `src` as fits and stores 0 in element size - 1. Fails
 * for a null pointer, size 0, or a destination not shorter than size units
 * (which is then left as it was). */
TSKBASE_API tsk_status string_safeConcatenateW(const tsk_wchar_t* src, tsk_wchar_t* dst,
                                               size_t size);

/** @{ */
/** printf into at most size - 1 elements. When the text fits, element
 * size - 1 is set to 0 and the call succeeds. When it is longer, its first
 * size - 1 elements are in the buffer, element size - 1 is left as it was,
 * and the call fails. Fails for a null buffer or format or size 0.
 *
 * The formatter is the library's own, and writes the same text on every
 * platform: numbers by the C standard's rules (infinity as inf, a NaN as
 * nan whatever its sign bit, the decimal point of the C locale), text
 * arguments with Windows' conventions (%s of the format's own width, %S of
 * the other; h, l and w fix the width). One thing cannot be the same: on
 * Windows %Lf, %Le, %Lg and %La read a double, as callers built with
 * Microsoft's compiler pass one (their long double is a double); on Linux
 * they read a long double. */
TSKBASE_API tsk_status string_safeSprintfA(char* buf, size_t size, const char* format, ...);
TSKBASE_API tsk_status string_safeSprintfW(tsk_wchar_t* buf, size_t size, const tsk_wchar_t* format,
                                           ...);
TSKBASE_API tsk_status string_safeVsprintfA(char* buf, size_t size, const char* format,
                                            va_list args);
TSKBASE_API tsk_status string_safeVsprintfW(tsk_wchar_t* buf, size_t size,
                                            const tsk_wchar_t* format, va_list args);
/** @} */

/** The allocation function of string_sprintfAllocW. */
typedef void* (*tsk_allocate_fn)(size_t bytes);
/** The formatted text in a fresh block from `allocate` (asked for a size in
 * bytes), or null. The block must be one that free() of the C runtime heap
 * releases (tskbase/common.h): the library releases it when formatting
 * fails. */
TSKBASE_API tsk_wchar_t* string_sprintfAllocW(tsk_allocate_fn allocate, const tsk_wchar_t* format,
                                              ...);

/* ---- Tokens ------------------------------------------------------------------
 * A delimiter set is a string of delimiter characters; any of them ends a
 * token. `next` (may be null) receives the position after the delimiter that
 * ended the token, or null when the token ended at the end of the string. */

/** Skips one leading delimiter (if it is a single-byte character); two
 * delimiters in a row therefore yield an empty token. A character whose
 * first byte is a delimiter ends the token, and `next` lies after that whole
 * character. The token buffer must hold the token. Fails for a null or empty
 * string or delimiter set. */
TSKBASE_API tsk_status string_getTokenA(const char* str, const char* delims, char* token,
                                        const char** next);
/** Skips every leading delimiter. Fails, touching nothing, when the token
 * and its terminator do not fit in `size` units. */
TSKBASE_API tsk_status string_getTokenW(const tsk_wchar_t* str, const tsk_wchar_t* delims,
                                        int32_t size, tsk_wchar_t* token, const tsk_wchar_t** next);
/** The token of the given index (from 0) as string_getTokenW takes them.
 * Fails, touching nothing, for an index past the last token or a token that
 * does not fit. */
TSKBASE_API tsk_status string_getTokenByIndexW(const tsk_wchar_t* str, const tsk_wchar_t* delims,
                                               int32_t index, tsk_wchar_t* token, int32_t size);
/** @{ */
/** How many tokens the token functions take from the string one after the
 * other. A token that would not fit in 128 bytes (A) or 256 units (W) ends
 * the count. A null delimiter set counts 0 in A and fails in W. */
TSKBASE_API tsk_status string_getTokenCountA(const char* str, const char* delims, uint32_t* count);
TSKBASE_API tsk_status string_getTokenCountW(const tsk_wchar_t* str, const tsk_wchar_t* delims,
                                             uint32_t* count);
/** @} */

/* ---- Search and replace --------------------------------------------------- */

/** @{ */
/** Replaces the first occurrence of `pattern` in place; the buffer must hold
 * the result. An empty string or pattern, or no occurrence, is no change. In
 * A only an occurrence of whole characters counts: one that begins or ends
 * inside a character is passed over. */
TSKBASE_API tsk_status string_searchAndReplaceA(char* str, const char* pattern,
                                                const char* replacement);
TSKBASE_API tsk_status string_searchAndReplaceW(tsk_wchar_t* str, const tsk_wchar_t* pattern,
                                                const tsk_wchar_t* replacement);
/** @} */

/* ---- Fractions ------------------------------------------------------------- */

/** @{ */
/** A whole part and a fraction in halves to thirty-seconds ("3 1/4", "5/8"),
 * or a six-decimal fraction where it is none of these ("2.300000"). The
 * fraction is truncated to five decimals, never rounded. Negative values
 * keep their sign in both parts ("-2 -1/4"; -0.5 gives "-2/4"). At most 21
 * characters and the terminator are written. Values whose whole part does
 * not fit in a signed 32-bit integer, and NaN, fail without writing. */
TSKBASE_API tsk_status string_convertDoubleToFracA(double value, char* out);
TSKBASE_API tsk_status string_convertDoubleToFracW(double value, tsk_wchar_t* out);
/** @} */
/** @{ */
/** As string_convertDoubleToFracA, but a non-zero whole part is always
 * followed by a space and the fraction as the double function writes it
 * alone: "3 " for 3.0, "3 0.300000" for 3.3. */
TSKBASE_API tsk_status string_convertFloatToFracA(float value, char* out);
TSKBASE_API tsk_status string_convertFloatToFracW(float value, tsk_wchar_t* out);
/** @} */

/* ---- Numbers and the environment ------------------------------------------- */

/** Reads an unsigned decimal number of at most 10 digits after optional white
 * space; the number must be followed by the end or a character not above
 * the space. Returns the position after the number and the white space
 * after it (at the end of a blank string, that end, with *value 0), or null
 * for malformed input (with *value 0) or a null argument. Numbers above
 * 2147483647 read as 2147483647. */
TSKBASE_API tsk_wchar_t* string_readLongW(const tsk_wchar_t* str, uint32_t* value);

/** Copies the value of an environment variable, cut to size - 1 bytes. Fails
 * for a null buffer, a null or empty name, size 0, or an unset variable. */
TSKBASE_API tsk_status string_getConfigVarA(char* buf, const char* name, uint32_t size);

/* ---- Path strings -------------------------------------------------------------
 * The separator is the backslash. Each returns the path, or null for null. */

/** @{ */
/** Appends a backslash unless the path ends in one (an empty path becomes
 * one); the buffer must have room for it. */
TSKBASE_API char* string_addFileSeperatorA(char* path);
TSKBASE_API tsk_wchar_t* string_addFileSeperatorW(tsk_wchar_t* path);
/** @} */
/** @{ */
/** Cuts the path at the last full stop that follows the last backslash. */
TSKBASE_API char* string_stripFileExtA(char* path);
TSKBASE_API tsk_wchar_t* string_stripFileExtW(tsk_wchar_t* path);
/** @} */
/** @{ */
/** Keeps everything up to and including the last backslash. */
TSKBASE_API char* string_stripFileNameA(char* path);
TSKBASE_API tsk_wchar_t* string_stripFileNameW(tsk_wchar_t* path);
/** @} */
/** @{ */
/** Keeps only what follows the last backslash. */
TSKBASE_API char* string_stripFilePathA(char* path);
TSKBASE_API tsk_wchar_t* string_stripFilePathW(tsk_wchar_t* path);
/** @} */
/** Removes one final backslash or forward slash. */
TSKBASE_API void string_removeTerminatingSlashW(tsk_wchar_t* path);

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_STRINGS_H */
