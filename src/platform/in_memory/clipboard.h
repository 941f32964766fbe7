// A clipboard held in memory, for tests that need a clipboard but no
// session store. Instances made with Another() share one clipboard, as the
// windows of two processes would: while one instance holds it open, opening
// any instance of that clipboard fails, and data set through one is read
// through the others. Data is kept per format, as bytes; blocks are heap
// blocks (platform/memory_block.h).
//
// Thread-safety: calls are serialised by a mutex of the shared clipboard.
#ifndef DZV_PLATFORM_IN_MEMORY_CLIPBOARD_H_
#define DZV_PLATFORM_IN_MEMORY_CLIPBOARD_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/clipboard.h"

namespace dzv::platform {

class InMemoryClipboard final : public Clipboard {
 public:
  // An empty clipboard of its own.
  InMemoryClipboard();
  // Closes the clipboard if this instance holds it open.
  ~InMemoryClipboard() override;
  InMemoryClipboard(const InMemoryClipboard&) = delete;
  InMemoryClipboard& operator=(const InMemoryClipboard&) = delete;

  // Another instance on this instance's clipboard.
  std::unique_ptr<InMemoryClipboard> Another() const;

  bool Open(WindowHandle owner) override;
  void Close() override;
  MemoryHandle GetData(uint32_t format) override;
  bool SetData(uint32_t format, MemoryHandle block) override;
  MemoryHandle Alloc(uint32_t flags, size_t size) override;
  void* Lock(MemoryHandle block) override;
  void Unlock(MemoryHandle block) override;
  size_t Size(MemoryHandle block) override;
  void Free(MemoryHandle block) override;

 private:
  struct Shared;
  explicit InMemoryClipboard(std::shared_ptr<Shared> shared);
  // Frees what GetData handed out and lets the clipboard go; with the
  // shared mutex held.
  void Release();

  std::shared_ptr<Shared> shared_;
  // Blocks that GetData handed out; released when the clipboard closes.
  std::vector<MemoryHandle> handed_out_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_IN_MEMORY_CLIPBOARD_H_
