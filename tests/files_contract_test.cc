// What every file service backend must do: reading, writing, temporaries,
// what Stat and ResolveLink report, renaming and removing, run against each
// backend that this build has, in a fresh directory of its own.
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
using platform::FileInfo;
using platform::Files;
using platform::FileStatus;
using platform::InMemoryFiles;

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
  // False where the system keeps no POSIX permission bits (Windows).
  virtual bool HasPermissionBits() const { return true; }
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
  bool HasPermissionBits() const override { return false; }

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
  bool Exists(const std::string& path) {
    FileInfo info;
    return files_.Stat(path, &info) == FileStatus::kOk;
  }

  std::unique_ptr<Place> place_ = GetParam().make();
  Files& files_ = place_->files();
};

INSTANTIATE_TEST_SUITE_P(Backends, FilesContract, ::testing::ValuesIn(kBackends),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(FilesContract, ReadGivesFewerBytesOnlyAtTheEnd) {
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
  EXPECT_EQ(f->Seek(7), FileStatus::kOk);
  EXPECT_EQ(f->Read(buf, sizeof buf, &got), FileStatus::kOk);
  EXPECT_EQ(std::string(buf, got), "789");
  EXPECT_EQ(f->Read(buf, sizeof buf, &got), FileStatus::kOk);
  EXPECT_EQ(got, 0u);
  EXPECT_NE(f->Write("x", 1), FileStatus::kOk) << "opened for reading only";
  EXPECT_EQ(f->Close(), FileStatus::kOk);
  EXPECT_NE(f->Close(), FileStatus::kOk);
  EXPECT_NE(f->Read(buf, sizeof buf, &got), FileStatus::kOk) << "closed";
  // A directory yields no bytes: it does not open, or has no size and no
  // bytes to read.
  ASSERT_TRUE(place_->MakeDirectory(Path("sub")));
  if (files_.OpenForReading(Path("sub"), &f) == FileStatus::kOk) {
    EXPECT_NE(f->Size(&size), FileStatus::kOk);
    EXPECT_NE(f->Read(buf, sizeof buf, &got), FileStatus::kOk);
  }
  EXPECT_EQ(files_.OpenForReading(Path("missing"), &f), FileStatus::kNotFound);
  EXPECT_EQ(files_.OpenForReading(Path("missing/x"), &f), FileStatus::kNotFound);
}

TEST_P(FilesContract, CreateForWritingTruncatesOrCreates) {
  const std::string path = Path("f");
  Write(path, "a long old content");
  std::unique_ptr<File> f;
  ASSERT_EQ(files_.CreateForWriting(path, &f), FileStatus::kOk);
  EXPECT_EQ(f->Write("new", 3), FileStatus::kOk);
  EXPECT_EQ(f->Sync(), FileStatus::kOk);
  EXPECT_EQ(f->Close(), FileStatus::kOk);
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(files_.CreateForWriting(Path("missing/f"), &f), FileStatus::kNotFound);
  // Not through a link: what a link leads to is the caller's to decide.
  if (!place_->MakeLink(Path("link"), "f")) return;
  EXPECT_EQ(files_.CreateForWriting(Path("link"), &f), FileStatus::kNotPermitted);
  EXPECT_EQ(Read(path), "new");
}

TEST_P(FilesContract, TemporariesAreNewFilesBesideTheTarget) {
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    std::string path;
    std::unique_ptr<File> f;
    ASSERT_EQ(files_.CreateTemporaryBeside(Path("target"), &path, &f), FileStatus::kOk);
    EXPECT_EQ(path.rfind(Path(""), 0), 0u) << path;
    names.insert(path);
    EXPECT_EQ(f->Write("t", 1), FileStatus::kOk);
    EXPECT_EQ(f->Close(), FileStatus::kOk);
    FileInfo info;
    ASSERT_EQ(files_.Stat(path, &info), FileStatus::kOk);
    EXPECT_TRUE(info.regular);
    if (place_->HasPermissionBits()) {
      EXPECT_EQ(info.permissions, 0600u);
    }
    EXPECT_EQ(Read(path), "t");
  }
  EXPECT_EQ(names.size(), 20u);
  EXPECT_FALSE(Exists(Path("target")));
  std::string path;
  std::unique_ptr<File> f;
  EXPECT_EQ(files_.CreateTemporaryBeside(Path("missing/target"), &path, &f), FileStatus::kNotFound);
  // A name at the length limit still leaves room for a temporary.
  EXPECT_EQ(files_.CreateTemporaryBeside(Path(std::string(255, 'n')), &path, &f), FileStatus::kOk);
}

TEST_P(FilesContract, StatFollowsLinksAndReportsPermissions) {
  const std::string path = Path("f");
  Write(path, "x");
  FileInfo info;
  ASSERT_EQ(files_.Stat(path, &info), FileStatus::kOk);
  EXPECT_TRUE(info.regular);
  EXPECT_TRUE(info.writable);
  ASSERT_TRUE(place_->MakeDirectory(Path("sub")));
  ASSERT_EQ(files_.Stat(Path("sub"), &info), FileStatus::kOk);
  EXPECT_FALSE(info.regular);
  EXPECT_EQ(files_.Stat(Path("missing"), &info), FileStatus::kNotFound);
  if (!place_->SetPermissions(path, 0640)) return;
  ASSERT_EQ(files_.Stat(path, &info), FileStatus::kOk);
  EXPECT_EQ(info.permissions, 0640u);
  if (!place_->MakeLink(Path("link"), "f")) return;
  info = {};
  ASSERT_EQ(files_.Stat(Path("link"), &info), FileStatus::kOk);
  EXPECT_TRUE(info.regular);
  EXPECT_EQ(info.permissions, 0640u);
  EXPECT_TRUE(info.writable);
}

TEST_P(FilesContract, ResolveLinkFollowsTheLastComponent) {
  std::string out;
  ASSERT_EQ(files_.ResolveLink(Path("plain"), &out), FileStatus::kOk);
  EXPECT_EQ(out, Path("plain"));
  ASSERT_TRUE(place_->MakeDirectory(Path("sub")));
  if (!place_->MakeLink(Path("rel"), "sub/file")) return;
  ASSERT_TRUE(place_->MakeLink(Path("abs"), Path("rel")));
  ASSERT_TRUE(place_->MakeLink(Path("sub/up"), "../other"));
  ASSERT_EQ(files_.ResolveLink(Path("abs"), &out), FileStatus::kOk);
  EXPECT_EQ(out, Path("sub/file")) << "a dangling link names the file to make";
  ASSERT_EQ(files_.ResolveLink(Path("sub/up"), &out), FileStatus::kOk);
  EXPECT_EQ(out, Path("sub/../other"));
  ASSERT_TRUE(place_->MakeLink(Path("self"), "self"));
  EXPECT_NE(files_.ResolveLink(Path("self"), &out), FileStatus::kOk);
}

TEST_P(FilesContract, RenameReplacesAndRemoveDeletes) {
  Write(Path("a"), "A");
  Write(Path("b"), "B");
  EXPECT_EQ(files_.Rename(Path("a"), Path("b")), FileStatus::kOk);
  EXPECT_EQ(Read(Path("b")), "A");
  EXPECT_FALSE(Exists(Path("a")));
  EXPECT_EQ(files_.Rename(Path("a"), Path("b")), FileStatus::kNotFound);
  EXPECT_EQ(files_.Rename(Path("b"), Path("missing/b")), FileStatus::kNotFound);
  EXPECT_EQ(files_.Remove(Path("b")), FileStatus::kOk);
  EXPECT_FALSE(Exists(Path("b")));
  EXPECT_EQ(files_.Remove(Path("b")), FileStatus::kNotFound);
}

// The in-memory backend's own rules: its size limit, its permissions and
// its devices.
TEST(InMemoryFiles, AFullDiskTakesWhatFitsAndFreedBytesCountNoMore) {
  InMemoryFiles files(10);
  std::unique_ptr<File> f, reader;
  ASSERT_EQ(files.CreateForWriting("/a", &f), FileStatus::kOk);
  EXPECT_EQ(f->Write("012345", 6), FileStatus::kOk);
  EXPECT_EQ(f->Write("6789ab", 6), FileStatus::kNoSpace);
  EXPECT_EQ(f->Write("c", 1), FileStatus::kNoSpace);
  EXPECT_EQ(f->Seek(2), FileStatus::kOk);
  EXPECT_EQ(f->Write("xy", 2), FileStatus::kOk) << "no new bytes";
  EXPECT_EQ(f->Close(), FileStatus::kOk);
  EXPECT_EQ(ReadFileBytes(files, "/a"), "01xy456789");
  EXPECT_EQ(files.stored(), 10u);
  // A removed file still open keeps its bytes until it is closed.
  ASSERT_EQ(files.OpenForReading("/a", &reader), FileStatus::kOk);
  EXPECT_EQ(files.Remove("/a"), FileStatus::kOk);
  EXPECT_EQ(files.stored(), 10u);
  reader.reset();
  EXPECT_EQ(files.stored(), 0u);
  // Truncating and replacing free the old bytes.
  WriteFileBytes(files, "/a", "0123456789");
  WriteFileBytes(files, "/a", "01234");
  WriteFileBytes(files, "/b", "abcde");
  EXPECT_EQ(files.Rename("/b", "/a"), FileStatus::kOk);
  EXPECT_EQ(files.stored(), 5u);
  // A write past the longest file there can be fails; nothing throws.
  InMemoryFiles unlimited;
  std::unique_ptr<File> distant;
  ASSERT_EQ(unlimited.CreateForWriting("/far", &distant), FileStatus::kOk);
  EXPECT_EQ(distant->Seek(UINT64_MAX - 1), FileStatus::kOk);
  EXPECT_EQ(distant->Write("z", 1), FileStatus::kError);
  EXPECT_EQ(unlimited.stored(), 0u);
}

TEST(InMemoryFiles, PermissionBitsAndDevices) {
  InMemoryFiles files;
  std::unique_ptr<File> f;
  std::string temp;
  WriteFileBytes(files, "/f", "old");
  ASSERT_EQ(files.MakeDirectory("/ro"), FileStatus::kOk);
  ASSERT_EQ(files.SetPermissions("/f", 0200), FileStatus::kOk);
  EXPECT_EQ(files.OpenForReading("/f", &f), FileStatus::kDenied);
  ASSERT_EQ(files.SetPermissions("/f", 0444), FileStatus::kOk);
  EXPECT_EQ(files.CreateForWriting("/f", &f), FileStatus::kDenied);
  ASSERT_EQ(files.SetPermissions("/ro", 0555), FileStatus::kOk);
  EXPECT_EQ(files.CreateTemporaryBeside("/ro/f", &temp, &f), FileStatus::kDenied);
  EXPECT_EQ(files.Rename("/f", "/ro/f"), FileStatus::kDenied);
  EXPECT_EQ(ReadFileBytes(files, "/f"), "old");
  // A device keeps what is written to it, in order, and has no size.
  ASSERT_EQ(files.MakeDevice("/dev"), FileStatus::kOk);
  WriteFileBytes(files, "/dev", "ab");
  WriteFileBytes(files, "/dev", "cd");
  EXPECT_EQ(ReadFileBytes(files, "/dev"), "abcd");
  FileInfo info;
  ASSERT_EQ(files.Stat("/dev", &info), FileStatus::kOk);
  EXPECT_FALSE(info.regular);
  ASSERT_EQ(files.OpenForReading("/dev", &f), FileStatus::kOk);
  uint64_t size;
  EXPECT_NE(f->Size(&size), FileStatus::kOk);
}

}  // namespace
}  // namespace dzv::testing
