/*
 * A C caller of every family with plain functions: integers, doubles by
 * value and through variable arguments, structures, wide text and blocks
 * released across the library boundary. It prints one line per check and
 * fails with the number of failed checks.
 *
 * The same source is the SDK zip's Visual Studio style consumer: built with
 * TSK_NO_C_RUNTIME for the Microsoft ABI, freestanding, it has its own entry
 * point and declares the three kernel32 functions it needs.
 */
#include "tskbase/buffer.h"
#include "tskbase/common.h"
#include "tskbase/guid.h"
#include "tskbase/linked_list.h"
#include "tskbase/module_path.h"
#include "tskbase/os_util.h"
#include "tskbase/parse_table.h"
#include "tskbase/password.h"
#include "tskbase/rwlock.h"
#include "tskbase/string_array.h"
#include "tskbase/stringcnv.h"
#include "tskbase/strings.h"
#include "tskbase/thread_lock.h"
#include "tskbase/thread_pool.h"
#include "tskbase/tskassert.h"
#include "tskbase/version.h"

#include <stddef.h>

#if defined(TSK_NO_C_RUNTIME)
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned int code);

/* The compiler refers to this marker wherever floating point is used; the C
 * runtime would define it. */
int _fltused;
#else
#include <stdio.h>
#endif

static unsigned int failures;

static size_t textLength(const char* text) {
  size_t n = 0;
  while (text[n] != 0) {
    ++n;
  }
  return n;
}

static void say(const char* text) {
#if defined(TSK_NO_C_RUNTIME)
  unsigned long written = 0;
  WriteFile(GetStdHandle((unsigned long)-11), text, (unsigned long)textLength(text), &written, 0);
#else
  fputs(text, stdout);
#endif
}

/* Compares zero-terminated text of 1-byte (narrow) or 2-byte (wide) units. */
static int sameUnits(const void* a, const void* b, size_t unit) {
  for (size_t i = 0; a != 0 && b != 0; ++i) {
    unsigned int x = unit == 1 ? ((const unsigned char*)a)[i] : ((const tsk_wchar_t*)a)[i];
    unsigned int y = unit == 1 ? ((const unsigned char*)b)[i] : ((const tsk_wchar_t*)b)[i];
    if (x != y || x == 0) {
      return x == y;
    }
  }
  return 0;
}

static int same(const char* a, const char* b) { return sameUnits(a, b, 1); }
static int sameW(const tsk_wchar_t* a, const tsk_wchar_t* b) { return sameUnits(a, b, 2); }

static void check(int ok, const char* what) {
  say(ok ? "ok      " : "FAILED  ");
  say(what);
  say("\n");
  failures += ok ? 0 : 1;
}

static void packing(void) {
  unsigned char buffer[64];
  unsigned char* p = buffer;
  int ok = buffer_packInt(&p, p, -1234) == TSK_OK && buffer_packString(&p, p, "abc") == TSK_OK &&
           buffer_packWString(&p, p, TSK_W("xyz")) == TSK_OK &&
           buffer_packDouble(&p, p, 2.5) == TSK_OK;
  check(ok && p == buffer + 4 + 8 + 12 + 8, "packing: an int, two strings and a double");

  int32_t number = 0;
  char text[8];
  uint32_t capacity = sizeof text;
  tsk_wchar_t* wide = 0;
  double real = 0;
  p = buffer;
  ok = buffer_unpackInt(&p, p, &number) == TSK_OK && number == -1234 &&
       buffer_unpackString(&p, p, &capacity, text) == TSK_OK && capacity == 4 &&
       same(text, "abc") && buffer_unpackWStringAlloc(&p, p, &wide) == TSK_OK &&
       sameW(wide, TSK_W("xyz")) && buffer_unpackDouble(&p, p, &real) == TSK_OK && real == 2.5;
  check(ok, "packing: the items read back, one into a block of the library");
  osUtil_freeMemory(wide);

  p = buffer;
  check(buffer_packInt(0, p, 1) == TSK_FAIL && p == buffer, "packing: a null position fails");
}

static void strings(void) {
  static const char utf8[] = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC";
  static const tsk_wchar_t utf16[] = {'G', 'r', 0xFC, 0xDF, 'e', ' ', 0x20AC, 0};
  tsk_wchar_t wide[16];
  check(stringCnv_utf8ToWcs(utf8, wide, 16) == TSK_OK && sameW(wide, utf16),
        "conversion: UTF-8 to UTF-16");
  char* back = 0;
  check(stringCnv_wcsToUTF8Alloc(utf16, &back) == TSK_OK && same(back, utf8),
        "conversion: UTF-16 to UTF-8 in a block of the library");
  string_freeA(back);

  char narrow[32];
  check(string_safeCopyA("mixed Case", narrow, sizeof narrow) == TSK_OK &&
            same(string_toUpperA(narrow), "MIXED CASE"),
        "strings: bounded copy and upper case");
  check(string_safeSprintfA(narrow, sizeof narrow, "%s=%d, %.2f", "n", 42, 0.5) == TSK_OK &&
            same(narrow, "n=42, 0.50"),
        "strings: formatting with variable arguments");
  check(string_safeSprintfA(narrow, 4, "%d", 12345) == TSK_FAIL, "strings: formatting cut short");

  ParseTableValue* table = 0;
  char line[256];
  check(string_parseString("key+\"=\"+val", "speed=42", &table) == TSK_OK &&
            string_buildString(table, "val+\" \"+key", 0, line) == TSK_OK &&
            same(line, "42 speed") && string_freeParseTable(&table) == TSK_OK && table == 0,
        "parse tables: parse, build, free");

  char** array = 0;
  uint32_t count = 0, index = 0;
  int ok = stringArray_addMemberCopyA(&array, &count, "b") == TSK_OK &&
           stringArray_addMemberCopyA(&array, &count, "a") == TSK_OK &&
           stringArray_addMemberCopyA(&array, &count, "b") == TSK_OK &&
           stringArray_removeDuplicatesA(array, &count) == TSK_OK && count == 2 &&
           stringArray_findMemberA(array, count, "a", &index) == TSK_OK && index == 1;
  check(ok, "string arrays: add, remove duplicates, find");
  check(stringArray_destroyA(&array, &count) == TSK_OK && array == 0 && count == 0,
        "string arrays: destroyed by the library");
}

static void guids(void) {
  tsk_guid guid, made;
  int ok = guid_stringToGuid(TSK_W("00112233-4455-6677-8899-aabbccddeeff"), &guid) == TSK_OK &&
           guid.Data1 == 0x00112233u && guid.Data2 == 0x4455 && guid.Data3 == 0x6677 &&
           guid.Data4[0] == 0x88 && guid.Data4[7] == 0xFF;
  check(ok, "GUIDs: text to record");
  tsk_wchar_t text[40];
  check(guid_guidToString(&guid, GUID_FLAG_BRACES | GUID_FLAG_UPPERCASE, text, 40) == TSK_OK &&
            sameW(text, TSK_W("{00112233-4455-6677-8899-AABBCCDDEEFF}")) &&
            guid_isValidGuid(text) == 1,
        "GUIDs: record to text");
  tsk_wchar_t again[40];
  check(guid_create(&made) == 1 && guid_guidToString(&made, 0, text, 40) == TSK_OK &&
            guid_stringToGuid(text, &guid) == TSK_OK &&
            guid_guidToString(&guid, 0, again, 40) == TSK_OK && sameW(text, again),
        "GUIDs: a new one round-trips");
}

struct node {
  int32_t id;
  struct node* next;
};

static void core(void) {
  struct node a = {1, 0}, b = {2, 0};
  void* found = 0;
  check(linkedList_append(&a, offsetof(struct node, next), &b) == TSK_OK &&
            linkedList_getByIndex(&a, offsetof(struct node, next), 1, &found) == TSK_OK &&
            found == &b,
        "linked list: append, get by index");

  char password[DLM_PASSWORD_LENGTH + 1];
  dlmPassword(password);
  check(textLength(password) == DLM_PASSWORD_LENGTH, "password: its length");

  TSK_ASSERT(found == &b);
  check(tskassert_set_mode(TSKASSERT_MODE_QUERY) == TSKASSERT_MODE_DEFAULT, "assertions: mode");
}

static void platform(void) {
  CThreadLock* locks = 0;
  RWLock* rw = 0;
  check(threadLock_create(&locks, 2) == TSK_OK && threadLock_destroy(&locks) == TSK_OK &&
            rwlock_create(&rw) == TSK_OK && rwlock_destroy(&rw) == TSK_OK && rw == 0,
        "locks: created and destroyed");

  tsk_threadpool_worker* worker = 0;
  check(threadpoolMan_getThread(0, &worker) == TSK_FAIL && worker == 0,
        "thread pools: no manager, no worker");
  thread_setName("c caller");

  check(module_initializeModulePath(0) == TSK_OK && module_getFileName() != 0,
        "module path: the program's file name");
  tsk_wchar_t* message = 0;
  osUtil_formatLastError(2, &message);
  check(message != 0, "system errors: a message in a block of the library");
  osUtil_freeMemory(message);
}

static unsigned int run(void) {
  say("tskbase " TSKBASE_VERSION ", called from C\n");
  packing();
  strings();
  guids();
  core();
  platform();
  say(failures == 0 ? "all checks passed\n" : "some checks failed\n");
  return failures;
}

#if defined(TSK_NO_C_RUNTIME)
void consumer_main(void) { ExitProcess(run()); }
#else
int main(void) { return run() != 0; }
#endif
