#include "platform/posix/registry_store.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "platform/posix/user_directories.h"
#include "platform/registry.h"

namespace tsk::platform {

namespace {

using namespace registry_status;

// How long a writer waits for another process's write to finish.
constexpr int kBusyTimeoutMs = 10000;
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
  id INTEGER PRIMARY KEY,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL COLLATE NOCASE,
  UNIQUE(parent, name));
CREATE TABLE IF NOT EXISTS vals(
  key INTEGER NOT NULL REFERENCES keys(id),
  name TEXT NOT NULL COLLATE NOCASE,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY(key, name)) WITHOUT ROWID;
INSERT OR IGNORE INTO keys(id, parent, name) VALUES
  (1, 0, 'HKEY_CLASSES_ROOT'), (2, 0, 'HKEY_CURRENT_USER'), (3, 0, 'HKEY_LOCAL_MACHINE'),
  (4, 0, 'HKEY_USERS'), (6, 0, 'HKEY_CURRENT_CONFIG');
PRAGMA user_version = 1;
)sql";

// The status of an SQLite failure: the causes that Windows' registry has
// numbers for, else `otherwise`.
long statusOf(int result, long otherwise) {
  switch (result & 0xFF) {
  case SQLITE_NOMEM:
    return kNotEnoughMemory;
  case SQLITE_CORRUPT:
  case SQLITE_NOTADB:
    return kBadDatabase;
  case SQLITE_READONLY:
  case SQLITE_PERM:
  case SQLITE_AUTH:
    return kAccessDenied;
  default:
    return otherwise;
  }
}

// One prepared statement, finalised when it goes out of scope.
class Statement {
public:
  Statement(sqlite3* db, const char* sql)
      : result_(sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr)) {}
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void bind(int index, int64_t value) { keep(sqlite3_bind_int64(statement_, index, value)); }
  // Binds a name; null is the empty name.
  void bind(int index, const tsk_wchar_t* name) {
    bind(index, name == nullptr ? KeyName() : KeyName(name));
  }
  void bind(int index, KeyName name) {
    keep(sqlite3_bind_text16(statement_, index, name.empty() ? u"" : name.data(),
                             static_cast<int>(name.size() * sizeof(tsk_wchar_t)), SQLITE_STATIC));
  }
  void bindBytes(int index, const unsigned char* data, tsk_dword size) {
    // A null pointer would bind SQL NULL; an empty value is a zero-length blob.
    if (size > static_cast<tsk_dword>(INT32_MAX)) {
      keep(SQLITE_TOOBIG);
    } else if (size == 0) {
      keep(sqlite3_bind_zeroblob(statement_, index, 0));
    } else {
      keep(sqlite3_bind_blob(statement_, index, data, static_cast<int>(size), SQLITE_STATIC));
    }
  }

  // SQLITE_ROW, SQLITE_DONE, or the first failure of preparing, binding or
  // stepping.
  int step() { return result_ == SQLITE_OK ? sqlite3_step(statement_) : result_; }

  int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
  const void* blob(int column) const { return sqlite3_column_blob(statement_, column); }
  size_t bytes(int column) const {
    return static_cast<size_t>(sqlite3_column_bytes(statement_, column));
  }

private:
  void keep(int result) {
    if (result_ == SQLITE_OK) {
      result_ = result;
    }
  }

  sqlite3_stmt* statement_ = nullptr;
  int result_;
};

int execute(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

int schemaVersion(sqlite3* db, int* version) {
  Statement query(db, "PRAGMA user_version");
  const int result = query.step();
  if (result == SQLITE_ROW) {
    *version = static_cast<int>(query.integer(0));
    return SQLITE_OK;
  }
  return result;
}

// Runs `work` in a write transaction, committed when it returns SQLITE_OK and
// rolled back otherwise. BEGIN IMMEDIATE takes the write lock at once, so
// that what `work` reads stays true until it commits.
template <typename Work>
int inWriteTransaction(sqlite3* db, Work work) {
  int result = execute(db, "BEGIN IMMEDIATE");
  if (result != SQLITE_OK) {
    return result;
  }
  result = work();
  if (result == SQLITE_OK) {
    result = execute(db, "COMMIT");
  }
  if (result != SQLITE_OK) {
    execute(db, "ROLLBACK");
  }
  return result;
}

// Write-ahead logging, and the tables on first use. Switching a new database
// to WAL needs it to itself for a moment; processes that open it at the same
// time wait their turn.
int prepareDatabase(sqlite3* db) {
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  int result;
  while ((result = execute(db, "PRAGMA journal_mode = WAL")) == SQLITE_BUSY &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // A crash loses nothing that was committed; a power cut at most the last
  // commits, as the Windows registry's lazy flush does.
  if (result != SQLITE_OK || (result = execute(db, "PRAGMA synchronous = NORMAL")) != SQLITE_OK) {
    return result;
  }
  int version = 0;
  if ((result = schemaVersion(db, &version)) != SQLITE_OK || version >= kSchemaVersion) {
    return result;
  }
  return inWriteTransaction(db, [db] { return execute(db, kSchema); });
}

} // namespace

long RegistryStore::open(std::shared_ptr<RegistryStore>* store) {
  try {
    const std::string config = xdgDirectory("XDG_CONFIG_HOME", ".config");
    if (config.empty()) {
      return kCannotOpen;
    }
    const std::string directory = config + "/tskbase";
    if (!makePrivateDirectories(directory)) {
      return errno == EACCES ? kAccessDenied : kCannotOpen;
    }
    sqlite3* db = nullptr;
    int result = sqlite3_open_v2((directory + "/registry.db").c_str(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result == SQLITE_OK) {
      result = prepareDatabase(db);
    }
    if (result != SQLITE_OK) {
      sqlite3_close_v2(db);
      return statusOf(result, kCannotOpen);
    }
    store->reset(new RegistryStore(db));
    return kSuccess;
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
}

RegistryStore::~RegistryStore() { sqlite3_close_v2(db_); }

long RegistryStore::findKey(int64_t parent, const std::vector<KeyName>& names, bool create,
                            int64_t* key) {
  const std::lock_guard<std::mutex> hold(lock_);
  long status = kSuccess;
  int64_t id = parent;
  const auto walk = [&] {
    for (const KeyName name : names) {
      if ((status = findChild(id, name, create, &id)) != kSuccess) {
        return SQLITE_ABORT;
      }
    }
    return SQLITE_OK;
  };
  if (!create) {
    walk();
  } else if (const int result = inWriteTransaction(db_, walk);
             result != SQLITE_OK && status == kSuccess) {
    status = statusOf(result, kCannotWrite);
  }
  if (status == kSuccess) {
    *key = id;
  }
  return status;
}

long RegistryStore::findChild(int64_t parent, KeyName name, bool create, int64_t* child) {
  Statement find(db_, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2");
  find.bind(1, parent);
  find.bind(2, name);
  const int found = find.step();
  if (found == SQLITE_ROW) {
    *child = find.integer(0);
    return kSuccess;
  }
  if (found != SQLITE_DONE) {
    return statusOf(found, kCannotRead);
  }
  if (!create) {
    return kNotFound;
  }
  Statement insert(db_, "INSERT INTO keys(parent, name) VALUES(?1, ?2)");
  insert.bind(1, parent);
  insert.bind(2, name);
  const int inserted = insert.step();
  if (inserted != SQLITE_DONE) {
    return statusOf(inserted, kCannotWrite);
  }
  *child = sqlite3_last_insert_rowid(db_);
  return kSuccess;
}

long RegistryStore::queryValue(int64_t key, const tsk_wchar_t* name, unsigned char* data,
                               tsk_dword* size) {
  const std::lock_guard<std::mutex> hold(lock_);
  Statement query(db_, "SELECT data FROM vals WHERE key = ?1 AND name = ?2");
  query.bind(1, key);
  query.bind(2, name);
  const int result = query.step();
  if (result == SQLITE_DONE) {
    return kNotFound;
  }
  if (result != SQLITE_ROW) {
    return statusOf(result, kCannotRead);
  }
  if (size == nullptr) {
    return kSuccess;
  }
  const size_t bytes = query.bytes(0);
  if (data != nullptr) {
    if (*size < bytes) {
      *size = static_cast<tsk_dword>(bytes);
      return kMoreData;
    }
    if (bytes != 0) {
      std::memcpy(data, query.blob(0), bytes);
    }
  }
  *size = static_cast<tsk_dword>(bytes);
  return kSuccess;
}

long RegistryStore::setValue(int64_t key, const tsk_wchar_t* name, tsk_dword type,
                             const unsigned char* data, tsk_dword size) {
  const std::lock_guard<std::mutex> hold(lock_);
  Statement upsert(db_, "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                        "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, "
                        "data = excluded.data");
  upsert.bind(1, key);
  upsert.bind(2, name);
  upsert.bind(3, static_cast<int64_t>(type));
  upsert.bindBytes(4, data, size);
  const int result = upsert.step();
  return result == SQLITE_DONE ? kSuccess : statusOf(result, kCannotWrite);
}

} // namespace tsk::platform
