#include "archive_lock.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "cli.h"
#include "file_checks.h"
#include "path_walk.h"

namespace dzv::cli {

ArchiveLock::ArchiveLock(const std::string& path) {
  // The directory is resolved once, by the library's rule, and held: the
  // lock file is made in the directory that was checked, and nowhere when
  // the library would refuse the path.
  const WalkedPath walked(path);
  if (!walked.refusal().empty()) {
    throw Failure(path + ": " + walked.refusal() + "; the archive is left as it is");
  }
  if (const std::string why = WhyNotAnOutput(path); !why.empty()) {
    throw Failure(path + ": " + why + "; dzv saves archives only as regular files");
  }
  if (walked.directory() < 0) return;  // nothing to lock: the save says why
  const int directory = walked.directory();
  const std::string lock_name = LockNameOf(walked.name(), NAME_MAX);
  const std::string shown = walked.DirectoryShown();
  file_ = shown + (shown.back() == '/' ? "" : "/") + lock_name;
  // The bits of the archive, the owner's read and write always among them;
  // for a new archive those it will be given (0666 less the umask).
  struct stat facts;
  const bool exists = fstatat(directory, walked.name().c_str(), &facts, AT_SYMLINK_NOFOLLOW) == 0;
  const mode_t mode = exists ? 0600 | (facts.st_mode & 0066) : 0666;
  // Never through a link, never waiting on a FIFO, never truncated.
  constexpr int kFlags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  int error = 0;
  bool directory_missing = false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    fd_ = openat(directory, lock_name.c_str(), kFlags | O_CREAT | O_EXCL, mode);
    if (fd_ >= 0) {
      if (exists) fchmod(fd_, mode);  // the umask already shaped the archive's bits
      break;
    }
    error = errno;
    directory_missing = error == ENOENT;
    if (error != EEXIST) break;
    fd_ = openat(directory, lock_name.c_str(), kFlags);
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
