// The security attributes that the cross-process locks build for their named
// objects when the caller gives none: every user of the machine gets full
// access. One implementation serves the AllocateSecurityDescriptor and
// FreeSecurityDescriptor members of MutexLock and InterProcessLock.
#ifndef TSKBASE_SRC_LOCK_SECURITY_DESCRIPTOR_H
#define TSKBASE_SRC_LOCK_SECURITY_DESCRIPTOR_H

#include <cstdint>

#include "platform/sync.h"

namespace tsk::lock {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFail = 0x8000;

// Builds the attributes, and the descriptor they carry, in two zero-filled
// blocks of the library heap and stores them in *attributes: kOk, or kFail
// with nothing built (also for a null `attributes`).
int32_t allocateOpenSecurity(platform::SecurityAttributes** attributes);

// Releases what allocateOpenSecurity built and sets *attributes to null;
// always kOk (a null pointer or null attributes release nothing).
int32_t freeOpenSecurity(platform::SecurityAttributes** attributes);

} // namespace tsk::lock

#endif // TSKBASE_SRC_LOCK_SECURITY_DESCRIPTOR_H
