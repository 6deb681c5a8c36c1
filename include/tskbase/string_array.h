/**
 * @file
 * tskbase/string_array.h - heap arrays of strings.
 *
 * A string array is a pair that the caller holds: a heap block of string
 * pointers and a separate 32-bit count of the pointers in use. An empty array
 * is a null pointer with count 0. Members are zero-terminated narrow (A) or
 * UTF-16 (W) strings and may be null. The block and every non-null member are
 * blocks of the C runtime heap owned by the array: stringArray_destroyA (or
 * W) releases them all.
 *
 * Functions named ...Copy... store fresh copies of the caller's strings;
 * stringArray_addMemberA takes over the caller's malloc'ed string itself;
 * stringArray_appendA moves the members of one array into another. Members
 * compare exactly: byte for byte, or unit for unit, case included.
 *
 * Every function returns TSK_OK, or TSK_FAIL for a null argument or a failed
 * allocation. A failed allocation of the block leaves the array as it was.
 * Nothing is locked: an array belongs to its caller.
 */
#ifndef TSKBASE_STRING_ARRAY_H
#define TSKBASE_STRING_ARRAY_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/** @{ */
/** Appends `member` itself, which must be a malloc block (of the C runtime
 * heap, tskbase/common.h), and takes it over.
 * The block is reallocated for every addition. */
TSKBASE_API tsk_status stringArray_addMemberA(char*** array, uint32_t* count, char* member);
TSKBASE_API tsk_status stringArray_addMemberW(tsk_wchar_t*** array, uint32_t* count,
                                              tsk_wchar_t* member);
/** @} */

/** @{ */
/** Appends a fresh copy of `str`. */
TSKBASE_API tsk_status stringArray_addMemberCopyA(char*** array, uint32_t* count, const char* str);
TSKBASE_API tsk_status stringArray_addMemberCopyW(tsk_wchar_t*** array, uint32_t* count,
                                                  const tsk_wchar_t* str);
/** @} */

/** @{ */
/** Moves every member of the source array to the end of the destination and
 * releases the source block; the source ends empty (null, 0). An empty or
 * missing source succeeds without change. */
TSKBASE_API tsk_status stringArray_appendA(char*** dest, uint32_t* destCount, char*** src,
                                           uint32_t* srcCount);
TSKBASE_API tsk_status stringArray_appendW(tsk_wchar_t*** dest, uint32_t* destCount,
                                           tsk_wchar_t*** src, uint32_t* srcCount);
/** @} */

/** @{ */
/** Appends fresh copies of the source members (null stays null). If a copy
 * cannot be allocated, the destination is destroyed: everything it held is
 * released and it ends empty. */
TSKBASE_API tsk_status stringArray_appendCopyA(char*** dest, uint32_t* destCount,
                                               const char* const* src, uint32_t srcCount);
TSKBASE_API tsk_status stringArray_appendCopyW(tsk_wchar_t*** dest, uint32_t* destCount,
                                               const tsk_wchar_t* const* src, uint32_t srcCount);
/** @} */

/** @{ */
/** Makes a new array of fresh copies of the source members. A source count of
 * 0 gives an empty array. What *copy held before is overwritten, not freed;
 * on failure *copy and *copyCount are left as they were. */
TSKBASE_API tsk_status stringArray_copyA(char*** copy, uint32_t* copyCount, const char* const* src,
                                         uint32_t srcCount);
TSKBASE_API tsk_status stringArray_copyW(tsk_wchar_t*** copy, uint32_t* copyCount,
                                         const tsk_wchar_t* const* src, uint32_t srcCount);
/** @} */

/** @{ */
/** Stores in *index the position of the first member equal to `str`; fails
 * when there is none (or count is 0), leaving *index as it was. */
TSKBASE_API tsk_status stringArray_findMemberA(char* const* array, uint32_t count, const char* str,
                                               uint32_t* index);
TSKBASE_API tsk_status stringArray_findMemberW(tsk_wchar_t* const* array, uint32_t count,
                                               const tsk_wchar_t* str, uint32_t* index);
/** @} */

/** @{ */
/** Releases the first member equal to `str` and closes the gap, removing any
 * null members as well. A string that is not in the array is no failure. */
TSKBASE_API tsk_status stringArray_deleteMemberA(char*** array, uint32_t* count, const char* str);
TSKBASE_API tsk_status stringArray_deleteMemberW(tsk_wchar_t*** array, uint32_t* count,
                                                 const tsk_wchar_t* str);
/** @} */

/** @{ */
/** Releases every non-null member among the first *count, then the block, and
 * leaves the array empty (null, 0). */
TSKBASE_API tsk_status stringArray_destroyA(char*** array, uint32_t* count);
TSKBASE_API tsk_status stringArray_destroyW(tsk_wchar_t*** array, uint32_t* count);
/** @} */

/** @{ */
/** Removes null members, keeping the others in order; vacated slots at the end
 * are set to null. */
TSKBASE_API tsk_status stringArray_removeNullsA(char** array, uint32_t* count);
TSKBASE_API tsk_status stringArray_removeNullsW(tsk_wchar_t** array, uint32_t* count);
/** @} */

/** @{ */
/** Removes null and empty members. The empty strings are dropped from the
 * array without being released: the caller keeps any other reference. */
TSKBASE_API tsk_status stringArray_removeBlanksA(char** array, uint32_t* count);
TSKBASE_API tsk_status stringArray_removeBlanksW(tsk_wchar_t** array, uint32_t* count);
/** @} */

/** @{ */
/** Keeps the first occurrence of every string in its place and releases the
 * later equal members; the survivors keep their order. Null members are
 * never equal to anything. Quadratic in the count. */
TSKBASE_API tsk_status stringArray_removeDuplicatesA(char** array, uint32_t* count);
TSKBASE_API tsk_status stringArray_removeDuplicatesW(tsk_wchar_t** array, uint32_t* count);
/** @} */

/** @{ */
/** Changes the case of every non-null member in place, as string_toLowerA,
 * string_toUpperA, string_toLowerW and string_toUpperW do. Fails for a null
 * array with a count other than 0. */
TSKBASE_API tsk_status stringArray_toLowerA(char** array, uint32_t count);
TSKBASE_API tsk_status stringArray_toUpperA(char** array, uint32_t count);
TSKBASE_API tsk_status stringArray_toLowerW(tsk_wchar_t** array, uint32_t count);
TSKBASE_API tsk_status stringArray_toUpperW(tsk_wchar_t** array, uint32_t count);
/** @} */

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_STRING_ARRAY_H */
