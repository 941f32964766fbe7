// Windows backend of the dialog service: the system's common dialogs.
//
// The open-file dialog is GetOpenFileNameA with the settings as given, the
// library's module as hInstance in the explorer style, and, when the
// settings ask for a hook, the library's hook: once the dialog has set
// itself up it is centred over its owner (over the primary monitor's work
// area when the owner is missing, hidden or minimised) and then moved into
// the work area of the monitor it was centred on, its left and top edges
// taking precedence, without changing its size, stacking order or
// activation. File-name checks are accepted and sharing violations get the
// system's own warning, as without a hook.
//
// The folder dialog is SHBrowseForFolderA; its item lists are the shell's
// and are freed with the allocator of SHGetMalloc. The display name reaches
// the caller's buffer only when a folder was chosen. The shell needs COM on
// the calling thread, for the dialog and for the item list it returns until
// the list has been freed: COM is initialised as a single-threaded apartment
// for the dialog's run and for the whole life of the shell's allocator
// (COM counts the initialisations, so the last of the two to end
// uninitialises it), and a thread that has chosen the multithreaded
// apartment is left as it is.
#include <windows.h>
// After windows.h:
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <new>

#include "platform/dialogs.h"

namespace dzv::platform {
namespace {

static_assert(kOfnHideReadOnly == OFN_HIDEREADONLY && kOfnShowHelp == OFN_SHOWHELP &&
              kOfnEnableHook == OFN_ENABLEHOOK && kOfnAllowMultiSelect == OFN_ALLOWMULTISELECT &&
              kOfnFileMustExist == OFN_FILEMUSTEXIST && kOfnExplorer == OFN_EXPLORER &&
              kOfnEnableSizing == OFN_ENABLESIZING);
static_assert(kBrowseInitialized == BFFM_INITIALIZED && kBrowseSetSelection == BFFM_SETSELECTIONA &&
              kMaxPath == MAX_PATH);

// The settings' record size that names the version-4 record (its size on
// 32-bit Windows); the same record is OPENFILENAME_SIZE_VERSION_400A bytes
// in this build.
constexpr uint32_t kVersion4RecordSize = 76;

HWND ToWindow(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// The module this code is in, whose resources the dialog may use.
HINSTANCE LibraryModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&LibraryModule), &module);
  return module;
}

// The work area of `monitor`, or an empty rectangle.
RECT WorkArea(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor == nullptr || !::GetMonitorInfoA(monitor, &info)) return RECT{};
  return info.rcWork;
}

// Centres `dialog` over its owner, or over the primary monitor's work area,
// and moves it into that monitor's work area.
void PlaceDialog(HWND dialog) {
  RECT box;
  if (!::GetWindowRect(dialog, &box)) return;
  const LONG width = box.right - box.left;
  const LONG height = box.bottom - box.top;

  const HWND owner = ::GetWindow(dialog, GW_OWNER);
  RECT centre_on;
  RECT work;
  if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner) &&
      ::GetWindowRect(owner, &centre_on)) {
    work = WorkArea(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST));
  } else {
    work = WorkArea(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
    centre_on = work;
  }
  LONG left = centre_on.left + ((centre_on.right - centre_on.left) - width) / 2;
  LONG top = centre_on.top + ((centre_on.bottom - centre_on.top) - height) / 2;
  if (work.right > work.left && work.bottom > work.top) {
    if (left + width > work.right) left = work.right - width;
    if (top + height > work.bottom) top = work.bottom - height;
    if (left < work.left) left = work.left;
    if (top < work.top) top = work.top;
  }
  ::SetWindowPos(dialog, nullptr, left, top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

// The hook of the open-file dialog. In the explorer style it runs for a
// child of the dialog window and learns of the dialog through
// notifications; in the old style it runs for the dialog window itself.
UINT_PTR CALLBACK OpenFileHook(HWND window, UINT message, WPARAM, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    if ((::GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) return 0;
    PlaceDialog(window);
    return TRUE;
  }
  if (message == WM_NOTIFY && lparam != 0) {
    const auto* notify = reinterpret_cast<const NMHDR*>(lparam);
    if (notify->code == CDN_INITDONE) {
      PlaceDialog(::GetParent(window));
    } else if (notify->code == CDN_FILEOK) {
      ::SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
    } else if (notify->code == CDN_SHAREVIOLATION) {
      ::SetWindowLongPtrA(window, DWLP_MSGRESULT, OFN_SHAREWARN);
    }
  }
  return 0;
}

// COM on this thread while the object lives: initialised here unless the
// thread has it already.
class ComForDialog {
 public:
  ComForDialog()
      : initialised_(SUCCEEDED(
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComForDialog() {
    if (initialised_) ::CoUninitialize();
  }
  ComForDialog(const ComForDialog&) = delete;
  ComForDialog& operator=(const ComForDialog&) = delete;

 private:
  const bool initialised_;
};

// An item list of the shell's namespace.
class ShellItemList final : public ItemList {
 public:
  explicit ShellItemList(PIDLIST_ABSOLUTE list) : list_(list) {}
  PIDLIST_ABSOLUTE list() const { return list_; }

 private:
  PIDLIST_ABSOLUTE list_;
};

// The shell's allocator, with COM on the thread from before it is had until
// after it is given back; Release gives it back and ends this object.
class ShellMalloc final : public ShellAllocator {
 public:
  ShellMalloc() = default;
  ~ShellMalloc() {
    if (malloc_ != nullptr) malloc_->Release();
  }
  ShellMalloc(const ShellMalloc&) = delete;
  ShellMalloc& operator=(const ShellMalloc&) = delete;

  // False when the shell gives no allocator.
  bool Get() { return SUCCEEDED(::SHGetMalloc(&malloc_)) && malloc_ != nullptr; }
  void Free(ItemList* list) override {
    auto* shell_list = dynamic_cast<ShellItemList*>(list);
    if (shell_list == nullptr) return;
    malloc_->Free(shell_list->list());
    delete shell_list;
  }
  void Release() override { delete this; }

 private:
  ComForDialog com_;  // first in, last out
  IMalloc* malloc_ = nullptr;
};

// What the browse callback passes on to the caller's callback.
struct BrowseCall {
  BrowseCallback callback;
  intptr_t data;
};

int CALLBACK BrowseHook(HWND dialog, UINT message, LPARAM parameter, LPARAM data) {
  const auto* call = reinterpret_cast<const BrowseCall*>(data);
  return call->callback(reinterpret_cast<WindowHandle>(dialog), message, parameter, call->data);
}

class Win32Dialogs final : public Dialogs {
 public:
  bool HasExplorerStyle() override { return LOBYTE(LOWORD(::GetVersion())) >= 4; }

  bool RunOpenFileDialog(OpenFileSettings* s) override {
    if (s == nullptr || s->file == nullptr || s->max_file == 0) return false;
    OPENFILENAMEA dialog{};
    dialog.lStructSize =
        s->struct_size == kVersion4RecordSize ? OPENFILENAME_SIZE_VERSION_400A : sizeof dialog;
    dialog.hwndOwner = ToWindow(s->owner);
    if ((s->flags & OFN_EXPLORER) != 0) dialog.hInstance = LibraryModule();
    dialog.lpstrFilter = s->filter;
    dialog.nFilterIndex = s->filter_index;
    dialog.lpstrFile = s->file;
    dialog.nMaxFile = s->max_file;
    dialog.lpstrTitle = s->title;
    dialog.Flags = s->flags;
    if ((s->flags & OFN_ENABLEHOOK) != 0) dialog.lpfnHook = &OpenFileHook;
    if (!::GetOpenFileNameA(&dialog)) return false;
    s->filter_index = dialog.nFilterIndex;
    return true;
  }

  bool GetShellAllocator(ShellAllocator** allocator) override {
    if (allocator == nullptr) return false;
    auto* shell = new (std::nothrow) ShellMalloc();
    if (shell == nullptr) return false;
    if (!shell->Get()) {
      delete shell;
      return false;
    }
    *allocator = shell;
    return true;
  }

  ItemList* BrowseForFolder(const BrowseSettings& settings) override {
    BrowseCall call{settings.callback, settings.data};
    // The caller's buffer gets the display name only when a folder was
    // chosen: some shells write it while the selection moves.
    char display_name[MAX_PATH] = "";
    BROWSEINFOA browse{};
    browse.hwndOwner = ToWindow(settings.owner);
    browse.pszDisplayName = display_name;
    browse.lpszTitle = settings.title;
    browse.ulFlags = settings.flags;
    if (settings.callback != nullptr) {
      browse.lpfn = &BrowseHook;
      browse.lParam = reinterpret_cast<LPARAM>(&call);
    }
    PIDLIST_ABSOLUTE chosen;
    {
      ComForDialog com;
      chosen = ::SHBrowseForFolderA(&browse);
    }
    if (chosen == nullptr) return nullptr;
    auto* list = new (std::nothrow) ShellItemList(chosen);
    if (list == nullptr) {
      ::CoTaskMemFree(chosen);
      return nullptr;
    }
    if (settings.display_name != nullptr) {
      display_name[MAX_PATH - 1] = '\0';
      std::memcpy(settings.display_name, display_name, std::strlen(display_name) + 1);
    }
    return list;
  }

  bool GetPathFromItemList(const ItemList* list, char* path) override {
    if (path == nullptr) return false;
    const auto* shell_list = dynamic_cast<const ShellItemList*>(list);
    if (shell_list != nullptr && ::SHGetPathFromIDListA(shell_list->list(), path)) return true;
    path[0] = '\0';
    return false;
  }

  intptr_t SendDialogMessage(WindowHandle dialog, uint32_t message, uintptr_t wparam,
                             intptr_t lparam) override {
    return ::SendMessageA(ToWindow(dialog), message, wparam, lparam);
  }
};

}  // namespace

Dialogs& Dialogs::Default() {
  static NoDestructor<Win32Dialogs> instance;
  return *instance.get();
}

}  // namespace dzv::platform
