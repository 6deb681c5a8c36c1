/* Includes every plain-function header from C and calls into each family. */
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

#include <stdio.h>
#include <string.h>

#include "c_check.h"

struct node {
  int32_t id;
  struct node* next;
};

int main(void) {
  unsigned char buf[8], *p = buf;
  int32_t value = 0;
  CHECK(buffer_packInt(&p, p, -7) == TSK_OK && p == buf + 4);
  p = buf;
  CHECK(buffer_unpackInt(&p, p, &value) == TSK_OK && value == -7);

  char** array = NULL;
  uint32_t count = 0;
  CHECK(stringArray_addMemberCopyA(&array, &count, "alpha") == TSK_OK && count == 1u);
  CHECK(stringArray_destroyA(&array, &count) == TSK_OK && array == NULL);

  tsk_guid guid, parsed;
  tsk_wchar_t text[39];
  CHECK(guid_create(&guid) == 1 && guid_guidToString(&guid, GUID_FLAG_BRACES, text, 39) == TSK_OK);
  CHECK(guid_stringToGuid(text, &parsed) == TSK_OK && memcmp(&guid, &parsed, sizeof guid) == 0);

  struct node a = {1, NULL}, b = {2, NULL};
  void* found = NULL;
  CHECK(linkedList_append(&a, offsetof(struct node, next), &b) == TSK_OK);
  CHECK(linkedList_getByInt(&a, offsetof(struct node, next), offsetof(struct node, id), 2,
                            &found) == TSK_OK &&
        found == &b);

  char password[DLM_PASSWORD_LENGTH + 1];
  dlmPassword(password);
  CHECK(strlen(password) == DLM_PASSWORD_LENGTH);

  TSK_ASSERT(value == -7);
  CHECK(tskassert_set_mode(TSKASSERT_MODE_QUERY) == TSKASSERT_MODE_DEFAULT);

  static const tsk_wchar_t wide[] = {'h', 'i', 0};
  char narrow[4];
  CHECK(stringCnv_wcsToUTF8(wide, narrow, sizeof narrow) == TSK_OK && strcmp(narrow, "hi") == 0);

  char piece[8];
  const char* next = NULL;
  CHECK(string_getTokenA("a,b", ",", piece, &next) == TSK_OK && strcmp(next, "b") == 0);
  CHECK(string_safeSprintfA(piece, sizeof piece, "%d", 42) == TSK_OK && strcmp(piece, "42") == 0);

  ParseTableValue* table = NULL;
  char line[256];
  CHECK(string_parseString("key+\"=\"+val", "speed=42", &table) == TSK_OK);
  CHECK(string_buildString(table, "val+\" \"+key", 0, line) == TSK_OK &&
        strcmp(line, "42 speed") == 0);
  CHECK(string_freeParseTable(&table) == TSK_OK && table == NULL);

  CThreadLock* locks = NULL;
  CHECK(threadLock_create(&locks, 2) == TSK_OK && threadLock_lock(locks, 1) == TSK_OK);
  CHECK(threadLock_unlock(locks, 1) == TSK_OK && threadLock_destroy(&locks) == TSK_OK &&
        locks == NULL);

  RWLock* rw = NULL;
  CHECK(rwlock_create(&rw) == TSK_OK && rwlock_claim(rw, 1) == TSK_OK);
  CHECK(rwlock_release(rw, 1) == TSK_OK && rwlock_release(rw, 1) == TSK_FAIL);
  CHECK(rwlock_destroy(&rw) == TSK_OK && rw == NULL);

  tsk_threadpool_worker* worker = NULL;
  CHECK(threadpoolMan_getThread(NULL, &worker) == TSK_FAIL && worker == NULL);
  thread_setName("c caller");

  CHECK(module_initializeModulePath(0) == TSK_OK && module_getFileName() != NULL);
  static const tsk_wchar_t upper[] = {'/', 'A', 0}, lower[] = {'\\', 'a', '/', 0};
  CHECK(osUtil_compareFileSystemObjectNames(upper, lower) == 1);
  tsk_wchar_t* message = NULL;
  osUtil_formatLastError(2, &message);
  CHECK(message != NULL);
  osUtil_freeMemory(message);
  const tsk_systemtime noon = {2024, 5, 3, 1, 12, 0, 0, 0};
  CHECK(osUtil_sendFileToRecycleBin(NULL) == TSK_FAIL);
  CHECK(osUtil_removeItemFromRecycleBinByOriginalPath(upper, &noon, NULL) == TSK_FAIL);

  if (failures != 0) {
    fprintf(stderr, "c_api_test: %d checks failed\n", failures);
  }
  return failures != 0;
}
