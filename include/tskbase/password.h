/**
 * @file
 * tskbase/password.h - the fixed password shared by the suite's programs.
 */
#ifndef TSKBASE_PASSWORD_H
#define TSKBASE_PASSWORD_H

#include "tskbase/common.h"

TSKBASE_EXTERN_C_BEGIN

/** Length of the password, without its terminator. */
#define DLM_PASSWORD_LENGTH 24

/** Copies the password, 24 upper-case letters and digits and a terminating
 * zero, into `buffer`, which must have room for 25 bytes. The value is fixed
 * when the library is built and never changes. The pointer is not checked. */
TSKBASE_API void dlmPassword(char* buffer);

TSKBASE_EXTERN_C_END

#endif /* TSKBASE_PASSWORD_H */
