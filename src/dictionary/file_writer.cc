#include "dictionary/file_writer.h"

#include <new>
#include <utility>

namespace dzv::dict {

using platform::File;
using platform::Files;
using platform::FileStatus;
using platform::SaveTarget;
using platform::TargetKind;

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
bool WriteInPlace(SaveTarget& target, FileContent& content) {
  std::unique_ptr<File> file;
  if (target.OpenInPlace(&file) != FileStatus::kOk) return false;
  const bool written = content.WriteTo(*file);
  return file->Close() == FileStatus::kOk && written;
}

// Whether a status says that the platform will not do a thing to this file
// for this process, while writing the file itself may still be allowed.
bool Refused(FileStatus status) {
  return status == FileStatus::kDenied || status == FileStatus::kNotPermitted ||
         status == FileStatus::kUnsupported;
}

}  // namespace

bool ReplaceFile(Files& files, const std::string& path, FileContent& content) {
  std::unique_ptr<SaveTarget> target;
  if (files.OpenForSave(path, &target) != FileStatus::kOk) return false;
  const TargetKind kind = target->kind();
  if (kind == TargetKind::kDevice) return WriteInPlace(*target, content);
  // A file that may not be written is not replaced either.
  if (kind == TargetKind::kRegular && !target->writable()) return false;
  // Where the file cannot be replaced only because of its own name or
  // place, it is written itself; not through a link, which may lead
  // anywhere.
  const bool reached_directly = !target->through_link();

  File* temp = nullptr;
  const FileStatus made = target->CreateTemporary(&temp);
  if (made == FileStatus::kDenied || made == FileStatus::kNotPermitted ||
      (made == FileStatus::kNameTooLong && reached_directly)) {
    return WriteInPlace(*target, content);
  }
  if (made != FileStatus::kOk) return false;
  // From here on the target removes the temporary unless it is committed,
  // an exception from `content` included.
  if (!content.WriteTo(*temp) || temp->Sync() != FileStatus::kOk) return false;
  // The temporary, readable by its owner alone until now, takes the old
  // file's owner, group, attributes and permissions. What the platform
  // will not carry over would widen or narrow someone's access: the old
  // file is then written itself, which keeps all of it.
  const FileStatus matched = target->MatchMetadata();
  if (Refused(matched) && kind == TargetKind::kRegular) {
    target->Discard();
    return WriteInPlace(*target, content);
  }
  if (matched != FileStatus::kOk) return false;
  const FileStatus committed = target->Commit();
  if (committed == FileStatus::kOk) return true;
  if ((committed == FileStatus::kNotPermitted || committed == FileStatus::kNameTooLong) &&
      reached_directly) {
    target->Discard();
    return WriteInPlace(*target, content);
  }
  return false;
}

}  // namespace dzv::dict
