#include "desktop/clipboard.h"

#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "platform/clipboard.h"
#include "text/mbcs.h"

namespace dzv::desktop {
namespace {

using platform::Clipboard;
using platform::MemoryHandle;

// The room that this thread's last clipboard call, a GetClipboardDataLength,
// reported; 0 when the last call was another one.
thread_local size_t reported_room = 0;

// Texts whose length + 1 cannot be a result.
constexpr size_t kLongestText = std::numeric_limits<int32_t>::max() - 1;

// The clipboard, open for one call: closed on every path out.
class OpenClipboard {
 public:
  OpenClipboard(Clipboard& clipboard, platform::WindowHandle owner)
      : clipboard_(clipboard), open_(clipboard_.Open(owner)) {}
  ~OpenClipboard() {
    if (open_) clipboard_.Close();
  }
  OpenClipboard(const OpenClipboard&) = delete;
  OpenClipboard& operator=(const OpenClipboard&) = delete;

  bool is_open() const { return open_; }
  Clipboard* operator->() const { return &clipboard_; }

 private:
  Clipboard& clipboard_;
  const bool open_;
};

// The text of the clipboard's text block, locked until destruction; empty
// `text()` and false `ok()` when there is no text or it cannot be read.
class LockedText {
 public:
  explicit LockedText(OpenClipboard& clipboard) : clipboard_(clipboard) {
    block_ = clipboard_->GetData(platform::kTextFormat);
    if (block_ == nullptr) return;
    bytes_ = static_cast<const char*>(clipboard_->Lock(block_));
    if (bytes_ == nullptr) return;
    length_ = strnlen(bytes_, clipboard_->Size(block_));
  }
  ~LockedText() {
    if (bytes_ != nullptr) clipboard_->Unlock(block_);
  }
  LockedText(const LockedText&) = delete;
  LockedText& operator=(const LockedText&) = delete;

  bool ok() const { return bytes_ != nullptr && length_ <= kLongestText; }
  std::string_view text() const { return {bytes_, length_}; }

 private:
  OpenClipboard& clipboard_;
  MemoryHandle block_ = nullptr;
  const char* bytes_ = nullptr;
  size_t length_ = 0;
};

}  // namespace

int32_t GetClipboardDataLength(Clipboard& clipboard, platform::WindowHandle owner) {
  reported_room = 0;
  OpenClipboard opened(clipboard, owner);
  if (!opened.is_open()) return 0;
  LockedText text(opened);
  if (!text.ok()) return 0;
  reported_room = text.text().size() + 1;
  return static_cast<int32_t>(reported_room);
}

int32_t GetClipboardData(Clipboard& clipboard, const text::LeadByteTable& lead_bytes,
                         platform::WindowHandle owner, char* buffer) {
  const size_t room = std::exchange(reported_room, 0);
  if (buffer == nullptr) return 0;
  OpenClipboard opened(clipboard, owner);
  if (!opened.is_open()) return 0;
  LockedText locked(opened);
  if (!locked.ok()) return 0;
  std::string_view text = locked.text();
  if (room != 0 && text.size() >= room) {
    text = text.substr(0, text::CharLength(lead_bytes, text.substr(0, room - 1)));
  }
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return static_cast<int32_t>(text.size());
}

int32_t SetClipboardData(Clipboard& clipboard, platform::WindowHandle owner, const char* text) {
  reported_room = 0;
  if (text == nullptr) return 0;
  OpenClipboard opened(clipboard, owner);
  if (!opened.is_open()) return 0;
  const size_t length = std::strlen(text);
  if (length > kLongestText) return 0;
  MemoryHandle block = opened->Alloc(platform::kMoveableShared, length + 1);
  void* bytes = block != nullptr ? opened->Lock(block) : nullptr;
  if (bytes == nullptr) {
    if (block != nullptr) opened->Free(block);
    return 0;
  }
  std::memcpy(bytes, text, length + 1);
  opened->Unlock(block);
  if (!opened->SetData(platform::kTextFormat, block)) {
    opened->Free(block);
    return 0;
  }
  return static_cast<int32_t>(length);
}

}  // namespace dzv::desktop
