#include "platform/guid.h"

#include <windows.h>

#include <rpc.h>

#include <cstring>

namespace tsk::platform {

static_assert(sizeof(UUID) == sizeof(tsk_guid), "tsk_guid has the layout of UUID");

namespace {

bool fill(RPC_STATUS(RPC_ENTRY* generate)(UUID*), tsk_guid* guid) {
  UUID uuid;
  if (generate(&uuid) != RPC_S_OK) {
    return false;
  }
  std::memcpy(guid, &uuid, sizeof uuid);
  return true;
}

} // namespace

bool createGuid(tsk_guid* guid) { return fill(&UuidCreate, guid); }

bool createNilGuid(tsk_guid* guid) { return fill(&UuidCreateNil, guid); }

} // namespace tsk::platform
