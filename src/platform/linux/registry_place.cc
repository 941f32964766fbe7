#include "platform/linux/registry_place.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <string_view>
#include <vector>

namespace dzv::platform::registry_db {
namespace {

// Links followed in one resolution, as the kernel's own limit.
constexpr int kMaxLinks = 40;

// SQLite's files beside the database.
constexpr const char* kCompanions[] = {"-wal", "-shm", "-journal"};

// A descriptor, closed at the end of its scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool OfRootOrUser(const struct stat& st) { return st.st_uid == 0 || st.st_uid == geteuid(); }

// A directory above the database's: nobody but root and the user can
// change its entries (sticky: nobody else can rename or replace theirs).
bool TrustedAbove(const struct stat& st) {
  return S_ISDIR(st.st_mode) && OfRootOrUser(st) &&
         ((st.st_mode & 022) == 0 || (st.st_mode & S_ISVTX) != 0);
}

// A regular file of the user's, with no other name that could reach it.
bool OwnFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1;
}

// Puts the components of `path` in front of `pending`, in order.
void PushComponents(std::string_view path, std::deque<std::string>* pending) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) pending->push_front(std::move(*it));
}

struct Level {
  Fd fd;
  std::string name;
};

// Resolves the directory `dir` (absolute) as the header says, making the
// missing directories; the levels from "/" down to it.
bool ResolveDirectory(std::string_view dir, std::vector<Level>* levels) {
  struct stat st;
  Fd root(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (root.get() < 0 || fstat(root.get(), &st) != 0 || !TrustedAbove(st)) return false;
  levels->push_back({std::move(root), ""});
  std::deque<std::string> pending;
  PushComponents(dir, &pending);
  int links = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.front());
    pending.pop_front();
    if (name == ".") continue;
    if (name == "..") {
      if (levels->size() > 1) levels->pop_back();
      continue;
    }
    const int parent = levels->back().fd.get();
    if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return false;
      if (mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST) return false;
    } else if (S_ISLNK(st.st_mode)) {
      // The link sits in a directory that only root and the user can change;
      // it must be theirs too (a sticky directory holds others' entries).
      if (!OfRootOrUser(st) || ++links > kMaxLinks) return false;
      char target[PATH_MAX];
      const ssize_t n = readlinkat(parent, name.c_str(), target, sizeof target);
      if (n <= 0 || static_cast<size_t>(n) >= sizeof target) return false;
      const std::string_view to(target, static_cast<size_t>(n));
      if (to.front() == '/') levels->resize(1);
      PushComponents(to, &pending);
      continue;
    }
    Fd fd(openat(parent, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !TrustedAbove(st)) return false;
    levels->push_back({std::move(fd), name});
  }
  return true;
}

}  // namespace

bool PrepareDatabasePlace(const std::string& path, std::string* resolved) {
  const size_t slash = path.find_last_of('/');
  if (path.empty() || path[0] != '/' || slash == path.size() - 1) return false;
  const std::string name = path.substr(slash + 1);
  if (name == "." || name == "..") return false;
  std::vector<Level> levels;
  if (!ResolveDirectory(std::string_view(path).substr(0, slash), &levels)) return false;

  // The database's own directory: the user's, writable by no one else.
  const int dir = levels.back().fd.get();
  struct stat st;
  if (fstat(dir, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 022) != 0) return false;

  // The file, made when missing; O_NONBLOCK so that a FIFO never holds the
  // call (it is refused below).
  Fd file(openat(dir, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (file.get() < 0 || fstat(file.get(), &st) != 0 || !OwnFile(st)) return false;
  for (const char* suffix : kCompanions) {
    if (fstatat(dir, (name + suffix).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (!OwnFile(st)) return false;
    } else if (errno != ENOENT) {
      return false;
    }
  }

  resolved->clear();
  for (size_t i = 1; i < levels.size(); ++i) *resolved += "/" + levels[i].name;
  *resolved += "/" + name;
  return true;
}

}  // namespace dzv::platform::registry_db
