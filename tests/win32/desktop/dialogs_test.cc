// The dialog functions on the system's common dialogs of Windows (under
// Wine and Xvfb in CI), driven from a second thread that finds the dialog
// among this thread's windows and works its controls.
#include <windows.h>
// After windows.h:
#include <dlgs.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "duduzuvez210.h"
#include "platform/dialogs.h"

namespace {

DZV_HWND Owner(HWND window) { return reinterpret_cast<DZV_HWND>(window); }

BOOL CALLBACK TakeVisibleDialog(HWND window, LPARAM out) {
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(out) = window;
  return FALSE;
}

// A visible dialog window of `thread`, or null.
HWND FindDialog(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(thread, &TakeVisibleDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Runs `act` on another thread with the dialog that this thread shows next;
// `found()` tells, after the dialog has ended, whether it was seen.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(HWND)> act)
      : thread_([this, owner_thread = GetCurrentThreadId(), act = std::move(act)] {
          for (int tries = 0; tries < 600; ++tries) {
            if (HWND dialog = FindDialog(owner_thread)) {
              Sleep(300);  // let the dialog settle (its folder view fills in)
              found_ = true;
              act(dialog);
              return;
            }
            Sleep(50);
          }
        }) {}
  ~DialogDriver() { Join(); }
  bool found() {
    Join();
    return found_;
  }

 private:
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  bool found_ = false;
  std::thread thread_;
};

void Press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types `text` as the file name and confirms it, waiting while the dialog
// acts on it.
void EnterFileName(HWND dialog, const std::string& text) {
  HWND name = GetDlgItem(dialog, cmb13);
  if (name == nullptr) name = GetDlgItem(dialog, edt1);
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

// A fresh folder under the temporary folder with `files` in it.
class Folder {
 public:
  explicit Folder(const std::vector<std::string>& files) : files_(files) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp) + "dzv-dialogs-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
    for (const std::string& file : files_) {
      CloseHandle(CreateFileA((path_ + "\\" + file).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr));
    }
  }
  ~Folder() {
    for (const std::string& file : files_) DeleteFileA((path_ + "\\" + file).c_str());
    RemoveDirectoryA(path_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::vector<std::string> files_;
  std::string path_;
};

class Win32Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExA(0, "STATIC", "dzv dialog owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300,
                             300, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    buffer_.assign(30000, '\x7f');
  }
  void TearDown() override { DestroyWindow(owner_); }

  HWND owner_ = nullptr;
  std::string buffer_;
};

TEST_F(Win32Dialogs, OpenFileTwoFilesCentredOverTheDisabledOwner) {
  Folder folder({"a.txt", "b.txt", "c.doc"});
  RECT dialog_box{};
  RECT work{};
  BOOL owner_enabled = TRUE;
  DialogDriver driver([&](HWND dialog) {
    GetWindowRect(dialog, &dialog_box);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    work = monitor.rcWork;
    owner_enabled = IsWindowEnabled(owner_);
    // The first pair ("Text") instead of the second.
    HWND filters = GetDlgItem(dialog, cmb1);
    SendMessageA(filters, CB_SETCURSEL, 0, 0);
    for (WORD notification : {CBN_SELCHANGE, CBN_SELENDOK}) {
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, notification),
                   reinterpret_cast<LPARAM>(filters));
    }
    EnterFileName(dialog, folder.path());
    EnterFileName(dialog, "\"a.txt\" \"b.txt\"");
  });
  std::strcpy(buffer_.data(), "entry.txt");
  int32_t index = 2;
  const int32_t result =
      _DlgOpenFile1(Owner(owner_), "dzv open", "Text|*.txt|All|*.*|", 0, &index, buffer_.data());
  ASSERT_TRUE(driver.found());
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(buffer_.c_str(), (folder.path() + "\\a.txt|" + folder.path() + "\\b.txt|").c_str());
  EXPECT_EQ(index, 1);

  EXPECT_FALSE(owner_enabled);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  RECT owner_box;
  GetWindowRect(owner_, &owner_box);
  EXPECT_NEAR(dialog_box.left + dialog_box.right, owner_box.left + owner_box.right, 2);
  EXPECT_NEAR(dialog_box.top + dialog_box.bottom, owner_box.top + owner_box.bottom, 2);
  EXPECT_GE(dialog_box.left, work.left);
  EXPECT_GE(dialog_box.top, work.top);
}

// Without an owner the dialog is centred in the primary monitor's work area.
TEST_F(Win32Dialogs, OpenFileCancelledWritesNothing) {
  RECT dialog_box{};
  DialogDriver driver([&](HWND dialog) {
    GetWindowRect(dialog, &dialog_box);
    Press(dialog, IDCANCEL);
  });
  std::strcpy(buffer_.data(), "entry.txt");
  int32_t index = 2;
  EXPECT_EQ(_DlgOpenFile1(nullptr, nullptr, "Text|*.txt|All|*.*|", 0, &index, buffer_.data()), 0);
  ASSERT_TRUE(driver.found());
  EXPECT_EQ(index, 2);
  EXPECT_STREQ(buffer_.c_str(), "entry.txt");
  EXPECT_EQ(buffer_.find_first_not_of('\0', 10), std::string::npos);

  MONITORINFO primary{};
  primary.cbSize = sizeof primary;
  GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
  const RECT& work = primary.rcWork;
  EXPECT_NEAR(dialog_box.left + dialog_box.right, work.left + work.right, 2);
  EXPECT_NEAR(dialog_box.top + dialog_box.bottom, work.top + work.bottom, 2);
}

TEST_F(Win32Dialogs, FolderStartsAtTheInitialFolderAndCancelKeepsTheBuffers) {
  Folder folder({});
  char display[MAX_PATH] = "display";
  char path[MAX_PATH] = "path";
  {
    DialogDriver driver([](HWND dialog) { Press(dialog, IDCANCEL); });
    EXPECT_EQ(
        _DlgBrowseForFolder(Owner(owner_), "dzv folder", folder.path().c_str(), display, path), 0);
    ASSERT_TRUE(driver.found());
    EXPECT_STREQ(display, "display");
    EXPECT_STREQ(path, "path");
  }
  DialogDriver driver([](HWND dialog) { Press(dialog, IDOK); });
  EXPECT_EQ(_DlgBrowseForFolder(Owner(owner_), "dzv folder", folder.path().c_str(), display, path),
            1);
  ASSERT_TRUE(driver.found());
  EXPECT_STREQ(path, folder.path().c_str());
  // The shell's display name of the folder: its name (Wine gives the path).
  const std::string name = folder.path().substr(folder.path().rfind('\\'));
  EXPECT_TRUE(("\\" + std::string(display)).ends_with(name)) << display;
}

// Whether this thread has COM: a further initialisation says so (S_FALSE),
// and is undone at once.
bool ThreadHasCom() {
  const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(result)) CoUninitialize();
  return result == S_FALSE;
}

// The chosen folder's item list is the shell's: COM stays on a thread that
// had none until the allocator that frees the list has been given back.
TEST_F(Win32Dialogs, FolderKeepsComUntilTheAllocatorIsReleased) {
  std::thread([] {
    ASSERT_FALSE(ThreadHasCom());
    dzv::platform::Dialogs& dialogs = dzv::platform::Dialogs::Default();
    dzv::platform::ShellAllocator* allocator = nullptr;
    ASSERT_TRUE(dialogs.GetShellAllocator(&allocator));
    dzv::platform::BrowseSettings settings;
    DialogDriver driver([](HWND dialog) { Press(dialog, IDOK); });
    dzv::platform::ItemList* chosen = dialogs.BrowseForFolder(settings);
    ASSERT_TRUE(driver.found());
    ASSERT_NE(chosen, nullptr);
    EXPECT_TRUE(ThreadHasCom()) << "the item list outlives COM";
    // The folder first selected (the desktop's) is chosen.
    char path[MAX_PATH] = "";
    EXPECT_TRUE(dialogs.GetPathFromItemList(chosen, path));
    EXPECT_NE(path[0], '\0');
    allocator->Free(chosen);
    EXPECT_TRUE(ThreadHasCom());
    allocator->Release();
    EXPECT_FALSE(ThreadHasCom()) << "COM was left initialised";
  }).join();
}

}  // namespace
