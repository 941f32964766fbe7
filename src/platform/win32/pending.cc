// Stand-ins for the Win32 backends still being written (clipboard, dialogs),
// so that the DLL links and the portable suites run.
// Each section goes when its backend lands; none ships in a release.
//
// Clipboard: never opens; memory blocks live on the heap.
// Dialogs: every dialog is cancelled.
#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/memory_block.h"

namespace dzv::platform {
namespace {

class PendingClipboard final : public Clipboard {
 public:
  bool Open(WindowHandle) override { return false; }
  void Close() override {}
  MemoryHandle GetData(uint32_t) override { return nullptr; }
  bool SetData(uint32_t, MemoryHandle) override { return false; }
  MemoryHandle Alloc(uint32_t flags, size_t size) override { return NewBlock(flags, size); }
  void* Lock(MemoryHandle block) override { return LockBlock(block); }
  void Unlock(MemoryHandle block) override { UnlockBlock(block); }
  size_t Size(MemoryHandle block) override { return BlockBytes(block).size(); }
  void Free(MemoryHandle block) override { FreeBlock(block); }
};

class PendingDialogs final : public Dialogs {
 public:
  bool HasExplorerStyle() override { return true; }
  bool RunOpenFileDialog(OpenFileSettings*) override { return false; }
  bool GetShellAllocator(ShellAllocator**) override { return false; }
  ItemList* BrowseForFolder(const BrowseSettings&) override { return nullptr; }
  bool GetPathFromItemList(const ItemList*, char* path) override {
    if (path != nullptr) path[0] = '\0';
    return false;
  }
  intptr_t SendDialogMessage(WindowHandle, uint32_t, uintptr_t, intptr_t) override { return 0; }
};

}  // namespace

Clipboard& Clipboard::Default() {
  static NoDestructor<PendingClipboard> instance;
  return *instance.get();
}

Dialogs& Dialogs::Default() {
  static NoDestructor<PendingDialogs> instance;
  return *instance.get();
}

}  // namespace dzv::platform
