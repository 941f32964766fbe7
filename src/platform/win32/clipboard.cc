// Windows backend of the clipboard service: the system clipboard itself.
// Every call is the Win32 function of the same name; a MemoryHandle is the
// HGLOBAL of a global memory block, never dereferenced by the library.
//
// The text is set without EmptyClipboard, so data of other formats stays on
// the clipboard; the clipboard's owner stays whoever emptied it last.
#include "platform/clipboard.h"

#include <windows.h>

namespace dzv::platform {
namespace {

static_assert(kTextFormat == CF_TEXT);
static_assert(kMoveableShared == (GMEM_MOVEABLE | GMEM_DDESHARE));

HGLOBAL ToGlobal(MemoryHandle block) { return reinterpret_cast<HGLOBAL>(block); }
MemoryHandle ToBlock(HANDLE global) { return reinterpret_cast<MemoryHandle>(global); }

class Win32Clipboard final : public Clipboard {
 public:
  bool Open(WindowHandle owner) override {
    return ::OpenClipboard(reinterpret_cast<HWND>(owner)) != FALSE;
  }
  void Close() override { ::CloseClipboard(); }

  MemoryHandle GetData(uint32_t format) override { return ToBlock(::GetClipboardData(format)); }
  bool SetData(uint32_t format, MemoryHandle block) override {
    return block != nullptr && ::SetClipboardData(format, ToGlobal(block)) != nullptr;
  }

  MemoryHandle Alloc(uint32_t flags, size_t size) override {
    return ToBlock(::GlobalAlloc(flags, size));
  }
  void* Lock(MemoryHandle block) override {
    return block != nullptr ? ::GlobalLock(ToGlobal(block)) : nullptr;
  }
  void Unlock(MemoryHandle block) override {
    if (block != nullptr) ::GlobalUnlock(ToGlobal(block));
  }
  size_t Size(MemoryHandle block) override {
    return block != nullptr ? ::GlobalSize(ToGlobal(block)) : 0;
  }
  void Free(MemoryHandle block) override {
    if (block != nullptr) ::GlobalFree(ToGlobal(block));
  }
};

}  // namespace

Clipboard& Clipboard::Default() {
  static NoDestructor<Win32Clipboard> instance;
  return *instance.get();
}

}  // namespace dzv::platform
