// The desktop's standard dialogs: the open-file dialog (GetOpenFileNameA in
// substance) and the folder-browse dialog with the shell's allocator
// (SHGetMalloc, SHBrowseForFolderA, SHGetPathFromIDListA, and SendMessageA
// with BFFM_SETSELECTIONA from the browse callback).
//
// Each dialog runs modally on the caller's thread and returns when the user
// has closed it. A dialog that cannot be shown (no desktop, no dialog
// program) ends at once as though the user had cancelled. Backends never
// throw.
#ifndef DZV_PLATFORM_DIALOGS_H_
#define DZV_PLATFORM_DIALOGS_H_

#include <cstdint>

#include "platform/service.h"
#include "platform/windowing.h"

namespace dzv::platform {

// Open-file dialog flags.
constexpr uint32_t kOfnHideReadOnly = 0x4;
constexpr uint32_t kOfnShowHelp = 0x10;
constexpr uint32_t kOfnEnableHook = 0x20;
constexpr uint32_t kOfnAllowMultiSelect = 0x200;
constexpr uint32_t kOfnFileMustExist = 0x1000;
constexpr uint32_t kOfnExplorer = 0x80000;
constexpr uint32_t kOfnEnableSizing = 0x800000;

// The settings of one open-file dialog.
struct OpenFileSettings {
  uint32_t struct_size = 0;
  // The window the dialog is modal to, or 0.
  WindowHandle owner = 0;
  // Pairs of items, display text and pattern ("*.txt;*.doc"), each item
  // ended by a zero byte and the list by an empty item; null for none.
  const char* filter = nullptr;
  // The 1-based pair selected when the dialog opens; on return, the pair
  // selected when the user confirmed.
  uint32_t filter_index = 0;
  // On entry a zero-terminated file name shown when the dialog opens; on
  // confirmation the selection (below). Never written beyond `max_file`
  // bytes.
  char* file = nullptr;
  uint32_t max_file = 0;
  // The dialog's title; null for the platform's own.
  const char* title = nullptr;
  uint32_t flags = 0;
};

// The selection written into `file` on confirmation. With kOfnExplorer:
// one full path, or the directory, a zero byte and each name followed by
// a zero byte; either way ended by an empty name (an extra zero byte).
// Without it (the old style): the same with blanks instead of the zero
// bytes between directory and names. A directory may or may not end in a
// separator; on Linux it ends in "/".

// An item list naming one folder of the shell's namespace.
class ItemList {
 public:
  virtual ~ItemList() = default;
};

// The shell's allocator, which releases item lists.
class ShellAllocator {
 public:
  virtual void Free(ItemList* list) = 0;
  // Gives the allocator back; it must not be used afterwards.
  virtual void Release() = 0;

 protected:
  ~ShellAllocator() = default;
};

// Browse-callback messages and the selection message it may send.
constexpr uint32_t kBrowseInitialized = 1;
constexpr uint32_t kBrowseSetSelection = 1126;

// Called by the folder-browse dialog with the dialog window, a message, its
// parameter and the `data` of the settings. Returns 0.
using BrowseCallback = int32_t (*)(WindowHandle dialog, uint32_t message, intptr_t parameter,
                                   intptr_t data);

// The settings of one folder-browse dialog.
struct BrowseSettings {
  WindowHandle owner = 0;
  // Receives the chosen folder's display name: at most 260 bytes with the
  // zero byte.
  char* display_name = nullptr;
  // Text shown with the folder tree; null for none.
  const char* title = nullptr;
  uint32_t flags = 0;
  BrowseCallback callback = nullptr;
  intptr_t data = 0;
};

// The size of the folder dialog's buffers, with the zero byte.
constexpr uint32_t kMaxPath = 260;

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // True when the open-file dialog comes in the explorer style (on Windows:
  // from major version 4 on).
  virtual bool HasExplorerStyle() = 0;
  // Runs the open-file dialog. True when the user confirmed a choice and
  // the selection was written into `settings->file`.
  virtual bool RunOpenFileDialog(OpenFileSettings* settings) = 0;

  // The shell's allocator; false when it cannot be had.
  virtual bool GetShellAllocator(ShellAllocator** allocator) = 0;
  // Runs the folder-browse dialog. The chosen folder, to be freed with the
  // shell's allocator, or null when the user cancelled.
  virtual ItemList* BrowseForFolder(const BrowseSettings& settings) = 0;
  // Writes the folder's file-system path (at most kMaxPath bytes with the
  // zero byte) into `path`. False when it has none; `path` then holds an
  // empty text.
  virtual bool GetPathFromItemList(const ItemList* list, char* path) = 0;
  // A message to a dialog window; for the browse callback's
  // kBrowseSetSelection with `wparam` 1 and `lparam` a path.
  virtual intptr_t SendDialogMessage(WindowHandle dialog, uint32_t message, uintptr_t wparam,
                                     intptr_t lparam) = 0;

  static Dialogs& Default();
  static Dialogs& Current() { return ServiceSlot<Dialogs>::Current(); }
};

// Forwards every call to another instance; tests override what they change.
class DialogsWrapper : public Dialogs {
 public:
  explicit DialogsWrapper(Dialogs* target) : target_(target) {}
  bool HasExplorerStyle() override { return target_->HasExplorerStyle(); }
  bool RunOpenFileDialog(OpenFileSettings* settings) override {
    return target_->RunOpenFileDialog(settings);
  }
  bool GetShellAllocator(ShellAllocator** allocator) override {
    return target_->GetShellAllocator(allocator);
  }
  ItemList* BrowseForFolder(const BrowseSettings& settings) override {
    return target_->BrowseForFolder(settings);
  }
  bool GetPathFromItemList(const ItemList* list, char* path) override {
    return target_->GetPathFromItemList(list, path);
  }
  intptr_t SendDialogMessage(WindowHandle dialog, uint32_t message, uintptr_t wparam,
                             intptr_t lparam) override {
    return target_->SendDialogMessage(dialog, message, wparam, lparam);
  }

 private:
  Dialogs* target_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_DIALOGS_H_
