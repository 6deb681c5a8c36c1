/*
 * A caller built against the Universal C Runtime, as programs built with
 * Microsoft's current compilers are. It releases the blocks that the library
 * hands out with its own free(), and hands the library blocks of its own
 * malloc() to keep and release. Both are safe only when the library's heap is
 * the caller's heap:
 *   - every block the library hands out must lie in the caller's heap;
 *   - rounds of handing blocks back and forth must leave the caller's heap
 *     with as many busy blocks as before (a block that the library's free()
 *     cannot release stays busy there).
 * Windows only.
 */
#include "tskbase/buffer.h"
#include "tskbase/parse_table.h"
#include "tskbase/string_array.h"
#include "tskbase/stringcnv.h"
#include "tskbase/strings.h"

#include <windows.h>

#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

/* A condition that does not hold is reported with its line and counted. */
#define CHECK(cond)                                                                                \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      fprintf(stderr, "line %d: %s\n", __LINE__, #cond);                                           \
      ++failures;                                                                                  \
    }                                                                                              \
  } while (0)

static HANDLE callerHeap(void) { return (HANDLE)_get_heap_handle(); }

/* Whether a live block belongs to the heap that this program's free() uses. */
static int inCallerHeap(const void* block) {
  return block != NULL && HeapValidate(callerHeap(), 0, block);
}

static size_t busyBlocks(void) {
  const HANDLE heap = callerHeap();
  PROCESS_HEAP_ENTRY entry;
  size_t busy = 0;
  entry.lpData = NULL;
  HeapLock(heap);
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
      ++busy;
    }
  }
  HeapUnlock(heap);
  return busy;
}

static char* copyOf(const char* text) {
  char* block = malloc(strlen(text) + 1);
  if (block != NULL) {
    strcpy(block, text);
  }
  return block;
}

/* Blocks that the library allocates and this program frees. */
static void releaseLibraryBlocks(void) {
  tsk_wchar_t* wide = NULL;
  char* utf8 = NULL;
  CHECK(stringCnv_mbsToWcsAlloc("abc", &wide) == TSK_OK && inCallerHeap(wide));
  CHECK(stringCnv_wcsToUTF8Alloc(wide, &utf8) == TSK_OK && inCallerHeap(utf8));
  free(wide);
  free(utf8);

  /* string_sprintfAllocW fills a block of this program's malloc. */
  tsk_wchar_t* formatted = string_sprintfAllocW(malloc, L"%d-%S", 42, "x");
  CHECK(formatted != NULL && wcscmp(formatted, L"42-x") == 0 && inCallerHeap(formatted));
  free(formatted);

  unsigned char packed[32], *next = packed;
  char* unpacked = NULL;
  CHECK(buffer_packString(&next, packed, "packed") == TSK_OK);
  CHECK(buffer_unpackStringAlloc(&next, packed, &unpacked) == TSK_OK && inCallerHeap(unpacked));
  free(unpacked);

  char** array = NULL;
  uint32_t count = 0;
  CHECK(stringArray_addMemberCopyA(&array, &count, "member") == TSK_OK);
  CHECK(inCallerHeap(array) && inCallerHeap(array[0]));
  free(array[0]);
  free(array);
}

/* Blocks that this program allocates and the library releases. */
static void handOverCallerBlocks(void) {
  char** array = NULL;
  uint32_t count = 0;
  CHECK(stringArray_addMemberA(&array, &count, copyOf("kept by the array")) == TSK_OK);
  CHECK(stringArray_destroyA(&array, &count) == TSK_OK);

  ParseTableValue* table = NULL;
  ParseTableValue* entry = calloc(1, sizeof *entry);
  if (entry != NULL) {
    strcpy(entry->name, "name");
    entry->type = TSK_PARSE_TEXT;
    entry->value.text = copyOf("text owned by the entry");
    CHECK(string_addParseTableValue(&table, entry) == TSK_OK);
  }
  CHECK(string_freeParseTable(&table) == TSK_OK);

  string_freeA(copyOf("released through the library"));
}

int main(void) {
  enum { kRounds = 200 };
  releaseLibraryBlocks();
  handOverCallerBlocks();
  const size_t before = busyBlocks();
  for (int round = 0; round < kRounds && failures == 0; ++round) {
    releaseLibraryBlocks();
    handOverCallerBlocks();
  }
  const size_t after = busyBlocks();
  if (after > before) {
    fprintf(stderr, "%u blocks more in the caller's heap after %d rounds\n",
            (unsigned)(after - before), kRounds);
    ++failures;
  }
  if (failures != 0) {
    fprintf(stderr, "%d failures\n", failures);
    return 1;
  }
  puts("the library shares the caller's heap");
  return 0;
}
