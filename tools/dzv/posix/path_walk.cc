#include "path_walk.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace dzv::cli {
namespace {

constexpr int kMostLinks = 40;            // as the kernel's own walk
constexpr long kProcFileSystem = 0x9fa0;  // PROC_SUPER_MAGIC

// A descriptor closed on every path out.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::string Join(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// The components of path, last first (so that the next one is back()).
void PushComponents(const std::string& path, std::vector<std::string>* todo) {
  size_t end = path.size();
  while (end > 0) {
    const size_t slash = path.rfind('/', end - 1);
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    todo->push_back(path.substr(start, end - start));
    if (slash == std::string::npos) break;
    end = slash;
  }
}

// The kernel's protected_symlinks rule: a link in a sticky directory that
// others may write is followed only when it is the effective user's or the
// directory owner's.
bool PlantedLink(const struct stat& directory, const struct stat& link) {
  return (directory.st_mode & S_ISVTX) != 0 && (directory.st_mode & S_IWOTH) != 0 &&
         link.st_uid != geteuid() && link.st_uid != directory.st_uid;
}

}  // namespace

WalkedPath::WalkedPath(const std::string& path) {
  if (path.empty()) return;
  const bool absolute = path[0] == '/';
  Fd here(open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  spelt_ = absolute ? "/" : "";
  if (here.get() < 0) {
    refusal_ = std::strerror(errno);
    return;
  }
  std::vector<std::string> todo;
  PushComponents(path, &todo);
  int links = 0;
  while (!todo.empty()) {
    const std::string component = std::move(todo.back());
    todo.pop_back();
    const bool last = todo.empty();
    if (component.empty() || component == ".") {
      if (last) return;  // the path ends in a directory
      continue;
    }
    if (component == "..") {
      if (last) return;
      here.Reset(openat(here.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (here.get() < 0) {
        refusal_ = "'" + Join(spelt_, "..") + "': " + std::strerror(errno);
        return;
      }
      spelt_ = Join(spelt_, "..");
      continue;
    }
    const std::string spelt = Join(spelt_, component);
    Fd next(openat(here.get(), component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (next.get() < 0) {
      const int error = errno;
      if (error == ENOENT && last) {  // a new file
        Hold(here.Release(), component);
        return;
      }
      if (error != ENOENT) refusal_ = "'" + spelt + "': " + std::strerror(error);
      return;  // a directory on the way is missing: the save will say so
    }
    struct stat facts;
    if (fstat(next.get(), &facts) != 0) {
      refusal_ = "'" + spelt + "': " + std::strerror(errno);
      return;
    }
    if (S_ISLNK(facts.st_mode)) {
      struct stat directory;
      if (fstat(here.get(), &directory) != 0) {
        refusal_ = "'" + spelt_ + "': " + std::strerror(errno);
        return;
      }
      if (PlantedLink(directory, facts)) {
        refusal_ = "'" + spelt + "' is a link planted by another user (uid " +
                   std::to_string(facts.st_uid) + ") in the sticky, world-writable directory '" +
                   (spelt_.empty() ? "." : spelt_) + "'; such a link is never followed";
        return;
      }
      if (++links > kMostLinks) {
        refusal_ = "'" + path + "': too many levels of symbolic links";
        return;
      }
      char target[PATH_MAX];
      const ssize_t length = readlinkat(next.get(), "", target, sizeof target);
      if (length <= 0 || static_cast<size_t>(length) >= sizeof target) {
        refusal_ = "'" + spelt + "': the link cannot be read";
        return;
      }
      const std::string text(target, static_cast<size_t>(length));
      struct statfs system;
      if (fstatfs(here.get(), &system) == 0 && system.f_type == kProcFileSystem) {
        // A link of /proc (/proc/self/fd/3) stands for an open file, not
        // for its name: follow it only to a file that still has a name.
        struct stat opened;
        const Fd file(openat(here.get(), component.c_str(), O_PATH | O_CLOEXEC));
        if (text[0] != '/' || file.get() < 0 || fstat(file.get(), &opened) != 0) {
          refusal_ = "'" + spelt + "' stands for '" + text + "', which is no file in a directory";
          return;
        }
        if (opened.st_nlink == 0) {
          refusal_ = "'" + spelt + "' stands for a file that was deleted";
          return;
        }
      }
      PushComponents(text, &todo);
      if (text[0] == '/') {
        here.Reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        spelt_ = "/";
        if (here.get() < 0) {
          refusal_ = std::strerror(errno);
          return;
        }
      }
      continue;
    }
    if (last) {
      Hold(here.Release(), component);
      return;
    }
    if (!S_ISDIR(facts.st_mode)) {
      refusal_ = "'" + spelt + "' is not a directory";
      return;
    }
    here.Reset(next.Release());
    spelt_ = spelt;
  }
}

void WalkedPath::Hold(int directory, const std::string& name) {
  directory_ = directory;
  name_ = name;
}

WalkedPath::~WalkedPath() {
  if (directory_ >= 0) close(directory_);
}

std::string WalkedPath::DirectoryShown() const {
  if (directory_ >= 0) {
    char real[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(directory_);
    const ssize_t length = readlink(link.c_str(), real, sizeof real);
    if (length > 0 && static_cast<size_t>(length) < sizeof real && real[0] == '/') {
      return std::string(real, static_cast<size_t>(length));
    }
  }
  return spelt_.empty() ? "." : spelt_;
}

}  // namespace dzv::cli
