/* Includes every plain-function header from C and calls into each family. */
#include "tskbase/buffer.h"
#include "tskbase/common.h"
#include "tskbase/string_array.h"

#include <stdio.h>
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

int main(void) {
  buffer_family();
  string_array_family();
  if (failures != 0) {
    fprintf(stderr, "c_api_test: %d checks failed\n", failures);
    return 1;
  }
  return 0;
}
