#include "platform/linux/registry_database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "platform/linux/registry_place.h"
#include "platform/registry.h"

namespace dzv::platform::registry_db {
namespace {

constexpr int kSchemaVersion = 1;

constexpr const char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS reg_key(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold TEXT NOT NULL,
  UNIQUE(parent, fold));
CREATE TABLE IF NOT EXISTS reg_value(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  key INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold TEXT NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE(key, fold));
CREATE INDEX IF NOT EXISTS reg_value_order ON reg_value(key, id);
)sql";

constexpr const char* kSqlText[kSqlCount] = {
    "BEGIN",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "PRAGMA data_version",
    "SELECT 1 FROM reg_key WHERE id = ?1",
    "SELECT id FROM reg_key WHERE parent = ?1 AND fold = ?2",
    "INSERT INTO reg_key(parent, name, fold) VALUES(?1, ?2, ?3)",
    "SELECT 1 FROM reg_key WHERE parent = ?1 LIMIT 1",
    "SELECT name FROM reg_key WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2",
    "DELETE FROM reg_value WHERE key = ?1",
    "DELETE FROM reg_key WHERE id = ?1",
    "SELECT type, data FROM reg_value WHERE key = ?1 AND fold = ?2",
    ("INSERT INTO reg_value(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
     "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data"),
    "DELETE FROM reg_value WHERE key = ?1 AND fold = ?2",
    "SELECT id, name, type, data FROM reg_value WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2",
    "SELECT id, name, type, data FROM reg_value WHERE key = ?1 AND id > ?2 ORDER BY id LIMIT 1",
};

int ExecText(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace

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

int32_t Database::Open(const std::string& path) {
  if (db_ != nullptr) {
    if (pid_ == getpid()) return kErrorSuccess;
    // A child process: the connection came from the parent, and SQLite's
    // record of the locks this process holds on the file with it, although
    // POSIX locks are not inherited; a new connection beside it could rely
    // on locks the child does not hold. Closing it here is safe: no call was under way on it at the
    // fork (see fork_guard.h), and it cannot checkpoint or delete the log while the parent keeps
    // the file open, as the parent's shared lock refuses the exclusive lock that closing needs for
    // that.
    Close();
  }
  // Only a directory and files of the user's own (registry_place.h); SQLite
  // would create the file with mode 0644, and its journal files take the
  // file's mode.
  std::string resolved;
  if (!PrepareDatabasePlace(path, &resolved)) return kErrorCantOpen;

  pid_ = getpid();
  int rc = sqlite3_open_v2(resolved.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW,
                           nullptr);
  if (rc == SQLITE_OK) rc = Configure();
  if (rc != SQLITE_OK) {
    Close();
    return FromSqlite(rc);
  }
  return kErrorSuccess;
}

int Database::Configure() {
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_handler(db_, &Database::OnBusy, this);
  // SQLite's own guards against a hostile file: no change of the schema or
  // its pages by SQL, no trigger or view runs, and no function that the
  // schema names runs with more than what it is handed.
  for (const auto& [option, value] : {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1},
                                      {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
                                      {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
                                      {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0}}) {
    if (int rc = sqlite3_db_config(db_, option, value, nullptr); rc != SQLITE_OK) return rc;
  }
  // Nothing is written before the file is known to be a registry or empty:
  // another program's database is left exactly as it was, and opening a
  // registry takes no write lock, so that reads go on while another process
  // writes.
  // The version and the schema are read in one read transaction, so that
  // another process creating the schema meanwhile is seen whole or not at all.
  Contents contents;
  int rc = ExecText(db_, "BEGIN");
  if (rc != SQLITE_OK) return rc;
  rc = Inspect(&contents);
  ExecText(db_, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK");
  if (rc != SQLITE_OK) return rc;
  if (contents == Contents::kForeign) return SQLITE_NOTADB;
  rc = UseWal();
  if (rc == SQLITE_OK) rc = ExecText(db_, "PRAGMA synchronous=FULL");
  if (rc != SQLITE_OK || contents == Contents::kRegistry) return rc;

  // A new file: make the schema, unless another process did meanwhile.
  rc = ExecText(db_, "BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return rc;
  rc = Inspect(&contents);
  if (rc == SQLITE_OK && contents == Contents::kForeign) rc = SQLITE_NOTADB;
  if (rc == SQLITE_OK && contents == Contents::kEmpty) {
    rc = ExecText(db_, kSchema);
    for (const RootKey& root : kRootKeys) {
      if (rc != SQLITE_OK) break;
      rc = ExecText(db_, "INSERT OR IGNORE INTO reg_key(id, parent, name, fold) VALUES(" +
                             std::to_string(root.id) + ", 0, '" + root.name + "', '" + root.name +
                             "')");
    }
    if (rc == SQLITE_OK) {
      rc = ExecText(db_, "PRAGMA user_version=" + std::to_string(kSchemaVersion));
    }
  }
  if (rc == SQLITE_OK) return ExecText(db_, "COMMIT");
  ExecText(db_, "ROLLBACK");
  return rc;
}

// Switching a file to WAL mode needs it to itself for a moment, and SQLite
// refuses at once, without waiting, when waiting could deadlock with another
// connection (several processes opening a new registry together do that), so
// the switch is tried again until the busy timeout. A file already in WAL
// mode is left as it is.
int Database::UseWal() {
  const auto start = std::chrono::steady_clock::now();
  while (true) {
    std::string mode;
    int rc = sqlite3_exec(db_, "PRAGMA journal_mode", &Database::FirstColumn, &mode, nullptr);
    if (rc == SQLITE_OK && mode != "wal") {
      rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", &Database::FirstColumn, &mode, nullptr);
    }
    if (rc == SQLITE_OK && mode == "wal") return SQLITE_OK;
    if (rc != SQLITE_OK && (rc & 0xFF) != SQLITE_BUSY) return rc;
    if (std::chrono::steady_clock::now() - start >= busy_timeout_) {
      return rc != SQLITE_OK ? rc : SQLITE_BUSY;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int Database::FirstColumn(void* out, int, char** values, char**) {
  *static_cast<std::string*>(out) = values[0] != nullptr ? values[0] : "";
  return 0;
}

namespace {

// The rows of the schema table in a form compared exactly: every column of
// every row, length-prefixed, NULL apart from the empty text.
int SchemaRows(sqlite3* db, std::string* rows) {
  rows->clear();
  return sqlite3_exec(
      db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name, tbl_name, sql",
      [](void* out, int columns, char** values, char**) {
        auto* text = static_cast<std::string*>(out);
        for (int i = 0; i < columns; ++i) {
          if (values[i] == nullptr) {
            *text += "N;";
          } else {
            *text += std::to_string(std::strlen(values[i])) + ":" + values[i] + ";";
          }
        }
        *text += "\n";
        return 0;
      },
      rows, nullptr);
}

// The schema table of a registry as this library makes it, made afresh in
// memory for the comparison.
int RegistrySchemaRows(std::string* rows) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) rc = ExecText(db, kSchema);
  if (rc == SQLITE_OK) rc = SchemaRows(db, rows);
  sqlite3_close(db);
  return rc;
}

}  // namespace

// A registry holds exactly the schema table that the library makes, row for
// row (SQLite's own rows among them: a trigger or view of any name, a table
// of other columns, an index or a constraint more or less is another
// program's), carries its schema version, and has its roots at the top of
// the tree (a root below one of its own keys would make the tree a cycle).
// An empty database is a new file. Anything else belongs to someone else.
int Database::Inspect(Contents* contents) {
  std::string version;
  int rc = sqlite3_exec(db_, "PRAGMA user_version", &Database::FirstColumn, &version, nullptr);
  if (rc != SQLITE_OK) return rc;
  std::string rows, expected;
  rc = SchemaRows(db_, &rows);
  if (rc == SQLITE_OK) rc = RegistrySchemaRows(&expected);
  if (rc != SQLITE_OK) return rc;
  *contents = Contents::kForeign;
  if (version == "0" && rows.empty()) {
    *contents = Contents::kEmpty;
  } else if (version == std::to_string(kSchemaVersion) && rows == expected) {
    std::string roots_elsewhere;
    rc = sqlite3_exec(db_, "SELECT count(*) FROM reg_key WHERE id BETWEEN 1 AND 5 AND parent <> 0",
                      &Database::FirstColumn, &roots_elsewhere, nullptr);
    if (rc != SQLITE_OK) return rc;
    if (roots_elsewhere == "0") *contents = Contents::kRegistry;
  }
  return SQLITE_OK;
}

// Waits for another connection's transaction: short sleeps at first, as a
// registry write holds the lock for about as long as one sync of the disk.
int Database::OnBusy(void* self, int count) {
  auto* db = static_cast<Database*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) db->busy_since_ = now;
  if (now - db->busy_since_ >= db->busy_timeout_) return 0;
  const int micros = count < 10 ? 50 * (count + 1) : (count < 100 ? 1000 : 5000);
  std::this_thread::sleep_for(std::chrono::microseconds(micros));
  return 1;
}

void Database::Close() {
  if (db_ == nullptr) return;
  for (sqlite3_stmt*& stmt : statements_) sqlite3_finalize(stmt);
  sqlite3_close(db_);
  statements_.fill(nullptr);
  db_ = nullptr;
}

int32_t Database::CurrentMark(Mark* mark) {
  Statement s(*this, kDataVersion);
  const int step = s.Step();
  if (step != SQLITE_ROW) return FromSqlite(step);
  *mark = {s.Int(0), own_commits_};
  return kErrorSuccess;
}

sqlite3_stmt* Database::Prepared(Sql sql, int* rc) {
  sqlite3_stmt*& stmt = statements_[sql];
  if (stmt == nullptr) {
    *rc = sqlite3_prepare_v3(db_, kSqlText[sql], -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (*rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      stmt = nullptr;
    }
  }
  return stmt;
}

int32_t Database::Exec(Sql sql) {
  Statement s(*this, sql);
  return FromSqlite(s.Step());
}

Database::Statement::~Statement() {
  if (stmt_ != nullptr) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

void Database::Statement::Bind(int i, int64_t v) {
  if (stmt_ != nullptr) sqlite3_bind_int64(stmt_, i, v);
}

void Database::Statement::Bind(int i, std::string_view text) {
  if (stmt_ != nullptr) {
    sqlite3_bind_text64(stmt_, i, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
  }
}

void Database::Statement::BindBlob(int i, const void* data, uint32_t size) {
  if (stmt_ == nullptr) return;
  if (size == 0) {
    sqlite3_bind_zeroblob(stmt_, i, 0);
  } else {
    sqlite3_bind_blob64(stmt_, i, data, size, SQLITE_STATIC);
  }
}

std::string_view Database::Statement::Text(int col) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
  return p == nullptr ? std::string_view()
                      : std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col)));
}

std::string_view Database::Statement::Blob(int col) const {
  const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
  return p == nullptr ? std::string_view()
                      : std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col)));
}

Database::Transaction::Transaction(Database& db, bool write) : db_(db), write_(write) {
  rc_ = db_.Exec(write ? kBeginImmediate : kBegin);
}

Database::Transaction::~Transaction() {
  if (rc_ == kErrorSuccess && !committed_ && !sqlite3_get_autocommit(db_.db_)) {
    db_.Exec(kRollback);
  }
}

int32_t Database::Transaction::Finish(int32_t rc) {
  if (rc != kErrorSuccess) return rc;
  rc = db_.Exec(kCommit);
  committed_ = rc == kErrorSuccess;
  if (committed_ && write_) ++db_.own_commits_;
  return rc;
}

}  // namespace dzv::platform::registry_db
