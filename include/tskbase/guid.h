/**
 * @file
 * tskbase/guid.h - GUID creation, text forms and hexadecimal digit runs.
 *
 * A GUID is the 16-byte record of the Windows headers: a 32-bit field, two
 * 16-bit fields (all three little-endian) and 8 single bytes. On Windows a
 * GUID or UUID can be passed by casting its address to tsk_guid*.
 *
 * Its text form is 36 characters in groups of 8-4-4-4-12 lower-case
 * hexadecimal digits. The three fields are written most significant byte
 * first, the 8 single bytes in memory order:
 *
 * @verbatim
 *   bytes 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff
 *   text  33221100-5544-7766-8899-aabbccddeeff
 * @endverbatim
 *
 * The functions keep no state, allocate nothing and never throw. The
 * converters return TSK_OK or TSK_FAIL; guid_create, guid_createNil and
 * guid_isValidGuid answer 1 (yes) or 0 (no).
 */
#ifndef TSKBASE_GUID_H
#define TSKBASE_GUID_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/** A GUID: the layout and field names of Windows' GUID. */
typedef struct tsk_guid {
  uint32_t Data1;         /**< the first 8 hexadecimal digits */
  uint16_t Data2;         /**< the next 4 */
  uint16_t Data3;         /**< the next 4 */
  unsigned char Data4[8]; /**< the last 16, two per byte in memory order */
} tsk_guid;

/** Flags of guid_guidToString, combined with |. */
#define GUID_FLAG_BRACES 1u      /**< {...}; wins over apostrophes */
#define GUID_FLAG_APOSTROPHES 2u /**< '...' */
#define GUID_FLAG_UPPERCASE 4u   /**< hexadecimal letters in upper case */

/** Fills *guid with a new GUID from the operating system. 0 for a null
 * pointer or when the system reports anything but plain success. */
TSKBASE_API int32_t guid_create(tsk_guid* guid);
/** Fills *guid with zeros. 0 for a null pointer. */
TSKBASE_API int32_t guid_createNil(tsk_guid* guid);

/** Writes the text form into `out`, whose capacity counts wide characters and
 * must hold the text and its terminator: 37, or 39 with a delimiter. A
 * non-null `out` with room receives an empty string first, so it holds an
 * empty string after any failure but a null or zero-sized buffer. Other flag
 * bits are ignored. */
TSKBASE_API tsk_status guid_guidToString(const tsk_guid* guid, uint32_t flags, tsk_wchar_t* out,
                                         uint64_t capacity);

/** Parses exactly 36 characters, or 38 between braces; digits in either case.
 * The apostrophe form is refused. A wrong length, brace or hyphen leaves
 * *guid untouched; a character that is not a hexadecimal digit sets it to
 * the nil GUID. */
TSKBASE_API tsk_status guid_stringToGuid(const tsk_wchar_t* text, tsk_guid* guid);

/** Loose test: an optional opening brace, then at least 36 characters with
 * hyphens at positions 8, 13, 18 and 23, and nothing but hexadecimal digits
 * and hyphens up to the end or the first closing brace. Longer text and a
 * missing closing brace pass. */
TSKBASE_API int32_t guid_isValidGuid(const tsk_wchar_t* text);

/** @{ */
/** Writes 2 * count lower-case digits for `count` bytes, high nibble first,
 * without a terminator. Fails for a null pointer or a count of 0. */
TSKBASE_API tsk_status guid_convertByteToHexCharsA(const unsigned char* bytes, uint64_t count,
                                                   char* out);
TSKBASE_API tsk_status guid_convertByteToHexCharsW(const unsigned char* bytes, uint64_t count,
                                                   tsk_wchar_t* out);
/** @} */

/** @{ */
/** Reads 2 * count digits (either case) into `count` bytes. Fails for a null
 * pointer, a count of 0, or at the first character that is not a digit (a
 * terminator included); the bytes made before it stay written. */
TSKBASE_API tsk_status guid_convertHexCharsToByteA(const char* hex, uint64_t count,
                                                   unsigned char* out);
TSKBASE_API tsk_status guid_convertHexCharsToByteW(const tsk_wchar_t* hex, uint64_t count,
                                                   unsigned char* out);
/** @} */

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_GUID_H */
