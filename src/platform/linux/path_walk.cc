#include "platform/linux/path_walk.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <new>
#include <string>
#include <vector>

namespace dzv::platform {

FileStatus StatusOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileStatus::kNotFound;
    case EACCES:
    case EROFS:
      return FileStatus::kDenied;
    case EPERM:
      return FileStatus::kNotPermitted;
    case ENOTSUP:
#if EOPNOTSUPP != ENOTSUP
    case EOPNOTSUPP:
#endif
      return FileStatus::kUnsupported;
    case ENAMETOOLONG:
      return FileStatus::kNameTooLong;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileStatus::kNoSpace;
    case EISDIR:
    case ENXIO:
    case ENODEV:
      return FileStatus::kNotAFile;
    default:
      return FileStatus::kError;
  }
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

bool PlantedByAnother(const struct stat& dir, uid_t owner) {
  return (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0 && owner != ::geteuid() &&
         owner != dir.st_uid;
}

namespace {

constexpr long kProcSuperMagic = 0x9fa0;
// As many links as the kernel itself follows before giving up (ELOOP).
constexpr int kMaxLinks = 40;

int OpenPath(int dir, const char* name, int extra) {
  int fd;
  do {
    fd = ::openat(dir, name, O_PATH | O_NOFOLLOW | O_CLOEXEC | extra);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Pushes the components of `path` onto `pending` so that the first is
// taken first (the back of the vector). A path that ends in a slash names a
// directory: "." stands last for it.
void PushComponents(const std::string& path, std::vector<std::string>* pending) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < path.size()) {
    const size_t slash = path.find('/', at);
    const size_t end = slash == std::string::npos ? path.size() : slash;
    if (end > at) {
      std::string part = path.substr(at, end - at);
      if (part != "." || end == path.size()) parts.push_back(std::move(part));
    }
    at = end + 1;
  }
  if (!path.empty() && path.back() == '/') parts.emplace_back(".");
  pending->insert(pending->end(), parts.rbegin(), parts.rend());
}

// The target of the link open as `link`.
FileStatus ReadLink(int link, const struct stat& st, std::string* target) {
  target->assign(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
  for (;;) {
    const ssize_t n = ::readlinkat(link, "", target->data(), target->size());
    if (n < 0) return StatusOf(errno);
    if (static_cast<size_t>(n) < target->size()) {
      target->resize(static_cast<size_t>(n));
      return target->empty() ? FileStatus::kNotFound : FileStatus::kOk;
    }
    target->resize(target->size() * 2);  // the link grew meanwhile
  }
}

// Whether the link `name` in the proc file system directory `dir` stands
// for an object that no path reaches any more: a deleted file, a pipe, a
// socket. Its text ("/tmp/a (deleted)", "pipe:[123]") must not be taken
// for a name.
bool IsDeadMagicLink(int dir, const char* name, const std::string& text) {
  if (text[0] != '/') return text.find(":[") != std::string::npos;
  int fd;
  do {
    fd = ::openat(dir, name, O_PATH | O_CLOEXEC);  // the object itself
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;  // walked by its text, as any link
  struct stat st;
  const bool dead = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode) && st.st_nlink == 0;
  ::close(fd);
  return dead;
}

FileStatus Walk(const std::string& path, WalkedPath* out) {
  if (path.empty()) return FileStatus::kNotFound;
  std::vector<std::string> pending;
  PushComponents(path, &pending);
  UniqueFd dir(OpenPath(AT_FDCWD, path[0] == '/' ? "/" : ".", O_DIRECTORY));
  if (dir.get() < 0) return StatusOf(errno);
  struct stat dir_stat;
  if (::fstat(dir.get(), &dir_stat) != 0) return StatusOf(errno);
  int links = 0;
  bool last_was_link = false;
  // The walk ends at `name` in the directory held now.
  const auto finish = [&](const std::string& name, const struct stat* st) {
    out->exists = st != nullptr;
    if (st != nullptr) out->stat = *st;
    out->name = name;
    out->through_link = last_was_link;
    out->dir = std::move(dir);
    out->dir_stat = dir_stat;
    return FileStatus::kOk;
  };
  if (pending.empty()) return FileStatus::kNotAFile;  // "/"
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    const bool last = pending.empty();
    if (last && (name == "." || name == "..")) return FileStatus::kNotAFile;
    UniqueFd fd(OpenPath(dir.get(), name.c_str(), 0));
    if (fd.get() < 0) {
      if (last && errno == ENOENT) return finish(name, nullptr);
      return StatusOf(errno);
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return StatusOf(errno);
    if (S_ISLNK(st.st_mode)) {
      if (++links > kMaxLinks) return FileStatus::kError;
      if (PlantedByAnother(dir_stat, st.st_uid)) return FileStatus::kNotPermitted;
      std::string target;
      if (FileStatus s = ReadLink(fd.get(), st, &target); s != FileStatus::kOk) return s;
      struct statfs fs;
      if (::fstatfs(dir.get(), &fs) == 0 && static_cast<long>(fs.f_type) == kProcSuperMagic &&
          IsDeadMagicLink(dir.get(), name.c_str(), target)) {
        return FileStatus::kNotAFile;
      }
      if (last) last_was_link = true;
      PushComponents(target, &pending);
      if (target[0] == '/') {
        dir = UniqueFd(OpenPath(AT_FDCWD, "/", O_DIRECTORY));
        if (dir.get() < 0 || ::fstat(dir.get(), &dir_stat) != 0) return StatusOf(errno);
      }
      if (pending.empty()) return FileStatus::kNotAFile;  // a link to "/"
      continue;
    }
    if (last) return finish(name, &st);
    if (!S_ISDIR(st.st_mode)) return FileStatus::kNotFound;
    dir = std::move(fd);
    dir_stat = st;
  }
  return FileStatus::kNotAFile;
}

}  // namespace

FileStatus WalkPath(const std::string& path, WalkedPath* out) {
  try {
    return Walk(path, out);
  } catch (const std::bad_alloc&) {
    return FileStatus::kError;
  }
}

}  // namespace dzv::platform
