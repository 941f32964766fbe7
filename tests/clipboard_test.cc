// Clipboard text through the exports, over an in-memory clipboard that
// another instance can hold open and a wrapper can make refuse any step; and
// what the Linux session clipboard adds to every backend's contract
// (clipboard_contract_test.cc): its store, its directory, the desktop's
// helpers and other processes.
#include "platform/clipboard.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "duduzuvez210.h"
#include "platform/code_page.h"
#include "platform/in_memory/clipboard.h"
#include "platform/linux/clipboard.h"
#include "test_util.h"

namespace dzv {
namespace {

using platform::Clipboard;
using platform::MemoryHandle;
using platform::ScopedService;
using testing::ClipboardBytes;
using testing::PutClipboardData;

const DZV_HWND kOwner = reinterpret_cast<DZV_HWND>(0x1234);
constexpr uint32_t kBitmapFormat = 2;

// Counts the calls the library makes, and refuses steps on request.
class RecordingClipboard : public platform::ClipboardWrapper {
 public:
  using ClipboardWrapper::ClipboardWrapper;

  bool Open(platform::WindowHandle owner) override {
    owner_seen = owner;
    const bool opened = ClipboardWrapper::Open(owner);
    opens += opened;
    return opened;
  }
  void Close() override {
    ++closes;
    ClipboardWrapper::Close();
  }
  bool SetData(uint32_t format, MemoryHandle block) override {
    const bool set = !refuse_set && ClipboardWrapper::SetData(format, block);
    taken += set;
    return set;
  }
  MemoryHandle Alloc(uint32_t flags, size_t size) override {
    ++allocs;
    last_alloc_flags = flags;
    last_alloc_size = size;
    MemoryHandle block = refuse_alloc ? nullptr : ClipboardWrapper::Alloc(flags, size);
    blocks += block != nullptr;
    return block;
  }
  void* Lock(MemoryHandle block) override {
    return refuse_lock ? nullptr : ClipboardWrapper::Lock(block);
  }
  void Free(MemoryHandle block) override {
    ++frees;
    ClipboardWrapper::Free(block);
  }

  bool refuse_alloc = false, refuse_lock = false, refuse_set = false;
  int opens = 0, closes = 0, allocs = 0, blocks = 0, frees = 0, taken = 0;
  uint32_t last_alloc_flags = 0;
  size_t last_alloc_size = 0;
  platform::WindowHandle owner_seen = 0;
};

class ClipboardText : public ::testing::Test {
 protected:
  ~ClipboardText() override {
    EXPECT_EQ(clipboard_.blocks, clipboard_.frees + clipboard_.taken) << "a block was leaked";
  }
  // Puts `bytes` on the clipboard as another program would.
  void Plant(uint32_t format, std::string_view bytes) {
    ASSERT_TRUE(other_->Open(0));
    EXPECT_TRUE(PutClipboardData(*other_, format, bytes));
    other_->Close();
  }
  std::string Held(uint32_t format) {
    EXPECT_TRUE(other_->Open(0));
    std::string bytes = ClipboardBytes(*other_, format);
    other_->Close();
    return bytes;
  }

  platform::InMemoryClipboard memory_;
  std::unique_ptr<platform::InMemoryClipboard> other_ = memory_.Another();
  RecordingClipboard clipboard_{&memory_};
  ScopedService<Clipboard> scoped_{&clipboard_};
};

TEST_F(ClipboardText, SetThenReadBack) {
  EXPECT_EQ(_SetClipboardData(kOwner, "abc"), 3);
  EXPECT_EQ(clipboard_.owner_seen, 0x1234u);
  EXPECT_EQ(clipboard_.last_alloc_size, 4u);
  EXPECT_EQ(clipboard_.last_alloc_flags, 0x2002u);
  EXPECT_EQ(Held(platform::kTextFormat), std::string("abc", 4));
  EXPECT_EQ(_GetClipboardDataLength(kOwner), 4);

  Plant(platform::kTextFormat, std::string("hello\0junk", 10));
  EXPECT_EQ(_GetClipboardDataLength(kOwner), 6);
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 5);
  EXPECT_EQ(std::string(buffer, 7), std::string("hello\0#", 7));
  EXPECT_EQ(clipboard_.opens, 4);
  EXPECT_EQ(clipboard_.closes, 4);
}

TEST_F(ClipboardText, EmptyText) {
  EXPECT_EQ(_SetClipboardData(kOwner, ""), 0);
  EXPECT_EQ(Held(platform::kTextFormat), std::string(1, '\0'));
  EXPECT_EQ(_GetClipboardDataLength(kOwner), 1);
  char buffer[2] = {'x', 'y'};
  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'y');
}

TEST_F(ClipboardText, NoTextLeavesTheBufferAlone) {
  Plant(kBitmapFormat, "pixels");
  char buffer[4] = "xyz";
  EXPECT_EQ(_GetClipboardDataLength(kOwner), 0);
  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 0);
  EXPECT_STREQ(buffer, "xyz");
  EXPECT_EQ(clipboard_.opens, clipboard_.closes);
}

TEST_F(ClipboardText, HeldOpenByAnotherWindow) {
  Plant(platform::kTextFormat, std::string("old", 4));
  ASSERT_TRUE(other_->Open(0));
  char buffer[4] = "xyz";
  EXPECT_EQ(_GetClipboardDataLength(kOwner), 0);
  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 0);
  EXPECT_EQ(_SetClipboardData(kOwner, "new"), 0);
  other_->Close();
  EXPECT_STREQ(buffer, "xyz");
  EXPECT_EQ(clipboard_.allocs, 0);
  EXPECT_EQ(Held(platform::kTextFormat), std::string("old", 4));
}

TEST_F(ClipboardText, RefusalsReleaseTheBlockAndKeepTheOldText) {
  Plant(platform::kTextFormat, std::string("old", 4));
  clipboard_.refuse_alloc = true;
  EXPECT_EQ(_SetClipboardData(kOwner, "new"), 0);
  clipboard_.refuse_alloc = false;
  clipboard_.refuse_lock = true;
  EXPECT_EQ(_SetClipboardData(kOwner, "new"), 0);
  EXPECT_EQ(clipboard_.frees, 1);
  clipboard_.refuse_lock = false;
  clipboard_.refuse_set = true;
  EXPECT_EQ(_SetClipboardData(kOwner, "new"), 0);
  EXPECT_EQ(clipboard_.frees, 2);
  EXPECT_EQ(Held(platform::kTextFormat), std::string("old", 4));
  EXPECT_EQ(clipboard_.opens, 3);
  EXPECT_EQ(clipboard_.closes, 3);

  // A text block that cannot be locked reads as no text.
  clipboard_.refuse_lock = true;
  char buffer[4] = "xyz";
  EXPECT_EQ(_GetClipboardDataLength(kOwner), 0);
  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 0);
  EXPECT_STREQ(buffer, "xyz");
}

TEST_F(ClipboardText, NullPointersFailWithoutOpening) {
  EXPECT_EQ(_GetClipboardData(kOwner, nullptr), 0);
  EXPECT_EQ(_SetClipboardData(kOwner, nullptr), 0);
  EXPECT_EQ(clipboard_.opens, 0);
}

TEST_F(ClipboardText, TextThatGrewAfterTheLengthIsCutToTheReportedRoom) {
  Plant(platform::kTextFormat, std::string("abc", 4));
  ASSERT_EQ(_GetClipboardDataLength(kOwner), 4);
  Plant(platform::kTextFormat, std::string("abcdefgh", 9));  // another program
  char buffer[6] = "#####";
  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 3);
  EXPECT_EQ(std::string(buffer, 6), std::string("abc\0#\0", 6));

  // Without a length just before, the whole text is copied.
  char large[16];
  EXPECT_EQ(_GetClipboardData(kOwner, large), 8);
  EXPECT_STREQ(large, "abcdefgh");
  // Any other clipboard call in between ends the bound too.
  ASSERT_EQ(_GetClipboardDataLength(kOwner), 9);
  ASSERT_EQ(_SetClipboardData(kOwner, "0123456789"), 10);
  EXPECT_EQ(_GetClipboardData(kOwner, large), 10);
}

TEST_F(ClipboardText, CutNeverSplitsADoubleByteCharacter) {
  platform::CodePageWrapper code_page(&platform::CodePage::Default());
  const platform::LeadByteTable previous =
      platform::SetProcessLeadBytesForTesting(platform::LeadByteTable::ForCodePage(932, code_page));
  Plant(platform::kTextFormat, std::string("ab", 3));
  ASSERT_EQ(_GetClipboardDataLength(kOwner), 3);
  Plant(platform::kTextFormat, std::string("a\x82\xA0z", 5));
  char buffer[4] = "###";
  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 1);
  EXPECT_EQ(std::string(buffer, 3), std::string("a\0#", 3));
  platform::SetProcessLeadBytesForTesting(previous);
}

// ---- The Linux session clipboard -------------------------------------------

TEST(SessionClipboard, KeepsAPrivateStoreWhereTextAlwaysEnds) {
  testing::TempDir dir;
  auto clipboard = platform::NewLinuxClipboard(dir.File("store"));
  ASSERT_TRUE(clipboard->Open(0));
  clipboard->Close();
  struct stat st;
  ASSERT_EQ(stat(dir.File("store").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A text stored without its zero byte still reads as a terminated text.
  testing::WriteFileBytes(dir.File("store/format-1"), "raw");
  ASSERT_TRUE(clipboard->Open(0));
  EXPECT_EQ(ClipboardBytes(*clipboard, platform::kTextFormat), std::string("raw", 4));
  clipboard->Close();
}

TEST(SessionClipboard, RefusesAStoreItCannotTrust) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.File("elsewhere"));
  std::filesystem::create_directory_symlink(dir.File("elsewhere"), dir.File("link"));
  EXPECT_FALSE(platform::NewLinuxClipboard(dir.File("link"))->Open(0));

  // Our own directory that others could enter may hold what they planted.
  std::filesystem::create_directory(dir.File("open"));
  ASSERT_EQ(chmod(dir.File("open").c_str(), 0755), 0);
  EXPECT_FALSE(platform::NewLinuxClipboard(dir.File("open"))->Open(0));

  if (geteuid() == 0) {
    std::filesystem::create_directory(dir.File("foreign"));
    ASSERT_EQ(chmod(dir.File("foreign").c_str(), 0700), 0);
    ASSERT_EQ(chown(dir.File("foreign").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(platform::NewLinuxClipboard(dir.File("foreign"))->Open(0));
  }
  EXPECT_EQ(testing::Listing(dir.File("elsewhere")), std::set<std::string>());
  EXPECT_EQ(testing::Listing(dir.File("open")), std::set<std::string>());
}

// The store's directory with XDG_RUNTIME_DIR set to `runtime`.
std::string StoreWithRuntimeDirectory(const std::string& runtime) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string previous = saved != nullptr ? saved : "";
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  std::string store = platform::SessionClipboardDirectory();
  if (saved != nullptr) {
    setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
  return store;
}

TEST(SessionClipboard, UsesOnlyARuntimeDirectoryOfTheUsersOwn) {
  testing::TempDir dir;
  const std::string fallback = "/tmp/duduzuvez210-" + std::to_string(geteuid());
  EXPECT_EQ(StoreWithRuntimeDirectory(dir.path()), dir.path() + "/duduzuvez210");
  std::filesystem::create_directory_symlink(dir.path(), dir.File("link"));
  EXPECT_EQ(StoreWithRuntimeDirectory(dir.File("link")), fallback);
  EXPECT_EQ(StoreWithRuntimeDirectory("relative"), fallback);
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
  EXPECT_EQ(StoreWithRuntimeDirectory(dir.path()), fallback) << "writable by everyone";
  ASSERT_EQ(chmod(dir.path().c_str(), 0720), 0);
  EXPECT_EQ(StoreWithRuntimeDirectory(dir.path()), fallback) << "writable by the group";
  if (geteuid() == 0) {
    // Root with a user's environment (sudo -E) keeps out of the user's store.
    ASSERT_EQ(chmod(dir.path().c_str(), 0700), 0);
    ASSERT_EQ(chown(dir.path().c_str(), 65534, 65534), 0);
    EXPECT_EQ(StoreWithRuntimeDirectory(dir.path()), "/tmp/duduzuvez210-0");
    ASSERT_EQ(chown(dir.path().c_str(), 0, 0), 0);
  }
}

TEST(SessionClipboard, ALinkPlantedAsTheUsersStoreIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to plant a link as one user for another";
  // A user id of no one, so that no real store is in the way.
  constexpr uid_t kUser = 64987;
  const std::string store = "/tmp/duduzuvez210-" + std::to_string(kUser);
  testing::TempDir target;
  ASSERT_EQ(chmod(target.path().c_str(), 0777), 0);
  std::filesystem::remove_all(store);
  ASSERT_EQ(symlink(target.path().c_str(), store.c_str()), 0);
  ASSERT_EQ(lchown(store.c_str(), 65534, 65534), 0);  // planted by nobody
  const pid_t pid = fork();
  if (pid == 0) {
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (setresgid(kUser, kUser, kUser) != 0 || setresuid(kUser, kUser, kUser) != 0) _exit(77);
    char buffer[8] = "";
    _exit(_SetClipboardData(nullptr, "secret") != 0 || _GetClipboardDataLength(nullptr) != 0 ||
                  _GetClipboardData(nullptr, buffer) != 0
              ? 1
              : 0);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  unlink(store.c_str());
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot change user here";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a clipboard call succeeded";
  EXPECT_EQ(testing::Listing(target.path()), std::set<std::string>());
}

// A desktop whose clipboard helper never answers a paste: xclip on PATH
// takes text and returns, but hangs when asked for it.
TEST(SessionClipboard, AStuckDesktopHelperFailsTheCallInBoundedTime) {
  testing::TempDir bin, runtime;
  testing::WriteFileBytes(bin.File("xclip"),
                          "#!/bin/sh\ncase \"$1\" in -o) exec sleep 300 ;; esac\ncat >/dev/null\n");
  ASSERT_EQ(chmod(bin.File("xclip").c_str(), 0755), 0);
  const std::string path = "PATH=" + bin.path() + ":" + std::getenv("PATH");
  const std::string xdg = "XDG_RUNTIME_DIR=" + runtime.path();
  if (!testing::InChildProcess(
          {path.c_str(), xdg.c_str(), "DISPLAY=:dzv-none", "WAYLAND_DISPLAY="})) {
    return;
  }
  // The call gives the desktop five seconds in all; the bound leaves room
  // for a loaded machine.
  constexpr auto kBound = std::chrono::seconds(20);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(_SetClipboardData(nullptr, "text"), 0) << "text never seen on the desktop";
  EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(_GetClipboardDataLength(nullptr), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
}

// A desktop whose clipboard holds the text of a file: xclip on PATH that
// prints it.
class DesktopText : public ::testing::Test {
 protected:
  DesktopText() {
    testing::WriteFileBytes(bin_.File("xclip"), "#!/bin/sh\ncase \"$1\" in -o) exec cat \"" +
                                                    bin_.File("text") +
                                                    "\" ;; esac\ncat >/dev/null\n");
    chmod(bin_.File("xclip").c_str(), 0755);
  }
  // In a child process with that desktop; false in the parent.
  bool InDesktop(const char* locale) {
    const std::string path = "PATH=" + bin_.path() + ":" + std::getenv("PATH");
    const std::string xdg = "XDG_RUNTIME_DIR=" + runtime_.path();
    const std::string lc_all = std::string("LC_ALL=") + locale;
    return testing::InChildProcess(
        {path.c_str(), xdg.c_str(), lc_all.c_str(), "DISPLAY=:dzv-none", "WAYLAND_DISPLAY="});
  }
  testing::TempDir bin_, runtime_;
};

// A text far longer than anyone copies is no text: reading it would take
// several times its size in memory.
TEST_F(DesktopText, ATextLongerThanTheLimitIsNoText) {
  testing::WriteFileBytes(bin_.File("text"), std::string((size_t{32} << 20) + 1, 'a'));
  if (!InDesktop("C.UTF-8")) return;
  EXPECT_EQ(_GetClipboardDataLength(nullptr), 0);
  EXPECT_EQ(_SetClipboardData(nullptr, std::string((size_t{32} << 20) + 1, 'a').c_str()), 0);
}

// The text is converted a piece at a time; characters and broken sequences
// across the pieces' ends read as when converted whole.
TEST_F(DesktopText, ALongTextReadsAsWhenConvertedWhole) {
  std::string utf8;
  for (int i = 0; utf8.size() < (size_t{3} << 20); ++i) {
    utf8 += i % 7 == 0 ? "\xe2\x82" : "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\x80\x80\x80\x80\x80";
  }
  testing::WriteFileBytes(bin_.File("text"), utf8);
  for (const char* locale : {"C.UTF-8", "en_US.ISO-8859-15"}) {
    if (!InDesktop(locale)) continue;
    std::string whole;
    ASSERT_TRUE(platform::CodePage::Current().FromUtf8(
        utf8, platform::ProcessLeadBytes().code_page(), &whole));
    const int32_t room = _GetClipboardDataLength(nullptr);
    ASSERT_EQ(room, static_cast<int32_t>(whole.size() + 1));
    std::string text(static_cast<size_t>(room), '\0');
    EXPECT_EQ(_GetClipboardData(nullptr, text.data()), room - 1);
    EXPECT_TRUE(text == whole + '\0') << locale;
    std::exit(::testing::Test::HasFailure() ? 1 : 0);
  }
}

TEST(SessionClipboard, LivesInTheUsersRuntimeDirectory) {
  testing::TempDir parent_dir;
  const std::string runtime = "XDG_RUNTIME_DIR=" + parent_dir.path();
  if (!testing::InChildProcess({runtime.c_str(), "DISPLAY=", "WAYLAND_DISPLAY="})) return;
  const std::string store = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/duduzuvez210";
  EXPECT_EQ(platform::SessionClipboardDirectory(), store);
  EXPECT_EQ(_SetClipboardData(nullptr, "kept"), 4);
  EXPECT_EQ(testing::ReadFileBytes(store + "/format-1"), std::string("kept", 5));
  EXPECT_EQ(_GetClipboardDataLength(nullptr), 5);
}

TEST(SessionClipboard, FallsBackToAPrivateDirectoryInTmp) {
  if (!testing::InChildProcess({"XDG_RUNTIME_DIR="})) return;
  EXPECT_EQ(platform::SessionClipboardDirectory(),
            "/tmp/duduzuvez210-" + std::to_string(geteuid()));
}

// Runs the holder program, which uses the store in `dir`; "hold" keeps the
// clipboard open until its input closes, "set TEXT" puts TEXT on it.
class Holder {
 public:
  Holder(const std::string& dir, const char* command, const char* text = nullptr) {
    int in[2], out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, in[1]);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    std::vector<const char*> argv = {DZV_CLIPBOARD_HOLDER, dir.c_str(), command, text, nullptr};
    EXPECT_EQ(posix_spawn(&pid_, DZV_CLIPBOARD_HOLDER, &fa, nullptr,
                          const_cast<char**>(argv.data()), environ),
              0);
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
  }
  ~Holder() { Finish(); }

  // The holder's first line.
  std::string Line() {
    std::string line;
    char c;
    while (read(output_, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  // Closes its input and waits for it; its exit status.
  int Finish() {
    if (pid_ == 0) return status_;
    close(input_);
    close(output_);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
  }

 private:
  pid_t pid_ = 0;
  int input_ = -1, output_ = -1, status_ = -1;
};

TEST(SessionClipboard, AChildForkedWhileTheClipboardIsOpenLeavesTheOpeningToTheParent) {
  testing::TempDir dir;
  auto clipboard = platform::NewLinuxClipboard(dir.File("store"));
  ASSERT_TRUE(clipboard->Open(0));
  int go[2], done[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    close(go[1]);
    char byte;
    if (write(done[1], "r", 1) != 1 || read(go[0], &byte, 1) != 1) _exit(2);
    // The parent has closed the clipboard: the child may open it now.
    const bool opened = clipboard->Open(0);
    if (opened) clipboard->Close();
    if (write(done[1], "x", 1) != 1) _exit(2);
    _exit(opened ? 0 : 1);
  }
  close(go[0]);
  close(done[1]);
  char byte;
  EXPECT_EQ(read(done[0], &byte, 1), 1);  // the child is running
  clipboard->Close();
  // The child lives on and has not released what was the parent's opening.
  EXPECT_TRUE(clipboard->Open(0)) << "the child kept the parent's lock";
  clipboard->Close();
  EXPECT_EQ(write(go[1], "x", 1), 1);
  EXPECT_EQ(read(done[0], &byte, 1), 1);
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child could not open it";
  close(go[1]);
  close(done[0]);
}

TEST(SessionClipboard, AnotherProcessHoldingItOpenMakesEveryCallFail) {
  testing::TempDir dir;
  auto clipboard = platform::NewLinuxClipboard(dir.File("store"));
  ScopedService<Clipboard> scoped(clipboard.get());
  {
    Holder setter(dir.File("store"), "set", "from the other process");
    EXPECT_EQ(setter.Line(), "22");
    EXPECT_EQ(setter.Finish(), 0);
  }
  char buffer[64] = "untouched";
  EXPECT_EQ(_GetClipboardDataLength(kOwner), 23);

  Holder holder(dir.File("store"), "hold");
  ASSERT_EQ(holder.Line(), "held");
  EXPECT_EQ(_GetClipboardDataLength(kOwner), 0);
  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 0);
  EXPECT_EQ(_SetClipboardData(kOwner, "mine"), 0);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(holder.Finish(), 0);

  EXPECT_EQ(_GetClipboardData(kOwner, buffer), 22);
  EXPECT_STREQ(buffer, "from the other process");
  EXPECT_EQ(_SetClipboardData(kOwner, "mine"), 4);
}

}  // namespace
}  // namespace dzv
