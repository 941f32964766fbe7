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
#include <utility>

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
  // Not a file whose bytes can be read or replaced: a directory, a pipe, a
  // socket, a device where a disk file is wanted, a link to a deleted file.
  kNotAFile,
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
  // The size in bytes: the offset of the end of the file.
  virtual FileStatus Size(uint64_t* size) = 0;
  // Makes every byte written so far durable on the device.
  virtual FileStatus Sync() = 0;
  // Closes the file, reporting a write error that surfaces only now. Every
  // later call fails.
  virtual FileStatus Close() = 0;
};

// What a save found at the name it is to write.
enum class TargetKind : uint8_t {
  kNone,     // nothing yet: the save makes the file
  kRegular,  // a file on a disk, which the save replaces
  kDevice,   // a device that takes what is written (/dev/null, NUL)
};

// The place a save writes to, resolved once: the directory that holds the
// final name is held open from the resolution to the end of the save, and
// every step acts through it, so that no one can redirect the save by
// renaming or swapping a directory or a link on the path meanwhile. The
// final name is what the path leads to after its links (a link as the last
// component names another file, which is written; the link stays).
//
// Destroying the object closes and removes a temporary not committed.
// Thread-safety: one object may not be used by two threads at once.
class SaveTarget {
 public:
  virtual ~SaveTarget() = default;

  // What was at the final name when the target was resolved.
  virtual TargetKind kind() const = 0;
  // Whether this process may open the existing file for writing now (false
  // for kNone).
  virtual bool writable() const = 0;
  // Whether a link led to the final name (the path names another file).
  virtual bool through_link() const = 0;

  // Opens the file at the final name for writing in place, truncating a
  // disk file to length 0; makes it (0666 less the process's mask) where
  // there is none. The file opened is checked as the resolution checked
  // what it found: a link, a pipe or a socket there now, or a file that
  // another user put in a sticky directory open to all, is refused.
  virtual FileStatus OpenInPlace(std::unique_ptr<File>* file) = 0;
  // Makes a new, empty temporary file with a unique name beside the final
  // name, readable and writable by its owner alone, open for writing. The
  // target owns it; `*file` stays valid until Commit or Discard. At most one
  // at a time.
  virtual FileStatus CreateTemporary(File** file) = 0;
  // Gives the temporary what the existing file shows of itself besides its
  // bytes, so that the replacement changes no one's access: its owner and
  // group, its extended attributes (an access control list among them) and
  // its permission bits. Where there is no file, the permissions that a file
  // newly made there would get (0666 less the process's mask, or what the
  // directory's default access control list gives). kNotPermitted,
  // kUnsupported or kDenied when some of it cannot be given (a group of
  // which the process is not a member, another user as owner, an attribute
  // the process may not read or set); the temporary may then hold part of
  // it. Where the platform's replacing rename keeps all of this itself,
  // this does little or nothing.
  virtual FileStatus MatchMetadata() = 0;
  // Closes the temporary, reporting a late write error, and renames it to
  // the final name, replacing an existing file in one step, and makes the
  // new name durable where the file system allows it. kNotPermitted where
  // the file may be written but not replaced (another user's file in a
  // sticky directory); the temporary then still exists.
  virtual FileStatus Commit() = 0;
  // Closes and removes the temporary now.
  virtual void Discard() = 0;
};

class Files {
 public:
  virtual ~Files() = default;

  // Opens an existing disk file for reading; others may read and write it
  // meanwhile. Anything else at the path (a directory, a pipe, a socket, a
  // device) is refused at once with kNotAFile, without waiting for a
  // writer to come. Links are followed as for OpenForSave.
  virtual FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) = 0;
  // Resolves `path` for a save, one component at a time. A link is followed
  // wherever it stands on the path, except, as the kernel's protected links
  // rule has it, a link in a sticky directory that anyone may write to that
  // belongs neither to this process's user nor to the directory's owner
  // (kNotPermitted). At the final name: a pipe or a socket gives
  // kNotAFile; a file or a device that belongs neither to this process's
  // user nor to the directory's owner, in a sticky directory that anyone
  // may write to, gives kNotPermitted (another user may have put it there
  // to receive what was meant for this user); a link to a file that no
  // longer exists, known only by a number (/proc/self/fd/N), gives
  // kNotAFile. A missing final name is no failure (kNone); a missing
  // directory is (kNotFound).
  virtual FileStatus OpenForSave(const std::string& path, std::unique_ptr<SaveTarget>* target) = 0;

  static Files& Default();
  static Files& Current() { return ServiceSlot<Files>::Current(); }
};

// Forwards every call to another target, which it owns; tests override what
// they change.
class SaveTargetWrapper : public SaveTarget {
 public:
  explicit SaveTargetWrapper(std::unique_ptr<SaveTarget> target) : target_(std::move(target)) {}
  TargetKind kind() const override { return target_->kind(); }
  bool writable() const override { return target_->writable(); }
  bool through_link() const override { return target_->through_link(); }
  FileStatus OpenInPlace(std::unique_ptr<File>* file) override {
    return target_->OpenInPlace(file);
  }
  FileStatus CreateTemporary(File** file) override { return target_->CreateTemporary(file); }
  FileStatus MatchMetadata() override { return target_->MatchMetadata(); }
  FileStatus Commit() override { return target_->Commit(); }
  void Discard() override { target_->Discard(); }

 protected:
  SaveTarget* target() const { return target_.get(); }

 private:
  std::unique_ptr<SaveTarget> target_;
};

// Forwards every call to another instance; tests override what they change.
class FilesWrapper : public Files {
 public:
  explicit FilesWrapper(Files* target) : target_(target) {}
  FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) override {
    return target_->OpenForReading(path, file);
  }
  FileStatus OpenForSave(const std::string& path, std::unique_ptr<SaveTarget>* target) override {
    return target_->OpenForSave(path, target);
  }

 protected:
  Files* target() const { return target_; }

 private:
  Files* target_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_FILES_H_
