// Archive and text files through Windows paths: drive letters, both
// separators and a drive's own current folder; files that another process
// holds, with and without sharing; attributes, access lists and the name's
// spelling kept by the replacing save; devices, which are never read and are
// written where they are; and the save's held folder and its temporary,
// through the file service itself.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

// A process of this program started as a FileHolder: it opens the file
// named by DZV_TEST_HOLD with the C runtime's fopen, which shares reading
// and writing but not deletion, says so through the event DZV_TEST_HOLD_READY
// and keeps the file open until the event DZV_TEST_HOLD_RELEASE (at most a
// minute). Runs before the tests, and only in such a process.
const bool kIsHolder = [] {
  const char* path = std::getenv("DZV_TEST_HOLD");
  if (path == nullptr) return false;
  FILE* held = std::fopen(path, "rb");
  const HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, std::getenv("DZV_TEST_HOLD_READY"));
  const HANDLE release = ::OpenEventA(SYNCHRONIZE, FALSE, std::getenv("DZV_TEST_HOLD_RELEASE"));
  if (ready != nullptr) ::SetEvent(ready);
  if (release != nullptr) ::WaitForSingleObject(release, 60000);
  ::ExitProcess(held != nullptr ? 0 : 1);
}();

// Another process that holds `path` open for reading as fopen does, from
// construction until destruction.
class FileHolder {
 public:
  explicit FileHolder(const std::string& path) {
    const std::string tag =
        std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++count_);
    const std::string ready_name = "dzv-hold-ready-" + tag;
    const std::string release_name = "dzv-hold-release-" + tag;
    ready_ = ::CreateEventA(nullptr, TRUE, FALSE, ready_name.c_str());
    release_ = ::CreateEventA(nullptr, TRUE, FALSE, release_name.c_str());
    char self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\"";
    ::SetEnvironmentVariableA("DZV_TEST_HOLD", path.c_str());
    ::SetEnvironmentVariableA("DZV_TEST_HOLD_READY", ready_name.c_str());
    ::SetEnvironmentVariableA("DZV_TEST_HOLD_RELEASE", release_name.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    started_ = length > 0 && length < MAX_PATH &&
               ::CreateProcessA(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &process_);
    ::SetEnvironmentVariableA("DZV_TEST_HOLD", nullptr);
    started_ = started_ && ::WaitForSingleObject(ready_, 30000) == WAIT_OBJECT_0;
  }
  ~FileHolder() {
    ::SetEvent(release_);
    if (process_.hProcess != nullptr) {
      ::WaitForSingleObject(process_.hProcess, 30000);
      DWORD code = 1;
      ::GetExitCodeProcess(process_.hProcess, &code);
      EXPECT_EQ(code, 0u) << "the holder could not open the file";
      ::CloseHandle(process_.hThread);
      ::CloseHandle(process_.hProcess);
    }
    ::CloseHandle(ready_);
    ::CloseHandle(release_);
  }
  bool started() const { return started_; }

 private:
  static inline int count_ = 0;
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  bool started_ = false;
};

// The file's identity on its volume: a replaced file has a new one.
uint64_t FileId(const std::string& path) {
  const HANDLE handle = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, 7, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION about = {};
  const bool known = handle != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(handle, &about);
  if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  return known ? (uint64_t{about.nFileIndexHigh} << 32) | about.nFileIndexLow : 0;
}

// The entries of a file's access list as "allow|deny mask SID", in order.
std::vector<std::string> AccessList(const std::string& path) {
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::vector<std::string> entries;
  if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return {"unreadable"};
  }
  for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!::GetAce(acl, i, reinterpret_cast<void**>(&ace))) continue;
    char* sid = nullptr;
    ::ConvertSidToStringSidA(reinterpret_cast<PSID>(&ace->SidStart), &sid);
    entries.push_back(
        std::string(ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow " : "deny ") +
        std::to_string(ace->Mask) + " " + (sid != nullptr ? sid : "?"));
    ::LocalFree(sid);
  }
  ::LocalFree(descriptor);
  return entries;
}

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

// A reader that shares reading and writing but not deletion (fopen, and
// this library's own reading) refuses the replacement: the file is written
// in place, and its reader's handle stays valid.
TEST_F(WindowsFiles, FileThatAnotherProcessReadsIsWrittenInPlace) {
  const std::string path = In("read.txt");
  WriteFileBytes(path, "old");
  const uint64_t id = FileId(path);
  {
    FileHolder holder(path);
    ASSERT_TRUE(holder.started());
    EXPECT_EQ(DictionaryExport(dict_.h(), path.c_str()), 1);
    EXPECT_EQ(ReadFileBytes(path), "a=b\r\n");
    EXPECT_EQ(DictionarySave(dict_.h(), path.c_str()), 1);
    EXPECT_EQ(ReadFileBytes(path), kArchive);
  }
  EXPECT_EQ(FileId(path), id);
  ExpectOnly({"read.txt"});
  // Without the reader the file is replaced again.
  ASSERT_EQ(DictionaryExport(dict_.h(), path.c_str()), 1);
  EXPECT_NE(FileId(path), id);
}

// Saving "CASE.DICT" over "Case.dict" keeps the folder's spelling; a path in
// the device namespace that names an ordinary file is replaced like any
// other (a new file, no temporary left).
TEST_F(WindowsFiles, AFileKeepsItsNameAndIsKnownByItsHandle) {
  WriteFileBytes(In("Case.dict"), "old");
  ASSERT_EQ(DictionarySave(dict_.h(), In("CASE.DICT").c_str()), 1);
  ExpectOnly({"Case.dict"});
  EXPECT_EQ(ReadFileBytes(In("Case.dict")), kArchive);

  const uint64_t id = FileId(In("Case.dict"));
  const std::string device_form = "\\\\.\\" + In("Case.dict");
  ASSERT_EQ(DictionaryExport(dict_.h(), device_form.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(In("Case.dict")), "a=b\r\n");
  EXPECT_NE(FileId(In("Case.dict")), id) << "written in place";
  Dict back;
  EXPECT_EQ(DictionaryImport(back.h(), device_form.c_str()), 1);
  EXPECT_EQ(back.items(), dict_.items());
  ExpectOnly({"Case.dict"});
}

// A name that Windows gives to a device in every folder, or any handle
// that is no disk file, is never read: 0 at once, nothing added. NUL is
// written where it is.
TEST_F(WindowsFiles, DevicesAreWrittenInPlaceAndNeverRead) {
  char saved[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, saved), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryA(dir_.path().c_str()));
  std::vector<int32_t> written;
  for (const char* nul : {"NUL", "nul.dat", "\\\\.\\NUL"}) {
    written.push_back(DictionarySave(dict_.h(), nul));
    written.push_back(DictionaryExport(dict_.h(), nul));
  }
  std::vector<std::string> read;
  for (const char* device : {"NUL", "AUX", "COM1", "aux.dict", "\\\\.\\NUL", "."}) {
    Dict kept;
    kept.Add("k", "v");
    if (DictionaryImport(kept.h(), device) != 0 || DictionaryItemCount(kept.h()) != 1) {
      read.push_back(std::string("import ") + device);
    }
    if (DictionaryOpen(kept.h(), device) != 0) read.push_back(std::string("open ") + device);
  }
  ::SetCurrentDirectoryA(saved);
  EXPECT_EQ(written, std::vector<int32_t>(6, 1));
  EXPECT_EQ(read, std::vector<std::string>());
  ExpectOnly({});
}

// The host's links, which Wine shows as plain files, named by DZV_TEST_LINK
// (to "target.dat" beside it) and "dangling.dat" beside it (to a file that
// does not exist). A save writes the file that a link stands for, and the
// link stays a link; a link that leads nowhere is left as it is (0).
TEST_F(WindowsFiles, SavingThroughALinkKeepsIt) {
  const char* link = std::getenv("DZV_TEST_LINK");
  if (link == nullptr) GTEST_SKIP() << "DZV_TEST_LINK names no link";
  const std::string path(link);
  const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
  const std::string target = folder + "target.dat";
  WriteFileBytes(path, "old");
  ASSERT_EQ(ReadFileBytes(target), "old") << "not a link: " << path;
  ASSERT_EQ(DictionarySave(dict_.h(), path.c_str()), 1);
  ASSERT_EQ(DictionaryExport(dict_.h(), path.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(target), "a=b\r\n");
  WriteFileBytes(path, "");
  EXPECT_EQ(ReadFileBytes(target), "") << "the link is gone";

  // Windows lists such a link; Wine lists nothing for a host's link that
  // leads nowhere, and says ERROR_NO_MORE_FILES rather than not found.
  const std::string dangling = folder + "dangling.dat";
  WIN32_FIND_DATAA entry;
  const HANDLE search = ::FindFirstFileA(dangling.c_str(), &entry);
  const bool listed = search != INVALID_HANDLE_VALUE || ::GetLastError() == ERROR_NO_MORE_FILES;
  if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
  ASSERT_TRUE(listed && !FileExists(dangling)) << dangling << " is no link that leads nowhere";
  EXPECT_EQ(DictionarySave(dict_.h(), dangling.c_str()), 0);
  EXPECT_EQ(DictionaryExport(dict_.h(), dangling.c_str()), 0);
  EXPECT_FALSE(FileExists(dangling)) << "replaced by a plain file";
  EXPECT_FALSE(FileExists(folder + "missing.dat"));
}

// The save's target through the file service: its folder cannot be renamed
// while the target is held, and its temporary admits the owner alone (the
// system's own account aside, which Wine lists on every file) until it
// takes the file's access list, or, for a new file, what any file made in
// the folder gets.
TEST_F(WindowsFiles, TheTargetHoldsItsFolderAndItsTemporaryIsTheOwners) {
  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  char user_buffer[256];
  DWORD size = 0;
  ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user_buffer, sizeof user_buffer, &size));
  ::CloseHandle(token);
  char* user = nullptr;
  ASSERT_TRUE(
      ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user_buffer)->User.Sid, &user));
  const std::string owner = user;
  ::LocalFree(user);

  const std::string folder = In("sub");
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  const std::string old_file = folder + "\\old.dat";
  const std::string plain = folder + "\\plain.dat";
  WriteFileBytes(old_file, "old");
  WriteFileBytes(plain, "");
  for (const std::string& name : {std::string("old.dat"), std::string("new.dat")}) {
    SCOPED_TRACE(name);
    std::unique_ptr<platform::SaveTarget> target;
    ASSERT_EQ(platform::Files::Default().OpenForSave(folder + "\\" + name, &target),
              platform::FileStatus::kOk);
    EXPECT_FALSE(::MoveFileA(folder.c_str(), In("moved").c_str())) << "the folder moved";
    platform::File* file = nullptr;
    ASSERT_EQ(target->CreateTemporary(&file), platform::FileStatus::kOk);
    ASSERT_EQ(file->Write("new", 3), platform::FileStatus::kOk);
    std::set<std::string> names = Listing(folder);
    names.erase("old.dat");
    names.erase("plain.dat");
    ASSERT_EQ(names.size(), 1u);
    const std::string temporary = folder + "\\" + *names.begin();
    for (const std::string& entry : AccessList(temporary)) {
      EXPECT_TRUE(entry.ends_with(" " + owner) || entry.ends_with(" S-1-5-18")) << entry;
    }
    ASSERT_EQ(target->MatchMetadata(), platform::FileStatus::kOk);
    EXPECT_EQ(AccessList(temporary), AccessList(name == "old.dat" ? old_file : plain));
    target.reset();
    EXPECT_FALSE(FileExists(temporary));
  }
  ASSERT_TRUE(::MoveFileA(folder.c_str(), In("moved").c_str()));
}

}  // namespace
}  // namespace dzv::testing
