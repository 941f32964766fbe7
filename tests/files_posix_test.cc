// The POSIX backend of the file service.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <string>

#include "platform/files.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

using platform::File;
using platform::FileInfo;
using platform::Files;
using platform::FileStatus;

Files& files() { return Files::Default(); }

TEST(PosixFiles, ReadGivesFewerBytesOnlyAtTheEnd) {
  TempDir dir;
  const std::string path = dir.File("f");
  WriteFileBytes(path, "0123456789");
  std::unique_ptr<File> f;
  ASSERT_EQ(files().OpenForReading(path, &f), FileStatus::kOk);
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
  EXPECT_EQ(f->Write("x", 1), FileStatus::kError) << "opened for reading only";
  EXPECT_EQ(f->Close(), FileStatus::kOk);
  EXPECT_NE(f->Close(), FileStatus::kOk);
  // A directory opens, but has no size and yields no bytes.
  ASSERT_EQ(files().OpenForReading(dir.path(), &f), FileStatus::kOk);
  EXPECT_NE(f->Size(&size), FileStatus::kOk);
  EXPECT_NE(f->Read(buf, sizeof buf, &got), FileStatus::kOk);
  EXPECT_EQ(files().OpenForReading(dir.File("missing"), &f), FileStatus::kNotFound);
  EXPECT_EQ(files().OpenForReading(dir.File("missing/x"), &f), FileStatus::kNotFound);
}

TEST(PosixFiles, CreateForWritingTruncates) {
  TempDir dir;
  const std::string path = dir.File("f");
  WriteFileBytes(path, "a long old content");
  std::unique_ptr<File> f;
  ASSERT_EQ(files().CreateForWriting(path, &f), FileStatus::kOk);
  EXPECT_EQ(f->Write("new", 3), FileStatus::kOk);
  EXPECT_EQ(f->Sync(), FileStatus::kOk);
  EXPECT_EQ(f->Close(), FileStatus::kOk);
  EXPECT_EQ(ReadFileBytes(path), "new");
  // Not through a link: what a link leads to is the caller's to decide.
  ASSERT_EQ(::symlink("f", dir.File("link").c_str()), 0);
  EXPECT_EQ(files().CreateForWriting(dir.File("link"), &f), FileStatus::kNotPermitted);
  EXPECT_EQ(ReadFileBytes(path), "new");
}

TEST(PosixFiles, AFullDeviceIsNoSpace) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  std::unique_ptr<File> f;
  ASSERT_EQ(files().CreateForWriting("/dev/full", &f), FileStatus::kOk);
  EXPECT_EQ(f->Write("x", 1), FileStatus::kNoSpace);
  FileInfo info;
  ASSERT_EQ(files().Stat("/dev/full", &info), FileStatus::kOk);
  EXPECT_FALSE(info.regular);
}

TEST(PosixFiles, TemporariesAreNewFilesBesideTheTarget) {
  TempDir dir;
  std::set<std::string> names;
  const mode_t old_mask = ::umask(022);
  for (int i = 0; i < 20; ++i) {
    std::string path;
    std::unique_ptr<File> f;
    ASSERT_EQ(files().CreateTemporaryBeside(dir.File("target"), &path, &f), FileStatus::kOk);
    EXPECT_EQ(path.rfind(dir.path() + "/", 0), 0u) << path;
    names.insert(path);
    FileInfo info;
    ASSERT_EQ(files().Stat(path, &info), FileStatus::kOk);
    EXPECT_TRUE(info.regular);
    EXPECT_EQ(info.permissions, 0600u) << "whatever the mask";
  }
  ::umask(old_mask);
  EXPECT_EQ(names.size(), 20u);
  EXPECT_FALSE(FileExists(dir.File("target")));
  std::string path;
  std::unique_ptr<File> f;
  EXPECT_EQ(files().CreateTemporaryBeside(dir.File("missing/target"), &path, &f),
            FileStatus::kNotFound);
  // A name at the length limit still leaves room for a temporary.
  EXPECT_EQ(files().CreateTemporaryBeside(dir.File(std::string(255, 'n')), &path, &f),
            FileStatus::kOk);
}

TEST(PosixFiles, StatFollowsLinksAndReportsPermissions) {
  TempDir dir;
  const std::string path = dir.File("f");
  WriteFileBytes(path, "x");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("f", dir.File("link").c_str()), 0);
  FileInfo info;
  ASSERT_EQ(files().Stat(dir.File("link"), &info), FileStatus::kOk);
  EXPECT_TRUE(info.regular);
  EXPECT_EQ(info.permissions, 0640u);
  EXPECT_TRUE(info.writable);
  ASSERT_EQ(files().Stat(dir.path(), &info), FileStatus::kOk);
  EXPECT_FALSE(info.regular);
  EXPECT_EQ(files().Stat(dir.File("missing"), &info), FileStatus::kNotFound);
}

TEST(PosixFiles, ResolveLinkFollowsTheLastComponent) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("sub/file", dir.File("rel").c_str()), 0);
  ASSERT_EQ(::symlink(dir.File("rel").c_str(), dir.File("abs").c_str()), 0);
  ASSERT_EQ(::symlink("../other", dir.File("sub/up").c_str()), 0);
  std::string out;
  ASSERT_EQ(files().ResolveLink(dir.File("abs"), &out), FileStatus::kOk);
  EXPECT_EQ(out, dir.File("sub/file")) << "a dangling link names the file to make";
  ASSERT_EQ(files().ResolveLink(dir.File("sub/up"), &out), FileStatus::kOk);
  EXPECT_EQ(out, dir.File("sub/../other"));
  ASSERT_EQ(files().ResolveLink(dir.File("plain"), &out), FileStatus::kOk);
  EXPECT_EQ(out, dir.File("plain"));
  ASSERT_EQ(::symlink("self", dir.File("self").c_str()), 0);
  EXPECT_NE(files().ResolveLink(dir.File("self"), &out), FileStatus::kOk);
}

TEST(PosixFiles, RenameReplacesAndRemoveDeletes) {
  TempDir dir;
  WriteFileBytes(dir.File("a"), "A");
  WriteFileBytes(dir.File("b"), "B");
  EXPECT_EQ(files().Rename(dir.File("a"), dir.File("b")), FileStatus::kOk);
  EXPECT_EQ(ReadFileBytes(dir.File("b")), "A");
  EXPECT_FALSE(FileExists(dir.File("a")));
  EXPECT_EQ(files().Rename(dir.File("a"), dir.File("b")), FileStatus::kNotFound);
  EXPECT_EQ(files().Remove(dir.File("b")), FileStatus::kOk);
  EXPECT_FALSE(FileExists(dir.File("b")));
  EXPECT_EQ(files().Remove(dir.File("b")), FileStatus::kNotFound);
}

}  // namespace
}  // namespace dzv::testing
