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
  kOpenForSave,
  kOpenInPlace,
  kCreateTemporary,
  kMatchMetadata,
  kCommit,
  kRead,
  kWrite,
  kSize,
  kSync,
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
  // Saves find every existing file one that this process may not write.
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
  FileStatus OpenForSave(const std::string& path,
                         std::unique_ptr<platform::SaveTarget>* save) override {
    if (FileStatus s = Check(FileOp::kOpenForSave); s != FileStatus::kOk) return s;
    const FileStatus s = target()->OpenForSave(path, save);
    if (s == FileStatus::kOk) *save = std::make_unique<FaultySaveTarget>(*this, std::move(*save));
    return s;
  }

 private:
  class FaultyFile final : public platform::File {
   public:
    FaultyFile(FaultyFiles& owner, std::unique_ptr<platform::File> inner)
        : owner_(owner), owned_(std::move(inner)), inner_(owned_.get()) {
      ++owner_.open_files_;
    }
    // A file that another object owns (a save's temporary).
    FaultyFile(FaultyFiles& owner, platform::File* inner) : owner_(owner), inner_(inner) {
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
    FileStatus Size(uint64_t* size) override {
      if (FileStatus s = owner_.Check(FileOp::kSize); s != FileStatus::kOk) return s;
      return inner_->Size(size);
    }
    FileStatus Sync() override {
      if (FileStatus s = owner_.Check(FileOp::kSync); s != FileStatus::kOk) return s;
      return inner_->Sync();
    }
    FileStatus Close() override {
      // The file is closed even when the close reports a failure.
      const FileStatus closed = inner_->Close();
      if (FileStatus s = owner_.Check(FileOp::kClose); s != FileStatus::kOk) return s;
      return closed;
    }

   private:
    FaultyFiles& owner_;
    std::unique_ptr<platform::File> owned_;
    platform::File* inner_;
    uint64_t offset_ = 0;
  };

  class FaultySaveTarget final : public platform::SaveTargetWrapper {
   public:
    FaultySaveTarget(FaultyFiles& owner, std::unique_ptr<platform::SaveTarget> inner)
        : SaveTargetWrapper(std::move(inner)), owner_(owner), inner_(target()) {}
    // The temporary's wrapper goes before the temporary itself.
    ~FaultySaveTarget() override { temp_.reset(); }

    bool writable() const override { return inner_->writable() && !owner_.read_only_; }

    FileStatus OpenInPlace(std::unique_ptr<platform::File>* file) override {
      if (FileStatus s = owner_.Check(FileOp::kOpenInPlace); s != FileStatus::kOk) return s;
      return owner_.Wrap(inner_->OpenInPlace(file), file);
    }
    FileStatus CreateTemporary(platform::File** file) override {
      if (FileStatus s = owner_.Check(FileOp::kCreateTemporary); s != FileStatus::kOk) return s;
      const FileStatus s = inner_->CreateTemporary(file);
      if (s != FileStatus::kOk) return s;
      temp_ = std::make_unique<FaultyFile>(owner_, *file);
      *file = temp_.get();
      return s;
    }
    FileStatus MatchMetadata() override {
      if (FileStatus s = owner_.Check(FileOp::kMatchMetadata); s != FileStatus::kOk) return s;
      return inner_->MatchMetadata();
    }
    // Closing the temporary, which may report a late write error, is the
    // commit's first step.
    FileStatus Commit() override {
      if (FileStatus s = owner_.Check(FileOp::kClose); s != FileStatus::kOk) return s;
      if (FileStatus s = owner_.Check(FileOp::kCommit); s != FileStatus::kOk) return s;
      temp_.reset();
      return inner_->Commit();
    }
    void Discard() override {
      temp_.reset();
      inner_->Discard();
    }

   private:
    FaultyFiles& owner_;
    platform::SaveTarget* inner_;
    std::unique_ptr<FaultyFile> temp_;
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
