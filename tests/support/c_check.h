/* The check of the plain C test programs: a condition that does not hold is
 * reported on the error stream with its place, and counted in `failures`. */
#ifndef TSKBASE_TESTS_SUPPORT_C_CHECK_H
#define TSKBASE_TESTS_SUPPORT_C_CHECK_H

#include <stdio.h>

static int failures = 0;

#define CHECK(cond)                                                                                \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);                                   \
      ++failures;                                                                                  \
    }                                                                                              \
  } while (0)

#endif /* TSKBASE_TESTS_SUPPORT_C_CHECK_H */
