// Archive and text files through Windows paths: drive letters, both
// separators and a drive's own current folder, a file that another handle
// holds without sharing, attributes kept by the replacing save, and the
// device NUL, which is written where it is.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

const std::string kArchive(
    "\x01\x00\x01"
    "a\x01"
    "b",
    6);

class WindowsFiles : public ::testing::Test {
 protected:
  WindowsFiles() { dict_.Add("a", "b"); }
  // The temporary folder's name with backslashes only.
  std::string In(const std::string& name) const { return dir_.path() + "\\" + name; }
  // Only the names given are in the folder: no temporary was left behind.
  void ExpectOnly(std::set<std::string> names) const { EXPECT_EQ(Listing(dir_.path()), names); }

  TempDir dir_;
  Dict dict_;
};

TEST_F(WindowsFiles, DriveLettersAndBothSeparators) {
  ASSERT_EQ(dir_.path()[1], ':') << dir_.path();
  std::string forward = In("fwd.dat");
  for (char& c : forward) c = c == '\\' ? '/' : c;
  for (const std::string& path : {In("back.dat"), forward}) {
    ASSERT_EQ(DictionarySave(dict_.h(), path.c_str()), 1) << path;
    EXPECT_EQ(ReadFileBytes(path), kArchive);
    Dict back;
    EXPECT_EQ(DictionaryOpen(back.h(), path.c_str()), 1);
    EXPECT_EQ(back.items(), dict_.items());
  }
  ASSERT_EQ(DictionaryExport(dict_.h(), In("text.txt").c_str()), 1);
  EXPECT_EQ(ReadFileBytes(In("text.txt")), "a=b\r\n");
  ASSERT_EQ(DictionaryExport(dict_.h(), In("text.txt").c_str()), 1) << "replacing";
  Dict imported;
  EXPECT_EQ(DictionaryImport(imported.h(), In("text.txt").c_str()), 1);
  EXPECT_EQ(imported.items(), dict_.items());

  // "C:name" is the name in drive C's current folder, and so is its
  // temporary.
  char saved[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, saved), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryA(dir_.path().c_str()));
  const std::string relative = dir_.path().substr(0, 2) + "rel.dat";
  const int32_t saved_relative = DictionarySave(dict_.h(), relative.c_str());
  // A bare name in the current folder, made and then replaced.
  const int32_t saved_bare = DictionarySave(dict_.h(), "bare.dat");
  const int32_t replaced_bare = DictionarySave(dict_.h(), "bare.dat");
  ::SetCurrentDirectoryA(saved);
  EXPECT_EQ(saved_relative, 1);
  EXPECT_EQ(ReadFileBytes(In("rel.dat")), kArchive);
  EXPECT_EQ(saved_bare, 1);
  EXPECT_EQ(replaced_bare, 1);
  ExpectOnly({"back.dat", "fwd.dat", "text.txt", "rel.dat", "bare.dat"});
}

TEST_F(WindowsFiles, FileHeldWithoutSharingIsLeftAsItWas) {
  const std::string path = In("held.dat");
  WriteFileBytes(path, "old");
  // Any other process's handle is refused alike: sharing is per handle.
  const HANDLE held =
      ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DictionarySave(dict_.h(), path.c_str()), 0);
  EXPECT_EQ(DictionaryExport(dict_.h(), path.c_str()), 0);
  Dict other;
  other.Add("k", "v");
  EXPECT_EQ(DictionaryOpen(other.h(), path.c_str()), 0);
  EXPECT_EQ(DictionaryImport(other.h(), path.c_str()), 0);
  ::CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(path), "old");
  ExpectOnly({"held.dat"});

  // A reader that shares reading and writing does not stop a reader.
  WriteFileBytes(path, kArchive);
  const HANDLE sharing =
      ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(sharing, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DictionaryOpen(other.h(), path.c_str()), 1);
  ::CloseHandle(sharing);
  EXPECT_EQ(other.items(), dict_.items());
}

TEST_F(WindowsFiles, ReplacingKeepsAttributesAndReadOnlyFilesStay) {
  const std::string hidden = In("hidden.dat");
  WriteFileBytes(hidden, "old");
  ASSERT_TRUE(::SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(DictionarySave(dict_.h(), hidden.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(hidden), kArchive);
  EXPECT_NE(::GetFileAttributesA(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

  const std::string read_only = In("ro.dat");
  WriteFileBytes(read_only, "old");
  ASSERT_TRUE(::SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(DictionarySave(dict_.h(), read_only.c_str()), 0);
  EXPECT_EQ(DictionaryExport(dict_.h(), read_only.c_str()), 0);
  EXPECT_EQ(ReadFileBytes(read_only), "old");
  ::SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_NORMAL);
  ExpectOnly({"hidden.dat", "ro.dat"});
}

// A link named by DZV_TEST_LINK, to "target.dat" beside it: the save writes
// the file that the link stands for, and the link stays a link.
TEST_F(WindowsFiles, SavingThroughALinkKeepsIt) {
  const char* link = std::getenv("DZV_TEST_LINK");
  if (link == nullptr) GTEST_SKIP() << "DZV_TEST_LINK names no link";
  const std::string path(link);
  const std::string target = path.substr(0, path.find_last_of('\\') + 1) + "target.dat";
  WriteFileBytes(path, "old");
  ASSERT_EQ(ReadFileBytes(target), "old") << "not a link: " << path;
  ASSERT_EQ(DictionarySave(dict_.h(), path.c_str()), 1);
  ASSERT_EQ(DictionaryExport(dict_.h(), path.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(target), "a=b\r\n");
  WriteFileBytes(path, "");
  EXPECT_EQ(ReadFileBytes(target), "") << "the link is gone";
}

TEST_F(WindowsFiles, DeviceNulIsWrittenInPlace) {
  char saved[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, saved), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryA(dir_.path().c_str()));
  int32_t results[5];
  Dict empty;
  int i = 0;
  for (const char* nul : {"NUL", "nul.dat", "\\\\.\\NUL"}) {
    results[i++] = DictionarySave(dict_.h(), nul);
  }
  results[i++] = DictionaryExport(dict_.h(), "NUL");
  results[i++] = DictionaryImport(empty.h(), "NUL");
  ::SetCurrentDirectoryA(saved);
  for (int32_t result : results) EXPECT_EQ(result, 1);
  EXPECT_EQ(DictionaryItemCount(empty.h()), 0);
  ExpectOnly({});
}

}  // namespace
}  // namespace dzv::testing
