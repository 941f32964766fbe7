// POSIX backend of the file service.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "platform/files.h"

namespace dzv::platform {
namespace {

// The one place where an errno becomes a status.
FileStatus StatusOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileStatus::kNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileStatus::kDenied;
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

  FileStatus SetPermissions(uint32_t permissions) override {
    return ::fchmod(fd_, static_cast<mode_t>(permissions & 07777)) != 0 ? StatusOf(errno)
                                                                        : FileStatus::kOk;
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
    return Adopt(OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666), file);
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
        const int fd = OpenRetrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
