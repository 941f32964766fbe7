// The Linux registry on its SQLite database: handles, names, and the calls.
#include "platform/linux/registry_store.h"

#include <mutex>
#include <string_view>
#include <vector>

#include "platform/linux/fork_guard.h"
#include "platform/linux/registry_database.h"
#include "platform/registry_rules.h"

namespace dzv::platform {
namespace {

using registry_rules::CopyName;
using registry_rules::CopyValue;
using registry_rules::kRootCount;
using registry_rules::RootIndex;
using registry_rules::SplitPath;

using registry_db::Database;
using registry_db::FromSqlite;
using registry_db::kRootKeys;
using registry_db::Mark;
using registry_db::RootKey;
using registry_db::Sql;
using enum registry_db::Sql;
using Statement = Database::Statement;
using Transaction = Database::Transaction;

const RootKey* FindRoot(RegKey key) {
  const size_t index = RootIndex(key);
  return index < kRootCount ? &kRootKeys[index] : nullptr;
}

}  // namespace

// The database, and the handles that this process has open.
class SqliteRegistry::Store {
 public:
  Store(std::string path, const LeadByteTable* lead_bytes)
      : path_(std::move(path)), lead_bytes_(lead_bytes) {}

  const std::string& path() const { return path_; }

  // Runs `body` under the mutex, with the database open when it is needed;
  // out of memory becomes a code.
  template <class Body>
  int32_t Locked(bool needs_database, Body&& body) {
    return registry_rules::Locked(mutex_, [&] {
      if (needs_database) {
        if (int32_t rc = db_.Open(path_); rc != kErrorSuccess) return rc;
      }
      return body();
    });
  }

  void SetBusyTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard<std::mutex> lock(mutex_);
    db_.set_busy_timeout(timeout);
  }

  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    db_.Close();
    handles_.Clear();
    cursor_ = {};
  }

  // --- Handles -------------------------------------------------------------

  using Handles = registry_rules::HandleTable<int64_t>;  // by key id
  using Handle = Handles::Handle;

  // The key of `key` and the rights of the handle, which must still name a
  // key of the database. Inside a transaction.
  int32_t Resolve(RegKey key, Handle* out) {
    if (const RootKey* root = FindRoot(key)) {
      *out = {root->id, kKeyAllAccess};
    } else if (const Handle* h = handles_.Find(key)) {
      *out = *h;
    } else {
      return kErrorInvalidHandle;
    }
    Statement s(db_, kKeyExists);
    s.Bind(1, out->key);
    const int step = s.Step();
    if (step == SQLITE_DONE) return kErrorKeyDeleted;
    return step == SQLITE_ROW ? kErrorSuccess : FromSqlite(step);
  }

  int32_t Release(RegKey key) { return handles_.Release(key); }

  // --- Names ----------------------------------------------------------------

  std::string Fold(std::string_view name) const { return registry_rules::Fold(name, lead_bytes_); }

  // --- Keys -------------------------------------------------------------------

  // Follows `path` from the key `from`; creates the missing keys when
  // `create` (which needs kKeyCreateSubKey on `from`).
  int32_t Walk(const Handle& from, const char* path, bool create, int64_t* id) {
    std::vector<std::string_view> parts;
    if (int32_t rc = SplitPath(path, &parts); rc != kErrorSuccess) return rc;
    int64_t current = from.key;
    for (std::string_view part : parts) {
      const std::string fold = Fold(part);
      {
        Statement find(db_, kFindChild);
        find.Bind(1, current);
        find.Bind(2, fold);
        const int step = find.Step();
        if (step == SQLITE_ROW) {
          current = find.Int(0);
          continue;
        }
        if (step != SQLITE_DONE) return FromSqlite(step);
      }
      if (!create) return kErrorFileNotFound;
      if ((from.access & kKeyCreateSubKey) == 0) return kErrorAccessDenied;
      Statement insert(db_, kInsertKey);
      insert.Bind(1, current);
      insert.Bind(2, part);
      insert.Bind(3, fold);
      if (int step = insert.Step(); step != SQLITE_DONE) return FromSqlite(step);
      current = db_.LastInsertId();
    }
    *id = current;
    return kErrorSuccess;
  }

  int32_t OpenOrCreate(RegKey key, const char* path, uint32_t access, RegKey* result, bool create) {
    if (int32_t rc = registry_rules::CheckOpenOrCreate(path, result, create); rc != kErrorSuccess) {
      return rc;
    }
    Transaction txn(db_, create);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle from;
    int64_t id = 0;
    int32_t rc = Resolve(key, &from);
    if (rc == kErrorSuccess) rc = Walk(from, path, create, &id);
    if (rc != kErrorSuccess) return rc;
    const RegKey issued = handles_.Issue(id, access);
    rc = txn.Finish(rc);
    if (rc == kErrorSuccess) {
      *result = issued;
    } else {
      Release(issued);
    }
    return rc;
  }

  int32_t DeleteKey(RegKey key, const char* path) {
    if (int32_t rc = registry_rules::CheckDeleteKey(path); rc != kErrorSuccess) return rc;
    Transaction txn(db_, true);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle from;
    int64_t id = 0;
    int32_t rc = Resolve(key, &from);
    if (rc == kErrorSuccess) rc = Walk(from, path, false, &id);
    if (rc == kErrorSuccess) {
      Statement has_child(db_, kHasChild);
      has_child.Bind(1, id);
      const int step = has_child.Step();
      rc = step == SQLITE_ROW ? kErrorAccessDenied : FromSqlite(step);
    }
    for (Sql sql : {kDeleteKeyValues, kDeleteKeyRow}) {
      if (rc != kErrorSuccess) break;
      Statement s(db_, sql);
      s.Bind(1, id);
      rc = FromSqlite(s.Step());
    }
    return txn.Finish(rc);
  }

  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) {
    if (int32_t rc = registry_rules::CheckEnumKey(name, name_size); rc != kErrorSuccess) return rc;
    Transaction txn(db_, false);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeyEnumerateSubKeys) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      Statement s(db_, kChildAt);
      s.Bind(1, h.key);
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
    if (int32_t rc = registry_rules::CheckSetValue(name, data, size); rc != kErrorSuccess)
      return rc;
    const std::string_view value_name = name == nullptr ? "" : name;
    Transaction txn(db_, true);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeySetValue) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      const std::string fold = Fold(value_name);
      Statement s(db_, kSetValue);
      s.Bind(1, h.key);
      s.Bind(2, value_name);
      s.Bind(3, fold);
      s.Bind(4, static_cast<int64_t>(type));
      s.BindBlob(5, data, size);
      rc = FromSqlite(s.Step());
    }
    return txn.Finish(rc);
  }

  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
    if (int32_t rc = registry_rules::CheckQueryValue(data, size); rc != kErrorSuccess) return rc;
    Transaction txn(db_, false);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeyQueryValue) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      const std::string fold = Fold(name == nullptr ? "" : name);
      Statement s(db_, kFindValue);
      s.Bind(1, h.key);
      s.Bind(2, fold);
      const int step = s.Step();
      if (step == SQLITE_ROW) {
        rc = CopyValue(static_cast<uint32_t>(s.Int(0)), s.Blob(1), type, data, size);
      } else {
        rc = step == SQLITE_DONE ? kErrorFileNotFound : FromSqlite(step);
      }
    }
    return txn.Finish(rc);
  }

  int32_t DeleteValue(RegKey key, const char* name) {
    Transaction txn(db_, true);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeySetValue) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) {
      const std::string fold = Fold(name == nullptr ? "" : name);
      Statement s(db_, kDeleteValue);
      s.Bind(1, h.key);
      s.Bind(2, fold);
      rc = FromSqlite(s.Step());
      if (rc == kErrorSuccess && db_.Changes() == 0) rc = kErrorFileNotFound;
    }
    return txn.Finish(rc);
  }

  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                    uint8_t* data, uint32_t* data_size) {
    if (int32_t rc = registry_rules::CheckEnumValue(name, name_size, data, data_size);
        rc != kErrorSuccess) {
      return rc;
    }
    Transaction txn(db_, false);
    if (txn.status() != kErrorSuccess) return txn.status();
    Handle h;
    Mark mark;
    int32_t rc = Resolve(key, &h);
    if (rc == kErrorSuccess && (h.access & kKeyQueryValue) == 0) rc = kErrorAccessDenied;
    if (rc == kErrorSuccess) rc = db_.CurrentMark(&mark);
    if (rc != kErrorSuccess) return rc;
    // Walking the indexes in turn, as callers do, each value is found from
    // the one before instead of by counting from the first.
    const bool follows =
        cursor_.key_id == h.key && cursor_.mark == mark && cursor_.index + 1 == index && index != 0;
    Statement s(db_, follows ? kValueAfter : kValueAt);
    s.Bind(1, h.key);
    s.Bind(2, follows ? cursor_.value_id : static_cast<int64_t>(index));
    const int step = s.Step();
    if (step == SQLITE_ROW) {
      cursor_ = {h.key, index, s.Int(0), mark};
      const std::string_view value_name = s.Text(1);
      rc = value_name.size() < *name_size
               ? CopyValue(static_cast<uint32_t>(s.Int(2)), s.Blob(3), type, data, data_size)
               : kErrorMoreData;
      if (rc == kErrorSuccess) rc = CopyName(value_name, name, name_size);
    } else {
      rc = step == SQLITE_DONE ? kErrorNoMoreItems : FromSqlite(step);
    }
    return txn.Finish(rc);
  }

 private:
  // Where the last EnumValue of this process stopped.
  struct Cursor {
    int64_t key_id = 0;
    uint32_t index = 0;
    int64_t value_id = 0;
    Mark mark;
  };

  const std::string path_;
  const LeadByteTable* const lead_bytes_;
  std::mutex mutex_;
  Database db_;
  Handles handles_;
  Cursor cursor_;
  // A fork waits for the call under way; the child keeps the handles, and
  // its first call opens a connection of its own (Database::Open). Last, so
  // that it goes first.
  ForkGuard fork_guard_{&mutex_, nullptr, nullptr};
};

SqliteRegistry::SqliteRegistry(std::string path, const LeadByteTable* lead_bytes)
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

void SqliteRegistry::SetBusyTimeoutForTesting(std::chrono::milliseconds timeout) {
  if (store_ != nullptr) store_->SetBusyTimeout(timeout);
}

const std::string& SqliteRegistry::path() const {
  static const std::string none;
  return store_ == nullptr ? none : store_->path();
}

int32_t SqliteRegistry::CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) {
  return Run(true, [&] { return store_->OpenOrCreate(key, path, access, result, true); });
}

int32_t SqliteRegistry::OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) {
  return Run(true, [&] { return store_->OpenOrCreate(key, path, access, result, false); });
}

int32_t SqliteRegistry::SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                 uint32_t size) {
  return Run(true, [&] { return store_->SetValue(key, name, type, data, size); });
}

int32_t SqliteRegistry::QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                   uint32_t* size) {
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

int32_t SqliteRegistry::EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size,
                                  uint32_t* type, uint8_t* data, uint32_t* data_size) {
  return Run(true,
             [&] { return store_->EnumValue(key, index, name, name_size, type, data, data_size); });
}

int32_t SqliteRegistry::CloseKey(RegKey key) {
  return Run(false, [&] { return store_->Release(key); });
}

bool IsPredefinedKey(RegKey key) { return FindRoot(key) != nullptr; }

}  // namespace dzv::platform
