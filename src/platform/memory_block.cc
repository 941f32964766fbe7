#include "platform/memory_block.h"

#include <new>

namespace dzv::platform {

MemoryHandle NewBlock(uint32_t flags, size_t size) {
  try {
    auto* block = new MemoryBlock;
    try {
      // Even an empty block has an address: a string's bytes always do.
      block->bytes.resize(size);
    } catch (...) {
      delete block;
      return nullptr;
    }
    block->flags = flags;
    return block;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

MemoryHandle NewBlockWith(std::string_view bytes) {
  MemoryHandle block = NewBlock(0, bytes.size());
  if (block != nullptr) block->bytes.assign(bytes.begin(), bytes.end());
  return block;
}

MemoryHandle AdoptBlock(std::string&& bytes) {
  try {
    auto* block = new MemoryBlock;
    block->bytes = std::move(bytes);
    return block;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void* LockBlock(MemoryHandle block) {
  if (block == nullptr) return nullptr;
  ++block->locks;
  return block->bytes.data();
}

void UnlockBlock(MemoryHandle block) {
  if (block != nullptr && block->locks > 0) --block->locks;
}

void FreeBlock(MemoryHandle block) { delete block; }

std::string_view BlockBytes(MemoryHandle block) {
  return block == nullptr ? std::string_view()
                          : std::string_view(block->bytes.data(), block->bytes.size());
}

}  // namespace dzv::platform
