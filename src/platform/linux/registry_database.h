// The database file under the Linux registry: one SQLite connection, the
// statements prepared on it, and its transactions. SqliteRegistry's own.
//
// Schema (user_version 1):
//   reg_key(id, parent, name, fold)            parent 0 for the five roots
//   reg_value(id, key, name, fold, type, data) id gives the creation order
// `fold` is the name as lookups compare it (see SqliteRegistry); names are
// unique by fold among a key's sub-keys and among its values. AUTOINCREMENT
// keeps ids from being reused, so the id of a deleted key never comes to
// name another.
//
// Thread-safety: none; the owner serialises every use.
#ifndef DZV_PLATFORM_LINUX_REGISTRY_DATABASE_H_
#define DZV_PLATFORM_LINUX_REGISTRY_DATABASE_H_

#include <sqlite3.h>
#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace dzv::platform::registry_db {

// The predefined roots: their 32-bit handle values and their rows.
struct RootKey {
  int32_t hkey;
  int64_t id;
  const char* name;
};
inline constexpr RootKey kRootKeys[] = {
    {static_cast<int32_t>(0x80000000u), 1, "HKEY_CLASSES_ROOT"},
    {static_cast<int32_t>(0x80000001u), 2, "HKEY_CURRENT_USER"},
    {static_cast<int32_t>(0x80000002u), 3, "HKEY_LOCAL_MACHINE"},
    {static_cast<int32_t>(0x80000003u), 4, "HKEY_USERS"},
    {static_cast<int32_t>(0x80000005u), 5, "HKEY_CURRENT_CONFIG"},
};

// The statements; their text is in registry_database.cc.
enum Sql {
  kBegin,
  kBeginImmediate,
  kCommit,
  kRollback,
  kDataVersion,
  kKeyExists,        // (id)
  kFindChild,        // (parent, fold) -> id
  kInsertKey,        // (parent, name, fold)
  kHasChild,         // (parent)
  kChildAt,          // (parent, index) -> name, in fold order
  kDeleteKeyValues,  // (key)
  kDeleteKeyRow,     // (id)
  kFindValue,        // (key, fold) -> type, data
  kSetValue,         // (key, name, fold, type, data): insert or replace in place
  kDeleteValue,      // (key, fold)
  kValueAt,          // (key, index) -> id, name, type, data, in creation order
  kValueAfter,       // (key, id) -> id, name, type, data of the next value
  kSqlCount
};

// The registry's code for an SQLite result.
int32_t FromSqlite(int rc);

// What the database holds at some moment, as far as one connection can
// tell: equal marks mean that nothing was committed in between.
struct Mark {
  int64_t data_version = -1;  // moves with other connections' commits
  uint64_t own_commits = 0;   // this connection's write transactions
  bool operator==(const Mark&) const = default;
};

class Database {
 public:
  Database() = default;
  ~Database() { Close(); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens the file at `path` unless this process has it open already:
  // kErrorCantOpen unless its place is the user's own (registry_place.h),
  // which makes it with mode 0600 (and missing directories with mode 0700);
  // sets WAL mode and full synchronisation, and makes the schema when the
  // file is new (empty). A file that is not a registry of this schema is
  // refused, and nothing is written to it; opening an existing registry
  // writes nothing and takes no write lock.

  int32_t Open(const std::string& path);
  void Close();

  // How long a call waits for another connection's transaction before it
  // gives up with kErrorBusy: ten seconds unless changed.
  void set_busy_timeout(std::chrono::milliseconds timeout) { busy_timeout_ = timeout; }

  int64_t LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
  int Changes() const { return sqlite3_changes(db_); }
  // The current mark; inside a transaction that has read something.
  int32_t CurrentMark(Mark* mark);

  // One use of a prepared statement; reset when the use ends. A statement
  // that could not be prepared steps to its preparation's error.
  class Statement {
   public:
    Statement(Database& db, Sql sql) : stmt_(db.Prepared(sql, &prepare_rc_)) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int i, int64_t v);
    void Bind(int i, std::string_view text);
    // An empty blob is bound as an empty blob, not as NULL.
    void BindBlob(int i, const void* data, uint32_t size);
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return stmt_ == nullptr ? prepare_rc_ : sqlite3_step(stmt_); }
    int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::string_view Text(int col) const;
    std::string_view Blob(int col) const;

   private:
    int prepare_rc_ = SQLITE_OK;
    sqlite3_stmt* stmt_;
  };

  // A transaction: BEGIN IMMEDIATE for writing (so that waiting for another
  // writer happens at the start), BEGIN otherwise. Rolled back unless
  // finished with success.
  class Transaction {
   public:
    Transaction(Database& db, bool write);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    // The result of BEGIN.
    int32_t status() const { return rc_; }
    // Commits when `rc` is success; the call's final result.
    int32_t Finish(int32_t rc);

   private:
    Database& db_;
    const bool write_;
    int32_t rc_;
    bool committed_ = false;
  };

 private:
  sqlite3_stmt* Prepared(Sql sql, int* rc);
  int32_t Exec(Sql sql);
  enum class Contents { kEmpty, kRegistry, kForeign };
  int Configure();
  int Inspect(Contents* contents);
  int UseWal();
  static int FirstColumn(void* out, int columns, char** values, char** names);
  static int OnBusy(void* self, int count);

  sqlite3* db_ = nullptr;
  pid_t pid_ = 0;
  uint64_t own_commits_ = 0;
  std::array<sqlite3_stmt*, kSqlCount> statements_{};
  std::chrono::steady_clock::time_point busy_since_;
  std::chrono::steady_clock::duration busy_timeout_ = std::chrono::seconds(10);
};

}  // namespace dzv::platform::registry_db

#endif  // DZV_PLATFORM_LINUX_REGISTRY_DATABASE_H_
