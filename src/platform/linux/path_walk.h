// Resolving a path to a held directory and a final name, one component at a
// time, the way the kernel resolves it, but with the decision at each link
// taken here: a link that another user planted in a sticky directory open to
// all is not followed, wherever on the path it stands, and a link that
// stands for a deleted file (/proc/self/fd/N) is not followed at all. What
// the caller does next it does through the held directory, so that no one
// can redirect it by renaming a directory or swapping one for a link.
#ifndef DZV_PLATFORM_LINUX_PATH_WALK_H_
#define DZV_PLATFORM_LINUX_PATH_WALK_H_

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "platform/files.h"

namespace dzv::platform {

// The one place where an errno becomes a file status.
FileStatus StatusOf(int error);

// Owns a descriptor; closes it when destroyed.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  ~UniqueFd();
  int get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

// Whether a file owned by `owner` in the directory described by `dir` may
// have been put there by another user to catch this process out: the
// directory is sticky and anyone may write to it, and the file belongs
// neither to this process's user nor to the directory's owner. The rule of
// the kernel's fs.protected_symlinks (for links) and fs.protected_regular
// (for files opened to be written), applied whatever the sysctls say.
bool PlantedByAnother(const struct stat& dir, uid_t owner);

struct WalkedPath {
  UniqueFd dir;               // the directory that holds `name` (O_PATH)
  struct stat dir_stat;       // what fstat said of it
  std::string name;           // the final component: never empty, ".", ".." or a link
  bool exists = false;        // whether `name` exists in `dir`
  struct stat stat;           // what it is, when it exists (not followed)
  bool through_link = false;  // the last component of the path was a link
};

// Resolves `path` (relative to the current directory unless absolute). Each
// directory is opened with O_PATH|O_NOFOLLOW and checked with fstat; each
// link is read and its target walked in its place, at most 40 links in all
// (kError beyond). kNotPermitted for a planted link; kNotAFile where the path
// ends in a directory or names a deleted file through /proc; kNotFound for a
// missing directory (a missing final name is no failure).
FileStatus WalkPath(const std::string& path, WalkedPath* out);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_PATH_WALK_H_
