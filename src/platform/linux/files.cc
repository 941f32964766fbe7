// POSIX backend of the file service. Every path is walked once (path_walk.h)
// to a held directory and a final name; what follows is done through that
// directory's descriptor, and every file opened is checked with fstat of its
// own descriptor before it is used. Files are opened O_NONBLOCK, so that a
// pipe with no other end is refused at once instead of waited on.
#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <string>

#include "platform/linux/file_metadata.h"
#include "platform/linux/path_walk.h"
#include "platform/unique_suffix.h"

namespace dzv::platform {
namespace {

// Each system call moves at most this much, well inside every kernel's limit.
constexpr size_t kMaxTransfer = size_t{1} << 30;

int OpenAt(int dir, const char* name, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::openat(dir, name, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }

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

  FileStatus Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return StatusOf(errno);
    if (S_ISREG(st.st_mode)) {
      *size = static_cast<uint64_t>(st.st_size);
      return FileStatus::kOk;
    }
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

// Hands the open descriptor `fd` over as a File; closes it when that fails.
FileStatus Adopt(UniqueFd fd, std::unique_ptr<File>* file) {
  PosixFile* f = new (std::nothrow) PosixFile(fd.get());
  if (f == nullptr) return FileStatus::kError;
  fd.Release();
  file->reset(f);
  return FileStatus::kOk;
}

// What may be done to a file of this kind by a save: a pipe or a socket is
// never written (a reader of another's could take the content, and with no
// reader the write would wait), nor a directory or a block device.
bool Savable(mode_t mode) { return S_ISREG(mode) || S_ISCHR(mode); }

class PosixSaveTarget final : public SaveTarget {
 public:
  PosixSaveTarget(WalkedPath walked, UniqueFd file, bool writable)
      : walked_(std::move(walked)), file_(std::move(file)), writable_(writable) {}
  ~PosixSaveTarget() override { Discard(); }

  TargetKind kind() const override {
    if (!walked_.exists) return TargetKind::kNone;
    return S_ISREG(walked_.stat.st_mode) ? TargetKind::kRegular : TargetKind::kDevice;
  }
  bool writable() const override { return writable_; }
  bool through_link() const override { return walked_.through_link; }

  FileStatus OpenInPlace(std::unique_ptr<File>* file) override {
    const int dir = walked_.dir.get();
    const char* name = walked_.name.c_str();
    for (int attempt = 0; attempt < 100; ++attempt) {
      UniqueFd fd(OpenAt(dir, name, O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
      if (fd.get() < 0 && errno == ENOENT) {
        fd = UniqueFd(OpenAt(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
        if (fd.get() < 0 && errno == EEXIST) continue;  // made meanwhile
        if (fd.get() < 0) return StatusOf(errno);
        return Adopt(std::move(fd), file);
      }
      // A link now where there was a file: not followed.
      if (fd.get() < 0) return StatusOf(errno == ELOOP ? EPERM : errno);
      struct stat st, now;
      if (::fstat(fd.get(), &st) != 0 || ::fstat(dir, &now) != 0) return StatusOf(errno);
      if (!Savable(st.st_mode)) return FileStatus::kNotAFile;
      if (PlantedByAnother(now, st.st_uid)) return FileStatus::kNotPermitted;
      // Truncated only now that it is known to be the file to write.
      if (S_ISREG(st.st_mode) && ::ftruncate(fd.get(), 0) != 0) return StatusOf(errno);
      const int flags = ::fcntl(fd.get(), F_GETFL);
      if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return StatusOf(errno);
      return Adopt(std::move(fd), file);
    }
    return FileStatus::kError;
  }

  FileStatus CreateTemporary(File** file) override {
    if (temp_ != nullptr) return FileStatus::kError;
    try {
      std::string base = walked_.name;
      // Keep the name within every file system's limit on one component.
      if (base.size() > 200) base = "dzv";
      for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + base + "." + UniqueSuffix();
        // Readable by the owner alone until MatchMetadata gives it the
        // final file's access.
        UniqueFd fd(OpenAt(walked_.dir.get(), name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
        if (fd.get() < 0 && errno == EEXIST) continue;
        if (fd.get() < 0) return StatusOf(errno);
        PosixFile* made = new (std::nothrow) PosixFile(fd.get());
        if (made == nullptr) {
          ::unlinkat(walked_.dir.get(), name.c_str(), 0);  // made, but not to be handed over
          return FileStatus::kError;
        }
        fd.Release();
        temp_.reset(made);
        temp_name_.swap(name);
        *file = temp_.get();
        return FileStatus::kOk;
      }
      return FileStatus::kError;
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }

  FileStatus MatchMetadata() override {
    if (temp_ == nullptr) return FileStatus::kError;
    return GiveMetadata(temp_->fd(), file_.get(), walked_.dir.get());
  }

  FileStatus Commit() override {
    if (temp_ == nullptr) return FileStatus::kError;
    const FileStatus closed = temp_->Close();
    temp_.reset();
    if (closed != FileStatus::kOk) return closed;
    const int dir = walked_.dir.get();
    if (::renameat(dir, temp_name_.c_str(), dir, walked_.name.c_str()) != 0) {
      return StatusOf(errno);
    }
    temp_name_.clear();
    // The new name survives a crash of the machine as the file's own sync
    // made its bytes survive. Only a best effort: the rename has happened
    // either way, and some file systems refuse to sync a directory.
    const int sync = OpenAt(dir, ".", O_RDONLY | O_DIRECTORY);
    if (sync >= 0) {
      (void)::fsync(sync);
      ::close(sync);
    }
    return FileStatus::kOk;
  }

  void Discard() override {
    temp_.reset();
    if (!temp_name_.empty()) {
      ::unlinkat(walked_.dir.get(), temp_name_.c_str(), 0);
      temp_name_.clear();
    }
  }

 private:
  WalkedPath walked_;
  UniqueFd file_;  // the existing file (O_PATH), or none
  bool writable_;
  std::unique_ptr<PosixFile> temp_;
  std::string temp_name_;  // in walked_.dir; empty once renamed or removed
};

class PosixFiles final : public Files {
 public:
  FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) override {
    WalkedPath walked;
    if (FileStatus s = WalkPath(path, &walked); s != FileStatus::kOk) return s;
    if (!walked.exists) return FileStatus::kNotFound;
    if (!S_ISREG(walked.stat.st_mode)) return FileStatus::kNotAFile;
    UniqueFd fd(OpenAt(walked.dir.get(), walked.name.c_str(),
                       O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) return StatusOf(errno == ELOOP ? EPERM : errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return StatusOf(errno);
    if (!S_ISREG(st.st_mode)) return FileStatus::kNotAFile;  // swapped meanwhile
    return Adopt(std::move(fd), file);
  }

  FileStatus OpenForSave(const std::string& path, std::unique_ptr<SaveTarget>* target) override {
    WalkedPath walked;
    if (FileStatus s = WalkPath(path, &walked); s != FileStatus::kOk) return s;
    UniqueFd file;
    bool writable = false;
    if (walked.exists) {
      if (!Savable(walked.stat.st_mode)) return FileStatus::kNotAFile;
      // Whatever the kind, and for the administrator too: in a sticky
      // directory open to all, another user's file is not this user's to
      // write or to replace.
      if (PlantedByAnother(walked.dir_stat, walked.stat.st_uid)) return FileStatus::kNotPermitted;
      file = UniqueFd(OpenAt(walked.dir.get(), walked.name.c_str(), O_PATH | O_NOFOLLOW));
      if (file.get() < 0) return StatusOf(errno);
      struct stat st;
      if (::fstat(file.get(), &st) != 0) return StatusOf(errno);
      if (st.st_dev != walked.stat.st_dev || st.st_ino != walked.stat.st_ino) {
        return FileStatus::kError;  // replaced meanwhile: let the caller try again
      }
      writable = ::faccessat(walked.dir.get(), walked.name.c_str(), W_OK, AT_EACCESS) == 0;
    }
    auto* made = new (std::nothrow) PosixSaveTarget(std::move(walked), std::move(file), writable);
    if (made == nullptr) return FileStatus::kError;
    target->reset(made);
    return FileStatus::kOk;
  }
};

}  // namespace

Files& Files::Default() {
  static NoDestructor<PosixFiles> instance;
  return *instance.get();
}

}  // namespace dzv::platform
