#include "dictionary/file_writer.h"

#include <new>
#include <utility>

namespace dzv::dict {

using platform::File;
using platform::FileInfo;
using platform::Files;
using platform::FileStatus;

BufferedFileWriter::BufferedFileWriter(File& file)
    : file_(file), capacity_(kInitialCapacity), buffer_(new char[capacity_]) {}

bool BufferedFileWriter::Grow() {
  const size_t capacity = capacity_ * 2;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[capacity]);
  if (buffer == nullptr) return false;
  std::memcpy(buffer.get(), buffer_.get(), used_);
  buffer_ = std::move(buffer);
  capacity_ = capacity;
  return true;
}

void BufferedFileWriter::Flush() {
  if (used_ != 0 && ok_) ok_ = file_.Write(buffer_.get(), used_) == FileStatus::kOk;
  used_ = 0;
}

void BufferedFileWriter::AppendSlow(const char* data, size_t n) {
  if (!ok_) return;
  while (capacity_ < kMaxCapacity && n > capacity_ - used_ && Grow()) {
  }
  if (n <= capacity_ - used_) {
    std::memcpy(buffer_.get() + used_, data, n);
    used_ += n;
    return;
  }
  const size_t head = capacity_ - used_;
  std::memcpy(buffer_.get() + used_, data, head);
  used_ = capacity_;
  data += head;
  n -= head;
  Flush();
  if (n >= capacity_) {
    if (ok_) ok_ = file_.Write(data, n) == FileStatus::kOk;
    return;
  }
  std::memcpy(buffer_.get(), data, n);
  used_ = n;
}

bool BufferedFileWriter::Finish() {
  Flush();
  return ok_;
}

namespace {

// Writes the target itself: opened for writing, truncated, written.
bool WriteInPlace(Files& files, const std::string& path, FileContent& content) {
  std::unique_ptr<File> file;
  if (files.CreateForWriting(path, &file) != FileStatus::kOk) return false;
  const bool written = content.WriteTo(*file);
  return file->Close() == FileStatus::kOk && written;
}

// A temporary file that is closed and removed unless it was committed.
class Temporary {
 public:
  Temporary(Files& files, std::string path, std::unique_ptr<File> file)
      : files_(files), path_(std::move(path)), file_(std::move(file)) {}
  ~Temporary() { Discard(); }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  File& file() { return *file_; }
  // Makes the written bytes durable.
  bool Sync() { return file_->Sync() == FileStatus::kOk; }
  bool Close() {
    const bool closed = file_->Close() == FileStatus::kOk;
    file_.reset();
    return closed;
  }
  FileStatus RenameTo(const std::string& target) {
    const FileStatus status = files_.Rename(path_, target);
    committed_ = status == FileStatus::kOk;
    return status;
  }
  // Closes and removes the file now.
  void Discard() {
    file_.reset();
    if (!committed_) files_.Remove(path_);
    committed_ = true;
  }

 private:
  Files& files_;
  std::string path_;
  std::unique_ptr<File> file_;
  bool committed_ = false;
};

// Whether a status says that the platform will not do a thing to this file
// for this process, while writing the file itself may still be allowed.
bool Refused(FileStatus status) {
  return status == FileStatus::kDenied || status == FileStatus::kNotPermitted ||
         status == FileStatus::kUnsupported;
}

}  // namespace

bool ReplaceFile(Files& files, const std::string& path, FileContent& content) {
  std::string target;
  if (files.ResolveLink(path, &target) != FileStatus::kOk) return false;
  FileInfo info;
  const FileStatus existing = files.Stat(target, &info);
  if (existing == FileStatus::kOk) {
    if (!info.regular) return WriteInPlace(files, target, content);
    // A file that may not be written is not replaced either.
    if (!info.writable) return false;
  } else if (existing != FileStatus::kNotFound) {
    return false;
  }
  // Where the file cannot be replaced only because of its own name or
  // place, it is written itself; not through a link, which may lead
  // anywhere.
  const bool reached_directly = target == path;

  std::string temp_path;
  std::unique_ptr<File> temp_file;
  const FileStatus made = files.CreateTemporaryBeside(target, &temp_path, &temp_file);
  if (made == FileStatus::kDenied || made == FileStatus::kNotPermitted ||
      (made == FileStatus::kNameTooLong && reached_directly)) {
    return WriteInPlace(files, target, content);
  }
  if (made != FileStatus::kOk) return false;
  Temporary temp(files, std::move(temp_path), std::move(temp_file));
  if (!content.WriteTo(temp.file()) || !temp.Sync()) return false;
  // The temporary, readable by its owner alone until now, takes the old
  // file's owner, group, attributes and permissions. What the platform
  // will not carry over would widen or narrow someone's access: the old
  // file is then written itself, which keeps all of it.
  const FileStatus matched = temp.file().MatchMetadata(target);
  if (Refused(matched) && existing == FileStatus::kOk) {
    temp.Discard();
    return WriteInPlace(files, target, content);
  }
  if (matched != FileStatus::kOk || !temp.Close()) return false;
  const FileStatus renamed = temp.RenameTo(target);
  if (renamed == FileStatus::kOk) return true;
  if ((renamed == FileStatus::kNotPermitted || renamed == FileStatus::kNameTooLong) &&
      reached_directly) {
    temp.Discard();
    return WriteInPlace(files, target, content);
  }
  return false;
}

}  // namespace dzv::dict
