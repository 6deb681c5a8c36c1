/// @file
/// tskbase/stackstr.h - growable wide strings that start in the caller's buffer.
///
/// A stack string lives in a buffer that the caller supplies, typically an
/// array on its stack, and moves to the heap only when its text outgrows that
/// buffer. The caller keeps a _TSKBASE_STACKSTR record, initialises it over
/// its buffer, copies, appends or formats text into it, reads the text through
/// the record's buffer, and destroys it at the end:
///
/// @code
///   tsk_wchar_t local[64] = {0};
///   _TSKBASE_STACKSTR s;
///   stackStr_Init(&s, local, 64);
///   stackStr_Sprintf(&s, TSK_W("%s: %d"), name, value);   // no allocation while it fits
///   use(s.buffer);
///   stackStr_Destroy(&s);                                  // frees a heap buffer, if any
/// @endcode
///
/// The caller's buffer is never freed or reallocated. Copying and appending
/// grow to exactly the size needed; formatting starts at 128 characters and
/// doubles. Formats are the library's printf formats, with %s taking wide
/// text and %S narrow text.
///
/// These functions are C++ (their exported names encode their argument
/// types). They return TSK_STACKSTR_OK, TSK_STACKSTR_INVALID for a null
/// argument, a size beyond TSK_STACKSTR_MAX_CAPACITY or a formatting error,
/// and TSK_STACKSTR_NO_MEMORY when memory cannot be had; the record then still
/// describes its old buffer and text. A record belongs to one caller.
#ifndef TSKBASE_STACKSTR_H
#define TSKBASE_STACKSTR_H

#include <cstdarg>
#include <cstdint>

#include "tskbase/common.h"

#define TSK_STACKSTR_OK 0         ///< success
#define TSK_STACKSTR_INVALID 10   ///< a null argument, a size too large, a format error
#define TSK_STACKSTR_NO_MEMORY 11 ///< memory could not be had

/// The largest capacity, in characters, that a stack string may have.
#define TSK_STACKSTR_MAX_CAPACITY 0x7FFFFFFFFFFFFFFEull

/// The stack-string record. Its layout is part of the interface.
struct _TSKBASE_STACKSTR {
  /// Characters the buffer holds, terminator included; 0 without a buffer.
  uint64_t capacity;
  /// The zero-terminated text: the caller's buffer, a heap buffer, or a
  /// shared static empty string that is never written.
  tsk_wchar_t* buffer;
  /// Non-zero when the buffer is on the heap and belongs to the record.
  int32_t onHeap;
};

/// Sets the record over `buffer`, which holds a zero-terminated string
/// (normally empty) and `capacity` characters; with a null buffer and a
/// non-zero capacity, over a fresh heap buffer holding the empty string.
TSKBASE_API int32_t stackStr_Init(_TSKBASE_STACKSTR* str, tsk_wchar_t* buffer, uint64_t capacity);

/// Frees a heap buffer and clears the record. A null record is ignored.
TSKBASE_API void stackStr_Destroy(_TSKBASE_STACKSTR* str);

/// Grows the buffer to `capacity` characters if it is smaller. A heap buffer
/// keeps its text; a move from the caller's buffer copies the old buffer only
/// when `keepContent` is non-zero (otherwise the new text is empty).
TSKBASE_API int32_t stackStr_IncreaseTo(_TSKBASE_STACKSTR* str, uint64_t capacity,
                                        int32_t keepContent);

/// Replaces the text with `src` (null counts as empty).
TSKBASE_API int32_t stackStr_Copy(_TSKBASE_STACKSTR* str, const tsk_wchar_t* src);

/// @{
/// Appends `src`, or at most `maxCount` of its characters.
TSKBASE_API int32_t stackStr_Cat(_TSKBASE_STACKSTR* str, const tsk_wchar_t* src);
TSKBASE_API int32_t stackStr_NCat(_TSKBASE_STACKSTR* str, const tsk_wchar_t* src,
                                  uint64_t maxCount);
/// @}

/// @{
/// Replaces the text with formatted text, or appends formatted text. The
/// arguments must not point into the record's own buffer, which formatting
/// overwrites and may move.
TSKBASE_API int32_t stackStr_Sprintf(_TSKBASE_STACKSTR* str, const tsk_wchar_t* format, ...);
TSKBASE_API int32_t stackStr_SprintfCat(_TSKBASE_STACKSTR* str, const tsk_wchar_t* format, ...);
/// @}

/// Writes formatted text from character `offset` on, which must not lie past
/// the capacity; the text before it stays. Formatting needs a room of at most
/// INT_MAX characters behind the offset.
TSKBASE_API int32_t stackStr_VSprintf(_TSKBASE_STACKSTR* str, const tsk_wchar_t* format,
                                      uint64_t offset, va_list args);

#endif // TSKBASE_STACKSTR_H
