// The Linux registry: the key tree and its values kept in one SQLite
// database file per user, shared by every process of that user.
//
// The database is opened on the first call that needs it, in WAL mode with
// full synchronisation, so that several processes read and write at once and
// nothing a call reported as done is lost when a process or the machine
// stops. Every call is one transaction; a writer waits for another process's
// write to end (up to a timeout, then kErrorBusy). A database that cannot be
// opened, or is damaged, makes the calls fail with a code; nothing throws.
//
// Handles name keys by their id in the database, never by path, so a handle
// keeps naming its key while other keys come and go; once the key is
// deleted, by this process or another, the handle gives kErrorKeyDeleted
// until it is closed. Key ids are never reused.
//
// Thread-safety: calls are serialised by a mutex of the instance. A fork()
// waits for a call under way in another thread; the child keeps the handles
// and uses a connection of its own.
#ifndef DZV_PLATFORM_LINUX_REGISTRY_STORE_H_
#define DZV_PLATFORM_LINUX_REGISTRY_STORE_H_

#include <chrono>
#include <memory>
#include <string>

#include "platform/code_page.h"
#include "platform/registry.h"

namespace dzv::platform {

class SqliteRegistry final : public Registry {
 public:
  // A registry in the database file at `path`, created on first use (mode
  // 0600, with missing directories above it made with mode 0700), and used
  // only where the directory and the files are the user's own (see
  // registry_place.h; elsewhere every call fails with kErrorCantOpen). Names are
  // divided into characters by `lead_bytes`, which must outlive the
  // instance: the second byte of a double-byte character is never folded to
  // upper case. A null table means single-byte characters.
  SqliteRegistry(std::string path, const LeadByteTable* lead_bytes);
  // Closes the database; every handle is released.
  ~SqliteRegistry() override;
  SqliteRegistry(const SqliteRegistry&) = delete;
  SqliteRegistry& operator=(const SqliteRegistry&) = delete;

  int32_t CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) override;
  int32_t OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) override;
  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) override;
  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override;
  int32_t DeleteValue(RegKey key, const char* name) override;
  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) override;
  int32_t DeleteKey(RegKey key, const char* path) override;
  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                    uint8_t* data, uint32_t* data_size) override;
  int32_t CloseKey(RegKey key) override;

  // Closes the database and releases every handle. Later calls open the
  // database again, unless `for_good`: then everything the instance holds is
  // freed and later calls fail with kErrorCantOpen.
  // REQUIRES: when `for_good`, no other call is under way.
  void Close(bool for_good);

  // How long a call waits for another process's transaction before it fails
  // with kErrorBusy (ten seconds unless changed); for tests, which cannot
  // wait that long for every case.
  void SetBusyTimeoutForTesting(std::chrono::milliseconds timeout);

  // The database file; empty after Close(true).
  const std::string& path() const;

 private:
  class Store;
  template <class Body>
  int32_t Run(bool needs_database, Body&& body);

  std::unique_ptr<Store> store_;
};

// Where the user's registry lives: $XDG_CONFIG_HOME/duduzuvez210/registry.db,
// or $HOME/.config/duduzuvez210/registry.db when XDG_CONFIG_HOME is unset,
// empty or not an absolute path. Empty when neither gives a place.
std::string RegistryDatabasePath(const char* xdg_config_home, const char* home);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_REGISTRY_STORE_H_
