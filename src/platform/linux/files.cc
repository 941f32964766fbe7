// POSIX backend of the file service.
#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace dzv::platform {
namespace {

// The one place where an errno becomes a status.
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
    default:
      return FileStatus::kError;
  }
}

// Each system call moves at most this much, well inside every kernel's limit.
constexpr size_t kMaxTransfer = size_t{1} << 30;

// Syncs the directory that holds `path`, so that a rename into it survives
// a crash of the machine as the file's own sync made its bytes survive. Only
// a best effort: the rename has happened either way, and some file systems
// refuse to sync a directory.
void SyncDirectoryOf(const std::string& path) noexcept {
  // Nothing is allocated here: the name is cut in a buffer of the stack.
  char directory[PATH_MAX];
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    std::memcpy(directory, ".", 2);
  } else {
    const size_t length = slash == 0 ? 1 : slash;
    if (length >= sizeof directory) return;
    std::memcpy(directory, path.data(), length);
    directory[length] = '\0';
  }
  const int fd = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// The directory part of `path`: "." for a bare name, "/" for a name in the
// root.
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether a file owned by `owner` in the directory `dir` may have been put
// there by another user to catch this process out: the directory is sticky
// and anyone may write to it, and the file belongs neither to this
// process's user nor to the directory's owner. This is the rule of the
// kernel's fs.protected_symlinks (for links) and fs.protected_regular (for
// files opened to be created).
bool PlantedByAnother(const struct stat& dir, uid_t owner) {
  return (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0 && owner != ::geteuid() &&
         owner != dir.st_uid;
}

// The process's file mode creation mask, read without changing it where
// the kernel tells it (Linux 4.7 and later); otherwise set and restored,
// which another thread creating a file at that instant could notice.
mode_t ProcessUmask() {
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask & 0777);
  }
  const mode_t mask = ::umask(077);
  ::umask(mask);
  return mask;
}

// The names of the extended attributes of the file at `path` (fd < 0) or
// of the open file `fd`.
FileStatus ListAttributes(const char* path, int fd, std::vector<std::string>* names) {
  std::vector<char> buffer;
  for (;;) {
    const ssize_t size = fd >= 0 ? ::flistxattr(fd, nullptr, 0) : ::listxattr(path, nullptr, 0);
    if (size < 0) {
      if (errno == ENOTSUP || errno == EOPNOTSUPP) return FileStatus::kOk;  // none
      return StatusOf(errno);
    }
    buffer.resize(static_cast<size_t>(size) + 1);
    const ssize_t got = fd >= 0 ? ::flistxattr(fd, buffer.data(), buffer.size())
                                : ::listxattr(path, buffer.data(), buffer.size());
    if (got < 0 && errno == ERANGE) continue;  // more names meanwhile
    if (got < 0) return StatusOf(errno);
    for (size_t at = 0; at < static_cast<size_t>(got);) {
      const size_t length = ::strnlen(buffer.data() + at, static_cast<size_t>(got) - at);
      if (length != 0) names->emplace_back(buffer.data() + at, length);
      at += length + 1;
    }
    return FileStatus::kOk;
  }
}

// The value of the extended attribute `name`, of the file at `path` (fd < 0)
// or of the open file `fd`.
FileStatus ReadAttribute(const char* path, int fd, const std::string& name, std::string* value) {
  for (;;) {
    const ssize_t size = fd >= 0 ? ::fgetxattr(fd, name.c_str(), nullptr, 0)
                                 : ::getxattr(path, name.c_str(), nullptr, 0);
    if (size < 0) return errno == ENODATA ? FileStatus::kNotFound : StatusOf(errno);
    value->resize(static_cast<size_t>(size) + 1);
    const ssize_t got = fd >= 0 ? ::fgetxattr(fd, name.c_str(), value->data(), value->size())
                                : ::getxattr(path, name.c_str(), value->data(), value->size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return StatusOf(errno);
    value->resize(static_cast<size_t>(got));
    return FileStatus::kOk;
  }
}

// The permission bits that a file created with mode 0666 in `dir` gets: the
// process's mask applies, unless the directory has a default access
// control list, which then gives the owner's, the mask's (or the group's)
// and the others' permissions, each at most read and write.
mode_t NewFilePermissions(const std::string& dir) {
  std::string acl;
  if (ReadAttribute(dir.c_str(), -1, "system.posix_acl_default", &acl) != FileStatus::kOk ||
      acl.size() < 4) {
    return 0666 & ~ProcessUmask();
  }
  // A version word, then entries of a tag, the permissions and an id.
  unsigned owner = 0, group = 0, mask = 0, other = 0;
  bool has_mask = false;
  for (size_t at = 4; at + 8 <= acl.size(); at += 8) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(acl[at + i]); };
    const unsigned tag = byte(0) | byte(1) << 8;
    const unsigned permissions = (byte(2) | byte(3) << 8) & 7;
    if (tag == 0x01) owner = permissions;
    if (tag == 0x04) group = permissions;
    if (tag == 0x10) mask = permissions, has_mask = true;
    if (tag == 0x20) other = permissions;
  }
  return static_cast<mode_t>((owner & 6) << 6 | ((has_mask ? mask : group) & 6) << 3 | (other & 6));
}

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  FileStatus Read(void* buffer, size_t n, size_t* got) override {
    *got = 0;
    char* p = static_cast<char*>(buffer);
    while (*got < n) {
      const size_t ask = n - *got < kMaxTransfer ? n - *got : kMaxTransfer;
      const ssize_t r = ::read(fd_, p + *got, ask);
      if (r < 0) {
        if (errno == EINTR) continue;
        return StatusOf(errno);
      }
      if (r == 0) break;  // end of file
      *got += static_cast<size_t>(r);
    }
    return FileStatus::kOk;
  }

  FileStatus Write(const void* buffer, size_t n) override {
    const char* p = static_cast<const char*>(buffer);
    while (n > 0) {
      const ssize_t w = ::write(fd_, p, n < kMaxTransfer ? n : kMaxTransfer);
      if (w < 0) {
        if (errno == EINTR) continue;
        return StatusOf(errno);
      }
      if (w == 0) return FileStatus::kNoSpace;
      p += w;
      n -= static_cast<size_t>(w);
    }
    return FileStatus::kOk;
  }

  FileStatus Seek(uint64_t offset) override {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return FileStatus::kError;
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0 ? StatusOf(errno)
                                                                  : FileStatus::kOk;
  }

  FileStatus Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return StatusOf(errno);
    if (S_ISREG(st.st_mode)) {
      *size = static_cast<uint64_t>(st.st_size);
      return FileStatus::kOk;
    }
    if (S_ISDIR(st.st_mode)) return StatusOf(EISDIR);
    // Devices: the offset of the end, found by seeking there and back.
    const off_t here = ::lseek(fd_, 0, SEEK_CUR);
    if (here < 0) return StatusOf(errno);
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) return StatusOf(errno);
    if (::lseek(fd_, here, SEEK_SET) < 0) return StatusOf(errno);
    *size = static_cast<uint64_t>(end);
    return FileStatus::kOk;
  }

  FileStatus Sync() override { return ::fsync(fd_) != 0 ? StatusOf(errno) : FileStatus::kOk; }

  FileStatus MatchMetadata(const std::string& path) override {
    try {
      return MatchMetadataOf(path);
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }

  FileStatus Close() override {
    if (fd_ < 0) return FileStatus::kError;
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports EINTR.
    if (::close(fd) != 0 && errno != EINTR) return StatusOf(errno);
    return FileStatus::kOk;
  }

 private:
  FileStatus MatchMetadataOf(const std::string& path) {
    struct stat old;
    if (::stat(path.c_str(), &old) != 0) {
      if (errno != ENOENT) return StatusOf(errno);
      return ::fchmod(fd_, NewFilePermissions(DirectoryOf(path))) != 0 ? StatusOf(errno)
                                                                       : FileStatus::kOk;
    }
    struct stat own;
    if (::fstat(fd_, &own) != 0) return StatusOf(errno);
    // Owner and group first: a change of owner clears the set-id bits, which
    // the mode then restores. Only the administrator may give a file away.
    if (own.st_uid != old.st_uid || own.st_gid != old.st_gid) {
      const uid_t owner = own.st_uid != old.st_uid ? old.st_uid : static_cast<uid_t>(-1);
      if (::fchown(fd_, owner, old.st_gid) != 0) return StatusOf(errno);
    }
    // Every extended attribute that the process can see on the old file,
    // the access control list among them (which also sets the permission
    // bits); those the new file got from elsewhere (a directory's default
    // list) go, except the security modules' labels, which are the system's.
    std::vector<std::string> wanted, present;
    if (FileStatus s = ListAttributes(path.c_str(), -1, &wanted); s != FileStatus::kOk) return s;
    if (FileStatus s = ListAttributes(nullptr, fd_, &present); s != FileStatus::kOk) return s;
    for (const std::string& name : present) {
      if (name.rfind("security.", 0) == 0) continue;
      if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) continue;
      if (::fremovexattr(fd_, name.c_str()) != 0 && errno != ENODATA) return StatusOf(errno);
    }
    std::string value, current;
    for (const std::string& name : wanted) {
      if (FileStatus s = ReadAttribute(path.c_str(), -1, name, &value); s != FileStatus::kOk) {
        if (s == FileStatus::kNotFound) continue;  // removed meanwhile
        return s;
      }
      if (ReadAttribute(nullptr, fd_, name, &current) == FileStatus::kOk && current == value) {
        continue;  // already so (a label the system gave)
      }
      if (::fsetxattr(fd_, name.c_str(), value.data(), value.size(), 0) != 0) {
        return StatusOf(errno);
      }
    }
    if (::fchmod(fd_, old.st_mode & 07777) != 0) return StatusOf(errno);
    // The kernel drops what it does not let this process set (a set-group-id
    // bit for a group it is not in) without saying so.
    if (::fstat(fd_, &own) != 0) return StatusOf(errno);
    if (own.st_uid != old.st_uid || own.st_gid != old.st_gid ||
        (own.st_mode & 07777) != (old.st_mode & 07777)) {
      return FileStatus::kNotPermitted;
    }
    return FileStatus::kOk;
  }

  int fd_;
};

FileStatus Adopt(int fd, std::unique_ptr<File>* file) {
  if (fd < 0) return StatusOf(errno);
  PosixFile* f = new (std::nothrow) PosixFile(fd);
  if (f == nullptr) {
    ::close(fd);
    return FileStatus::kError;
  }
  file->reset(f);
  return FileStatus::kOk;
}

int OpenRetrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Twelve letters and digits that differ from one call to the next, in this
// process and between processes.
std::string UniqueSuffix() {
  static std::atomic<uint64_t> counter{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  uint64_t x =
      (static_cast<uint64_t>(::getpid()) << 40) ^
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) ^
      (counter.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ULL);
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ULL;
  x ^= x >> 29;
  static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string out(12, 'x');
  for (char& c : out) {
    c = kDigits[x % 36];
    x /= 36;
    if (x == 0) x = counter.fetch_add(1, std::memory_order_relaxed) * 0x94D049BB133111EBULL + 1;
  }
  return out;
}

class PosixFiles final : public Files {
 public:
  FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) override {
    return Adopt(OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC, 0), file);
  }

  FileStatus CreateForWriting(const std::string& path, std::unique_ptr<File>* file) override {
    // An existing file is opened without O_CREAT, which the kernel's
    // fs.protected_regular would refuse for another user's file in a sticky
    // directory: this backend applies the rule itself, with the owner of
    // the file opened.
    for (int attempt = 0; attempt < 100; ++attempt) {
      int fd = OpenRetrying(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0);
      if (fd < 0 && errno == ENOENT) {
        fd = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;  // made meanwhile
        return Adopt(fd, file);
      }
      if (fd < 0) return StatusOf(errno == ELOOP ? EPERM : errno);
      struct stat st, dir;
      if (::fstat(fd, &st) != 0 || ::stat(DirectoryOf(path).c_str(), &dir) != 0) {
        const int error = errno;
        ::close(fd);
        return StatusOf(error);
      }
      if (S_ISREG(st.st_mode) && PlantedByAnother(dir, st.st_uid)) {
        ::close(fd);
        return FileStatus::kNotPermitted;
      }
      // Truncated only now that it is known to be the file to write.
      if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        return StatusOf(error);
      }
      return Adopt(fd, file);
    }
    return FileStatus::kError;
  }

  FileStatus CreateTemporaryBeside(const std::string& beside, std::string* path,
                                   std::unique_ptr<File>* file) override {
    try {
      const size_t slash = beside.rfind('/');
      const std::string dir = slash == std::string::npos ? "" : beside.substr(0, slash + 1);
      std::string base = slash == std::string::npos ? beside : beside.substr(slash + 1);
      // Keep the name within every file system's limit on one component.
      if (base.empty() || base.size() > 200) base = "dzv";
      for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = dir + "." + base + "." + UniqueSuffix();
        // Readable by the owner alone until MatchMetadata gives it the
        // final file's access.
        const int fd =
            OpenRetrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        const FileStatus status = Adopt(fd, file);
        if (status == FileStatus::kOk) {
          path->swap(name);
        } else if (fd >= 0) {
          ::unlink(name.c_str());  // made, but it cannot be handed over
        }
        return status;
      }
      return FileStatus::kError;
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }

  FileStatus Stat(const std::string& path, FileInfo* info) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return StatusOf(errno);
    info->regular = S_ISREG(st.st_mode);
    info->permissions = static_cast<uint32_t>(st.st_mode & 07777);
    info->writable = ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
    return FileStatus::kOk;
  }

  FileStatus ResolveLink(const std::string& path, std::string* resolved) override {
    try {
      std::string current = path;
      // As many hops as the kernel itself follows before giving up (ELOOP).
      for (int hop = 0;; ++hop) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0) {
          if (errno != ENOENT) return StatusOf(errno);
          break;  // the name leads nowhere: a new file will be made there
        }
        if (!S_ISLNK(st.st_mode)) break;
        if (hop == 40) return FileStatus::kError;
        struct stat dir;
        if (::stat(DirectoryOf(current).c_str(), &dir) != 0) return StatusOf(errno);
        if (PlantedByAnother(dir, st.st_uid)) return FileStatus::kNotPermitted;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n;
        while ((n = ::readlink(current.c_str(), target.data(), target.size())) >= 0 &&
               static_cast<size_t>(n) == target.size()) {
          target.resize(target.size() * 2);  // the link grew meanwhile
        }
        if (n < 0) return StatusOf(errno);
        target.resize(static_cast<size_t>(n));
        if (target.empty()) return FileStatus::kNotFound;
        if (target[0] == '/') {
          current = std::move(target);
        } else {
          const size_t slash = current.rfind('/');
          current =
              (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + target;
        }
      }
      resolved->swap(current);
      return FileStatus::kOk;
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }

  FileStatus Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return StatusOf(errno);
    SyncDirectoryOf(to);
    return FileStatus::kOk;
  }

  FileStatus Remove(const std::string& path) override {
    return ::unlink(path.c_str()) != 0 ? StatusOf(errno) : FileStatus::kOk;
  }
};

}  // namespace

Files& Files::Default() {
  static NoDestructor<PosixFiles> instance;
  return *instance.get();
}

}  // namespace dzv::platform
