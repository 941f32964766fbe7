#include "platform/in_memory/clipboard.h"

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "platform/memory_block.h"

namespace dzv::platform {

struct InMemoryClipboard::Shared {
  std::mutex mu;
  // The instance that holds the clipboard open, or null.
  const InMemoryClipboard* holder = nullptr;
  std::map<uint32_t, std::string> formats;
};

InMemoryClipboard::InMemoryClipboard() : InMemoryClipboard(std::make_shared<Shared>()) {}

InMemoryClipboard::InMemoryClipboard(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

InMemoryClipboard::~InMemoryClipboard() { Close(); }

std::unique_ptr<InMemoryClipboard> InMemoryClipboard::Another() const {
  return std::unique_ptr<InMemoryClipboard>(new InMemoryClipboard(shared_));
}

bool InMemoryClipboard::Open(WindowHandle /*owner*/) {
  std::lock_guard<std::mutex> lock(shared_->mu);
  if (shared_->holder != nullptr) return false;
  shared_->holder = this;
  return true;
}

void InMemoryClipboard::Close() {
  std::lock_guard<std::mutex> lock(shared_->mu);
  if (shared_->holder == this) Release();
}

void InMemoryClipboard::Release() {
  for (MemoryHandle block : handed_out_) FreeBlock(block);
  handed_out_.clear();
  shared_->holder = nullptr;
}

MemoryHandle InMemoryClipboard::GetData(uint32_t format) {
  try {
    std::lock_guard<std::mutex> lock(shared_->mu);
    if (shared_->holder != this) return nullptr;
    const auto it = shared_->formats.find(format);
    if (it == shared_->formats.end()) return nullptr;
    handed_out_.reserve(handed_out_.size() + 1);
    MemoryHandle block = NewBlockWith(it->second);
    if (block != nullptr) handed_out_.push_back(block);
    return block;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool InMemoryClipboard::SetData(uint32_t format, MemoryHandle block) {
  try {
    std::lock_guard<std::mutex> lock(shared_->mu);
    if (shared_->holder != this || block == nullptr) return false;
    std::string bytes(BlockBytes(block));
    shared_->formats.insert_or_assign(format, std::move(bytes));
    FreeBlock(block);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

MemoryHandle InMemoryClipboard::Alloc(uint32_t flags, size_t size) { return NewBlock(flags, size); }
void* InMemoryClipboard::Lock(MemoryHandle block) { return LockBlock(block); }
void InMemoryClipboard::Unlock(MemoryHandle block) { UnlockBlock(block); }
size_t InMemoryClipboard::Size(MemoryHandle block) { return BlockBytes(block).size(); }
void InMemoryClipboard::Free(MemoryHandle block) { FreeBlock(block); }

}  // namespace dzv::platform
