// The Linux dialogs through the desktop portal, on a private bus of the
// test's own with a stand-in portal (portal_stand_in.py) that records what
// the library asks and answers as each case says; a stand-in zenity shows
// where the library falls back to zenity. Skipped, saying why, where
// dbus-daemon or Python's D-Bus modules are missing.
#include "platform/linux/portal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "background.h"
#include "duduzuvez210.h"
#include "platform/code_page.h"
#include "platform/linux/dialogs.h"
#include "platform/linux/process_runner.h"
#include "platform/windowing.h"
#include "test_util.h"
#include "text/mbcs.h"

namespace dzv {
namespace {

using testing::Background;
using testing::ReadLine;

constexpr int kWaitMs = 20000;
constexpr platform::WindowHandle kOwner = 0x400008;

// kOwner is the one window of the display.
class OneWindow : public platform::WindowsWrapper {
 public:
  OneWindow() : WindowsWrapper(&platform::Windows::Default()) {}
  bool IsWindow(platform::WindowHandle w) override { return w == kOwner; }
};

// The process groups of the bus and the stand-in, for OnHang.
volatile pid_t helper_groups[2] = {0, 0};

// A wait that never ends fails the test instead of hanging it, and takes
// the bus and the stand-in with it.
void OnHang(int) {
  for (pid_t group : helper_groups) {
    if (group > 0) kill(-group, SIGKILL);
  }
  static const char message[] = "portal_test: a dialog did not return\n";
  if (write(2, message, sizeof message - 1) < 0) _exit(2);
  _exit(1);
}

class PortalBus : public ::testing::Test {
 protected:
  void SetUp() override {
    signal(SIGALRM, &OnHang);
    alarm(60);
    const std::string daemon = platform::FindExecutable("dbus-daemon");
    platform::ProcessResult probe;
    if (daemon.empty() || !platform::RunProcess({python_, "-c", "import dbus, gi"}, {}, &probe) ||
        probe.exit_code != 0) {
      GTEST_SKIP() << "dbus-daemon or Python's dbus and gi modules missing (Debian packages "
                      "dbus, python3-dbus, python3-gi; scripts/install-deps test installs them)";
    }
    // A bus that starts no services: only the stand-in can be the portal.
    testing::WriteFileBytes(dir_.File("bus.conf"),
                            "<busconfig><type>session</type><listen>unix:dir=" + dir_.path() +
                                "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                                "<allow own=\"*\"/></policy>"
                                "</busconfig>");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    bus_.emplace(std::vector<std::string>{daemon, "--config-file=" + dir_.File("bus.conf"),
                                          "--nofork", "--print-address=3"},
                 fds[1]);
    close(fds[1]);
    helper_groups[0] = bus_->pid();
    const std::string address = ReadLine(fds[0], kWaitMs);
    close(fds[0]);
    ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
    // zenity's stand-in answers one file and keeps its arguments.
    testing::WriteFileBytes(dir_.File("zenity"),
                            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"${0%/*}/zenity.args\"\n"
                            "echo /tmp/from-zenity\n");
    chmod(dir_.File("zenity").c_str(), 0700);
    Setenv("DBUS_SESSION_BUS_ADDRESS", address);
    Setenv("DISPLAY", ":2147483");
    Setenv("WAYLAND_DISPLAY", "");
    Setenv("PATH", dir_.path());
    platform::CodePageWrapper cp(&platform::CodePage::Default());
    previous_table_ =
        platform::SetProcessLeadBytesForTesting(text::LeadByteTable::ForCodePage(1252, cp));
  }

  void TearDown() override {
    portal_.reset();
    bus_.reset();
    if (previous_table_) platform::SetProcessLeadBytesForTesting(*previous_table_);
    if (answers_ >= 0) close(answers_);
    alarm(0);
    helper_groups[0] = 0;
    helper_groups[1] = 0;
  }

  void Setenv(const std::string& name, const std::optional<std::string>& value) {
    environment_.Set(name, value);
  }

  // Starts the stand-in portal (see portal_stand_in.py for the arguments).
  void StartPortal(int version, const std::string& mode, int response, const std::string& results) {
    portal_.reset();
    if (answers_ >= 0) close(answers_);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    portal_.emplace(
        std::vector<std::string>{python_, DZV_SOURCE_DIR "/tests/portal_stand_in.py",
                                 std::to_string(version), mode, std::to_string(response), results,
                                 std::to_string(bus_->pid())},
        fds[1]);
    close(fds[1]);
    helper_groups[1] = portal_->pid();
    answers_ = fds[0];
    ASSERT_EQ(ReadLine(answers_, kWaitMs), "ready") << "the stand-in portal did not start";
  }
  // What the stand-in was asked: parent window | title | options.
  std::string Asked() { return ReadLine(answers_, kWaitMs); }

  testing::TempDir dir_;
  // Debian's Python, whose modules the Debian packages are.
  std::string python_ = "/usr/bin/python3";
  std::optional<Background> bus_, portal_;
  int answers_ = -1;
  testing::ScopedEnvironment environment_;
  std::optional<text::LeadByteTable> previous_table_;
  OneWindow windows_;
  platform::ScopedService<platform::Windows> scoped_windows_{&windows_};
  // The system's dialogs, attaching to the test's window.
  std::unique_ptr<platform::Dialogs> dialogs_ = platform::NewLinuxDialogs(
      {platform::CodePage::Default(), platform::ProcessLeadBytes(), windows_});
  platform::ScopedService<platform::Dialogs> scoped_dialogs_{dialogs_.get()};
};

// What the open-file dialog below asks: the owner, the title, both filters
// with the second selected, multiple selection; the entry's folder from
// version 4 on.
constexpr char kAskedBefore4[] =
    "x11:400008 | Pick | {'current_filter': ('All', [(0, '*')]), 'filters': [('Text', [(0, "
    "'*.txt'), (0, '*.doc')]), ('All', [(0, '*')])], 'modal': True, 'multiple': True}";
constexpr char kAsked4[] =
    "x11:400008 | Pick | {'current_filter': ('All', [(0, '*')]), 'current_folder': "
    "b'/home/u\\x00', 'filters': [('Text', [(0, '*.txt'), (0, '*.doc')]), ('All', [(0, '*')])], "
    "'modal': True, 'multiple': True}";

struct OpenCase {
  const char* name;
  int version;  // 0: no portal on the bus
  const char* mode;
  int response;
  const char* results;
  const char* list;  // the selection list, or null: nothing chosen
  int32_t index;     // the filter index afterwards
};

const OpenCase kOpenCases[] = {
    {"Chosen", 4, "answer", 0,
     "{'uris': U('file:///tmp/d/a%20b.txt', 'file:///tmp/d/caf%C3%A9.txt'), "
     "'current_filter': F('Text', '*.txt', '*.doc'), 'other': dbus.UInt32(7)}",
     "/tmp/d/a b.txt|/tmp/d/caf\xe9.txt|", 1},
    // Sent before the reply to OpenFile: only a caller that subscribed
    // before asking receives it.
    {"AnsweredAtOnce", 3, "at-once", 0,
     "{'uris': U('file:///tmp/x.txt'), 'current_filter': F('Text', '*.txt', '*.doc')}",
     "/tmp/x.txt|", 1},
    {"FilterOfAnotherKeepsTheIndex", 3, "answer", 0,
     "{'uris': U('file://localhost/tmp/x.txt'), 'current_filter': F('Text', '*.txt')}",
     "/tmp/x.txt|", 2},
    {"Cancelled", 3, "answer", 1, "{}", nullptr, 2},
    {"EndedOtherwise", 3, "answer", 2, "{'uris': U('file:///tmp/x.txt')}", nullptr, 2},
    {"PortalLeftTheBus", 3, "vanish", 0, "{}", nullptr, 2},
    {"BusWentAway", 3, "kill-bus", 0, "{}", nullptr, 2},
    {"NotALocalFile", 3, "answer", 0,
     "{'uris': U('file:///tmp/a.txt', 'https://example.org/b.txt')}", nullptr, 2},
    {"NameOutsideTheCodePage", 3, "answer", 0, "{'uris': U('file:///tmp/%E6%97%A5.txt')}", nullptr,
     2},
    {"SelectionOver30000Bytes", 3, "answer", 0,
     "{'uris': U(*['file:///tmp/' + 'n' * 200 + str(i) for i in range(150)])}", nullptr, 2},
    {"NoUris", 3, "answer", 0, "{'current_filter': F('Text', '*.txt', '*.doc')}", nullptr, 2},
    {"UrisNotStrings", 3, "answer", 0, "{'uris': dbus.UInt32(1)}", nullptr, 2},
    {"FilterNotAFilter", 3, "answer", 0,
     "{'uris': U('file:///tmp/x.txt'), 'current_filter': 'Text'}", nullptr, 2},
    // zenity's turn: it cannot tell the filter.
    {"RefusedGoesToZenity", 3, "refuse", 0, "{}", "/tmp/from-zenity|", 2},
    {"NoPortalGoesToZenity", 0, "", 0, "", "/tmp/from-zenity|", 2},
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class PortalOpenFile : public PortalBus, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(PortalOpenFile, AnswerBecomesTheSelection) {
  const OpenCase& c = GetParam();
  if (c.version > 0) StartPortal(c.version, c.mode, c.response, c.results);
  std::vector<char> buffer(30000, '\0');
  const std::string entry = "/home/u/x.txt";
  std::copy(entry.begin(), entry.end(), buffer.begin());
  int32_t index = 2;
  EXPECT_EQ(_DlgOpenFile1(reinterpret_cast<DZV_HWND>(kOwner), "Pick", "Text|*.txt;*.doc|All|*.*|",
                          0, &index, buffer.data()),
            c.list != nullptr ? 1 : 0);
  EXPECT_EQ(std::string(buffer.data()), c.list != nullptr ? c.list : entry);
  EXPECT_EQ(index, c.index);
  if (c.version > 0) {
    EXPECT_EQ(Asked(), c.version >= 4 ? kAsked4 : kAskedBefore4);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PortalOpenFile, ::testing::ValuesIn(kOpenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortalBus, FolderDialogFromVersion3) {
  char display[260] = "", path[260] = "";
  StartPortal(4, "answer", 0, "{'uris': U('file:///tmp/sub/')}");
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, "Where", "/home/u/start/", display, path), 1);
  EXPECT_STREQ(path, "/tmp/sub");
  EXPECT_STREQ(display, "sub");
  EXPECT_EQ(Asked(),
            " | Where | {'current_folder': b'/home/u/start\\x00', 'directory': True, 'modal': "
            "False, 'multiple': False}");

  // One folder only.
  StartPortal(3, "answer", 0, "{'uris': U('file:///tmp/a', 'file:///tmp/b')}");
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, "Where", "/tmp", display, path), 0);
  EXPECT_STREQ(path, "/tmp/sub");

  // Before version 3 the chooser takes no folders: zenity's turn.
  StartPortal(2, "answer", 0, "{'uris': U('file:///tmp/sub')}");
  EXPECT_EQ(_DlgBrowseForFolder(nullptr, "Where", "/tmp", display, path), 1);
  EXPECT_STREQ(path, "/tmp/from-zenity");
  EXPECT_NE(testing::ReadFileBytes(dir_.File("zenity.args")).find("--directory\n"),
            std::string::npos);
}

TEST_F(PortalBus, DzvNamesTheFilterChosen) {
  StartPortal(3, "answer", 0,
              "{'uris': U('file:///tmp/x.txt'), 'current_filter': F('Docs', '*.doc')}");
  // Standard error only: the paths go to standard output.
  FILE* dzv =
      popen(DZV_CLI_PATH " dialog open --filter 'Text|*.txt|Docs|*.doc|' 2>&1 >/dev/null", "r");
  ASSERT_NE(dzv, nullptr);
  std::string out;
  for (int c; (c = fgetc(dzv)) != EOF;) out += static_cast<char>(c);
  EXPECT_EQ(pclose(dzv), 0);
  EXPECT_EQ(out, "dzv: filter 2\n");
}

TEST(PortalUri, FileUrisOnly) {
  const struct {
    const char* uri;
    const char* path;  // null: refused
  } cases[] = {
      {"file:///a%20b/%C3%A9", "/a b/\xC3\xA9"},
      {"file://localhost/x", "/x"},
      {"file:///", "/"},
      {"file://host/x", nullptr},
      {"file:x", nullptr},
      {"http:///x", nullptr},
      {"file:///a%00b", nullptr},
      {"file:///a%zz", nullptr},
      {"file:///a%4", nullptr},
      {"file:///a?q", nullptr},
  };
  for (const auto& c : cases) {
    std::string path = "unchanged";
    EXPECT_EQ(platform::PathOfFileUri(c.uri, &path), c.path != nullptr) << c.uri;
    EXPECT_EQ(path, c.path != nullptr ? c.path : "unchanged") << c.uri;
  }
}

}  // namespace
}  // namespace dzv
