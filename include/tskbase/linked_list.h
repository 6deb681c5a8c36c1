/**
 * @file
 * tskbase/linked_list.h - intrusive singly linked lists of caller records.
 *
 * A list is its first record (the head) and the chain of link fields: each
 * record holds the address of the next one, or null at the end, in a
 * pointer-sized field at `linkOffset` bytes from its start. The library
 * allocates, frees and remembers nothing; records stay the caller's.
 *
 * @code
 *   struct Job { int32_t id; struct Job* next; char name[16]; };
 *   struct Job* head = &first;
 *   linkedList_append(head, offsetof(struct Job, next), &second);
 * @endcode
 *
 * A link offset of 0 means "no link field": every record reads as the last
 * one and link writes are skipped, so the link must not be the first member.
 *
 * Functions that may change the head take the address of the caller's head
 * pointer. Positions count from 0 at the head. Every function returns TSK_OK
 * or TSK_FAIL; a failing call changes neither the list nor an out-parameter.
 * Nothing is locked: the caller serialises all calls on one list.
 */
#ifndef TSKBASE_LINKED_LIST_H
#define TSKBASE_LINKED_LIST_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/** Links `record` behind the last record and ends the list with it. Fails on
 * an empty list: the caller makes the first record the head itself. */
TSKBASE_API tsk_status linkedList_append(void* head, size_t linkOffset, void* record);
/** Makes `record` the head. Fails on an empty list. */
TSKBASE_API tsk_status linkedList_prepend(void** head, size_t linkOffset, void* record);
/** Links `record` in at `position` (0 makes it the head, the length appends).
 * Fails on an empty list and for a position below 0 or above the length. */
TSKBASE_API tsk_status linkedList_insert(void** head, size_t linkOffset, void* record,
                                         int32_t position);
/** Unlinks `record` and nulls its link. A record that is not in the list is
 * left alone and is not a failure; an empty list is. */
TSKBASE_API tsk_status linkedList_remove(void** head, size_t linkOffset, void* record);

/** Counts the records; an empty list has 0. */
TSKBASE_API tsk_status linkedList_length(void* head, size_t linkOffset, uint32_t* count);
/** The record at `position`; fails outside 0 .. length - 1. */
TSKBASE_API tsk_status linkedList_getByIndex(void* head, size_t linkOffset, int32_t position,
                                             void** record);
/** The position of `record`, found by address; fails if it is not linked. */
TSKBASE_API tsk_status linkedList_getIndex(void* head, size_t linkOffset, void* record,
                                           uint32_t* position);

/** @{ */
/** The first record whose key field at `keyOffset` equals `key`: a 32-bit
 * integer (Int and Long are the same), a 16-bit integer, or a character
 * array held inside the record, compared exactly with `key`. Fail if none
 * matches. */
TSKBASE_API tsk_status linkedList_getByInt(void* head, size_t linkOffset, size_t keyOffset,
                                           int32_t key, void** record);
TSKBASE_API tsk_status linkedList_getByLong(void* head, size_t linkOffset, size_t keyOffset,
                                            int32_t key, void** record);
TSKBASE_API tsk_status linkedList_getByShort(void* head, size_t linkOffset, size_t keyOffset,
                                             int16_t key, void** record);
TSKBASE_API tsk_status linkedList_getByString(void* head, size_t linkOffset, size_t keyOffset,
                                              const char* key, void** record);
/** @} */

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_LINKED_LIST_H */
