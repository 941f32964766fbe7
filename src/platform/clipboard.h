// The desktop's clipboard and the memory blocks that travel through it
// (OpenClipboard, GetClipboardData, SetClipboardData, CloseClipboard and
// GlobalAlloc, GlobalLock, GlobalUnlock, GlobalFree in substance).
//
// The clipboard is one resource for the whole desktop: it holds data by
// format, and a window opens it before reading or writing and closes it
// afterwards. While one window holds it open, opening it for another fails
// at once. Backends never throw.
#ifndef DZV_PLATFORM_CLIPBOARD_H_
#define DZV_PLATFORM_CLIPBOARD_H_

#include <cstddef>
#include <cstdint>

#include "platform/service.h"
#include "platform/windowing.h"

namespace dzv::platform {

// The text format: bytes in the ANSI code page, ended by a zero byte.
constexpr uint32_t kTextFormat = 1;

// Allocation flags of a block handed to the clipboard (moveable, shared).
constexpr uint32_t kMoveableShared = 0x2002;

// A movable memory block: allocated by Alloc, accessed between Lock and
// Unlock, released by Free unless the clipboard took it. Backends on the
// heap share the helpers of memory_block.h.
struct MemoryBlock;
using MemoryHandle = MemoryBlock*;

class Clipboard {
 public:
  virtual ~Clipboard() = default;

  // Opens the clipboard for `owner` (which may be 0). False when it cannot
  // be opened, as when another window or process holds it open.
  virtual bool Open(WindowHandle owner) = 0;
  // Releases the clipboard for other windows. Blocks that GetData handed
  // out become invalid.
  virtual void Close() = 0;

  // The data of `format` while the clipboard is open: a block that stays
  // the clipboard's and may only be read until Close; null when the
  // clipboard holds nothing in that format or is not open.
  virtual MemoryHandle GetData(uint32_t format) = 0;
  // Puts `block` on the open clipboard as the data of `format`, replacing
  // only that format's data. True when the clipboard took the block, which
  // then belongs to it; false when it refused, the block staying the
  // caller's.
  virtual bool SetData(uint32_t format, MemoryHandle block) = 0;

  // A new block of `size` bytes, or null.
  virtual MemoryHandle Alloc(uint32_t flags, size_t size) = 0;
  // The block's bytes, or null when it cannot be locked.
  virtual void* Lock(MemoryHandle block) = 0;
  virtual void Unlock(MemoryHandle block) = 0;
  // The block's size in bytes.
  virtual size_t Size(MemoryHandle block) = 0;
  // Releases a block that the clipboard did not take.
  virtual void Free(MemoryHandle block) = 0;

  // The system's clipboard. On Windows, the desktop's own. On Linux, the
  // session clipboard of linux/clipboard.h: a store shared by the user's
  // processes, whose text format is the desktop's clipboard when a desktop
  // is present.
  static Clipboard& Default();
  static Clipboard& Current() { return ServiceSlot<Clipboard>::Current(); }
};

// Forwards every call to another instance; tests override what they change.
class ClipboardWrapper : public Clipboard {
 public:
  explicit ClipboardWrapper(Clipboard* target) : target_(target) {}
  bool Open(WindowHandle owner) override { return target_->Open(owner); }
  void Close() override { target_->Close(); }
  MemoryHandle GetData(uint32_t format) override { return target_->GetData(format); }
  bool SetData(uint32_t format, MemoryHandle block) override {
    return target_->SetData(format, block);
  }
  MemoryHandle Alloc(uint32_t flags, size_t size) override { return target_->Alloc(flags, size); }
  void* Lock(MemoryHandle block) override { return target_->Lock(block); }
  void Unlock(MemoryHandle block) override { target_->Unlock(block); }
  size_t Size(MemoryHandle block) override { return target_->Size(block); }
  void Free(MemoryHandle block) override { target_->Free(block); }

 private:
  Clipboard* target_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_CLIPBOARD_H_
