// The SQLite store of the Linux registry.
//
// Schema (user_version 1):
//   reg_key(id, parent, name, fold)            parent 0 for the five roots
//   reg_value(id, key, name, fold, type, data) id gives the creation order
// `fold` is the name with ASCII letters in upper case (the bytes of
// double-byte characters left alone); names are unique by fold within their
// key. AUTOINCREMENT keeps ids from being reused, so a handle of a deleted
// key can never come to name a new one.
#include "platform/registry_sqlite.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "text/mbcs.h"

namespace dzv::platform {
namespace {

constexpr int kSchemaVersion = 1;
constexpr auto kBusyTimeout = std::chrono::seconds(10);

struct Root {
  int32_t hkey;  // the 32-bit value, sign-extended in RegKey
  int64_t id;
  const char* name;
};

constexpr Root kRoots[] = {
    {static_cast<int32_t>(0x80000000u), 1, "HKEY_CLASSES_ROOT"},
    {static_cast<int32_t>(0x80000001u), 2, "HKEY_CURRENT_USER"},
    {static_cast<int32_t>(0x80000002u), 3, "HKEY_LOCAL_MACHINE"},
    {static_cast<int32_t>(0x80000003u), 4, "HKEY_USERS"},
    {static_cast<int32_t>(0x80000005u), 5, "HKEY_CURRENT_CONFIG"},
};

const Root* FindRoot(RegKey key) {
  const intptr_t value = reinterpret_cast<intptr_t>(key);
  for (const Root& root : kRoots) {
    if (value == static_cast<intptr_t>(root.hkey)) return &root;
  }
  return nullptr;
}

constexpr const char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS reg_key(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold BLOB NOT NULL,
  UNIQUE(parent, fold));
CREATE TABLE IF NOT EXISTS reg_value(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  key INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold BLOB NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE(key, fold));
CREATE INDEX IF NOT EXISTS reg_value_order ON reg_value(key, id);
)sql";

// The statements of the store, prepared once per connection.
enum Sql {
  kBegin,
  kBeginImmediate,
  kCommit,
  kRollback,
  kKeyExists,
  kFindChild,
  kInsertKey,
  kHasChild,
  kChildAt,
  kDeleteKeyValues,
  kDeleteKeyRow,
  kFindValue,
  kSetValue,
  kDeleteValue,
  kValueAt,
  kSqlCount
};

constexpr const char* kSqlText[kSqlCount] = {
    "BEGIN",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SELECT 1 FROM reg_key WHERE id = ?1",
    "SELECT id FROM reg_key WHERE parent = ?1 AND fold = ?2",
    "INSERT INTO reg_key(parent, name, fold) VALUES(?1, ?2, ?3)",
    "SELECT 1 FROM reg_key WHERE parent = ?1 LIMIT 1",
    "SELECT name FROM reg_key WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2",
    "DELETE FROM reg_value WHERE key = ?1",
    "DELETE FROM reg_key WHERE id = ?1",
    "SELECT type, data FROM reg_value WHERE key = ?1 AND fold = ?2",
    "INSERT INTO reg_value(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM reg_value WHERE key = ?1 AND fold = ?2",
    "SELECT name, type, data FROM reg_value WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2",
};

// The registry's code for an SQLite result.
int32_t FromSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return kErrorSuccess;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kErrorBusy;
    case SQLITE_NOMEM:
      return kErrorOutOfMemory;
    case SQLITE_FULL:
      return kErrorDiskFull;
    case SQLITE_CANTOPEN:
      return kErrorCantOpen;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return kErrorCantWrite;
    case SQLITE_TOOBIG:
      return kErrorInvalidParameter;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
    case SQLITE_ERROR:
      return kErrorBadDatabase;
    default:
      return kErrorRegistryIoFailed;
  }
}

// Rights named generically, or as "all the caller may have", become the
// key's own rights.
uint32_t NormalizeAccess(uint32_t access) {
  if (access & (kGenericAll | kMaximumAllowed)) access |= kKeyAllAccess;
  if (access & kGenericRead) access |= kKeyRead;
  if (access & kGenericWrite) access |= kKeyWrite;
  return access;
}

// Splits a sub-key path at its backslashes. Null and empty paths have no
// components; an empty component or one longer than a key name may be is
// refused.
int32_t SplitPath(const char* path, std::vector<std::string_view>* parts) {
  parts->clear();
  if (path == nullptr || *path == '\0') return kErrorSuccess;
  std::string_view rest(path);
  while (true) {
    const size_t cut = rest.find('\\');
    std::string_view part = rest.substr(0, cut);
    if (part.empty()) return kErrorBadPathname;
    if (part.size() > kMaxKeyNameLength) return kErrorInvalidParameter;
    parts->push_back(part);
    if (cut == std::string_view::npos) return kErrorSuccess;
    rest.remove_prefix(cut + 1);
  }
}

// Copies a name and its terminating zero into a caller's area of `*size`
// bytes, setting `*size` to the name's length; kErrorMoreData when it does
// not fit.
int32_t CopyName(std::string_view name, char* out, uint32_t* size) {
  if (name.size() >= *size) return kErrorMoreData;
  std::memcpy(out, name.data(), name.size());
  out[name.size()] = '\0';
  *size = static_cast<uint32_t>(name.size());
  return kErrorSuccess;
}

// Makes the directory and the missing ones above it, each with mode 0700.
bool MakeDirectories(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash))) {
    return false;
  }
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

// One connection to the database, the statements prepared on it, and the
// handles that this process has open.
class SqliteRegistry::Store {
 public:
  Store(std::string path, const text::LeadByteTable* lead_bytes)
      : path_(std::move(path)), lead_bytes_(lead_bytes) {}
  ~Store() { Close(); }

  const std::string& path() const { return path_; }

  // Runs `body` under the mutex with the database open; out of memory
  // becomes a code.
  template <class Body>
  int32_t Locked(bool needs_database, Body&& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      if (needs_database) {
        if (int32_t rc = Open(); rc != kErrorSuccess) return rc;
      }
      return body();
    } catch (const std::bad_alloc&) {
      return kErrorOutOfMemory;
    }
  }

  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseDatabase();
    handles_.clear();
  }

  // --- Handles -------------------------------------------------------------

  struct Handle {
    int64_t key_id;
    uint32_t access;
  };

  // The key and rights of `key`, without looking at the database.
  int32_t Lookup(RegKey key, Handle* out) const {
    if (const Root* root = FindRoot(key)) {
      *out = {root->id, kKeyAllAccess};
      return kErrorSuccess;
    }
    auto it = handles_.find(reinterpret_cast<uintptr_t>(key));
    if (it == handles_.end()) return kErrorInvalidHandle;
    *out = it->second;
    return kErrorSuccess;
  }

  // As Lookup, and the key must still exist. Inside a transaction.
  int32_t Resolve(RegKey key, Handle* out) {
    if (int32_t rc = Lookup(key, out); rc != kErrorSuccess) return rc;
    Statement s(this, kKeyExists);
    s.Bind(1, out->key_id);
    const int step = s.Step();
    if (step == SQLITE_DONE) return kErrorKeyDeleted;
    return step == SQLITE_ROW ? kErrorSuccess : FromSqlite(step);
  }

  RegKey Issue(int64_t key_id, uint32_t access) {
    uintptr_t value;
    do {
      value = next_handle_;
      next_handle_ += 4;
    } while (handles_.count(value) != 0 || FindRoot(reinterpret_cast<RegKey>(value)) ||
             value == 0);
    handles_.emplace(value, Handle{key_id, NormalizeAccess(access)});
    return reinterpret_cast<RegKey>(value);
  }

  int32_t Release(RegKey key) {
    if (FindRoot(key) != nullptr) return kErrorSuccess;
    return handles_.erase(reinterpret_cast<uintptr_t>(key)) == 1 ? kErrorSuccess
                                                                 : kErrorInvalidHandle;
  }

  // --- Names ----------------------------------------------------------------

  std::string Fold(std::string_view name) const {
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(out[i]);
      if (lead_bytes_ != nullptr && lead_bytes_->IsLead(c) && i + 1 < out.size()) {
        ++i;  // a double-byte character: both bytes as they are
      } else if (c >= 'a' && c <= 'z') {
        out[i] = static_cast<char>(c - 'a' + 'A');
      }
    }
    return out;
  }

  // --- Statements and transactions -----------------------------------------

  // One use of a prepared statement; reset when the use ends.
  class Statement {
   public:
    Statement(Store* store, Sql sql) : stmt_(store->Prepared(sql, &prepare_rc_)) {}
    ~Statement() {
      if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
      }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int i, int64_t v) {
      if (stmt_ != nullptr) sqlite3_bind_int64(stmt_, i, v);
    }
    void Bind(int i, std::string_view text) {
      if (stmt_ != nullptr) sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    }
    void BindBlob(int i, const void* data, uint32_t size) {
      if (stmt_ == nullptr) return;
      if (size == 0) {
        sqlite3_bind_zeroblob(stmt_, i, 0);  // empty, not NULL
      } else {
        sqlite3_bind_blob64(stmt_, i, data, size, SQLITE_STATIC);
      }
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return stmt_ == nullptr ? prepare_rc_ : sqlite3_step(stmt_); }
    int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::string_view Text(int col) const {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
      return p == nullptr ? std::string_view() : std::string_view(p, sqlite3_column_bytes(stmt_, col));
    }
    std::string_view Blob(int col) const {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
      return p == nullptr ? std::string_view() : std::string_view(p, sqlite3_column_bytes(stmt_, col));
    }

   private:
    int prepare_rc_ = SQLITE_OK;
    sqlite3_stmt* stmt_;
  };

  // Runs a statement that returns no rows.
  int32_t Exec(Sql sql) {
    Statement s(this, sql);
    return FromSqlite(s.Step());
  }

  // A transaction; rolled back unless committed.
  class Transaction {
   public:
    Transaction(Store* store, bool write) : store_(store) {
      rc_ = store_->Exec(write ? kBeginImmediate : kBegin);
    }
    ~Transaction() {
      if (rc_ == kErrorSuccess && !committed_ && !sqlite3_get_autocommit(store_->db_)) {
        store_->Exec(kRollback);
      }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    int32_t status() const { return rc_; }
    // Commits when `rc` is success; returns the call's final result.
    int32_t Finish(int32_t rc) {
      if (rc != kErrorSuccess) return rc;
      rc = store_->Exec(kCommit);
      committed_ = rc == kErrorSuccess;
      return rc;
    }

   private:
    Store* store_;
    int32_t rc_;
    bool committed_ = false;
  };

  // --- Keys -------------------------------------------------------------------

  // Follows `path` from the key `from`; creates the missing keys when
  // `create` (which needs kKeyCreateSubKey on `from`).
  int32_t Walk(const Handle& from, const char* path, bool create, int64_t* id) {
    std::vector<std::string_view> parts;
    if (int32_t rc = SplitPath(path, &parts); rc != kErrorSuccess) return rc;
    int64_t current = from.key_id;
    for (std::string_view part : parts) {
      const std::string fold = Fold(part);
      {
        Statement find(this, kFindChild);
        find.Bind(1, current);
        find.BindBlob(2, fold.data(), static_cast<uint32_t>(fold.size()));
        const int step = find.Step();
        if (step == SQLITE_ROW) {
          current = find.Int(0);
          continue;
        }
        if (step != SQLITE_DONE) return FromSqlite(step);
      }
      if (!create) return kErrorFileNotFound;
      if ((from.access & kKeyCreateSubKey) == 0) return kErrorAccessDenied;
      Statement insert(this, kInsertKey);
      insert.Bind(1, current);
      insert.Bind(2, part);
      insert.BindBlob(3, fold.data(), static_cast<uint32_t>(fold.size()));
      if (int step = insert.Step(); step != SQLITE_DONE) return FromSqlite(step);
      current = sqlite3_last_insert_rowid(db_);
    }
    *id = current;
    return kErrorSuccess;
  }

  int32_t OpenOrCreate(RegKey key, const char* path, uint32_t access, RegKey* result,
                       bool create) {
    if (result == nullptr || (create && path == nullptr)) return kErrorInvalidParameter;
    Transaction txn(this, create);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle from;
    int64_t id = 0;
    int32_t rc = Resolve(key, &from);
    if (rc == kErrorSuccess) rc = Walk(from, path, create, &id);
    if (rc != kErrorSuccess) return rc;
    const RegKey issued = Issue(id, access);
    rc = txn.Finish(rc);
    if (rc == kErrorSuccess) {
      *result = issued;
    } else {
      Release(issued);
    }
    return rc;
  }

  int32_t DeleteKey(RegKey key, const char* path) {
    if (path == nullptr || *path == '\0') return kErrorInvalidParameter;
    Transaction txn(this, true);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle from;
    int64_t id = 0;
    int32_t rc = Resolve(key, &from);
    if (rc == kErrorSuccess) rc = Walk(from, path, false, &id);
    if (rc == kErrorSuccess) {
      Statement has_child(this, kHasChild);
      has_child.Bind(1, id);
      const int step = has_child.Step();
      rc = step == SQLITE_ROW ? kErrorAccessDenied : FromSqlite(step);
    }
    for (Sql sql : {kDeleteKeyValues, kDeleteKeyRow}) {
      if (rc != kErrorSuccess) break;
      Statement s(this, sql);
      s.Bind(1, id);
      rc = FromSqlite(s.Step());
    }
    return txn.Finish(rc);
  }

  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) {
    if (name == nullptr || name_size == nullptr) return kErrorInvalidParameter;
    Transaction txn(this, false);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeyEnumerateSubKeys) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      Statement s(this, kChildAt);
      s.Bind(1, h.key_id);
      s.Bind(2, static_cast<int64_t>(index));
      const int step = s.Step();
      if (step == SQLITE_ROW) {
        rc = CopyName(s.Text(0), name, name_size);
      } else {
        rc = step == SQLITE_DONE ? kErrorNoMoreItems : FromSqlite(step);
      }
    }
    return txn.Finish(rc);
  }

  // --- Values -----------------------------------------------------------------

  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) {
    if (data == nullptr && size != 0) return kErrorInvalidParameter;
    const std::string_view value_name = name == nullptr ? "" : name;
    if (value_name.size() > kMaxValueNameLength) return kErrorInvalidParameter;
    Transaction txn(this, true);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeySetValue) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      const std::string fold = Fold(value_name);
      Statement s(this, kSetValue);
      s.Bind(1, h.key_id);
      s.Bind(2, value_name);
      s.BindBlob(3, fold.data(), static_cast<uint32_t>(fold.size()));
      s.Bind(4, static_cast<int64_t>(type));
      s.BindBlob(5, data, size);
      rc = FromSqlite(s.Step());
    }
    return txn.Finish(rc);
  }

  // Hands a value's type and data to a caller's places.
  static int32_t CopyValue(int64_t value_type, std::string_view bytes, uint32_t* type,
                           uint8_t* data, uint32_t* size) {
    if (data != nullptr) {
      if (bytes.size() > *size) {
        *size = static_cast<uint32_t>(bytes.size());
        return kErrorMoreData;
      }
      if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    }
    if (size != nullptr) *size = static_cast<uint32_t>(bytes.size());
    if (type != nullptr) *type = static_cast<uint32_t>(value_type);
    return kErrorSuccess;
  }

  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) {
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    Transaction txn(this, false);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeyQueryValue) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      const std::string fold = Fold(name == nullptr ? "" : name);
      Statement s(this, kFindValue);
      s.Bind(1, h.key_id);
      s.BindBlob(2, fold.data(), static_cast<uint32_t>(fold.size()));
      const int step = s.Step();
      if (step == SQLITE_ROW) {
        rc = CopyValue(s.Int(0), s.Blob(1), type, data, size);
      } else {
        rc = step == SQLITE_DONE ? kErrorFileNotFound : FromSqlite(step);
      }
    }
    return txn.Finish(rc);
  }

  int32_t DeleteValue(RegKey key, const char* name) {
    Transaction txn(this, true);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeySetValue) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      const std::string fold = Fold(name == nullptr ? "" : name);
      Statement s(this, kDeleteValue);
      s.Bind(1, h.key_id);
      s.BindBlob(2, fold.data(), static_cast<uint32_t>(fold.size()));
      rc = FromSqlite(s.Step());
      if (rc == kErrorSuccess && sqlite3_changes(db_) == 0) rc = kErrorFileNotFound;
    }
    return txn.Finish(rc);
  }

  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size,
                    uint32_t* type, uint8_t* data, uint32_t* data_size) {
    if (name == nullptr || name_size == nullptr || (data != nullptr && data_size == nullptr)) {
      return kErrorInvalidParameter;
    }
    Transaction txn(this, false);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeyQueryValue) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      Statement s(this, kValueAt);
      s.Bind(1, h.key_id);
      s.Bind(2, static_cast<int64_t>(index));
      const int step = s.Step();
      if (step == SQLITE_ROW) {
        const std::string_view value_name = s.Text(0);
        rc = value_name.size() < *name_size ? CopyValue(s.Int(1), s.Blob(2), type, data, data_size)
                                            : kErrorMoreData;
        if (rc == kErrorSuccess) rc = CopyName(value_name, name, name_size);
      } else {
        rc = step == SQLITE_DONE ? kErrorNoMoreItems : FromSqlite(step);
      }
    }
    return txn.Finish(rc);
  }

 private:
  sqlite3_stmt* Prepared(Sql sql, int* rc) {
    sqlite3_stmt*& stmt = statements_[sql];
    if (stmt == nullptr) {
      *rc = sqlite3_prepare_v3(db_, kSqlText[sql], -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                               nullptr);
      if (*rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
      }
    }
    return stmt;
  }

  // Opens the database unless it is open in this process already.
  int32_t Open() {
    if (db_ != nullptr) {
      if (pid_ == getpid()) return kErrorSuccess;
      // A child process: the parent's connection must not be used here, nor
      // closed; start afresh.
      db_ = nullptr;
      statements_.fill(nullptr);
    }
    if (path_.empty()) return kErrorCantOpen;
    const size_t slash = path_.find_last_of('/');
    if (slash != std::string::npos && !MakeDirectories(path_.substr(0, slash))) {
      return kErrorCantOpen;
    }
    // SQLite would create the file with mode 0644: create it first.
    const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return kErrorCantOpen;
    close(fd);

    int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = Configure();
    if (rc != SQLITE_OK) {
      CloseDatabase();
      return FromSqlite(rc);
    }
    pid_ = getpid();
    return kErrorSuccess;
  }

  // Sets the connection up and makes the schema when the file is new.
  int Configure() {
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_handler(db_, &Store::OnBusy, this);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    int rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    int version = -1;
    rc = sqlite3_exec(
        db_, "PRAGMA user_version",
        [](void* out, int, char** values, char**) {
          *static_cast<int*>(out) = values[0] != nullptr ? std::atoi(values[0]) : -1;
          return 0;
        },
        &version, nullptr);
    if (rc == SQLITE_OK && version == 0) {
      rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
      for (const Root& root : kRoots) {
        if (rc != SQLITE_OK) break;
        std::string sql = "INSERT OR IGNORE INTO reg_key(id, parent, name, fold) VALUES(" +
                          std::to_string(root.id) + ", 0, '" + root.name + "', CAST('" +
                          root.name + "' AS BLOB))";
        rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
      }
      if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db_, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str(),
                          nullptr, nullptr, nullptr);
      }
    } else if (rc == SQLITE_OK && version != kSchemaVersion) {
      rc = SQLITE_NOTADB;  // a file of another program, or of a later version
    }
    if (rc == SQLITE_OK) return sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return rc;
  }

  // Waits for another connection's transaction: short sleeps at first, as
  // a registry write holds the lock for well under a millisecond.
  static int OnBusy(void* self, int count) {
    auto* store = static_cast<Store*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) store->busy_since_ = now;
    if (now - store->busy_since_ >= kBusyTimeout) return 0;
    const int micros = count < 10 ? 50 * (count + 1) : (count < 100 ? 1000 : 5000);
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
    return 1;
  }

  void CloseDatabase() {
    if (db_ == nullptr) return;
    if (pid_ == getpid() || pid_ == 0) {
      for (sqlite3_stmt*& stmt : statements_) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
      }
      sqlite3_close(db_);
    }
    statements_.fill(nullptr);
    db_ = nullptr;
    pid_ = 0;
  }

  const std::string path_;
  const text::LeadByteTable* const lead_bytes_;
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  pid_t pid_ = 0;
  std::array<sqlite3_stmt*, kSqlCount> statements_{};
  std::chrono::steady_clock::time_point busy_since_;
  std::unordered_map<uintptr_t, Handle> handles_;
  uintptr_t next_handle_ = 0x1000;
};

SqliteRegistry::SqliteRegistry(std::string path, const text::LeadByteTable* lead_bytes)
    : store_(std::make_unique<Store>(std::move(path), lead_bytes)) {}

SqliteRegistry::~SqliteRegistry() = default;

template <class Body>
int32_t SqliteRegistry::Run(bool needs_database, Body&& body) {
  if (store_ == nullptr) return kErrorCantOpen;
  return store_->Locked(needs_database, std::forward<Body>(body));
}

void SqliteRegistry::Close(bool for_good) {
  if (store_ == nullptr) return;
  if (for_good) {
    store_.reset();  // nothing of the registry stays on the heap
  } else {
    store_->Close();
  }
}

const std::string& SqliteRegistry::path() const {
  static const std::string none;
  return store_ == nullptr ? none : store_->path();
}

int32_t SqliteRegistry::CreateKey(RegKey key, const char* path, uint32_t access,
                                  RegKey* result) {
  return Run(true, [&] { return store_->OpenOrCreate(key, path, access, result, true); });
}

int32_t SqliteRegistry::OpenKey(RegKey key, const char* path, uint32_t access,
                                RegKey* result) {
  return Run(true, [&] { return store_->OpenOrCreate(key, path, access, result, false); });
}

int32_t SqliteRegistry::SetValue(RegKey key, const char* name, uint32_t type,
                                 const uint8_t* data, uint32_t size) {
  return Run(true, [&] { return store_->SetValue(key, name, type, data, size); });
}

int32_t SqliteRegistry::QueryValue(RegKey key, const char* name, uint32_t* type,
                                   uint8_t* data, uint32_t* size) {
  return Run(true, [&] { return store_->QueryValue(key, name, type, data, size); });
}

int32_t SqliteRegistry::DeleteValue(RegKey key, const char* name) {
  return Run(true, [&] { return store_->DeleteValue(key, name); });
}

int32_t SqliteRegistry::EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) {
  return Run(true, [&] { return store_->EnumKey(key, index, name, name_size); });
}

int32_t SqliteRegistry::DeleteKey(RegKey key, const char* path) {
  return Run(true, [&] { return store_->DeleteKey(key, path); });
}

int32_t SqliteRegistry::EnumValue(RegKey key, uint32_t index, char* name,
                                  uint32_t* name_size, uint32_t* type, uint8_t* data,
                                  uint32_t* data_size) {
  return Run(true, [&] {
    return store_->EnumValue(key, index, name, name_size, type, data, data_size);
  });
}

int32_t SqliteRegistry::CloseKey(RegKey key) {
  return Run(false, [&] { return store_->Release(key); });
}

bool IsPredefinedKey(RegKey key) { return FindRoot(key) != nullptr; }

}  // namespace dzv::platform
