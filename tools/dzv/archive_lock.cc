#include "archive_lock.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "cli.h"
#include "file_checks.h"

namespace dzv::cli {
namespace {

// How long a command waits for another holder of the lock.
constexpr auto kLockWait = std::chrono::seconds(5);
// The longest name of a directory entry.
constexpr size_t kLongestName = NAME_MAX;

// The file that a save of path writes: the links followed, the directory's
// own links resolved; empty when its directory does not exist.
std::string SavedFile(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t length = readlink(current.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) break;
    const std::string next(target, static_cast<size_t>(length));
    current = next[0] == '/' ? next : DirectoryOf(current) + "/" + next;
  }
  const size_t slash = current.rfind('/');
  const std::string name = slash == std::string::npos ? current : current.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return {};
  char* directory = realpath(DirectoryOf(current).c_str(), nullptr);
  if (directory == nullptr) return {};
  std::string saved = std::string(directory) + (directory[1] == '\0' ? "" : "/") + name;
  std::free(directory);
  return saved;
}

// ".NAME.lock" beside the file; a name too long for that keeps its first
// bytes and a hash of the whole name.
std::string LockFileOf(const std::string& saved) {
  const size_t slash = saved.rfind('/');
  const std::string name = saved.substr(slash + 1);
  std::string lock_name = "." + name + ".lock";
  if (lock_name.size() > kLongestName) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : name) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char hex[17];
    for (int i = 15; i >= 0; --i, hash >>= 4) hex[i] = "0123456789abcdef"[hash & 0xF];
    hex[16] = '\0';
    lock_name = "." + name.substr(0, kLongestName - 23) + "~" + hex + ".lock";
  }
  return saved.substr(0, slash + 1) + lock_name;
}

}  // namespace

ArchiveLock::ArchiveLock(const std::string& path) {
  if (const std::string why = WhyNotAnOutput(path); !why.empty()) {
    throw Failure(path + ": " + why + "; dzv saves archives only as regular files");
  }
  const std::string saved = SavedFile(path);
  if (saved.empty()) return;
  file_ = LockFileOf(saved);
  // The bits of the archive, the owner's read and write always among them;
  // for a new archive those it will be given (0666 less the umask).
  struct stat facts;
  const bool exists = stat(saved.c_str(), &facts) == 0;
  const mode_t mode = exists ? 0600 | (facts.st_mode & 0066) : 0666;
  // Never through a link, never waiting on a FIFO, never truncated.
  constexpr int kFlags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  int error = 0;
  bool directory_missing = false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    fd_ = open(file_.c_str(), kFlags | O_CREAT | O_EXCL, mode);
    if (fd_ >= 0) {
      if (exists) fchmod(fd_, mode);  // the umask already shaped the archive's bits
      break;
    }
    error = errno;
    directory_missing = error == ENOENT;
    if (error != EEXIST) break;
    fd_ = open(file_.c_str(), kFlags);
    if (fd_ >= 0) break;
    error = errno;
    if (error != ENOENT) break;  // else removed meanwhile: make it again
  }
  if (fd_ < 0) {
    if (directory_missing) {  // the directory went away: the save will say so
      file_.clear();
      return;
    }
    throw Failure(file_ + ": the lock file of " + path + " cannot be " +
                  (error == ELOOP ? std::string("used: it is a symbolic link, which dzv does not "
                                                "follow")
                                  : "opened: " + std::string(std::strerror(error))) +
                  "; the archive is left as it is");
  }
  struct stat lock_facts;
  if (fstat(fd_, &lock_facts) != 0 || !S_ISREG(lock_facts.st_mode)) {
    close(fd_);
    fd_ = -1;
    throw Failure(file_ + ": the lock file of " + path +
                  " is not a regular file; the archive is left as it is");
  }
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  auto pause = std::chrono::milliseconds(5);
  while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      close(fd_);
      fd_ = -1;
      throw Failure(file_ + ": " +
                    (error == EWOULDBLOCK
                         ? "another process has held the lock of " + path + " for " +
                               std::to_string(kLockWait.count()) + " s"
                         : "cannot lock it: " + std::string(std::strerror(error))) +
                    "; the archive is left as it is");
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

ArchiveLock::~ArchiveLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace dzv::cli
