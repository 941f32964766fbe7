// The open-file and folder dialogs through the exports, over the scripted
// dialogs and the windows in memory (platform/in_memory/).
#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "desktop/folder_dialog.h"
#include "desktop/open_file_dialog.h"
#include "desktop/selection_list.h"
#include "duduzuvez210.h"
#include "platform/code_page.h"
#include "platform/in_memory/dialogs.h"
#include "platform/in_memory/windowing.h"
#include "platform/windowing.h"
#include "test_util.h"
#include "text/mbcs.h"

namespace dzv {
namespace {

using platform::InMemoryWindows;
using platform::ScriptedDialogs;
using platform::WindowHandle;

constexpr size_t kBufferSize = desktop::kSelectionBufferSize;

class OpenFileDialog : public ::testing::Test {
 protected:
  OpenFileDialog() : buffer_(kBufferSize + 8, '\x7F') { buffer_[0] = '\0'; }

  // Runs _DlgOpenFile1 with the dialog answering `answer`.
  int32_t Run(std::string answer, int32_t* index = nullptr, const char* filter = nullptr) {
    dialogs_.answer = std::move(answer);
    int32_t own_index = 1;
    return _DlgOpenFile1(nullptr, "Pick", filter, 0, index != nullptr ? index : &own_index,
                         buffer_.data());
  }
  std::string Result() const { return buffer_.c_str(); }

  ScriptedDialogs dialogs_;
  InMemoryWindows windows_;
  platform::ScopedService<platform::Dialogs> scoped_dialogs_{&dialogs_};
  platform::ScopedService<platform::Windows> scoped_windows_{&windows_};
  std::string buffer_;  // the 30000 bytes and a guard
};

TEST_F(OpenFileDialog, SelectionsBecomeFullPathsEachFollowedByABar) {
  EXPECT_EQ(Run(std::string("C:\\dir\\a.txt\0\0", 14)), 1);
  EXPECT_EQ(Result(), "C:\\dir\\a.txt|");
  EXPECT_EQ(Run(std::string("C:\\dir\0a.txt\0b.txt\0\0", 20)), 1);
  EXPECT_EQ(Result(), "C:\\dir\\a.txt|C:\\dir\\b.txt|");
  EXPECT_EQ(Run(std::string("C:\\\0a.txt\0b.txt\0\0", 17)), 1);
  EXPECT_EQ(Result(), "C:\\a.txt|C:\\b.txt|");
  // The Linux desktop hands back the directory with its final "/".
  EXPECT_EQ(Run(std::string("/home/u/\0a b\0c\0\0", 16)), 1);
  EXPECT_EQ(Result(), "/home/u/a b|/home/u/c|");
  EXPECT_EQ(buffer_.substr(kBufferSize), std::string(8, '\x7F'));
}

TEST_F(OpenFileDialog, SettingsGivenToThePlatform) {
  int32_t index = 2;
  ASSERT_EQ(Run(std::string("/a\0\0", 4), &index, "Text|*.txt;*.doc|All|*.*|"), 1);
  EXPECT_EQ(dialogs_.seen.struct_size, 76u);
  EXPECT_EQ(dialogs_.seen.flags, 0x881224u);
  EXPECT_STREQ(dialogs_.seen.title, "Pick");
  EXPECT_EQ(dialogs_.seen.file, buffer_.data());
  EXPECT_EQ(dialogs_.seen.max_file, 30000u);
  EXPECT_EQ(dialogs_.seen.filter_index, 2u);
  EXPECT_EQ(dialogs_.seen_filter, (std::vector<std::string>{"Text", "*.txt;*.doc", "All", "*.*"}));

  // A null filter gives no list; the reserved argument changes nothing.
  char buffer[kBufferSize] = "";
  dialogs_.answer = std::string("/a\0\0", 4);
  ASSERT_EQ(_DlgOpenFile1(nullptr, nullptr, nullptr, 12345, &index, buffer), 1);
  EXPECT_EQ(dialogs_.seen.filter, nullptr);
  EXPECT_EQ(dialogs_.seen.title, nullptr);
  EXPECT_EQ(dialogs_.seen.flags, 0x881224u);
}

TEST_F(OpenFileDialog, FilterConversionGoesByCharacters) {
  const text::LeadByteTable none;
  EXPECT_EQ(desktop::ConvertFilter(none, "A|*.a|"), std::string("A\0*.a\0\0", 7));
  // A last item without its bar still ends the list.
  EXPECT_EQ(desktop::ConvertFilter(none, "A|*.a"), std::string("A\0*.a\0", 6));
  platform::CodePageWrapper cp(&platform::CodePage::Default());
  const text::LeadByteTable sjis = text::LeadByteTable::ForCodePage(932, cp);
  // 0x95 0x7C is one character whose second byte is "|".
  EXPECT_EQ(desktop::ConvertFilter(sjis, "\x95\x7C|*.a|"), std::string("\x95\x7C\0*.a\0\0", 8));
  EXPECT_EQ(desktop::ConvertFilter(none, "\x95\x7C|"), std::string("\x95\0\0\0", 4));
}

TEST_F(OpenFileDialog, BufferIsClearedAfterTheEntryTextWhenTheDialogOpens) {
  std::memset(buffer_.data(), 'x', kBufferSize);
  std::memcpy(buffer_.data(), "abcdefghij", 11);
  dialogs_.confirm = false;
  EXPECT_EQ(Run(""), 0);
  EXPECT_EQ(dialogs_.seen_buffer.substr(0, 10), "abcdefghij");
  EXPECT_EQ(dialogs_.seen_buffer.substr(10), std::string(kBufferSize - 10, '\0'));
  EXPECT_EQ(buffer_.substr(kBufferSize), std::string(8, '\x7F'));

  // An entry text that fills the whole buffer is cut at its last byte.
  std::memset(buffer_.data(), 'x', kBufferSize);
  EXPECT_EQ(Run(""), 0);
  EXPECT_EQ(dialogs_.seen_buffer, std::string(kBufferSize - 1, 'x') + '\0');
}

TEST_F(OpenFileDialog, FilterIndexIsWrittenOnlyAfterAConfirmedChoice) {
  int32_t index = 2;
  dialogs_.answer_index = 3;
  dialogs_.confirm = false;
  std::memcpy(buffer_.data(), "entry", 6);
  EXPECT_EQ(Run(std::string("/x\0\0", 4), &index), 0);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(Result(), "entry");
  dialogs_.confirm = true;
  EXPECT_EQ(Run(std::string("/x\0\0", 4), &index), 1);
  EXPECT_EQ(index, 3);

  // _DlgOpenFile takes the index by value and reports nothing.
  dialogs_.answer = std::string("/x\0\0", 4);
  EXPECT_EQ(_DlgOpenFile(nullptr, nullptr, "A|*|B|*|", 0, 2, buffer_.data()), 1);
  EXPECT_EQ(dialogs_.seen.filter_index, 2u);
  EXPECT_EQ(Result(), "/x|");
}

TEST_F(OpenFileDialog, OldStyleSeparatesNamesWithBlanks) {
  dialogs_.explorer = false;
  EXPECT_EQ(Run(std::string("C:\\dir a.txt b.txt\0", 19)), 1);
  EXPECT_EQ(dialogs_.seen.flags, 0x801224u);
  EXPECT_EQ(Result(), "C:\\dir\\a.txt|C:\\dir\\b.txt|");
  EXPECT_EQ(Run(std::string("C:\\dir\\one.txt\0\0", 16)), 1);
  EXPECT_EQ(Result(), "C:\\dir\\one.txt|");
}

TEST_F(OpenFileDialog, ListThatWouldNotFitGivesZeroAndKeepsThePlatformsSelection) {
  // 200 names of 10 bytes under a 250-byte directory: the selection fits
  // the buffer, the list of full paths does not.
  std::string dir = "C:\\" + std::string(247, 'd');
  std::string answer = dir + '\0';
  for (int i = 0; i < 200; ++i) answer += "name" + std::to_string(100000 + i) + '\0';
  answer += '\0';
  int32_t index = 1;
  dialogs_.answer_index = 2;
  EXPECT_EQ(Run(answer, &index), 0);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(buffer_.substr(0, answer.size()), answer);
  EXPECT_EQ(buffer_.substr(kBufferSize), std::string(8, '\x7F'));
}

TEST_F(OpenFileDialog, NullIndexOrBufferShowsNoDialog) {
  char buffer[kBufferSize] = "";
  EXPECT_EQ(_DlgOpenFile1(nullptr, nullptr, nullptr, 0, nullptr, buffer), 0);
  int32_t index = 1;
  EXPECT_EQ(_DlgOpenFile1(nullptr, nullptr, nullptr, 0, &index, nullptr), 0);
  EXPECT_EQ(_DlgOpenFile(nullptr, nullptr, nullptr, 0, 1, nullptr), 0);
  EXPECT_EQ(dialogs_.runs, 0);
}

TEST_F(OpenFileDialog, OwnerAndItsTopLevelAreDisabledWhileTheDialogRuns) {
  // Top-level 10 owns popup 20, whose child 30 holds child 40.
  windows_.windows = {{10, {0, false, true}},
                      {20, {10, false, true}},
                      {30, {20, true, true}},
                      {40, {30, true, true}}};
  windows_.focus = 40;
  dialogs_.during_dialog = [&] {
    EXPECT_FALSE(windows_.windows[10].enabled);
    EXPECT_FALSE(windows_.windows[20].enabled);
    EXPECT_TRUE(windows_.windows[40].enabled);
    windows_.focus = 0xD1A;
  };
  dialogs_.answer = std::string("/a\0\0", 4);
  int32_t index = 1;
  ASSERT_EQ(
      _DlgOpenFile1(reinterpret_cast<DZV_HWND>(40), nullptr, nullptr, 0, &index, buffer_.data()),
      1);
  EXPECT_EQ(dialogs_.seen.owner, 20u);
  EXPECT_EQ(windows_.log, "disable 10;disable 20;enable 20;focus 40;enable 10;");

  // An owner that was disabled already stays so; a focus window that went
  // away gets no focus; no window, nothing to do.
  windows_.windows[20].enabled = false;
  dialogs_.during_dialog = [&] { windows_.windows.erase(40); };
  windows_.log.clear();
  ASSERT_EQ(
      _DlgOpenFile1(reinterpret_cast<DZV_HWND>(30), nullptr, nullptr, 0, &index, buffer_.data()),
      1);
  EXPECT_EQ(windows_.log, "disable 10;enable 10;");
  dialogs_.during_dialog = nullptr;
  windows_.log.clear();
  ASSERT_EQ(_DlgOpenFile1(nullptr, nullptr, nullptr, 0, &index, buffer_.data()), 1);
  EXPECT_EQ(dialogs_.seen.owner, 0u);
  EXPECT_EQ(windows_.log, "");
}

TEST(NextPathRule, BackslashIsAddedUnlessTheDirectoryEndsInItsSeparator) {
  const text::LeadByteTable none;
  EXPECT_EQ(desktop::JoinPath(none, "C:\\dir", "a"), "C:\\dir\\a");
  EXPECT_EQ(desktop::JoinPath(none, "C:\\", "a"), "C:\\a");
  EXPECT_EQ(desktop::JoinPath(none, "/tmp/", "a"), "/tmp/a");
  EXPECT_EQ(desktop::JoinPath(none, "C:\\x/", "a"), "C:\\x/\\a");
  EXPECT_EQ(desktop::JoinPath(none, "", "a"), "\\a");
  platform::CodePageWrapper cp(&platform::CodePage::Default());
  const text::LeadByteTable sjis = text::LeadByteTable::ForCodePage(932, cp);
  // The last character is 0x95 0x5C, not a backslash.
  EXPECT_EQ(desktop::JoinPath(sjis, "C:\\\x95\x5C", "a"), "C:\\\x95\x5C\\a");
  EXPECT_EQ(desktop::JoinPath(none, "C:\\\x95\x5C", "a"),
            "C:\\\x95\x5C"
            "a");
}

TEST(NextPathRule, StepsByCharactersAndStaysInsideTheBuffer) {
  platform::CodePageWrapper cp(&platform::CodePage::Default());
  const text::LeadByteTable sjis = text::LeadByteTable::ForCodePage(932, cp);
  // Old style: 0x82 0x20 is one character, not a name separator.
  const std::string old_style("C:\\d\x82\x20x a\0", 10);
  EXPECT_EQ(desktop::BuildSelectionList(sjis, old_style, ' '), "C:\\d\x82\x20x\\a|");
  // A selection that runs to the buffer's end stops there.
  const std::string full("/d\0aa\0bb", 8);
  EXPECT_EQ(desktop::BuildSelectionList(sjis, full, '\0'), "/d\\aa|/d\\bb|");
  EXPECT_EQ(desktop::BuildSelectionList(sjis, std::string_view("/only", 5), '\0'), "/only|");
}

class FolderDialog : public ::testing::Test {
 protected:
  ScriptedDialogs dialogs_;
  platform::ScopedService<platform::Dialogs> scoped_{&dialogs_};
  char display_[platform::kMaxPath] = "display before";
  char path_[platform::kMaxPath] = "path before";
};

TEST_F(FolderDialog, ChosenFolderAndTheInitialSelection) {
  dialogs_.answer = "/home/u/docs";
  const char* initial = "/home/u";
  EXPECT_EQ(_DlgBrowseForFolder(reinterpret_cast<DZV_HWND>(7), "Where?", initial, display_, path_),
            1);
  EXPECT_STREQ(path_, "/home/u/docs");
  EXPECT_STREQ(display_, "Display");
  EXPECT_EQ(dialogs_.seen_browse.owner, 7u);
  EXPECT_STREQ(dialogs_.seen_browse.title, "Where?");
  EXPECT_EQ(dialogs_.seen_browse.flags, 0u);
  EXPECT_EQ(dialogs_.seen_browse.display_name, display_);
  // Only the initialisation message selects; the text is passed as it is.
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].dialog, ScriptedDialogs::kDialogWindow);
  EXPECT_EQ(dialogs_.messages[0].message, 1126u);
  EXPECT_EQ(dialogs_.messages[0].wparam, 1u);
  EXPECT_EQ(dialogs_.messages[0].lparam, reinterpret_cast<intptr_t>(initial));
  EXPECT_EQ(dialogs_.frees, 1);
  EXPECT_EQ(dialogs_.releases, 1);

  // A null initial folder is sent as it is; a folder without a path counts.
  dialogs_.answer = "";
  dialogs_.messages.clear();
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, nullptr, nullptr, display_, path_), 1);
  EXPECT_EQ(dialogs_.messages.at(0).lparam, 0);
  EXPECT_STREQ(path_, "");
}

TEST_F(FolderDialog, CancelAndMissingAllocatorLeaveTheBuffers) {
  dialogs_.confirm = false;
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, nullptr, "/tmp", display_, path_), 0);
  EXPECT_EQ(dialogs_.releases, 1);
  EXPECT_EQ(dialogs_.frees, 0);
  dialogs_.allocator_available = false;
  dialogs_.confirm = true;
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, nullptr, "/tmp", display_, path_), 0);
  EXPECT_EQ(dialogs_.runs, 1);
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, nullptr, "/tmp", nullptr, path_), 0);
  EXPECT_STREQ(display_, "display before");
  EXPECT_STREQ(path_, "path before");
}

// ---- The Linux dialogs without a desktop ------------------------------------

TEST(DesktopDialogs, WithoutADesktopEveryDialogEndsAsCancelled) {
  if (!testing::InChildProcess({"DISPLAY=", "WAYLAND_DISPLAY="})) return;
  std::vector<char> buffer(kBufferSize, 'q');
  std::memcpy(buffer.data(), "entry", 6);
  int32_t index = 2;
  EXPECT_EQ(_DlgOpenFile1(nullptr, "t", "A|*|", 0, &index, buffer.data()), 0);
  EXPECT_EQ(index, 2);
  EXPECT_STREQ(buffer.data(), "entry");
  char display[platform::kMaxPath] = "d", path[platform::kMaxPath] = "p";
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, nullptr, "/tmp", display, path), 0);
  EXPECT_STREQ(path, "p");
}

// Without a session bus there is no desktop portal either.
TEST(DesktopDialogs, WithoutZenityEveryDialogEndsAsCancelled) {
  if (!testing::InChildProcess({"DISPLAY=:2147483", "PATH=/nonexistent",
                                "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"})) {
    return;
  }
  std::vector<char> buffer(kBufferSize, '\0');
  int32_t index = 1;
  EXPECT_EQ(_DlgOpenFile1(nullptr, nullptr, nullptr, 0, &index, buffer.data()), 0);
  char display[platform::kMaxPath] = "d", path[platform::kMaxPath] = "p";
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, nullptr, nullptr, display, path), 0);
}

}  // namespace
}  // namespace dzv
