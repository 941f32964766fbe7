// dzv.exe where only Windows can take it: drive letters, both separators
// and UNC paths, locks held by another process, NUL, pipes and files that
// another program holds open, double-byte names whose second byte is a
// backslash, and how output reaches a console.
#include <windows.h>

#include "cli_test_util.h"
#include "system.h"
#include "win32/windows_util.h"

namespace dzv::cli_test {
namespace {

// The test's folder as Windows spells it, with backslashes only.
std::string Backslashed(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

TEST_F(DzvTest, DriveLettersAndBothSeparatorsNameTheSameArchive) {
  const std::string folder = Backslashed(dir_.path());
  ASSERT_TRUE(folder.size() > 2 && folder[1] == ':') << folder;
  ASSERT_EQ(Dzv({"dict", "set", folder + "\\a.dict", "k", "1"}).status, 0);
  std::string forward = folder;
  for (char& c : forward) {
    if (c == '\\') c = '/';
  }
  EXPECT_EQ(Dzv({"dict", "set", forward + "/a.dict", "k2", "2"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "set", "\\\\?\\" + folder + "\\a.dict", "k3", "3"}).status, 0);
  std::filesystem::create_directory(File("sub"));
  EXPECT_EQ(Dzv({"dict", "set", "sub\\..\\a.dict", "k4", "4"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "--text", "a.dict"}).out, "k2=2\nk3=3\nk4=4\nk=1\n");
  // Messages name the path as it was given.
  const Result missing = Dzv({"dict", "show", folder + "\\sub\\none.dict"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr(folder + "\\sub\\none.dict: no such file"));
  const Result no_folder = Dzv({"dict", "set", "C:\\no-such-folder-of-dzv\\a.dict", "k", "v"});
  EXPECT_EQ(no_folder.status, 1);
  EXPECT_THAT(no_folder.err, HasSubstr("the directory 'C:\\no-such-folder-of-dzv' does not exist"));
  // The lock file lies beside the archive, in the folder the path names.
  EXPECT_TRUE(FileExists(File(".a.dict.lock")));
}

TEST_F(DzvTest, UncPathsReachTheSameArchive) {
  const std::string folder = Backslashed(dir_.path());
  const std::string unc = "\\\\localhost\\" + folder.substr(0, 1) + "$" + folder.substr(2);
  if (GetFileAttributesA(unc.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "this system reaches no administrative share " << unc;
  }
  ASSERT_EQ(Dzv({"dict", "set", unc + "\\a.dict", "k", "v"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "a.dict", "k"}).out, "v\n");
  EXPECT_TRUE(FileExists(File(".a.dict.lock")));
}

TEST_F(DzvTest, AnEditGivesUpOnALockHeldByAnotherProcess) {
  Write("a.dict", Archive({{"k", "v"}}));
  const std::string before = Read("a.dict");
  const HANDLE held = CreateFileA(File(".a.dict.lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  OVERLAPPED at = {};
  ASSERT_TRUE(LockFileEx(held, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at));
  const Result waited = Dzv({"dict", "set", "a.dict", "k", "w"});
  EXPECT_EQ(waited.status, 1);
  EXPECT_THAT(waited.err, HasSubstr(".a.dict.lock: another process has held the lock of a.dict "
                                    "for 5 s; the archive is left as it is"));
  EXPECT_EQ(Read("a.dict"), before);
  CloseHandle(held);
  EXPECT_EQ(Dzv({"dict", "set", "a.dict", "k", "w"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "a.dict", "k"}).out, "w\n");
}

TEST_F(DzvTest, NulAPipeAndAFileHeldOpenAreNoOutputs) {
  Write("a.dict", Archive({{"k", "v"}}));
  Write("a.txt", "x=1\r\n");
  const std::string pipe = "\\\\.\\pipe\\dzv-test-" + std::to_string(GetCurrentProcessId());
  const HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                         PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  for (const auto& [output, says] : std::vector<std::pair<std::string, std::string>>{
           {"NUL", "NUL: is a device, not a regular file"},
           {"nul", "nul: is a device, not a regular file"},
           {pipe, pipe + ": is a pipe, not a regular file"}}) {
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"dict", "export", "a.dict", output},
             std::vector<std::string>{"dict", "import", "a.txt", output},
             std::vector<std::string>{"dict", "set", output, "k", "v"},
         }) {
      const Result r = Dzv(args);
      EXPECT_EQ(r.status, 1) << ::testing::PrintToString(args);
      EXPECT_THAT(r.err, HasSubstr(says)) << ::testing::PrintToString(args);
    }
  }
  CloseHandle(server);

  // A file that another program holds open, sharing it with nobody: the
  // export fails, says so, and the file keeps what it held.
  Write("held.txt", "old");
  const HANDLE holder = CreateFileA(File("held.txt").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const Result held = Dzv({"dict", "export", "a.dict", "held.txt"});
  EXPECT_EQ(held.status, 1);
  EXPECT_THAT(held.err, HasSubstr("held.txt"));
  CloseHandle(holder);
  EXPECT_EQ(Read("held.txt"), "old");
}

// Under code page 932 the character 0x95 0x5C ends in the byte of '\': it is
// one character of a name, no separator (run in win32.code_page_932). dzv
// splits every path it locks or explains this way.
TEST(DzvPaths, DoubleByteNamesWhoseSecondByteIsABackslash) {
  if (GetACP() != 932) GTEST_SKIP() << "needs code page 932; this process has " << GetACP();
  using ::dzv::cli::LastSeparator;
  EXPECT_EQ(LastSeparator("\x95\x5c.dict"), std::string::npos);
  EXPECT_EQ(LastSeparator("a\\\x95\x5c.dict"), 1u);
  EXPECT_EQ(LastSeparator("\x95\x5c\\x.dict"), 2u);
  EXPECT_EQ(LastSeparator("C:/\x95\x5c/\x95\x5c"), 5u);
  // A lone lead byte at the end takes no byte after it.
  EXPECT_EQ(LastSeparator("a\\\x95"), 1u);
  EXPECT_EQ(LastSeparator("a\\b\\"), 3u);
}

// Whether output goes to a console is GetConsoleMode's answer for the
// handle: files and pipes are none, and get bytes as they are.
TEST(ConsoleOutput, FilesAndPipesAreNoConsole) {
  ::dzv::testing::TempDir dir;
  const HANDLE file = CreateFileA(dir.File("out").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(::dzv::cli::IsConsoleHandle(file));
  CloseHandle(file);
  HANDLE read_end, write_end;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  EXPECT_FALSE(::dzv::cli::IsConsoleHandle(write_end));
  CloseHandle(read_end);
  CloseHandle(write_end);
  EXPECT_FALSE(::dzv::cli::IsConsoleHandle(INVALID_HANDLE_VALUE));
}

TEST(ConsoleOutput, AConsoleIsTakenForATerminal) {
  if (GetConsoleWindow() == nullptr) AllocConsole();
  const HANDLE console =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) GTEST_SKIP() << "this process has no console";
  EXPECT_TRUE(::dzv::cli::IsConsoleHandle(console));
  CloseHandle(console);
}

}  // namespace
}  // namespace dzv::cli_test
