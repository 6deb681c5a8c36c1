/* Includes every plain-function header from C and calls into each family. */
#include "tskbase/buffer.h"
#include "tskbase/common.h"
#include "tskbase/guid.h"
#include "tskbase/linked_list.h"
#include "tskbase/parse_table.h"
#include "tskbase/password.h"
#include "tskbase/string_array.h"
#include "tskbase/stringcnv.h"
#include "tskbase/strings.h"
#include "tskbase/tskassert.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                                                \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);                                   \
      ++failures;                                                                                  \
    }                                                                                              \
  } while (0)

static void buffer_family(void) {
  unsigned char buf[64];
  unsigned char* p = buf;
  char out[8];
  uint32_t capacity = sizeof out;
  int32_t value = 0;

  CHECK(buffer_packInt(&p, p, -7) == TSK_OK);
  CHECK(buffer_packString(&p, p, "abc") == TSK_OK);
  CHECK(p == buf + 12);
  CHECK(buffer_packedSizeString("abc") == 12u);

  p = buf;
  CHECK(buffer_unpackInt(&p, p, &value) == TSK_OK && value == -7);
  CHECK(buffer_unpackString(&p, p, &capacity, out) == TSK_OK && capacity == 4u);
  CHECK(strcmp(out, "abc") == 0);
  CHECK(buffer_packInt(NULL, buf, 1) == TSK_FAIL);
}

static void string_array_family(void) {
  char** array = NULL;
  uint32_t count = 0;
  uint32_t index = 0;

  CHECK(stringArray_addMemberCopyA(&array, &count, "alpha") == TSK_OK);
  CHECK(stringArray_addMemberCopyA(&array, &count, "beta") == TSK_OK);
  CHECK(stringArray_findMemberA(array, count, "beta", &index) == TSK_OK && index == 1u);
  CHECK(stringArray_destroyA(&array, &count) == TSK_OK && array == NULL && count == 0u);
}

struct node {
  int32_t id;
  struct node* next;
};

static int32_t take_failure(const char* expression, const char* file, int32_t line,
                            int32_t* debug_break) {
  (void)expression;
  (void)file;
  (void)line;
  (void)debug_break;
  return 1;
}

static void core_families(void) {
  tsk_guid guid;
  tsk_guid parsed;
  tsk_wchar_t text[39];
  struct node a = {1, NULL}, b = {2, NULL};
  void* head = &a;
  void* found = NULL;
  uint32_t count = 0;
  char password[DLM_PASSWORD_LENGTH + 1];

  CHECK(guid_create(&guid) == 1);
  CHECK(guid_guidToString(&guid, GUID_FLAG_BRACES, text, 39) == TSK_OK);
  CHECK(guid_isValidGuid(text) == 1);
  CHECK(guid_stringToGuid(text, &parsed) == TSK_OK);
  CHECK(memcmp(&guid, &parsed, sizeof guid) == 0);

  CHECK(linkedList_append(head, offsetof(struct node, next), &b) == TSK_OK);
  CHECK(linkedList_length(head, offsetof(struct node, next), &count) == TSK_OK && count == 2u);
  CHECK(linkedList_getByInt(head, offsetof(struct node, next), offsetof(struct node, id), 2,
                            &found) == TSK_OK);
  CHECK(found == &b);

  dlmPassword(password);
  CHECK(strlen(password) == DLM_PASSWORD_LENGTH);

  CHECK(tskassert_set_hook(take_failure) == NULL);
  TSK_ASSERT(count == 3u);
  CHECK(tskassert_set_hook(NULL) == take_failure);
  CHECK(tskassert_set_mode(TSKASSERT_MODE_QUERY) == TSKASSERT_MODE_DEFAULT);
}

static void stringcnv_family(void) {
  static const tsk_wchar_t wide[] = {'h', 'i', 0};
  tsk_wchar_t w[4];
  char n[4];
  char* copy = NULL;
  const char* members[] = {"a", NULL};
  tsk_wchar_t** array = NULL;

  CHECK(stringCnv_utf8ToWcs("hi", w, 4) == TSK_OK && w[0] == 'h' && w[2] == 0);
  CHECK(stringCnv_wcsToUTF8(wide, n, sizeof n) == TSK_OK && strcmp(n, "hi") == 0);
  CHECK(stringCnv_wcsToMbsAlloc(wide, &copy) == TSK_OK && strcmp(copy, "hi") == 0);
  free(copy);
  CHECK(stringCnv_mbspToWcsp(members, 2, &array) == TSK_OK && array[1] == NULL);
  free(array[0]);
  free(array);
  CHECK(stringCnv_tcsToWcs(wide, w, 2) == TSK_FAIL);
}

static void strings_family(void) {
  static const tsk_wchar_t list[] = {'x', ';', 'y', 0};
  static const tsk_wchar_t semicolon[] = {';', 0};
  static const tsk_wchar_t format[] = {'%', 'd', 0};
  tsk_wchar_t token[4];
  tsk_wchar_t* formatted = NULL;
  char text[16] = "one-two";
  char fraction[24];
  const char* next = NULL;
  char piece[8];
  uint32_t count = 0;

  CHECK(string_getTokenA("a,b", ",", piece, &next) == TSK_OK && strcmp(piece, "a") == 0);
  CHECK(next != NULL && strcmp(next, "b") == 0);
  CHECK(string_getTokenCountW(list, semicolon, &count) == TSK_OK && count == 2u);
  CHECK(string_getTokenByIndexW(list, semicolon, 1, token, 4) == TSK_OK && token[0] == 'y');
  CHECK(string_searchAndReplaceA(text, "two", "2") == TSK_OK && strcmp(text, "one-2") == 0);
  CHECK(string_convertDoubleToFracA(3.25, fraction) == TSK_OK && strcmp(fraction, "3 1/4") == 0);
  CHECK(string_safeSprintfA(piece, sizeof piece, "%d", 42) == TSK_OK && strcmp(piece, "42") == 0);
  formatted = string_sprintfAllocW(malloc, format, 7);
  CHECK(formatted != NULL && formatted[0] == '7' && formatted[1] == 0);
  string_freeW(formatted);
}

static void parse_table_family(void) {
  ParseTableValue* table = NULL;
  char out[256];

  CHECK(string_parseString("key+\"=\"+val", "speed=42", &table) == TSK_OK);
  CHECK(string_buildString(table, "val+\" \"+key", 0, out) == TSK_OK);
  CHECK(strcmp(out, "42 speed") == 0);
  CHECK(string_freeParseTable(&table) == TSK_OK && table == NULL);
}

int main(void) {
  buffer_family();
  string_array_family();
  core_families();
  stringcnv_family();
  parse_table_family();
  strings_family();
  if (failures != 0) {
    fprintf(stderr, "c_api_test: %d checks failed\n", failures);
    return 1;
  }
  return 0;
}
