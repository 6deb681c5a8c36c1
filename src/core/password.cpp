// The fixed password: a constant of the build (TSKBASE_PASSWORD), kept among
// the library's read-only data.
#include "tskbase/password.h"

#include <cstring>

#include "password_value.h"

namespace {

constexpr char kPassword[] = TSKBASE_PASSWORD_VALUE;

static_assert(sizeof kPassword == DLM_PASSWORD_LENGTH + 1, "24 characters and a terminator");

} // namespace

void dlmPassword(char* buffer) { std::memcpy(buffer, kPassword, sizeof kPassword); }
