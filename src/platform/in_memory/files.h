// A file system held in memory: the files of one instance, gone with it. For
// tests that need files but no disk, and for what a size limit gives them: a
// full disk.
//
// Paths are '/'-separated; a relative path is taken from the root "/", which
// always exists. "." and ".." are resolved by name, and a component longer
// than 255 bytes gives kNameTooLong. A name can be made only in a directory
// that exists: a missing directory, or a file where one is expected, gives
// kNotFound. Directories are made with MakeDirectory; they cannot be renamed
// (kUnsupported) nor removed (kError).
//
// Symbolic links (MakeLink) are followed only as the last component of a
// path, as OpenForReading and OpenForSave do; one anywhere else leads
// nowhere (kNotFound). One user owns every file, so no call is refused for
// want of ownership (kNotPermitted only for a link that a save finds where
// it is to write in place). Directories cannot be renamed or removed, so a
// save's target holds its directory by name. Permission bits do count: a file needs
// 0400 to be read and 0200 to be written, a directory 0200 to have names
// made, renamed or removed in it (kDenied); new files get 0666 less `mask`,
// new directories 0777 less it.
//
// The size limit counts the bytes of every file and device, including one
// that lost its name but is still open. A write that does not fit takes the
// bytes that do, as a full disk would, and gives kNoSpace.
//
// A device (MakeDevice) is a non-regular file that keeps what is written to
// it: writing it in place does not truncate it; it cannot be read.
//
// Thread-safety: calls, those of open files among them, are serialised by a
// mutex of the instance. REQUIRES: the instance outlives its open files.
#ifndef DZV_PLATFORM_IN_MEMORY_FILES_H_
#define DZV_PLATFORM_IN_MEMORY_FILES_H_

#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <string>

#include "platform/files.h"

namespace dzv::platform {

class InMemoryFiles final : public Files {
 public:
  // An empty file system (the root directory alone) that holds at most
  // `byte_limit` bytes.
  explicit InMemoryFiles(uint64_t byte_limit = std::numeric_limits<uint64_t>::max(),
                         uint32_t mask = 022);
  ~InMemoryFiles() override;
  InMemoryFiles(const InMemoryFiles&) = delete;
  InMemoryFiles& operator=(const InMemoryFiles&) = delete;

  FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) override;
  FileStatus OpenForSave(const std::string& path, std::unique_ptr<SaveTarget>* target) override;

  // What a test sets up. Each makes a new name (an existing one gives
  // kError) in an existing, writable directory.
  FileStatus MakeDirectory(const std::string& path);
  FileStatus MakeLink(const std::string& path, const std::string& target);
  FileStatus MakeDevice(const std::string& path);
  // Removes the name `path`, which is not followed if it is a link; not a
  // directory (kError).
  FileStatus Remove(const std::string& path);
  // Sets the permission bits of the file or directory at `path`, which is
  // not followed if it is a link.
  FileStatus SetPermissions(const std::string& path, uint32_t permissions);

  // The permission bits of the file or directory at `path` (not followed);
  // 0 where there is none.
  uint32_t PermissionsOf(const std::string& path) const;
  // The names in the directory `dir`; empty if there is none.
  std::set<std::string> Names(const std::string& dir) const;
  // The bytes stored now, as the limit counts them.
  uint64_t stored() const;

  class Disk;  // the state, opaque outside files.cc

 private:
  std::unique_ptr<Disk> disk_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_IN_MEMORY_FILES_H_
