/**
 * @file
 * tskbase/common.h - definitions shared by every tskbase family.
 *
 * The export macro, the status values of the plain-function families and the
 * library's 16-bit wide character type. Compiles as C11 and as C++.
 *
 * Heap blocks. The blocks the library hands out come from the C runtime
 * heap, and the blocks a caller hands it to keep (stringArray_addMemberA,
 * parse-table entries, the allocation function of string_sprintfAllocW) must
 * come from there too. A caller releases the library's blocks with free() or
 * through the library (string_freeA, osUtil_freeMemory, stringArray_destroyA).
 * On Windows that heap is the Universal C Runtime's (ucrtbase.dll), the one
 * programs built with Visual Studio 2015 or later use with the DLL runtime
 * (/MD), whatever runtime the DLL itself is linked against. A caller on
 * another C runtime (msvcrt.dll, an older msvcr*.dll, one linked in
 * statically) has a heap of its own: it releases the library's blocks only
 * through the library and hands it no block to keep.
 */
#ifndef TSKBASE_COMMON_H
#define TSKBASE_COMMON_H

#include <stddef.h>
#include <stdint.h>

/** @def TSKBASE_API
 * Marks a declaration as part of the library's exported interface.
 * Everything else is hidden: the library is built with hidden visibility by
 * default. On Windows it imports the declaration from tskbase.dll, or with
 * TSKBASE_STATIC defined it leaves the declaration as it is. */
#if defined(_WIN32)
#if defined(TSKBASE_BUILDING)
#define TSKBASE_API __declspec(dllexport)
#elif defined(TSKBASE_STATIC)
#define TSKBASE_API
#else
#define TSKBASE_API __declspec(dllimport)
#endif
#else
#define TSKBASE_API __attribute__((visibility("default")))
#endif

/** @def TSKBASE_EXTERN_C_BEGIN
 * Opens the plain-function declarations of a header, so that they keep their
 * unmangled names when the header is included from C++. */
/** @def TSKBASE_EXTERN_C_END
 * Closes what TSKBASE_EXTERN_C_BEGIN opened. */
#ifdef __cplusplus
#define TSKBASE_EXTERN_C_BEGIN extern "C" {
#define TSKBASE_EXTERN_C_END }
#else
#define TSKBASE_EXTERN_C_BEGIN
#define TSKBASE_EXTERN_C_END
#endif

/** Result of nearly every plain function: TSK_OK or TSK_FAIL. TSK_FAIL is the
 * library's only failure value; nothing else reports the cause. */
typedef uint32_t tsk_status;

#define TSK_OK ((tsk_status)0)        /**< Success. */
#define TSK_FAIL ((tsk_status)0x8000) /**< Failure, whatever the cause. */

/** @typedef tsk_wchar_t
 * One UTF-16 code unit. Wide text is UTF-16 on every platform: wchar_t is
 * 16 bits wide on Windows, and char16_t stands in for it elsewhere. */
#if defined(_WIN32)
/* wchar_t comes from <stddef.h> in C. <wchar.h>, which callers of wide-text
 * functions expect beside it, exists only where there is a C library: a
 * freestanding program (one built without a runtime) does without it. */
#if !defined(__STDC_HOSTED__) || __STDC_HOSTED__
#include <wchar.h>
#endif
typedef wchar_t tsk_wchar_t;
#elif defined(__cplusplus)
typedef char16_t tsk_wchar_t;
#else
#include <uchar.h>
typedef char16_t tsk_wchar_t;
#endif

/** @def TSK_W
 * TSK_W("text") is a wide string literal of tsk_wchar_t units. */
#if defined(_WIN32)
#define TSK_W(s) L##s
#else
#define TSK_W(s) u##s
#endif

#endif /* TSKBASE_COMMON_H */
