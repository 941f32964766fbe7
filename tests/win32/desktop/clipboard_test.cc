// The clipboard functions on the system clipboard of Windows (under Wine in
// CI): text set and read back through the exports, other formats kept, and
// a clipboard held open elsewhere.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "duduzuvez210.h"

namespace {

DZV_HWND Owner(HWND window) { return reinterpret_cast<DZV_HWND>(window); }

// Puts `bytes` on the emptied clipboard as the data of `format`.
void PutOnly(UINT format, const std::string& bytes) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  ASSERT_NE(block, nullptr);
  std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  EXPECT_NE(SetClipboardData(format, block), nullptr);
  CloseClipboard();
}

// The bytes the clipboard holds in `format` ("<none>" when none).
std::string Read(UINT format) {
  if (!OpenClipboard(nullptr)) return "<not open>";
  std::string bytes = "<none>";
  if (HANDLE block = GetClipboardData(format)) {
    const char* p = static_cast<const char*>(GlobalLock(block));
    bytes.assign(p, GlobalSize(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return bytes;
}

class Win32Clipboard : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExA(0, "STATIC", "dzv clipboard test", 0, 0, 0, 10, 10, HWND_MESSAGE,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { DestroyWindow(window_); }
  HWND window_ = nullptr;
};

TEST_F(Win32Clipboard, TextSetAndReadBackKeepsOtherFormats) {
  const UINT own = RegisterClipboardFormatA("dzv.test.format");
  ASSERT_NE(own, 0u);
  PutOnly(own, std::string("kept\0bytes", 10));

  EXPECT_EQ(_SetClipboardData(Owner(window_), "caf\xE9 text"), 9);
  EXPECT_EQ(_GetClipboardDataLength(Owner(window_)), 10);
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(_GetClipboardData(Owner(window_), buffer), 9);
  EXPECT_STREQ(buffer, "caf\xE9 text");
  EXPECT_EQ(Read(own).substr(0, 10), std::string("kept\0bytes", 10));

  // An empty text, and a window of 0.
  EXPECT_EQ(_SetClipboardData(nullptr, ""), 0);
  EXPECT_EQ(_GetClipboardDataLength(nullptr), 1);
  EXPECT_EQ(_GetClipboardData(nullptr, buffer), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(Read(own).substr(0, 10), std::string("kept\0bytes", 10));
}

TEST_F(Win32Clipboard, NoTextLeavesTheBufferAlone) {
  PutOnly(RegisterClipboardFormatA("dzv.test.format"), "other");
  EXPECT_EQ(_GetClipboardDataLength(Owner(window_)), 0);
  char buffer[4] = "abc";
  EXPECT_EQ(_GetClipboardData(Owner(window_), buffer), 0);
  EXPECT_STREQ(buffer, "abc");
}

TEST_F(Win32Clipboard, HeldOpenByAnotherThreadEveryCallFails) {
  PutOnly(CF_TEXT, std::string("before", 7));
  HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    HWND other = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
    const BOOL open = OpenClipboard(other);
    SetEvent(opened);
    WaitForSingleObject(release, INFINITE);
    if (open) CloseClipboard();
    DestroyWindow(other);
  });
  WaitForSingleObject(opened, INFINITE);

  char buffer[4] = "abc";
  EXPECT_EQ(_GetClipboardDataLength(Owner(window_)), 0);
  EXPECT_EQ(_GetClipboardData(Owner(window_), buffer), 0);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(_SetClipboardData(Owner(window_), "after"), 0);

  SetEvent(release);
  holder.join();
  CloseHandle(opened);
  CloseHandle(release);
  EXPECT_STREQ(Read(CF_TEXT).c_str(), "before");
  EXPECT_EQ(_GetClipboardDataLength(Owner(window_)), 7);
}

}  // namespace
