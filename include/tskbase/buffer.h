/**
 * @file
 * tskbase/buffer.h - packing typed values into flat byte buffers.
 *
 * A packed buffer is a run of items with no header, tags, alignment or
 * padding. Writer and reader agree on the order of the items; each call moves
 * a position forward by exactly one item. Values are stored in the machine's
 * (little-endian) byte order as straight copies of their bytes.
 *
 * Every pack and unpack function has the same shape:
 *
 * @code
 *   tsk_status buffer_packInt(unsigned char** next, unsigned char* pos, int32_t value);
 * @endcode
 *
 * `next` receives the position just behind the item on success; `pos` is
 * where the item is written or read and is never changed itself. The usual
 * call passes one variable twice so that a sequence of calls walks the buffer:
 *
 * @code
 *   unsigned char* p = buf;
 *   buffer_packInt(&p, p, 42);
 *   buffer_packString(&p, p, "abc");
 * @endcode
 *
 * Functions return TSK_OK, or TSK_FAIL for a null pointer argument or a
 * destination too small for a stored item. On failure nothing is written:
 * not `next`, not the count variable, not the destination, not the buffer.
 *
 * Counted items (strings, raw bytes, arrays) are a 4-byte unsigned element
 * count followed by the elements. A narrow or wide string's count includes
 * its terminator; a null string pointer packs as count 0, so a null string
 * and an empty string stay distinct. Long and ULong are 32 bits wide on every
 * platform.
 *
 * The functions know neither the size of the buffer nor the length of the
 * packed data: size the buffer with the packedSize functions before packing,
 * and unpack only data that a matching writer produced. A size that does not
 * fit 32 bits is given as UINT32_MAX, and a string too long for a 32-bit
 * count does not pack.
 *
 * All functions are re-entrant, keep no state and never allocate.
 */
#ifndef TSKBASE_BUFFER_H
#define TSKBASE_BUFFER_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/* ---- Scalars: stores the value; next = pos + width. ---------------------- */

/** @{ */
/** Stores `value` at `pos` as a straight copy of its bytes (Char 1, Short 2,
 * Int and Long 4, Double 8, ...); next = pos + width. */
TSKBASE_API tsk_status buffer_packChar(unsigned char** next, unsigned char* pos, char value);
TSKBASE_API tsk_status buffer_packUChar(unsigned char** next, unsigned char* pos,
                                        unsigned char value);
TSKBASE_API tsk_status buffer_packShort(unsigned char** next, unsigned char* pos, int16_t value);
TSKBASE_API tsk_status buffer_packUShort(unsigned char** next, unsigned char* pos, uint16_t value);
TSKBASE_API tsk_status buffer_packWChar(unsigned char** next, unsigned char* pos,
                                        tsk_wchar_t value);
TSKBASE_API tsk_status buffer_packInt(unsigned char** next, unsigned char* pos, int32_t value);
TSKBASE_API tsk_status buffer_packUInt(unsigned char** next, unsigned char* pos, uint32_t value);
TSKBASE_API tsk_status buffer_packLong(unsigned char** next, unsigned char* pos, int32_t value);
TSKBASE_API tsk_status buffer_packULong(unsigned char** next, unsigned char* pos, uint32_t value);
TSKBASE_API tsk_status buffer_packFloat(unsigned char** next, unsigned char* pos, float value);
TSKBASE_API tsk_status buffer_packDouble(unsigned char** next, unsigned char* pos, double value);
/** @} */

/** @{ */
/** Reads width bytes into *value; next = pos + width. There is no pack for
 * Uint64: it reads 8-byte items that another writer produced. */
TSKBASE_API tsk_status buffer_unpackChar(unsigned char** next, unsigned char* pos, char* value);
TSKBASE_API tsk_status buffer_unpackUChar(unsigned char** next, unsigned char* pos,
                                          unsigned char* value);
TSKBASE_API tsk_status buffer_unpackShort(unsigned char** next, unsigned char* pos, int16_t* value);
TSKBASE_API tsk_status buffer_unpackUShort(unsigned char** next, unsigned char* pos,
                                           uint16_t* value);
TSKBASE_API tsk_status buffer_unpackWChar(unsigned char** next, unsigned char* pos,
                                          tsk_wchar_t* value);
TSKBASE_API tsk_status buffer_unpackInt(unsigned char** next, unsigned char* pos, int32_t* value);
TSKBASE_API tsk_status buffer_unpackUInt(unsigned char** next, unsigned char* pos, uint32_t* value);
TSKBASE_API tsk_status buffer_unpackLong(unsigned char** next, unsigned char* pos, int32_t* value);
TSKBASE_API tsk_status buffer_unpackULong(unsigned char** next, unsigned char* pos,
                                          uint32_t* value);
TSKBASE_API tsk_status buffer_unpackFloat(unsigned char** next, unsigned char* pos, float* value);
TSKBASE_API tsk_status buffer_unpackDouble(unsigned char** next, unsigned char* pos, double* value);
TSKBASE_API tsk_status buffer_unpackUint64(unsigned char** next, unsigned char* pos,
                                           uint64_t* value);
/** @} */

/** @{ */
/** Exact packed sizes of the scalars, in bytes. */
TSKBASE_API uint32_t buffer_packedSizeChar(void);
TSKBASE_API uint32_t buffer_packedSizeUChar(void);
TSKBASE_API uint32_t buffer_packedSizeShort(void);
TSKBASE_API uint32_t buffer_packedSizeUShort(void);
TSKBASE_API uint32_t buffer_packedSizeWChar(void);
TSKBASE_API uint32_t buffer_packedSizeInt(void);
TSKBASE_API uint32_t buffer_packedSizeUInt(void);
TSKBASE_API uint32_t buffer_packedSizeLong(void);
TSKBASE_API uint32_t buffer_packedSizeULong(void);
TSKBASE_API uint32_t buffer_packedSizeFloat(void);
TSKBASE_API uint32_t buffer_packedSizeDouble(void);
/** @} */

/* ---- Strings and raw bytes ----------------------------------------------- */

/** Packs count = length + 1 (0 for a null `str`) and the bytes, terminator
 * included. An empty string takes 5 bytes, a null string 4. */
TSKBASE_API tsk_status buffer_packString(unsigned char** next, unsigned char* pos, const char* str);
/** As buffer_packString, counting 16-bit units. */
TSKBASE_API tsk_status buffer_packWString(unsigned char** next, unsigned char* pos,
                                          const tsk_wchar_t* str);
/** Packs `count` bytes from `data`; `data` may be null only when count is 0. */
TSKBASE_API tsk_status buffer_packRaw(unsigned char** next, unsigned char* pos, uint32_t count,
                                      const void* data);

/** @{ */
/** Unpacks a counted item into `dest`, whose room in elements (bytes, or
 * 16-bit units for WString) is *capacity. Fails without writing anything if
 * the stored count exceeds *capacity; otherwise copies the elements (a
 * string's terminator is among them) and sets *capacity to the stored count.
 * A stored count of 0 copies nothing and leaves `dest` unterminated, but
 * `dest` must still be given. */
TSKBASE_API tsk_status buffer_unpackString(unsigned char** next, unsigned char* pos,
                                           uint32_t* capacity, char* dest);
TSKBASE_API tsk_status buffer_unpackWString(unsigned char** next, unsigned char* pos,
                                            uint32_t* capacity, tsk_wchar_t* dest);
TSKBASE_API tsk_status buffer_unpackRaw(unsigned char** next, unsigned char* pos,
                                        uint32_t* capacity, void* dest);
/** @} */

/** @{ */
/** Upper bounds for string items: 4 for a null string, else length + 9
 * (narrow) or 2 * length + 10 (wide), 4 bytes more than packing writes. */
TSKBASE_API uint32_t buffer_packedSizeString(const char* str);
TSKBASE_API uint32_t buffer_packedSizeWString(const tsk_wchar_t* str);
/** @} */
/** Exact: count + 4. */
TSKBASE_API uint32_t buffer_packedRawSize(uint32_t count);

/* ---- Scalar arrays --------------------------------------------------------
 * A scalar array is a counted item: the element count, then the elements in
 * their scalar widths. A Char array is the same item as Raw, and a WChar
 * array the same as WString. Note the argument order: count, then source.
 * `src` may be null only when count is 0. */

/** @{ */
/** Packs `count` elements of `src` as one counted item; next = pos + 4 +
 * count * width. */
TSKBASE_API tsk_status buffer_packCharArray(unsigned char** next, unsigned char* pos,
                                            uint32_t count, const char* src);
TSKBASE_API tsk_status buffer_packShortArray(unsigned char** next, unsigned char* pos,
                                             uint32_t count, const int16_t* src);
TSKBASE_API tsk_status buffer_packUShortArray(unsigned char** next, unsigned char* pos,
                                              uint32_t count, const uint16_t* src);
TSKBASE_API tsk_status buffer_packWCharArray(unsigned char** next, unsigned char* pos,
                                             uint32_t count, const tsk_wchar_t* src);
TSKBASE_API tsk_status buffer_packIntArray(unsigned char** next, unsigned char* pos, uint32_t count,
                                           const int32_t* src);
TSKBASE_API tsk_status buffer_packLongArray(unsigned char** next, unsigned char* pos,
                                            uint32_t count, const int32_t* src);
TSKBASE_API tsk_status buffer_packULongArray(unsigned char** next, unsigned char* pos,
                                             uint32_t count, const uint32_t* src);
TSKBASE_API tsk_status buffer_packFloatArray(unsigned char** next, unsigned char* pos,
                                             uint32_t count, const float* src);
TSKBASE_API tsk_status buffer_packDoubleArray(unsigned char** next, unsigned char* pos,
                                              uint32_t count, const double* src);
/** @} */

/** @{ */
/** *count holds the room of `dest` in elements on entry and the number of
 * elements read on success; a stored count above the room fails before
 * anything is written. */
TSKBASE_API tsk_status buffer_unpackCharArray(unsigned char** next, unsigned char* pos,
                                              uint32_t* count, char* dest);
TSKBASE_API tsk_status buffer_unpackShortArray(unsigned char** next, unsigned char* pos,
                                               uint32_t* count, int16_t* dest);
TSKBASE_API tsk_status buffer_unpackUShortArray(unsigned char** next, unsigned char* pos,
                                                uint32_t* count, uint16_t* dest);
TSKBASE_API tsk_status buffer_unpackWCharArray(unsigned char** next, unsigned char* pos,
                                               uint32_t* count, tsk_wchar_t* dest);
TSKBASE_API tsk_status buffer_unpackIntArray(unsigned char** next, unsigned char* pos,
                                             uint32_t* count, int32_t* dest);
TSKBASE_API tsk_status buffer_unpackLongArray(unsigned char** next, unsigned char* pos,
                                              uint32_t* count, int32_t* dest);
TSKBASE_API tsk_status buffer_unpackULongArray(unsigned char** next, unsigned char* pos,
                                               uint32_t* count, uint32_t* dest);
TSKBASE_API tsk_status buffer_unpackFloatArray(unsigned char** next, unsigned char* pos,
                                               uint32_t* count, float* dest);
TSKBASE_API tsk_status buffer_unpackDoubleArray(unsigned char** next, unsigned char* pos,
                                                uint32_t* count, double* dest);
/** @} */

/** @{ */
/** Exact packed sizes: 4 + count * width. */
TSKBASE_API uint32_t buffer_packedArraySizeChar(uint32_t count);
TSKBASE_API uint32_t buffer_packedArraySizeShort(uint32_t count);
TSKBASE_API uint32_t buffer_packedArraySizeUShort(uint32_t count);
TSKBASE_API uint32_t buffer_packedArraySizeWChar(uint32_t count);
TSKBASE_API uint32_t buffer_packedArraySizeInt(uint32_t count);
TSKBASE_API uint32_t buffer_packedArraySizeLong(uint32_t count);
TSKBASE_API uint32_t buffer_packedArraySizeULong(uint32_t count);
TSKBASE_API uint32_t buffer_packedArraySizeFloat(uint32_t count);
TSKBASE_API uint32_t buffer_packedArraySizeDouble(uint32_t count);
/** @} */

/* ---- String arrays --------------------------------------------------------
 * A string array is the string count followed by that many String (or
 * WString) items; null entries pack as count 0. */

/** @{ */
/** `strings` may be null only when count is 0. */
TSKBASE_API tsk_status buffer_packStringArray(unsigned char** next, unsigned char* pos,
                                              uint32_t count, const char* const* strings);
TSKBASE_API tsk_status buffer_packWStringArray(unsigned char** next, unsigned char* pos,
                                               uint32_t count, const tsk_wchar_t* const* strings);
/** @} */

/** @{ */
/** Unpacks into fixed-width slots: string i goes to slots + i * stride and
 * may take at most `stride` characters, terminator included. *count is the
 * number of slots on entry and the number of strings read on success. A
 * string longer than the stride fails the call at that string; the slots
 * before it have been filled, nothing else is written. A slot whose string
 * was packed from a null pointer is left as it was. */
TSKBASE_API tsk_status buffer_unpackStringArray(unsigned char** next, unsigned char* pos,
                                                uint32_t* count, uint32_t stride, char* slots);
TSKBASE_API tsk_status buffer_unpackWStringArray(unsigned char** next, unsigned char* pos,
                                                 uint32_t* count, uint32_t stride,
                                                 tsk_wchar_t* slots);
/** @} */

/** @{ */
/** Upper bounds: 4, plus 4 for each null entry and the string-item bound of
 * buffer_packedSizeString (or WString) for each other. 4 for a null array or
 * a count of 0. */
TSKBASE_API uint32_t buffer_packedArraySizeString(uint32_t count, const char* const* strings);
TSKBASE_API uint32_t buffer_packedArraySizeWString(uint32_t count,
                                                   const tsk_wchar_t* const* strings);
/** @} */

/* ---- Padded fields --------------------------------------------------------
 * A padded field keeps the items behind it at fixed offsets: a signed 32-bit
 * count, a signed 32-bit field width, then `count` elements, and the field
 * occupies 8 + width * element-width bytes whatever the count. The places
 * behind the stored elements are neither written nor read: they keep what the
 * buffer held. There are no size functions; the size is the formula above.
 *
 * A field never reaches outside itself: a pack whose count or width is
 * negative, or whose count exceeds the width, fails without writing, and so
 * does an unpack that meets such a stored field. */

/** @{ */
/** Packs `count` elements of `src` into a field `width` elements wide; `src`
 * may be null only when count is 0. next = pos + 8 + width * element-width. */
TSKBASE_API tsk_status buffer_packCharPaddedArray(unsigned char** next, unsigned char* pos,
                                                  int32_t count, int32_t width, const char* src);
TSKBASE_API tsk_status buffer_packShortPaddedArray(unsigned char** next, unsigned char* pos,
                                                   int32_t count, int32_t width,
                                                   const int16_t* src);
TSKBASE_API tsk_status buffer_packUShortPaddedArray(unsigned char** next, unsigned char* pos,
                                                    int32_t count, int32_t width,
                                                    const uint16_t* src);
TSKBASE_API tsk_status buffer_packWCharPaddedArray(unsigned char** next, unsigned char* pos,
                                                   int32_t count, int32_t width,
                                                   const tsk_wchar_t* src);
TSKBASE_API tsk_status buffer_packIntPaddedArray(unsigned char** next, unsigned char* pos,
                                                 int32_t count, int32_t width, const int32_t* src);
TSKBASE_API tsk_status buffer_packLongPaddedArray(unsigned char** next, unsigned char* pos,
                                                  int32_t count, int32_t width, const int32_t* src);
TSKBASE_API tsk_status buffer_packULongPaddedArray(unsigned char** next, unsigned char* pos,
                                                   int32_t count, int32_t width,
                                                   const uint32_t* src);
TSKBASE_API tsk_status buffer_packFloatPaddedArray(unsigned char** next, unsigned char* pos,
                                                   int32_t count, int32_t width, const float* src);
TSKBASE_API tsk_status buffer_packDoublePaddedArray(unsigned char** next, unsigned char* pos,
                                                    int32_t count, int32_t width,
                                                    const double* src);
/** @} */

/** @{ */
/** Packs a string with its terminator into a field `width` characters wide
 * (terminator place included). Unlike buffer_packString, a null string
 * fails: the field always holds a string. */
TSKBASE_API tsk_status buffer_packPaddedString(unsigned char** next, unsigned char* pos,
                                               int32_t width, const char* str);
TSKBASE_API tsk_status buffer_packPaddedWString(unsigned char** next, unsigned char* pos,
                                                int32_t width, const tsk_wchar_t* str);
/** @} */

/** @{ */
/** *count holds the room of `dest` in elements on entry and the stored count
 * on success. `dest` may be null only when the stored count is 0. The whole
 * field is skipped: next = pos + 8 + width * element-width. */
TSKBASE_API tsk_status buffer_unpackCharPaddedArray(unsigned char** next, unsigned char* pos,
                                                    int32_t* count, char* dest);
TSKBASE_API tsk_status buffer_unpackShortPaddedArray(unsigned char** next, unsigned char* pos,
                                                     int32_t* count, int16_t* dest);
TSKBASE_API tsk_status buffer_unpackUShortPaddedArray(unsigned char** next, unsigned char* pos,
                                                      int32_t* count, uint16_t* dest);
TSKBASE_API tsk_status buffer_unpackWCharPaddedArray(unsigned char** next, unsigned char* pos,
                                                     int32_t* count, tsk_wchar_t* dest);
TSKBASE_API tsk_status buffer_unpackIntPaddedArray(unsigned char** next, unsigned char* pos,
                                                   int32_t* count, int32_t* dest);
TSKBASE_API tsk_status buffer_unpackLongPaddedArray(unsigned char** next, unsigned char* pos,
                                                    int32_t* count, int32_t* dest);
TSKBASE_API tsk_status buffer_unpackULongPaddedArray(unsigned char** next, unsigned char* pos,
                                                     int32_t* count, uint32_t* dest);
TSKBASE_API tsk_status buffer_unpackFloatPaddedArray(unsigned char** next, unsigned char* pos,
                                                     int32_t* count, float* dest);
TSKBASE_API tsk_status buffer_unpackDoublePaddedArray(unsigned char** next, unsigned char* pos,
                                                      int32_t* count, double* dest);
/** @} */

/** @{ */
/** Unpacks a padded string, terminator included, into `dest`, which must have
 * room for the field width the writer used. */
TSKBASE_API tsk_status buffer_unpackPaddedString(unsigned char** next, unsigned char* pos,
                                                 char* dest);
TSKBASE_API tsk_status buffer_unpackPaddedWString(unsigned char** next, unsigned char* pos,
                                                  tsk_wchar_t* dest);
/** @} */

/* ---- Allocating unpack ----------------------------------------------------
 * These unpackers read a counted item into memory that they allocate from
 * the C runtime heap, so the caller need not know the length beforehand. A
 * single block holds exactly the stored elements (a string's terminator only
 * because the item holds it) and is released with osUtil_freeMemory or
 * string_freeA; a stored count of 0 gives a null block. A string array is a
 * block of string pointers, each a block as above or null for a string packed
 * from a null pointer, released with stringArray_destroyA (or W) and the
 * count that came back.
 *
 * The count variable is an output only. On failure (a null argument, or an
 * allocation that failed) nothing is written and nothing is leaked. */

/** @{ */
/** Unpacks a counted item of raw bytes or numbers into a fresh block stored
 * in *block, and its element count into *count. */
TSKBASE_API tsk_status buffer_unpackRawAlloc(unsigned char** next, unsigned char* pos,
                                             uint32_t* count, void** block);
TSKBASE_API tsk_status buffer_unpackCharArrayAlloc(unsigned char** next, unsigned char* pos,
                                                   uint32_t* count, char** block);
TSKBASE_API tsk_status buffer_unpackShortArrayAlloc(unsigned char** next, unsigned char* pos,
                                                    uint32_t* count, int16_t** block);
TSKBASE_API tsk_status buffer_unpackUShortArrayAlloc(unsigned char** next, unsigned char* pos,
                                                     uint32_t* count, uint16_t** block);
TSKBASE_API tsk_status buffer_unpackWCharArrayAlloc(unsigned char** next, unsigned char* pos,
                                                    uint32_t* count, tsk_wchar_t** block);
TSKBASE_API tsk_status buffer_unpackIntArrayAlloc(unsigned char** next, unsigned char* pos,
                                                  uint32_t* count, int32_t** block);
TSKBASE_API tsk_status buffer_unpackLongArrayAlloc(unsigned char** next, unsigned char* pos,
                                                   uint32_t* count, int32_t** block);
TSKBASE_API tsk_status buffer_unpackULongArrayAlloc(unsigned char** next, unsigned char* pos,
                                                    uint32_t* count, uint32_t** block);
TSKBASE_API tsk_status buffer_unpackFloatArrayAlloc(unsigned char** next, unsigned char* pos,
                                                    uint32_t* count, float** block);
TSKBASE_API tsk_status buffer_unpackDoubleArrayAlloc(unsigned char** next, unsigned char* pos,
                                                     uint32_t* count, double** block);
/** @} */

/** @{ */
/** A string of the stored characters, terminator included; null for a string
 * packed from a null pointer. */
TSKBASE_API tsk_status buffer_unpackStringAlloc(unsigned char** next, unsigned char* pos,
                                                char** str);
TSKBASE_API tsk_status buffer_unpackWStringAlloc(unsigned char** next, unsigned char* pos,
                                                 tsk_wchar_t** str);
/** @} */

/** @{ */
/** A string array of *count members; an empty stored array gives a null array
 * and count 0. */
TSKBASE_API tsk_status buffer_unpackStringArrayAlloc(unsigned char** next, unsigned char* pos,
                                                     uint32_t* count, char*** array);
TSKBASE_API tsk_status buffer_unpackWStringArrayAlloc(unsigned char** next, unsigned char* pos,
                                                      uint32_t* count, tsk_wchar_t*** array);
/** @} */

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_BUFFER_H */
