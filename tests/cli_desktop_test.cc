// dzv clipboard, dialog and credentials: the desktop services.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli_test_util.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dzv::cli_test {
namespace {

// ---- Desktop and credentials ---------------------------------------------

TEST_F(DzvTest, ClipboardTextRoundTripsFromArgumentsAndInput) {
  DZV_LINUX_ONLY("the session clipboard store; Windows: win32.desktop_services");
#ifndef _WIN32
  EXPECT_EQ(Dzv({"clipboard", "set", "Order 4711"}).status, 0);
  EXPECT_EQ(Dzv({"clipboard", "get"}).out, "Order 4711\n");
  EXPECT_EQ(Dzv({"clipboard", "set"}, "two\nlines").status, 0);
  EXPECT_EQ(Dzv({"clipboard", "get", "--raw"}).out, "two\nlines");
  EXPECT_EQ(Dzv({"clipboard", "set", ""}).status, 0);
  EXPECT_EQ(Dzv({"clipboard", "get"}).out, "\n");
#endif
}

TEST_F(DzvTest, AClipboardHeldByAnotherProcessIsReportedAsAFailure) {
  DZV_LINUX_ONLY("the session clipboard store; Windows: win32.desktop_services");
#ifndef _WIN32
  const std::string store = File("runtime") + "/duduzuvez210";
  ASSERT_EQ(Dzv({"clipboard", "set", "before"}).status, 0);  // makes the store
  const std::string command =
      std::string(DZV_CLIPBOARD_HOLDER) + " " + store + " hold > " + File("held");
  std::FILE* holder = popen(command.c_str(), "w");
  ASSERT_NE(holder, nullptr);
  for (int i = 0; i < 500 && ReadFileBytes(File("held")) != "held\n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(ReadFileBytes(File("held")), "held\n");
  const Result set = Dzv({"clipboard", "set", "after"});
  const Result get = Dzv({"clipboard", "get"});
  pclose(holder);
  EXPECT_EQ(set.status, 1);
  EXPECT_THAT(set.err, HasSubstr("the clipboard refused the text"));
  EXPECT_EQ(get.status, 1);
  EXPECT_EQ(Dzv({"clipboard", "get"}).out, "before\n");
#endif
}

TEST_F(DzvTest, DialogsWithoutADesktopSayWhy) {
  DZV_LINUX_ONLY("DISPLAY and WAYLAND_DISPLAY; Windows always has a desktop");
#ifndef _WIN32
  for (const char* dialog : {"open", "folder"}) {
    const Result r = Dzv({"dialog", dialog, "--title", "Pick"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("there is no desktop"));
    EXPECT_EQ(r.out, "");
  }
#endif
}

TEST_F(DzvTest, CredentialsStatusFollowsTheLibrarySearchPath) {
  DZV_LINUX_ONLY("the test libraries are ELF objects found through LD_LIBRARY_PATH");
#ifndef _WIN32
  env_["LD_LIBRARY_PATH"] = DZV_FAKES_DIR "/none";
  const Result none = Dzv({"credentials", "status"});
  EXPECT_EQ(none.status, 0);
  EXPECT_THAT(none.out, HasSubstr("devidoz.dll):    not found"));
  EXPECT_THAT(none.out, HasSubstr("Oci.dll):     not found"));
  env_["LD_LIBRARY_PATH"] = DZV_FAKES_DIR "/sibling:" DZV_FAKES_DIR "/oci";
  const Result both = Dzv({"credentials", "status"});
  EXPECT_THAT(both.out, HasSubstr("devidoz.dll):    available"));
  EXPECT_THAT(both.out, HasSubstr("Oci.dll):     available"));
#endif
}

}  // namespace
}  // namespace dzv::cli_test
