// What every file service backend must do: reading disk files and nothing
// else, and saves through a target resolved once (what it reports, writing
// in place, temporaries given the old file's access, committed or
// discarded), run against each backend that this build has, in a fresh
// directory of its own.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "memory_dir.h"
#include "platform/files.h"
#include "platform/in_memory/files.h"
#include "test_util.h"
#ifdef __linux__
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

namespace dzv::testing {
namespace {

using platform::File;
using platform::Files;
using platform::FileStatus;
using platform::InMemoryFiles;
using platform::SaveTarget;
using platform::TargetKind;

// A fresh, empty directory on a backend, and the set-up that the interface
// does not offer. A set-up call gives false where the backend has no such
// thing; the test then leaves that part out.
class Place {
 public:
  virtual ~Place() = default;
  virtual Files& files() = 0;
  // The path of `name` in the directory, in the backend's own form.
  virtual std::string Path(const std::string& name) const = 0;
  virtual bool MakeDirectory(const std::string& path) = 0;
  virtual bool MakeLink(const std::string& path, const std::string& target) = 0;
  virtual bool SetPermissions(const std::string& path, uint32_t permissions) = 0;
  // The names in the directory.
  virtual std::set<std::string> Names() const = 0;
  // The permission bits of the file at `path` (0 where there are none).
  virtual uint32_t PermissionsOf(const std::string& path) const = 0;
  // False where the system keeps no POSIX permission bits (Windows).
  virtual bool HasPermissionBits() const { return true; }
  // False where permission bits do not bind this process (root).
  virtual bool PermissionsBind() const { return true; }
  // The longest name the directory takes: 255 bytes, or less where the
  // whole path is limited (Windows' ANSI calls end at 260 bytes, and the
  // directory's own path counts).
  virtual size_t LongestName() const { return 255; }
};

struct Backend {
  const char* name;
  std::unique_ptr<Place> (*make)();
};
void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

class MemoryPlace final : public Place {
 public:
  MemoryPlace() { EXPECT_EQ(files_.MakeDirectory("/d"), FileStatus::kOk); }
  Files& files() override { return files_; }
  std::string Path(const std::string& name) const override { return "/d/" + name; }
  bool MakeDirectory(const std::string& path) override {
    return files_.MakeDirectory(path) == FileStatus::kOk;
  }
  bool MakeLink(const std::string& path, const std::string& target) override {
    return files_.MakeLink(path, target) == FileStatus::kOk;
  }
  bool SetPermissions(const std::string& path, uint32_t permissions) override {
    return files_.SetPermissions(path, permissions) == FileStatus::kOk;
  }
  std::set<std::string> Names() const override { return files_.Names("/d"); }
  uint32_t PermissionsOf(const std::string& path) const override {
    return files_.PermissionsOf(path);
  }

 private:
  InMemoryFiles files_;
};

#ifdef __linux__
class PosixPlace final : public Place {
 public:
  Files& files() override { return Files::Default(); }
  std::string Path(const std::string& name) const override { return dir_.File(name); }
  bool MakeDirectory(const std::string& path) override { return ::mkdir(path.c_str(), 0755) == 0; }
  bool MakeLink(const std::string& path, const std::string& target) override {
    return ::symlink(target.c_str(), path.c_str()) == 0;
  }
  bool SetPermissions(const std::string& path, uint32_t permissions) override {
    return ::chmod(path.c_str(), permissions) == 0;
  }
  std::set<std::string> Names() const override { return Listing(dir_.path()); }
  bool PermissionsBind() const override { return ::geteuid() != 0; }
  uint32_t PermissionsOf(const std::string& path) const override {
    struct stat st = {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
  }

 private:
  TempDir dir_;
};
#endif

#ifdef _WIN32
// The system's files in a temporary folder, with backslashes. Windows has no
// permission bits, and links need a privilege: those parts are left out.
class Win32Place final : public Place {
 public:
  Files& files() override { return Files::Default(); }
  std::string Path(const std::string& name) const override { return dir_.path() + "\\" + name; }
  bool MakeDirectory(const std::string& path) override {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
  }
  bool MakeLink(const std::string&, const std::string&) override { return false; }
  bool SetPermissions(const std::string&, uint32_t) override { return false; }
  std::set<std::string> Names() const override { return Listing(dir_.path()); }
  uint32_t PermissionsOf(const std::string&) const override { return 0; }
  bool HasPermissionBits() const override { return false; }
  size_t LongestName() const override { return MAX_PATH - 1 - dir_.path().size() - 1; }

 private:
  TempDir dir_;
};
#endif

template <class T>
std::unique_ptr<Place> Make() {
  return std::make_unique<T>();
}

// Every backend of the build; a new backend is one line here.
const Backend kBackends[] = {
    {"InMemory", Make<MemoryPlace>},
#ifdef __linux__
    {"Posix", Make<PosixPlace>},
#endif
#ifdef _WIN32
    {"Win32", Make<Win32Place>},
#endif
};

class FilesContract : public ::testing::TestWithParam<Backend> {
 protected:
  std::string Path(const std::string& name) const { return place_->Path(name); }
  std::string Read(const std::string& path) { return ReadFileBytes(files_, path); }
  void Write(const std::string& path, const std::string& bytes) {
    WriteFileBytes(files_, path, bytes);
  }
  std::unique_ptr<SaveTarget> Target(const std::string& path) {
    std::unique_ptr<SaveTarget> target;
    EXPECT_EQ(files_.OpenForSave(path, &target), FileStatus::kOk) << path;
    return target;
  }
  // Saves `bytes` to `path` through a temporary, as a replacing save does.
  FileStatus Replace(const std::string& path, const std::string& bytes) {
    std::unique_ptr<SaveTarget> target = Target(path);
    if (target == nullptr) return FileStatus::kError;
    File* temp = nullptr;
    if (FileStatus s = target->CreateTemporary(&temp); s != FileStatus::kOk) return s;
    if (FileStatus s = temp->Write(bytes.data(), bytes.size()); s != FileStatus::kOk) return s;
    if (FileStatus s = temp->Sync(); s != FileStatus::kOk) return s;
    if (FileStatus s = target->MatchMetadata(); s != FileStatus::kOk) return s;
    return target->Commit();
  }

  std::unique_ptr<Place> place_ = GetParam().make();
  Files& files_ = place_->files();
};

INSTANTIATE_TEST_SUITE_P(Backends, FilesContract, ::testing::ValuesIn(kBackends),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(FilesContract, ReadsDiskFilesAndNothingElse) {
  const std::string path = Path("f");
  Write(path, "0123456789");
  std::unique_ptr<File> f;
  ASSERT_EQ(files_.OpenForReading(path, &f), FileStatus::kOk);
  uint64_t size = 0;
  EXPECT_EQ(f->Size(&size), FileStatus::kOk);
  EXPECT_EQ(size, 10u);
  char buf[16];
  size_t got = 0;
  EXPECT_EQ(f->Read(buf, 4, &got), FileStatus::kOk);
  EXPECT_EQ(std::string(buf, got), "0123");
  EXPECT_EQ(f->Read(buf, sizeof buf, &got), FileStatus::kOk);
  EXPECT_EQ(std::string(buf, got), "456789");
  EXPECT_EQ(f->Read(buf, sizeof buf, &got), FileStatus::kOk);
  EXPECT_EQ(got, 0u);
  EXPECT_NE(f->Write("x", 1), FileStatus::kOk) << "opened for reading only";
  EXPECT_EQ(f->Close(), FileStatus::kOk);
  EXPECT_NE(f->Close(), FileStatus::kOk);
  EXPECT_NE(f->Read(buf, sizeof buf, &got), FileStatus::kOk) << "closed";
  ASSERT_TRUE(place_->MakeDirectory(Path("sub")));
  EXPECT_EQ(files_.OpenForReading(Path("sub"), &f), FileStatus::kNotAFile);
  EXPECT_EQ(files_.OpenForReading(Path("missing"), &f), FileStatus::kNotFound);
  EXPECT_EQ(files_.OpenForReading(Path("missing/x"), &f), FileStatus::kNotFound);
  if (!place_->MakeLink(Path("link"), "f")) return;
  ASSERT_EQ(files_.OpenForReading(Path("link"), &f), FileStatus::kOk);
  EXPECT_EQ(f->Read(buf, sizeof buf, &got), FileStatus::kOk);
  EXPECT_EQ(std::string(buf, got), "0123456789");
}

TEST_P(FilesContract, ASaveTargetSaysWhatIsThere) {
  Write(Path("f"), "x");
  ASSERT_TRUE(place_->MakeDirectory(Path("sub")));
  std::unique_ptr<SaveTarget> t = Target(Path("f"));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kind(), TargetKind::kRegular);
  EXPECT_TRUE(t->writable());
  EXPECT_FALSE(t->through_link());
  t = Target(Path("new"));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kind(), TargetKind::kNone);
  EXPECT_FALSE(t->writable());
  EXPECT_EQ(files_.OpenForSave(Path("sub"), &t), FileStatus::kNotAFile);
  EXPECT_EQ(files_.OpenForSave(Path("missing/f"), &t), FileStatus::kNotFound);
  if (place_->SetPermissions(Path("f"), 0444) && place_->PermissionsBind()) {
    t = Target(Path("f"));
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(t->writable());
  }
  if (!place_->MakeLink(Path("link"), "f")) return;
  ASSERT_TRUE(place_->MakeLink(Path("abs"), Path("sub/new")));
  ASSERT_TRUE(place_->MakeLink(Path("self"), "self"));
  t = Target(Path("link"));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kind(), TargetKind::kRegular);
  EXPECT_TRUE(t->through_link());
  t = Target(Path("abs"));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kind(), TargetKind::kNone) << "a dangling link names the file to make";
  EXPECT_TRUE(t->through_link());
  EXPECT_NE(files_.OpenForSave(Path("self"), &t), FileStatus::kOk);
}

TEST_P(FilesContract, WritingInPlaceTruncatesOrCreates) {
  const std::string path = Path("f");
  Write(path, "a long old content");
  std::unique_ptr<File> f;
  ASSERT_EQ(Target(path)->OpenInPlace(&f), FileStatus::kOk);
  EXPECT_EQ(f->Write("new", 3), FileStatus::kOk);
  EXPECT_EQ(f->Sync(), FileStatus::kOk);
  EXPECT_EQ(f->Close(), FileStatus::kOk);
  EXPECT_EQ(Read(path), "new");
  Write(Path("made"), "m");
  EXPECT_EQ(Read(Path("made")), "m");
  EXPECT_EQ(place_->Names(), (std::set<std::string>{"f", "made"}));
}

TEST_P(FilesContract, ATemporaryReplacesTheFileOrLeavesNoTrace) {
  const std::string path = Path("f");
  Write(path, "old");
  const bool bits = place_->SetPermissions(path, 0640);
  EXPECT_EQ(Replace(path, "new"), FileStatus::kOk);
  EXPECT_EQ(Read(path), "new");
  if (bits) {
    EXPECT_EQ(place_->PermissionsOf(path), 0640u);
  }
  EXPECT_EQ(Replace(Path("fresh"), "made"), FileStatus::kOk);
  EXPECT_EQ(Read(Path("fresh")), "made");
  // Discarded, or dropped before it is committed: no temporary stays.
  for (bool discard : {true, false}) {
    std::unique_ptr<SaveTarget> t = Target(path);
    File* temp = nullptr;
    ASSERT_EQ(t->CreateTemporary(&temp), FileStatus::kOk);
    EXPECT_EQ(temp->Write("lost", 4), FileStatus::kOk);
    EXPECT_EQ(place_->Names().size(), 3u) << "the temporary is beside the file";
    if (bits) {
      for (const std::string& name : place_->Names()) {
        if (name[0] == '.') {
          EXPECT_EQ(place_->PermissionsOf(Path(name)), 0600u);
        }
      }
    }
    if (discard) t->Discard();
    t.reset();
    EXPECT_EQ(place_->Names(), (std::set<std::string>{"f", "fresh"}));
    EXPECT_EQ(Read(path), "new");
  }
  // A name at the length limit still leaves room for a temporary.
  EXPECT_EQ(Replace(Path(std::string(place_->LongestName(), 'n')), "long"), FileStatus::kOk);
}

TEST_P(FilesContract, ASaveThroughALinkReplacesWhatTheLinkNames) {
  ASSERT_TRUE(place_->MakeDirectory(Path("sub")));
  if (!place_->MakeLink(Path("link"), "sub/file")) return;
  EXPECT_EQ(Replace(Path("link"), "one"), FileStatus::kOk) << "a dangling link: its file is made";
  EXPECT_EQ(Replace(Path("link"), "two"), FileStatus::kOk);
  EXPECT_EQ(Read(Path("sub/file")), "two");
  EXPECT_EQ(place_->Names(), (std::set<std::string>{"link", "sub"}));
  std::unique_ptr<File> f;
  EXPECT_EQ(files_.OpenForReading(Path("link"), &f), FileStatus::kOk) << "still a link";
}

// The in-memory backend's own rules: its size limit, its permissions and
// its devices.
TEST(InMemoryFiles, AFullDiskTakesWhatFitsAndFreedBytesCountNoMore) {
  InMemoryFiles files(10);
  std::unique_ptr<File> f, reader;
  std::unique_ptr<SaveTarget> t;
  ASSERT_EQ(files.OpenForSave("/a", &t), FileStatus::kOk);
  ASSERT_EQ(t->OpenInPlace(&f), FileStatus::kOk);
  EXPECT_EQ(f->Write("012345", 6), FileStatus::kOk);
  EXPECT_EQ(f->Write("6789ab", 6), FileStatus::kNoSpace);
  EXPECT_EQ(f->Write("c", 1), FileStatus::kNoSpace);
  EXPECT_EQ(f->Close(), FileStatus::kOk);
  EXPECT_EQ(ReadFileBytes(files, "/a"), "0123456789");
  EXPECT_EQ(files.stored(), 10u);
  // A replaced file still open keeps its bytes until it is closed.
  ASSERT_EQ(files.OpenForReading("/a", &reader), FileStatus::kOk);
  WriteFileBytes(files, "/b", "");
  ASSERT_EQ(files.OpenForSave("/a", &t), FileStatus::kOk);
  File* temp = nullptr;
  ASSERT_EQ(t->CreateTemporary(&temp), FileStatus::kOk);
  EXPECT_EQ(t->Commit(), FileStatus::kOk);
  EXPECT_EQ(files.stored(), 10u);
  reader.reset();
  EXPECT_EQ(files.stored(), 0u);
  // Truncating frees the old bytes.
  WriteFileBytes(files, "/a", "0123456789");
  WriteFileBytes(files, "/a", "01234");
  EXPECT_EQ(files.stored(), 5u);
}

TEST(InMemoryFiles, PermissionBitsAndDevices) {
  InMemoryFiles files;
  std::unique_ptr<File> f;
  std::unique_ptr<SaveTarget> t;
  File* temp = nullptr;
  WriteFileBytes(files, "/f", "old");
  ASSERT_EQ(files.MakeDirectory("/ro"), FileStatus::kOk);
  ASSERT_EQ(files.SetPermissions("/f", 0200), FileStatus::kOk);
  EXPECT_EQ(files.OpenForReading("/f", &f), FileStatus::kDenied);
  ASSERT_EQ(files.SetPermissions("/f", 0444), FileStatus::kOk);
  ASSERT_EQ(files.OpenForSave("/f", &t), FileStatus::kOk);
  EXPECT_EQ(t->OpenInPlace(&f), FileStatus::kDenied);
  ASSERT_EQ(files.SetPermissions("/ro", 0555), FileStatus::kOk);
  ASSERT_EQ(files.OpenForSave("/ro/f", &t), FileStatus::kOk);
  EXPECT_EQ(t->CreateTemporary(&temp), FileStatus::kDenied);
  EXPECT_EQ(ReadFileBytes(files, "/f"), "old");
  // A device keeps what is written to it, in order, and is not read.
  ASSERT_EQ(files.MakeDevice("/dev"), FileStatus::kOk);
  WriteFileBytes(files, "/dev", "ab");
  WriteFileBytes(files, "/dev", "cd");
  EXPECT_EQ(files.stored(), 7u);
  ASSERT_EQ(files.OpenForSave("/dev", &t), FileStatus::kOk);
  EXPECT_EQ(t->kind(), TargetKind::kDevice);
  EXPECT_EQ(files.OpenForReading("/dev", &f), FileStatus::kNotAFile);
}

}  // namespace
}  // namespace dzv::testing
