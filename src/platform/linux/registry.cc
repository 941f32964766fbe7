// The process's registry on Linux: the user's SQLite registry, located when
// the first registry call is made and closed when the library is unloaded.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/linux/registry_store.h"

namespace dzv::platform {
namespace {

SqliteRegistry* default_registry = nullptr;

// The home directory from the password database, for a process without HOME.
std::string HomeFromPasswordDatabase() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr) {
    return std::string();
  }
  return found->pw_dir;
}

// Closes the database when the library is unloaded (or the process exits),
// so that nothing of SQLite's stays behind; later calls fail.
struct CloseAtUnload {
  ~CloseAtUnload() {
    if (default_registry != nullptr) default_registry->Close(/*for_good=*/true);
  }
} close_at_unload;

}  // namespace

std::string RegistryDatabasePath(const char* xdg_config_home, const char* home) {
  std::string base;
  if (xdg_config_home != nullptr && xdg_config_home[0] == '/') {
    base = xdg_config_home;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.config";
  } else {
    return std::string();
  }
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/duduzuvez210/registry.db";
}

Registry& Registry::Default() {
  static NoDestructor<SqliteRegistry> instance(
      [] {
        const char* home = std::getenv("HOME");
        std::string from_passwd;
        if (home == nullptr || home[0] != '/') {
          from_passwd = HomeFromPasswordDatabase();
          home = from_passwd.c_str();
        }
        return RegistryDatabasePath(std::getenv("XDG_CONFIG_HOME"), home);
      }(),
      &ProcessLeadBytes());
  default_registry = instance.get();
  return *instance.get();
}

}  // namespace dzv::platform
