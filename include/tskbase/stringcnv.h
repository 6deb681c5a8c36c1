/**
 * @file
 * tskbase/stringcnv.h - converting text between the narrow ("ANSI")
 * encoding, UTF-8 and UTF-16.
 *
 * In the names, mbs is narrow text in the process's current narrow encoding,
 * utf8 is UTF-8, wcs is UTF-16 (tsk_wchar_t), and tcs is the library's text
 * type, which is wide: a tcs function is the wcs one under another name.
 *
 * Each conversion comes in up to three shapes:
 *   - into the caller's buffer; the capacity counts elements of the
 *     destination (bytes or 16-bit units) and includes the terminator;
 *   - into a fresh malloc block stored through a pointer (...Alloc); the
 *     caller releases it with free() (or string_freeA; tskbase/common.h says
 *     which heap);
 *   - over an array of `count` strings into a fresh array of `count` fresh
 *     strings (the p forms); a member that does not convert, or is null,
 *     leaves a null element; the caller frees each element, then the array.
 *
 * Every function returns TSK_OK or TSK_FAIL: for a null pointer argument, a
 * capacity of 0, a conversion that does not fit (the ANSI forms never cut),
 * or memory exhaustion. Ill-formed input is replaced (U+FFFD), characters
 * the narrow encoding lacks become '?'. Nothing is kept between calls.
 *
 * How many U+FFFD ill-formed UTF-8 gives is not the same everywhere: on
 * Linux one per maximal ill-formed subpart, as Unicode recommends ("\xE2\x82"
 * cut short is one, "\xC0\xAF" two); on Windows whatever the system's
 * MultiByteToWideChar decides, which may differ. Well-formed text converts
 * alike on both.
 *
 * Buffer forms at a glance:
 *   mbsToWcs     fails unless the whole text fits; element capacity - 1 is 0.
 *   wcsToMbs     stores 0 in the first byte first; fails unless the whole
 *                text fits.
 *   utf8ToWcs    keeps the first capacity - 1 bytes of the source (the cut
 *                may fall inside a character, which then becomes U+FFFD).
 *   wcsToUTF8    keeps the first capacity - 1 units of the source, and fails
 *                if their UTF-8 form needs more than capacity bytes; if it
 *                needs exactly capacity bytes, the last one is replaced by
 *                the terminator.
 *   tcsToWcs     a plain copy; fails unless capacity > length.
 *
 * Allocating forms: the ANSI ones leave *result untouched on failure, the
 * UTF-8 ones leave null in it. The ANSI ones allocate one spare element
 * beyond the terminator.
 */
#ifndef TSKBASE_STRINGCNV_H
#define TSKBASE_STRINGCNV_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/* ---- Narrow (ANSI) to wide ----------------------------------------------- */

/** Narrow text into the caller's wide buffer of `capacity` units. */
TSKBASE_API tsk_status stringCnv_mbsToWcs(const char* src, tsk_wchar_t* dst, int32_t capacity);
/** As stringCnv_mbsToWcs; capacities above 0x7FFFFFFF count as 0x7FFFFFFF. */
TSKBASE_API tsk_status stringCnv_mbsToTcs(const char* src, tsk_wchar_t* dst, size_t capacity);
/** @{ */
/** Narrow text into a fresh wide block stored in *result. */
TSKBASE_API tsk_status stringCnv_mbsToWcsAlloc(const char* src, tsk_wchar_t** result);
TSKBASE_API tsk_status stringCnv_mbsToTcsAlloc(const char* src, tsk_wchar_t** result);
/** @} */
/** `count` narrow strings into a fresh array of fresh wide strings. */
TSKBASE_API tsk_status stringCnv_mbspToWcsp(const char* const* src, int32_t count,
                                            tsk_wchar_t*** result);

/* ---- Wide to narrow (ANSI) ----------------------------------------------- */

/** @{ */
/** Wide text into the caller's narrow buffer of `capacity` bytes. */
TSKBASE_API tsk_status stringCnv_wcsToMbs(const tsk_wchar_t* src, char* dst, size_t capacity);
TSKBASE_API tsk_status stringCnv_tcsToMbs(const tsk_wchar_t* src, char* dst, size_t capacity);
/** @} */
/** @{ */
/** Wide text into a fresh narrow block stored in *result. */
TSKBASE_API tsk_status stringCnv_wcsToMbsAlloc(const tsk_wchar_t* src, char** result);
TSKBASE_API tsk_status stringCnv_tcsToMbsAlloc(const tsk_wchar_t* src, char** result);
/** @} */
/** `count` wide strings into a fresh array of fresh narrow strings. */
TSKBASE_API tsk_status stringCnv_wcspToMbsp(const tsk_wchar_t* const* src, int32_t count,
                                            char*** result);

/* ---- UTF-8 and wide ------------------------------------------------------ */

/** UTF-8 text into the caller's wide buffer of `capacity` units. */
TSKBASE_API tsk_status stringCnv_utf8ToWcs(const char* src, tsk_wchar_t* dst, size_t capacity);
/** UTF-8 text into a fresh wide block stored in *result. */
TSKBASE_API tsk_status stringCnv_utf8ToWcsAlloc(const char* src, tsk_wchar_t** result);
/** `count` UTF-8 strings into a fresh array of fresh wide strings. */
TSKBASE_API tsk_status stringCnv_utf8pToWcsp(const char* const* src, int32_t count,
                                             tsk_wchar_t*** result);
/** Wide text into the caller's UTF-8 buffer of `capacity` bytes. */
TSKBASE_API tsk_status stringCnv_wcsToUTF8(const tsk_wchar_t* src, char* dst, size_t capacity);
/** Wide text into a fresh UTF-8 block stored in *result. */
TSKBASE_API tsk_status stringCnv_wcsToUTF8Alloc(const tsk_wchar_t* src, char** result);
/** `count` wide strings into a fresh array of fresh UTF-8 strings. */
TSKBASE_API tsk_status stringCnv_wcspToUTF8p(const tsk_wchar_t* const* src, int32_t count,
                                             char*** result);

/* ---- Wide copies (one function each under two names) --------------------- */

/** @{ */
/** Copies wide text into the caller's buffer of `capacity` units. */
TSKBASE_API tsk_status stringCnv_tcsToWcs(const tsk_wchar_t* src, tsk_wchar_t* dst,
                                          int32_t capacity);
TSKBASE_API tsk_status stringCnv_wcsToTcs(const tsk_wchar_t* src, tsk_wchar_t* dst,
                                          int32_t capacity);
/** @} */
/** @{ */
/** Copies wide text into a fresh block stored in *result. */
TSKBASE_API tsk_status stringCnv_tcsToWcsAlloc(const tsk_wchar_t* src, tsk_wchar_t** result);
TSKBASE_API tsk_status stringCnv_wcsToTcsAlloc(const tsk_wchar_t* src, tsk_wchar_t** result);
/** @} */

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_STRINGCNV_H */
