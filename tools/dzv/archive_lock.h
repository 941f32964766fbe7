// An exclusive advisory lock held by a command that reads an archive,
// changes it and saves it again, so that two such commands on one archive
// never lose each other's change.
//
// The library saves by writing a new file and renaming it over the old one,
// so the archive's own file does not last from one save to the next: the
// lock is taken on a lock file beside the file that the save writes
// (flock(2) on Linux, LockFileEx on Windows),
// ".NAME.lock" in the directory of the archive after links are followed
// (a name too long for that suffix is shortened and given a hash). The lock
// file is made when missing, with the read and write bits of the archive
// and always the owner's (for a new archive 0666 less the umask, as the
// archive will get), so that whoever may change the archive may lock it. It
// is opened for writing, which keeps those who may only read the archive
// from holding its lock, but never written, truncated or removed. A link,
// or anything but a regular file, at the lock file's place is refused.
#ifndef DZV_TOOLS_DZV_ARCHIVE_LOCK_H_
#define DZV_TOOLS_DZV_ARCHIVE_LOCK_H_

#include <chrono>
#include <cstddef>
#include <string>

namespace dzv::cli {

// How long a command waits for another holder of the lock.
constexpr auto kLockWait = std::chrono::seconds(5);

// ".NAME.lock" for the file NAME; a name too long for that (over
// longest_name bytes) keeps its first bytes and a hash of the whole name.
std::string LockNameOf(const std::string& name, size_t longest_name);

class ArchiveLock {
 public:
  // Locks the archive at path, waiting up to a few seconds for another
  // holder. Throws Failure, naming the file, when path exists and is not a
  // regular file, when the lock file cannot be made or opened, and when the
  // wait ends without the lock. Where the archive's directory does not exist
  // there is nothing to lock; the save then fails and says why.
  explicit ArchiveLock(const std::string& path);
  ~ArchiveLock();  // releases the lock
  ArchiveLock(const ArchiveLock&) = delete;
  ArchiveLock& operator=(const ArchiveLock&) = delete;

  // The lock file's path, empty when nothing was locked.
  const std::string& file() const { return file_; }

 private:
  std::string file_;
#ifdef _WIN32
  void* handle_ = nullptr;  // the lock file's, while locked
#else
  int fd_ = -1;
#endif
};

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_ARCHIVE_LOCK_H_
