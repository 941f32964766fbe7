// The POSIX backend of the file service: what only POSIX has (devices, the
// file mode creation mask). What every backend does is in
// files_contract_test.cc.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
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

TEST(PosixFiles, AFullDeviceIsNoSpace) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  std::unique_ptr<File> f;
  ASSERT_EQ(files().CreateForWriting("/dev/full", &f), FileStatus::kOk);
  EXPECT_EQ(f->Write("x", 1), FileStatus::kNoSpace);
  FileInfo info;
  ASSERT_EQ(files().Stat("/dev/full", &info), FileStatus::kOk);
  EXPECT_FALSE(info.regular);
}

TEST(PosixFiles, TemporariesAreTheOwnersAloneWhateverTheMask) {
  TempDir dir;
  for (const mode_t mask : {0, 022, 077}) {
    const mode_t old_mask = ::umask(mask);
    std::string path;
    std::unique_ptr<File> f;
    const FileStatus made = files().CreateTemporaryBeside(dir.File("target"), &path, &f);
    ::umask(old_mask);
    ASSERT_EQ(made, FileStatus::kOk);
    FileInfo info;
    ASSERT_EQ(files().Stat(path, &info), FileStatus::kOk);
    EXPECT_EQ(info.permissions, 0600u) << "mask " << mask;
  }
}

}  // namespace
}  // namespace dzv::testing
