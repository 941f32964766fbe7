// A file service for tests that forwards to another (by default the one in
// use when it is made: the real one, or one in memory) and fails the calls a
// test chooses: the n-th call of any kind, or every call of one kind.
// An injected write failure first writes half the bytes (a disk that fills
// up part-way); reads can be cut short as if the file ended early. It also
// counts the files open through it, so tests can check that none is left.
#ifndef DZV_TESTS_FAULT_FILES_H_
#define DZV_TESTS_FAULT_FILES_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"

namespace dzv::testing {

enum class FileOp {
  kOpenForReading,
  kCreateForWriting,
  kCreateTemporary,
  kStat,
  kResolveLink,
  kRename,
  kRemove,
  kRead,
  kWrite,
  kSeek,
  kSize,
  kSync,
  kMatchMetadata,
  kClose,
  kNone,
};

class FaultyFiles final : public platform::FilesWrapper {
 public:
  using FileStatus = platform::FileStatus;

  explicit FaultyFiles(platform::Files* target = &platform::Files::Current())
      : FilesWrapper(target) {}

  // Fails the n-th call counted from now (1 is the next), whatever its kind.
  void FailNth(int n, FileStatus status = FileStatus::kError) {
    fail_at_ = calls_ + n;
    nth_status_ = status;
  }
  // Fails every call of `op` from now on.
  void FailAlways(FileOp op, FileStatus status = FileStatus::kError) {
    always_ = op;
    always_status_ = status;
  }
  // Reads give no byte past the first `bytes` of each file.
  void CutReadsAt(uint64_t bytes) { read_limit_ = bytes; }
  // Stat reports every file as one this process may not write.
  void ReportReadOnly() { read_only_ = true; }

  int calls() const { return calls_; }
  // The kind of the call that failed first, or kNone.
  FileOp injected() const { return injected_; }
  int open_files() const { return open_files_; }

  FileStatus OpenForReading(const std::string& path,
                            std::unique_ptr<platform::File>* file) override {
    if (FileStatus s = Check(FileOp::kOpenForReading); s != FileStatus::kOk) return s;
    return Wrap(target()->OpenForReading(path, file), file);
  }
  FileStatus CreateForWriting(const std::string& path,
                              std::unique_ptr<platform::File>* file) override {
    if (FileStatus s = Check(FileOp::kCreateForWriting); s != FileStatus::kOk) return s;
    return Wrap(target()->CreateForWriting(path, file), file);
  }
  FileStatus CreateTemporaryBeside(const std::string& beside, std::string* path,
                                   std::unique_ptr<platform::File>* file) override {
    if (FileStatus s = Check(FileOp::kCreateTemporary); s != FileStatus::kOk) return s;
    return Wrap(target()->CreateTemporaryBeside(beside, path, file), file);
  }
  FileStatus Stat(const std::string& path, platform::FileInfo* info) override {
    if (FileStatus s = Check(FileOp::kStat); s != FileStatus::kOk) return s;
    const FileStatus s = target()->Stat(path, info);
    if (read_only_) info->writable = false;
    return s;
  }
  FileStatus ResolveLink(const std::string& path, std::string* resolved) override {
    if (FileStatus s = Check(FileOp::kResolveLink); s != FileStatus::kOk) return s;
    return target()->ResolveLink(path, resolved);
  }
  FileStatus Rename(const std::string& from, const std::string& to) override {
    if (FileStatus s = Check(FileOp::kRename); s != FileStatus::kOk) return s;
    return target()->Rename(from, to);
  }
  FileStatus Remove(const std::string& path) override {
    if (FileStatus s = Check(FileOp::kRemove); s != FileStatus::kOk) return s;
    return target()->Remove(path);
  }

 private:
  class FaultyFile final : public platform::File {
   public:
    FaultyFile(FaultyFiles& owner, std::unique_ptr<platform::File> inner)
        : owner_(owner), inner_(std::move(inner)) {
      ++owner_.open_files_;
    }
    ~FaultyFile() override { --owner_.open_files_; }

    FileStatus Read(void* buffer, size_t n, size_t* got) override {
      *got = 0;
      if (FileStatus s = owner_.Check(FileOp::kRead); s != FileStatus::kOk) return s;
      if (offset_ >= owner_.read_limit_) return FileStatus::kOk;
      const uint64_t room = owner_.read_limit_ - offset_;
      if (n > room) n = static_cast<size_t>(room);
      const FileStatus s = inner_->Read(buffer, n, got);
      offset_ += *got;
      return s;
    }
    FileStatus Write(const void* buffer, size_t n) override {
      if (FileStatus s = owner_.Check(FileOp::kWrite); s != FileStatus::kOk) {
        inner_->Write(buffer, n / 2);
        return s;
      }
      return inner_->Write(buffer, n);
    }
    FileStatus Seek(uint64_t offset) override {
      if (FileStatus s = owner_.Check(FileOp::kSeek); s != FileStatus::kOk) return s;
      const FileStatus s = inner_->Seek(offset);
      if (s == FileStatus::kOk) offset_ = offset;
      return s;
    }
    FileStatus Size(uint64_t* size) override {
      if (FileStatus s = owner_.Check(FileOp::kSize); s != FileStatus::kOk) return s;
      return inner_->Size(size);
    }
    FileStatus Sync() override {
      if (FileStatus s = owner_.Check(FileOp::kSync); s != FileStatus::kOk) return s;
      return inner_->Sync();
    }
    FileStatus MatchMetadata(const std::string& path) override {
      if (FileStatus s = owner_.Check(FileOp::kMatchMetadata); s != FileStatus::kOk) return s;
      return inner_->MatchMetadata(path);
    }
    FileStatus Close() override {
      // The file is closed even when the close reports a failure.
      const FileStatus closed = inner_->Close();
      if (FileStatus s = owner_.Check(FileOp::kClose); s != FileStatus::kOk) return s;
      return closed;
    }

   private:
    FaultyFiles& owner_;
    std::unique_ptr<platform::File> inner_;
    uint64_t offset_ = 0;
  };

  FileStatus Check(FileOp op) {
    ++calls_;
    FileStatus status = FileStatus::kOk;
    if (calls_ == fail_at_) status = nth_status_;
    if (op == always_) status = always_status_;
    if (status != FileStatus::kOk && injected_ == FileOp::kNone) injected_ = op;
    return status;
  }

  FileStatus Wrap(FileStatus status, std::unique_ptr<platform::File>* file) {
    if (status != FileStatus::kOk) return status;
    *file = std::make_unique<FaultyFile>(*this, std::move(*file));
    return status;
  }

  int calls_ = 0;
  int fail_at_ = -1;
  FileStatus nth_status_ = FileStatus::kError;
  FileOp always_ = FileOp::kNone;
  FileStatus always_status_ = FileStatus::kError;
  uint64_t read_limit_ = UINT64_MAX;
  bool read_only_ = false;
  FileOp injected_ = FileOp::kNone;
  int open_files_ = 0;
};

}  // namespace dzv::testing

#endif  // DZV_TESTS_FAULT_FILES_H_
