#include "lock/security_descriptor.h"

#include <cstring>

#include "core/heap.h"

namespace tsk::lock {

namespace {

void* allocateZeroed(size_t bytes) {
  void* block = heap::allocate(bytes);
  if (block != nullptr) {
    std::memset(block, 0, bytes);
  }
  return block;
}

} // namespace

int32_t allocateOpenSecurity(platform::SecurityAttributes** attributes) {
  if (attributes == nullptr) {
    return kFail;
  }
  void* descriptor = allocateZeroed(platform::securityDescriptorSize());
  void* record = descriptor ? allocateZeroed(platform::securityAttributesSize()) : nullptr;
  platform::SecurityAttributes* built =
      record ? platform::makeOpenSecurity(descriptor, record) : nullptr;
  if (built == nullptr) {
    heap::release(record);
    heap::release(descriptor);
    return kFail;
  }
  *attributes = built;
  return kOk;
}

int32_t freeOpenSecurity(platform::SecurityAttributes** attributes) {
  if (attributes != nullptr && *attributes != nullptr) {
    heap::release(platform::securityDescriptorOf(*attributes));
    heap::release(*attributes);
    *attributes = nullptr;
  }
  return kOk;
}

} // namespace tsk::lock
