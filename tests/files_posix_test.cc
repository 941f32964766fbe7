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
using platform::Files;
using platform::FileStatus;
using platform::SaveTarget;

Files& files() { return Files::Default(); }

TEST(PosixFiles, AFullDeviceIsNoSpace) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  std::unique_ptr<SaveTarget> target;
  std::unique_ptr<File> f;
  ASSERT_EQ(files().OpenForSave("/dev/full", &target), FileStatus::kOk);
  EXPECT_EQ(target->kind(), platform::TargetKind::kDevice);
  ASSERT_EQ(target->OpenInPlace(&f), FileStatus::kOk);
  EXPECT_EQ(f->Write("x", 1), FileStatus::kNoSpace);
  EXPECT_EQ(files().OpenForReading("/dev/full", &f), FileStatus::kNotAFile);
}

TEST(PosixFiles, TemporariesAreTheOwnersAloneWhateverTheMask) {
  TempDir dir;
  for (const mode_t mask : {0, 022, 077}) {
    std::unique_ptr<SaveTarget> target;
    ASSERT_EQ(files().OpenForSave(dir.File("target"), &target), FileStatus::kOk);
    const mode_t old_mask = ::umask(mask);
    File* temp = nullptr;
    const FileStatus made = target->CreateTemporary(&temp);
    ::umask(old_mask);
    ASSERT_EQ(made, FileStatus::kOk);
    for (const std::string& name : Listing(dir.path())) {
      struct stat st = {};
      ASSERT_EQ(::lstat(dir.File(name).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0600u) << "mask " << mask;
    }
  }
  EXPECT_TRUE(Listing(dir.path()).empty());
}

}  // namespace
}  // namespace dzv::testing
