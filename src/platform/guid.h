// GUID generation by the operating system.
#ifndef TSKBASE_SRC_PLATFORM_GUID_H
#define TSKBASE_SRC_PLATFORM_GUID_H

#include "tskbase/guid.h"

namespace tsk::platform {

// Fills *guid with a new unique GUID. False, with *guid unspecified, when
// the system reports anything but plain success.
bool createGuid(tsk_guid* guid);

// Fills *guid with the nil GUID (16 zero bytes). False if the system fails.
bool createNilGuid(tsk_guid* guid);

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_GUID_H
