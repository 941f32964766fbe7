// Writing the dictionary files: a buffered writer over an open file, and the
// safe replacement of a file's whole content.
//
// A file is replaced by writing a new temporary file beside it, readable by
// its owner alone, syncing it, giving it the old file's owner, group,
// extended attributes (its access control list among them) and permission
// bits, and renaming it over the old one, so that a failure at any point (a
// full disk, an I/O error, out of memory) leaves the old file exactly as it
// was and no temporary behind, and no one may read the new bytes who may not
// read the file. A new file gets the permissions a file newly made there
// would get. The path is resolved once, to a directory that stays held until
// the save ends: every step acts through it, so renaming a directory of the
// path or swapping one for a link meanwhile redirects nothing. A path that
// is a symbolic link replaces the file the link names; a link that another
// user made in a sticky directory open to all (such as /tmp) is not
// followed, wherever on the path it stands, and nothing is written. Neither
// is a file or a device that another user put in such a directory, nor a
// pipe or a socket anywhere, nor a file known only as a link to a deleted
// one (/proc/self/fd/N).
//
// Some targets are written in place instead (opened, truncated, written):
// an existing device such as /dev/null, which must never become a plain
// file; a target whose directory refuses a temporary while the file itself
// may be written; a file whose owner, group or attributes the platform will
// not give a new file (another user's file, a group of which the process is
// not a member, an attribute it may not set), since replacing it would
// change who may read it; and, when the path's last component is not a
// link, a file that may be written but not replaced and one whose
// temporary's name would be too long. A failure part-way through leaves such
// a target with the bytes written before it; it is never removed.
//
// A path that the platform cannot examine (a link that cannot be followed,
// a file whose kind cannot be learned) and an existing file that may not be
// written are not written at all.
#ifndef DZV_DICTIONARY_FILE_WRITER_H_
#define DZV_DICTIONARY_FILE_WRITER_H_

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace dzv::dict {

// Collects bytes in a buffer and writes it to the file when full; pieces
// larger than the buffer go to the file directly. The buffer starts small
// and doubles as it fills, up to kMaxCapacity, so a small file costs a
// small buffer and a large one a write per kMaxCapacity bytes. After the
// first failed write every call does nothing.
class BufferedFileWriter {
 public:
  static constexpr size_t kInitialCapacity = size_t{16} << 10;
  static constexpr size_t kMaxCapacity = size_t{1} << 20;

  // Throws std::bad_alloc when the first buffer cannot be had.
  explicit BufferedFileWriter(platform::File& file);
  BufferedFileWriter(const BufferedFileWriter&) = delete;
  BufferedFileWriter& operator=(const BufferedFileWriter&) = delete;

  void Append(const void* data, size_t n) {
    if (n <= capacity_ - used_) {
      if (n != 0) std::memcpy(buffer_.get() + used_, data, n);
      used_ += n;
    } else {
      AppendSlow(static_cast<const char*>(data), n);
    }
  }
  void Append(std::string_view s) { Append(s.data(), s.size()); }

  // Marks the output as failed (something could not be encoded).
  void Fail() { ok_ = false; }
  // Writes out the buffer. True when every byte appended reached the file.
  bool Finish();

 private:
  void AppendSlow(const char* data, size_t n);
  // Doubles the buffer, keeping its bytes; false when memory runs out (the
  // buffer is then flushed instead).
  bool Grow();
  void Flush();

  platform::File& file_;
  size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  bool ok_ = true;
};

// What a file is to hold: WriteTo writes all of it to `file` and returns
// true, or returns false (or throws) when it cannot.
class FileContent {
 public:
  virtual bool WriteTo(platform::File& file) = 0;

 protected:
  ~FileContent() = default;
};

// Replaces the content of the file at `path` (creating it when missing) with
// what `content` writes, through `files`, as described at the top of this
// file. True when the file holds exactly those bytes; false, with the old
// file intact, otherwise. Exceptions from `content` propagate after the
// temporary is removed.
bool ReplaceFile(platform::Files& files, const std::string& path, FileContent& content);

template <class Fn>
bool ReplaceFileWith(platform::Files& files, const std::string& path, Fn&& write) {
  class Content final : public FileContent {
   public:
    explicit Content(Fn& fn) : fn_(fn) {}
    bool WriteTo(platform::File& file) override { return fn_(file); }

   private:
    Fn& fn_;
  } content(write);
  return ReplaceFile(files, path, content);
}

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_FILE_WRITER_H_
