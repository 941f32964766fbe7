// The POSIX side of dzv's system seam.
#include "system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace dzv::cli {
// Where the registry lives (an XDG_CONFIG_HOME that is not an absolute path
// is not used).
std::string RegistryFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/')
    return std::string(config) + "/duduzuvez210/registry.db";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] == '/' ? home : "~") +
         "/.config/duduzuvez210/registry.db";
}

namespace {

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string_view dirs(path != nullptr ? path : "");
  while (!dirs.empty()) {
    const size_t colon = dirs.find(':');
    const std::string dir(dirs.substr(0, colon));
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    dirs = colon == dirs.npos ? std::string_view() : dirs.substr(colon + 1);
  }
  return false;
}

}  // namespace

void PrepareStandardStreams() {}

bool IsTerminal(std::FILE* stream) {
  static const bool out = isatty(STDOUT_FILENO) == 1;
  static const bool err = isatty(STDERR_FILENO) == 1;
  return stream == stderr ? err : out;
}

void WriteToTerminal(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

std::string CodePageName() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      const std::string locale = value;
      const size_t dot = locale.find('.');
      const std::string codeset = dot == std::string::npos ? locale : locale.substr(dot + 1);
      return codeset.substr(0, codeset.find('@'));
    }
  }
  return {};
}

std::string WhyClipboardRefused() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string store = runtime != nullptr && runtime[0] == '/'
                                ? std::string(runtime) + "/duduzuvez210"
                                : "/tmp/duduzuvez210-" + std::to_string(geteuid());
  return "another program holds it open, or its store " + store + " cannot be used";
}

std::string WhyNoChoice(const char* what) {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) {
    return std::string("no ") + what + " chosen: there is no desktop (DISPLAY and " +
           "WAYLAND_DISPLAY are unset)";
  }
  if (!OnPath("zenity")) {
    return std::string("no ") + what +
           " chosen: the dialog was cancelled, or there is no desktop portal and zenity is not "
           "installed";
  }
  return std::string("no ") + what + " chosen: the dialog was cancelled";
}

std::string RegistryShown() { return "the registry (" + RegistryFile() + ")"; }

// The library uses only a directory of the user's own, reached through
// directories that only root or the user can change (sticky ones aside),
// and files of the user's with one link; this says, as far as lstat and
// stat tell, which of those rules the registry's place breaks.
std::string RegistryPlaceProblem() {
  const std::string database = RegistryFile();
  const std::string dir = database.substr(0, database.rfind('/'));
  const uid_t self = geteuid();
  struct stat st;
  for (size_t slash = 0; slash < dir.size(); ++slash) {
    slash = std::min(dir.find('/', slash + 1), dir.size());
    const std::string above = dir.substr(0, slash);
    if (lstat(above.c_str(), &st) != 0) return "";
    if (S_ISLNK(st.st_mode) && st.st_uid != 0 && st.st_uid != self) {
      return above + " is a symbolic link of another user's";
    }
    if (stat(above.c_str(), &st) != 0) return "";
    if (st.st_uid != 0 && st.st_uid != self) return above + " belongs to another user";
    if ((st.st_mode & 022) != 0 && (st.st_mode & S_ISVTX) == 0) {
      return above + " may be written by other users";
    }
  }
  if (stat(dir.c_str(), &st) != 0) return "";
  if (!S_ISDIR(st.st_mode)) return dir + " is not a directory";
  if (st.st_uid != self) return dir + " belongs to another user";
  if ((st.st_mode & 022) != 0) return dir + " may be written by other users than its owner";
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const std::string file = database + suffix;
    if (lstat(file.c_str(), &st) != 0) continue;
    if (S_ISLNK(st.st_mode)) return file + " is a symbolic link";
    if (!S_ISREG(st.st_mode)) return file + " is not a regular file";
    if (st.st_uid != self) return file + " belongs to another user";
    if (st.st_nlink != 1) return file + " has another hard link";
  }
  return "";
}

// Whether another process holds a write lock on the registry: on the
// database file (a connection in exclusive locking mode, or one writing
// outside WAL mode) or on the WAL index's write lock, byte 120 of the
// "-shm" file (a write transaction). The library reports such a wait that
// ran out only as 0; dzv reads /proc/locks, which opens and locks nothing
// of the registry (closing a descriptor of it would drop the library's own
// locks). Files are matched by inode number alone, since the device that
// /proc/locks names need not be the one stat gives (btrfs, overlayfs).
std::string RegistryLockedMessage() {
  const std::string database = RegistryFile();
  struct stat db, shm;
  if (stat(database.c_str(), &db) != 0) return "";
  const bool have_shm = stat((database + "-shm").c_str(), &shm) == 0;
  constexpr unsigned long long kWalWriteLock = 120;
  std::ifstream locks("/proc/locks");
  const long long self = getpid();
  for (std::string line; std::getline(locks, line);) {
    // "1: POSIX  ADVISORY  WRITE 14742 fe:00:10952922 120 120"; a waiter's
    // line has "->" after the number.
    std::istringstream fields(line);
    std::string number, kind, mode, access, file, end;
    long long pid = 0;
    unsigned long long start = 0;
    fields >> number >> kind;
    if (kind == "->") continue;
    if (!(fields >> mode >> access >> pid >> file >> start >> end)) continue;
    if (access != "WRITE" || pid == self) continue;
    const unsigned long long inode =
        std::strtoull(file.substr(file.rfind(':') + 1).c_str(), nullptr, 10);
    if (inode == db.st_ino ||
        (have_shm && inode == shm.st_ino && start <= kWalWriteLock &&
         (end == "EOF" || std::strtoull(end.c_str(), nullptr, 10) >= kWalWriteLock))) {
      return RegistryShown() +
             " is locked by another process; the call waited 10 s for it. Try again when that "
             "process is done";
    }
  }
  return "";
}

std::string WhyKeyUnwritable(DZV_HKEY, const std::string&) { return ""; }

}  // namespace dzv::cli
