// The registry's keys and values in an SQLite database that several
// processes use at once.
//
// Keys form a tree: each row of `keys` names its parent, and the predefined
// roots are the rows 1 to 6 (root number + 1, as in Windows' HKEY_ values)
// under the parent 0. Values are rows of `vals`: key, name, type code and
// the bytes as stored. Names are TEXT that compares without regard to the
// case of A to Z (COLLATE NOCASE); the default value has the empty name.
//
// Write-ahead logging lets readers go on while one process writes, a busy
// timeout makes writers queue, and every change is one transaction, so a
// process killed in the middle of a write leaves every committed value
// intact and no partial one.
#ifndef TSKBASE_SRC_PLATFORM_POSIX_REGISTRY_STORE_H
#define TSKBASE_SRC_PLATFORM_POSIX_REGISTRY_STORE_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tskbase/common.h"
#include "tskbase/reg_settings.h"

struct sqlite3;

namespace tsk::platform {

using KeyName = std::basic_string_view<tsk_wchar_t>;

class RegistryStore {
public:
  // Opens the store of the user's configuration directory
  // ($XDG_CONFIG_HOME/tskbase/registry.db), creating it when needed.
  static long open(std::shared_ptr<RegistryStore>* store);

  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // The key that the path of `names` leads to from `parent`: 2 when a key on
  // the way does not exist, unless `create` makes the missing ones.
  long findKey(int64_t parent, const std::vector<KeyName>& names, bool create, int64_t* key);

  // A value of `key` by the rules of queryRegistryValue (platform/registry.h).
  long queryValue(int64_t key, const tsk_wchar_t* name, unsigned char* data, tsk_dword* size);

  // Writes a value of `key`, replacing any of the same name.
  long setValue(int64_t key, const tsk_wchar_t* name, tsk_dword type, const unsigned char* data,
                tsk_dword size);

private:
  explicit RegistryStore(sqlite3* db) : db_(db) {}

  long findChild(int64_t parent, KeyName name, bool create, int64_t* child);

  std::mutex lock_; // one statement at a time on the connection
  sqlite3* db_;
};

} // namespace tsk::platform

#endif // TSKBASE_SRC_PLATFORM_POSIX_REGISTRY_STORE_H
