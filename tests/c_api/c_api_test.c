/* Includes every plain-function header from C and calls into each family. */
#include "tskbase/buffer.h"
#include "tskbase/common.h"
#include "tskbase/stringcnv.h"

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

int main(void) {
  buffer_family();
  stringcnv_family();
  if (failures != 0) {
    fprintf(stderr, "c_api_test: %d checks failed\n", failures);
    return 1;
  }
  return 0;
}
