// Files: the platform's file system service, as the dictionary archive and
// the text form use it. Open files are objects of their own; every call
// returns a status and none throws. Paths are passed to the platform as they
// are; a relative path is resolved against the process's current directory.
//
// Thread-safety: the default instance may be used from any thread; one File
// object may not be used by two threads at once.
#ifndef DZV_PLATFORM_FILES_H_
#define DZV_PLATFORM_FILES_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/service.h"

namespace dzv::platform {

enum class FileStatus : uint8_t {
  kOk,
  kNotFound,  // the file, or a directory on its path, does not exist
  kDenied,    // permission refused, read-only file system
  kNoSpace,   // the device or the quota is full; also a short write
  kError,     // anything else: an I/O error, out of memory, ...
  // Refused to this process whatever the file's permissions say: it owns
  // neither the file nor its sticky directory, may not give a file that
  // owner, group or attribute, or must not follow a link another user made.
  kNotPermitted,
  kUnsupported,  // the file system cannot hold it (an extended attribute)
  kNameTooLong,  // the path, or one of its components, is too long
};

class File {
 public:
  // Closes the file if Close has not run, ignoring any error.
  virtual ~File() = default;

  // Reads up to `n` bytes at the current position into `buffer`. `*got` is
  // less than `n` only at the end of the file.
  virtual FileStatus Read(void* buffer, size_t n, size_t* got) = 0;
  // Writes all `n` bytes at the current position. A write that the device
  // takes only in part is kNoSpace.
  virtual FileStatus Write(const void* buffer, size_t n) = 0;
  // Moves the current position to `offset` bytes from the start.
  virtual FileStatus Seek(uint64_t offset) = 0;
  // The size in bytes: the offset of the end of the file. Not every kind of
  // file has one (a pipe does not).
  virtual FileStatus Size(uint64_t* size) = 0;
  // Makes every byte written so far durable on the device.
  virtual FileStatus Sync() = 0;
  // Gives this file, a temporary that is to replace the file at `path`,
  // what the file at `path` shows of itself besides its bytes, so that the
  // replacement changes no one's access: its owner and group, its extended
  // attributes (an access control list among them) and its permission
  // bits. Where there is no file at `path`, the permissions that a file
  // newly made there would get (0666 less the process's mask, or what the
  // directory's default access control list gives). kNotPermitted,
  // kUnsupported or kDenied when some of it cannot be given (a group of
  // which the process is not a member, another user as owner, an attribute
  // the process may not read or set); the file may then hold part of it.
  // Where the platform's replacing rename keeps all of this itself, this
  // does nothing.
  virtual FileStatus MatchMetadata(const std::string& path) = 0;
  // Closes the file, reporting a write error that surfaces only now. Every
  // later call fails.
  virtual FileStatus Close() = 0;
};

// What Stat reports of an existing file; symbolic links are followed.
struct FileInfo {
  bool regular = false;      // a plain file (not a device, pipe, ...)
  uint32_t permissions = 0;  // the low 12 bits of the POSIX mode
  bool writable = false;     // this process may open it for writing
};

class Files {
 public:
  virtual ~Files() = default;

  // Opens an existing file for reading; others may read and write it
  // meanwhile.
  virtual FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) = 0;
  // Opens a file for writing, truncating it to length 0, or creates it
  // (permissions 0666 less the process's mask). A symbolic link as the last
  // component is not followed (kNotPermitted). In a sticky directory that
  // anyone may write to, an existing file that belongs neither to this
  // process's user nor to the directory's owner is not opened either
  // (kNotPermitted): another user may have put it there to receive what was
  // meant for a new file.
  virtual FileStatus CreateForWriting(const std::string& path, std::unique_ptr<File>* file) = 0;
  // Creates a new, empty file with a unique name in the directory of
  // `beside` (which need not exist), readable and writable by its owner
  // alone, open for writing; `*path` receives its name.
  virtual FileStatus CreateTemporaryBeside(const std::string& beside, std::string* path,
                                           std::unique_ptr<File>* file) = 0;
  // Describes the file at `path`; kNotFound when there is none.
  virtual FileStatus Stat(const std::string& path, FileInfo* info) = 0;
  // Follows `path` through symbolic links, as often as its last component
  // is one, to the name of the file it stands for (which need not exist).
  // A path that is no link comes back unchanged. As the kernel's protected
  // links rule has it, a link in a sticky directory that anyone may write
  // to is not followed when it belongs neither to this process's user nor
  // to the directory's owner (kNotPermitted).
  virtual FileStatus ResolveLink(const std::string& path, std::string* resolved) = 0;
  // Renames `from` to `to`, replacing `to` in one step if it exists, and
  // makes the new name durable where the file system allows it.
  // kNotPermitted where `to` may be written but not replaced (another
  // user's file in a sticky directory).
  virtual FileStatus Rename(const std::string& from, const std::string& to) = 0;
  // Removes the name `path`.
  virtual FileStatus Remove(const std::string& path) = 0;

  static Files& Default();
  static Files& Current() { return ServiceSlot<Files>::Current(); }
};

// Forwards every call to another instance; tests override what they change.
class FilesWrapper : public Files {
 public:
  explicit FilesWrapper(Files* target) : target_(target) {}
  FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) override {
    return target_->OpenForReading(path, file);
  }
  FileStatus CreateForWriting(const std::string& path, std::unique_ptr<File>* file) override {
    return target_->CreateForWriting(path, file);
  }
  FileStatus CreateTemporaryBeside(const std::string& beside, std::string* path,
                                   std::unique_ptr<File>* file) override {
    return target_->CreateTemporaryBeside(beside, path, file);
  }
  FileStatus Stat(const std::string& path, FileInfo* info) override {
    return target_->Stat(path, info);
  }
  FileStatus ResolveLink(const std::string& path, std::string* resolved) override {
    return target_->ResolveLink(path, resolved);
  }
  FileStatus Rename(const std::string& from, const std::string& to) override {
    return target_->Rename(from, to);
  }
  FileStatus Remove(const std::string& path) override { return target_->Remove(path); }

 protected:
  Files* target() const { return target_; }

 private:
  Files* target_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_FILES_H_
