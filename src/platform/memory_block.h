// Movable memory blocks kept on the heap, for clipboard backends that hold
// their data in the process (the Linux backend, test backends).
#ifndef DZV_PLATFORM_MEMORY_BLOCK_H_
#define DZV_PLATFORM_MEMORY_BLOCK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clipboard.h"

namespace dzv::platform {

struct MemoryBlock {
  std::string bytes;
  uint32_t flags = 0;
  int locks = 0;
};

// A block of `size` zero bytes, or null when memory runs out.
MemoryHandle NewBlock(uint32_t flags, size_t size);
// A block holding `bytes`, or null when memory runs out.
MemoryHandle NewBlockWith(std::string_view bytes);
// A block that takes over `bytes` without copying them (a clipboard text of
// many megabytes is not held twice), or null when memory runs out.
MemoryHandle AdoptBlock(std::string&& bytes);
// The block's bytes (never null for a live block, even of size 0).
void* LockBlock(MemoryHandle block);
void UnlockBlock(MemoryHandle block);
void FreeBlock(MemoryHandle block);
// The block's bytes as a view.
std::string_view BlockBytes(MemoryHandle block);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_MEMORY_BLOCK_H_
