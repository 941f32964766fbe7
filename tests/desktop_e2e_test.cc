// End to end on a real X11 desktop: each test starts its own Xvfb server and
// talks to it through the exports, with xclip, zenity and xdotool on the
// other side. Skipped, saying why, where those programs are missing.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "background.h"
#include "duduzuvez210.h"
#include "platform/code_page.h"
#include "platform/linux/process_runner.h"
#include "platform/windowing.h"
#include "test_util.h"
#include "text/mbcs.h"

namespace dzv {
namespace {

using platform::FindExecutable;
using platform::ProcessOptions;
using platform::ProcessResult;
using platform::RunProcess;
using testing::Background;

constexpr int kToolTimeoutMs = 20000;

// Standard output of a tool, or nullopt when it failed or timed out.
std::optional<std::string> Tool(const std::vector<std::string>& argv, std::string_view input = {}) {
  ProcessOptions options;
  options.capture_output = input.empty();
  options.feed_input = !input.empty();
  options.input = input;
  options.timeout_ms = kToolTimeoutMs;
  ProcessResult result;
  if (!RunProcess(argv, options, &result) || result.timed_out || result.exit_code != 0) {
    return std::nullopt;
  }
  return result.output;
}

// Copies `utf8` as another desktop program would, and waits until the
// desktop serves it (xclip returns before its server owns the selection).
bool CopyElsewhere(const std::string& xclip, const std::string& utf8) {
  if (!Tool({xclip, "-i", "-selection", "clipboard"}, utf8)) return false;
  for (int i = 0; i < 200; ++i) {
    if (Tool({xclip, "-o", "-selection", "clipboard"}) == utf8) return true;
    poll(nullptr, 0, 10);
  }
  return false;
}

class VirtualDesktop : public ::testing::Test {
 protected:
  // Starts Xvfb on a free display (it picks the number and writes it to
  // the descriptor given by -displayfd) and makes it this process's desktop.
  // False when the test is to end here, skipped or failed.
  bool StartDesktop(std::initializer_list<const char*> tools) {
    Start(tools);
    return !IsSkipped() && !HasFatalFailure();
  }

  void Start(std::initializer_list<const char*> tools) {
    std::string missing;
    for (const char* tool : tools) {
      const std::string path = FindExecutable(tool);
      if (path.empty()) missing += std::string(" ") + tool;
      paths_.push_back(path);
    }
    if (!missing.empty()) {
      GTEST_SKIP() << "desktop programs missing:" << missing
                   << " (Debian packages xvfb, xclip, zenity, xdotool; .ci/run installs them)";
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    // -noreset: an X server resets whenever its last client leaves, and
    // drops the connections that arrive meanwhile; a desktop session always
    // has clients, this one often has none between two calls.
    xvfb_.emplace(std::vector<std::string>{paths_[0], "-displayfd", "3", "-noreset", "-nolisten",
                                           "tcp", "-screen", "0", "1024x768x24"},
                  fds[1]);
    close(fds[1]);
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, kToolTimeoutMs) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
      number += c;
    }
    close(fds[0]);
    ASSERT_TRUE(xvfb_->started() && !number.empty()) << "Xvfb did not start";

    Setenv("DISPLAY", ":" + number);
    Setenv("WAYLAND_DISPLAY", std::nullopt);
    Setenv("XDG_RUNTIME_DIR", home_.path());
    Setenv("HOME", home_.path());
    Setenv("NO_AT_BRIDGE", "1");
    // No session bus, so no desktop portal: the dialogs are zenity's.
    Setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home_.File("no-bus"));
    UseCodePage(1252);
  }

  void TearDown() override {
    xvfb_.reset();
    if (previous_table_) platform::SetProcessLeadBytesForTesting(*previous_table_);
  }

  void Setenv(const std::string& name, const std::optional<std::string>& value) {
    environment_.Set(name, value);
  }

  void UseCodePage(uint32_t code_page) {
    platform::CodePageWrapper platform(&platform::CodePage::Default());
    const text::LeadByteTable previous = platform::SetProcessLeadBytesForTesting(
        text::LeadByteTable::ForCodePage(code_page, platform));
    if (!previous_table_) previous_table_ = previous;
  }

  const std::string& path(size_t i) const { return paths_[i]; }

  // Types `text` into the location bar of the dialog titled `title` once it
  // shows, and presses Return. The keys go through XTEST, as a user's
  // would: each xdotool after the search, which would send them as events.
  Background TypeIntoDialog(const std::string& title, const std::string& text) {
    return Background({"/usr/bin/timeout", "30", "/bin/sh", "-c",
                       "xdotool search --sync --onlyvisible --name \"^$0$\" "
                       "windowfocus --sync %1 && sleep 0.5 && xdotool key ctrl+l && "
                       "sleep 0.3 && xdotool type --delay 15 \"$1\" && sleep 0.3 && "
                       "xdotool key Return",
                       title, text});
  }

  // Ends the desktop, and with it any dialog, should the typing fail.
  Background Watchdog() {
    return Background({"/bin/sh", "-c", "sleep 45; kill " + std::to_string(xvfb_->pid())});
  }

  testing::TempDir home_;
  std::vector<std::string> paths_;
  std::optional<Background> xvfb_;
  testing::ScopedEnvironment environment_;
  std::optional<text::LeadByteTable> previous_table_;
};

TEST_F(VirtualDesktop, TextSetHereIsPastedElsewhere) {
  if (!StartDesktop({"Xvfb", "xclip"})) return;
  EXPECT_EQ(_SetClipboardData(nullptr, "caf\xe9 \x80 1"), 8);
  EXPECT_EQ(Tool({path(1), "-o", "-selection", "clipboard"}), "café € 1");
  EXPECT_EQ(_GetClipboardDataLength(nullptr), 9);

  UseCodePage(932);
  EXPECT_EQ(_SetClipboardData(nullptr, "\x93\xfa\x96\x7b"), 4);
  EXPECT_EQ(Tool({path(1), "-o", "-selection", "clipboard"}), "日本");
  EXPECT_EQ(_SetClipboardData(nullptr, ""), 0);
  EXPECT_EQ(Tool({path(1), "-o", "-selection", "clipboard"}), "");
}

TEST_F(VirtualDesktop, TextCopiedElsewhereIsReadHere) {
  if (!StartDesktop({"Xvfb", "xclip"})) return;
  char buffer[32] = "untouched";
  EXPECT_EQ(_GetClipboardDataLength(nullptr), 0) << "a fresh desktop has no clipboard text";
  EXPECT_EQ(_GetClipboardData(nullptr, buffer), 0);
  EXPECT_STREQ(buffer, "untouched");

  ASSERT_TRUE(CopyElsewhere(path(1), "grüße ✓"));
  EXPECT_EQ(_GetClipboardDataLength(nullptr), 8);
  EXPECT_EQ(_GetClipboardData(nullptr, buffer), 7);
  EXPECT_STREQ(buffer,
               "gr\xfc\xdf"
               "e ?");  // the code page lacks the check mark

  UseCodePage(932);
  ASSERT_TRUE(CopyElsewhere(path(1), "日本"));
  EXPECT_EQ(_GetClipboardData(nullptr, buffer), 4);
  EXPECT_STREQ(buffer, "\x93\xfa\x96\x7b");
}

TEST_F(VirtualDesktop, OpenFileDialogAnsweredByTyping) {
  if (!StartDesktop({"Xvfb", "zenity", "xdotool"})) return;
  const std::string& zenity = path(1);
  const std::string& xdotool = path(2);
  testing::WriteFileBytes(home_.File("a.txt"), "a");
  testing::WriteFileBytes(home_.File("b.doc"), "b");

  // The window the dialog belongs to, with the focus.
  Background owner_window({zenity, "--info", "--title=dzv-owner", "--text=owner"});
  const auto found = Tool({xdotool, "search", "--sync", "--onlyvisible", "--name", "^dzv-owner$"});
  ASSERT_TRUE(found) << "the owner window did not appear";
  const std::string owner = found->substr(0, found->find('\n'));
  ASSERT_TRUE(Tool({xdotool, "windowfocus", "--sync", owner}));

  // The dialog opens in the entry text's folder; a name typed there is
  // completed against that folder only.
  Background typist = TypeIntoDialog("dzv-e2e-open", "a.txt");
  Background watchdog = Watchdog();
  ASSERT_TRUE(typist.started() && watchdog.started());

  std::vector<char> buffer(30000, '\0');
  const std::string entry = home_.File("b.doc");
  std::copy(entry.begin(), entry.end(), buffer.begin());
  int32_t index = 2;
  EXPECT_EQ(_DlgOpenFile1(reinterpret_cast<DZV_HWND>(std::stoul(owner)), "dzv-e2e-open",
                          "Text files|*.txt|All files|*.*|", 0, &index, buffer.data()),
            1);
  EXPECT_EQ(std::string(buffer.data()), home_.File("a.txt") + "|");
  EXPECT_EQ(index, 2);
  EXPECT_EQ(Tool({xdotool, "getwindowfocus"}), owner + "\n") << "the focus did not come back";
}

TEST_F(VirtualDesktop, FolderDialogAnsweredByTyping) {
  if (!StartDesktop({"Xvfb", "zenity", "xdotool"})) return;
  std::filesystem::create_directory(home_.File("sub"));
  // The dialog opens in home with "sub" selected.
  Background typist = TypeIntoDialog("dzv-e2e-folder", "sub/");
  Background watchdog = Watchdog();
  ASSERT_TRUE(typist.started() && watchdog.started());
  char display[260] = "", path[260] = "";
  EXPECT_EQ(
      _DlgBrowseForFolder(nullptr, "dzv-e2e-folder", home_.File("sub").c_str(), display, path), 1);
  EXPECT_EQ(std::string(path), home_.File("sub"));
  EXPECT_STREQ(display, "sub");
}

// The desktop portal's chooser (xdg-desktop-portal with its GTK backend),
// started on demand by a session bus of the test's own, answers with the
// filter selected.
TEST_F(VirtualDesktop, PortalDialogReportsTheFilter) {
  if (!StartDesktop({"Xvfb", "xdotool", "dbus-daemon", "dbus-update-activation-environment"})) {
    return;
  }
  for (const char* program :
       {"/usr/libexec/xdg-desktop-portal", "/usr/libexec/xdg-desktop-portal-gtk"}) {
    if (access(program, X_OK) != 0) {
      GTEST_SKIP() << program << " missing (Debian packages xdg-desktop-portal, "
                   << "xdg-desktop-portal-gtk; .ci/run installs them)";
    }
  }
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  Background bus({path(2), "--session", "--nofork", "--print-address=3"}, fds[1]);
  close(fds[1]);
  const std::string address = testing::ReadLine(fds[0], kToolTimeoutMs);
  close(fds[0]);
  ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
  Setenv("DBUS_SESSION_BUS_ADDRESS", address);
  Setenv("XDG_CURRENT_DESKTOP", "GNOME");  // where the GTK backend serves
  // The backend, started by the bus, needs the display.
  ASSERT_TRUE(Tool({path(3), "DISPLAY", "XDG_CURRENT_DESKTOP"}));
  testing::WriteFileBytes(home_.File("a.txt"), "a");
  testing::WriteFileBytes(home_.File("b.doc"), "b");

  Background typist = TypeIntoDialog("dzv-e2e-portal", home_.File("b.doc"));
  Background watchdog = Watchdog();
  ASSERT_TRUE(typist.started() && watchdog.started());
  Setenv("PATH", home_.File("nothing"));  // no zenity: only the portal can answer
  std::vector<char> buffer(30000, '\0');
  int32_t index = 2;
  EXPECT_EQ(_DlgOpenFile1(nullptr, "dzv-e2e-portal", "Text|*.txt|Documents|*.doc|", 0, &index,
                          buffer.data()),
            1);
  EXPECT_EQ(std::string(buffer.data()), home_.File("b.doc") + "|");
  EXPECT_EQ(index, 2);
}

TEST_F(VirtualDesktop, WindowsOfTheDisplay) {
  if (!StartDesktop({"Xvfb", "xwininfo"})) return;
  const auto info = Tool({path(1), "-root"});
  ASSERT_TRUE(info);
  const size_t at = info->find("Window id: ");
  ASSERT_NE(at, std::string::npos);
  const platform::WindowHandle root = std::stoul(info->substr(at + 11), nullptr, 16);
  platform::Windows& windows = platform::Windows::Default();
  EXPECT_TRUE(windows.IsWindow(root));
  EXPECT_TRUE(windows.IsWindowEnabled(root));
  EXPECT_FALSE(windows.IsChildWindow(root));
  EXPECT_EQ(windows.GetParent(root), 0u);
  // A window that does not exist is an error on the display, not the end of
  // the process.
  EXPECT_FALSE(windows.IsWindow(0x1FFFFFF));
  EXPECT_FALSE(windows.IsChildWindow(0x1FFFFFF));
  windows.SetFocus(0x1FFFFFF);
  EXPECT_TRUE(windows.IsWindow(root));
  Setenv("DISPLAY", std::nullopt);
  EXPECT_FALSE(windows.IsWindow(root));
  EXPECT_EQ(windows.GetFocus(), 0u);
}

}  // namespace
}  // namespace dzv
