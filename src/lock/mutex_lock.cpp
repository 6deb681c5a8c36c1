// MutexLock: one mutex of the platform, named "Mutex_<name>" or unnamed.
//
// The public header comes last: MinGW's g++ marks the type information of
// every polymorphic or thrown type declared after an exported class for
// export from the DLL.
#include "tskbase/mutex_lock.h"
#include "lock/security_descriptor.h"
#include "platform/sync.h"
#include "tskbase/strings.h"

namespace {

namespace platform = tsk::platform;

// The kernel-object name is formed in this many units and cut to one less.
constexpr size_t kNameCapacity = 260;

void closeMutex(void*& mutex) {
  if (mutex != nullptr) {
    platform::closeHandle(mutex);
    mutex = nullptr;
  }
}

} // namespace

MutexLock::MutexLock(const tsk_wchar_t* name, _SECURITY_ATTRIBUTES* security) : mutex(nullptr) {
  tsk_wchar_t objectName[kNameCapacity] = {};
  if (name != nullptr) {
    // A longer result keeps its first 259 units; the last stays 0.
    string_safeSprintfW(objectName, kNameCapacity, TSK_W("Mutex_%s"), name);
  }
  // Without attributes of its own the mutex would not be open to every
  // user: then there is none.
  _SECURITY_ATTRIBUTES* built = nullptr;
  if (security == nullptr) {
    if (AllocateSecurityDescriptor(&built) != tsk::lock::kOk) {
      return;
    }
    security = built;
  }
  mutex = platform::createNamedMutex(name != nullptr ? objectName : nullptr, security);
  FreeSecurityDescriptor(&built);
}

MutexLock::MutexLock(const MutexLock& other)
    : mutex(other.mutex ? platform::duplicateHandle(other.mutex) : nullptr) {}

MutexLock& MutexLock::operator=(const MutexLock& other) {
  if (this != &other) {
    closeMutex(mutex);
    mutex = other.mutex ? platform::duplicateHandle(other.mutex) : nullptr;
  }
  return *this;
}

MutexLock::~MutexLock() { closeMutex(mutex); }

// Every end of the wait counts as obtained: a mutex handed over abandoned is
// held, and an object without a mutex has nothing to wait for.
void MutexLock::ObtainLock() { platform::waitForObject(mutex, platform::kInfinite); }

void MutexLock::ReleaseLock() { platform::releaseMutex(mutex); }

bool MutexLock::TryLock() {
  const platform::WaitResult result = platform::waitForObject(mutex, 0);
  return result == platform::WaitResult::kSignalled || result == platform::WaitResult::kAbandoned;
}

int32_t MutexLock::AllocateSecurityDescriptor(_SECURITY_ATTRIBUTES** attributes) {
  return tsk::lock::allocateOpenSecurity(attributes);
}

int32_t MutexLock::FreeSecurityDescriptor(_SECURITY_ATTRIBUTES** attributes) {
  return tsk::lock::freeOpenSecurity(attributes);
}
