// The registry kept by the library (see posix/registry_store.h). A key
// handle is the address of an open-key object: the store it lives in, its row
// there and the rights it was opened with. Live handles are kept in a table,
// so that a closed or made-up handle is answered with the invalid-handle
// status instead of being followed. The predefined roots are Windows' HKEY_
// values; each use of one opens the store of the user's configuration
// directory as it is named at that moment.
#include "platform/registry.h"

#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

#include "platform/posix/registry_store.h"

struct tsk_registry_key {
  std::shared_ptr<tsk::platform::RegistryStore> store;
  int64_t id;
  uint32_t access;
};

namespace tsk::platform {

namespace {

using namespace registry_status;

constexpr uint32_t kAllAccess = 0xF003F; // KEY_ALL_ACCESS

std::mutex g_handlesLock;
std::unordered_set<const tsk_registry_key*> g_handles;

// The row of a predefined root in the store (its HKEY_ value's low bits + 1),
// or 0 when `key` is no root that the store keeps: HKEY_PERFORMANCE_DATA and
// HKEY_DYN_DATA are not.
int64_t rootRow(tsk_hkey key) {
  for (const int root : {0, 1, 2, 3, 5}) {
    if (key == TSK_HKEY_ROOT(root)) {
      return root + 1;
    }
  }
  return 0;
}

// What a handle stands for, copied so that closing the handle meanwhile on
// another thread cannot pull the store away.
long resolve(tsk_hkey handle, tsk_registry_key* key) {
  if (const int64_t row = rootRow(handle); row != 0) {
    key->id = row;
    key->access = kAllAccess;
    return RegistryStore::open(&key->store);
  }
  const std::lock_guard<std::mutex> hold(g_handlesLock);
  if (handle == nullptr || g_handles.count(handle) == 0) {
    return kInvalidHandle;
  }
  *key = *handle;
  return kSuccess;
}

// A new handle for `key`. Throws std::bad_alloc.
tsk_hkey publish(const tsk_registry_key& key) {
  auto owned = std::make_unique<tsk_registry_key>(key);
  const std::lock_guard<std::mutex> hold(g_handlesLock);
  g_handles.insert(owned.get());
  return owned.release();
}

// The parts of a subkey path between '\' separators; empty parts are
// skipped. A path that starts with '\' is refused.
long splitPath(const tsk_wchar_t* path, std::vector<KeyName>* names) {
  if (path == nullptr) {
    return kSuccess;
  }
  if (path[0] == u'\\') {
    return kBadPathname;
  }
  const tsk_wchar_t* start = path;
  for (const tsk_wchar_t* p = path;; ++p) {
    if (*p == u'\\' || *p == 0) {
      if (p != start) {
        names->emplace_back(start, static_cast<size_t>(p - start));
      }
      if (*p == 0) {
        return kSuccess;
      }
      start = p + 1;
    }
  }
}

long openKey(tsk_hkey parent, const tsk_wchar_t* subkey, uint32_t access, bool create,
             tsk_hkey* key) {
  try {
    tsk_registry_key base;
    std::vector<KeyName> names;
    long status = resolve(parent, &base);
    if (status == kSuccess) {
      status = splitPath(subkey, &names);
    }
    int64_t id = 0;
    if (status == kSuccess) {
      status = base.store->findKey(base.id, names, create, &id);
    }
    if (status == kSuccess) {
      *key = publish({base.store, id, access});
    }
    return status;
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
}

} // namespace

long openRegistryKey(tsk_hkey parent, const tsk_wchar_t* subkey, uint32_t access, tsk_hkey* key) {
  return openKey(parent, subkey, access, false, key);
}

long createRegistryKey(tsk_hkey parent, const tsk_wchar_t* subkey, uint32_t access, tsk_hkey* key) {
  return openKey(parent, subkey, access, true, key);
}

long queryRegistryValue(tsk_hkey key, const tsk_wchar_t* name, unsigned char* data,
                        tsk_dword* size) {
  if (data != nullptr && size == nullptr) {
    return kInvalidParameter;
  }
  try {
    tsk_registry_key target;
    long status = resolve(key, &target);
    if (status == kSuccess) {
      status = (target.access & kKeyQueryValue) == 0
                   ? kAccessDenied
                   : target.store->queryValue(target.id, name, data, size);
    }
    return status;
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
}

long setRegistryValue(tsk_hkey key, const tsk_wchar_t* name, tsk_dword type,
                      const unsigned char* data, tsk_dword size) {
  try {
    tsk_registry_key target;
    long status = resolve(key, &target);
    if (status == kSuccess) {
      if ((target.access & kKeySetValue) == 0) {
        status = kAccessDenied;
      } else if (data == nullptr && size != 0) {
        status = kNoAccess;
      } else {
        status = target.store->setValue(target.id, name, type, data, size);
      }
    }
    return status;
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
}

long duplicateRegistryKey(tsk_hkey key, tsk_hkey* copy) {
  if (rootRow(key) != 0) {
    *copy = key;
    return kSuccess;
  }
  try {
    tsk_registry_key target;
    const long status = resolve(key, &target);
    if (status == kSuccess) {
      *copy = publish(target);
    }
    return status;
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
}

long closeRegistryKey(tsk_hkey key) {
  if (rootRow(key) != 0) {
    return kSuccess;
  }
  {
    const std::lock_guard<std::mutex> hold(g_handlesLock);
    if (key == nullptr || g_handles.erase(key) == 0) {
      return kInvalidHandle;
    }
  }
  delete key;
  return kSuccess;
}

} // namespace tsk::platform
