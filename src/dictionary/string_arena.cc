#include "dictionary/string_arena.h"

#include <new>

#include "platform/memory.h"

namespace dzv::dict {

char* StringArena::Allocate(size_t size) {
  if (size > kLargeLimit) {
    if (size > SIZE_MAX - sizeof(LargeHeader)) throw std::bad_alloc();
    auto* header = static_cast<LargeHeader*>(::operator new(sizeof(LargeHeader) + size));
    header->prev = nullptr;
    header->next = large_;
    if (large_ != nullptr) large_->prev = header;
    large_ = header;
    return reinterpret_cast<char*>(header + 1);
  }
  const size_t cls = ClassOf(size);
  if (FreeBlock* b = free_[cls]; b != nullptr) {
    free_[cls] = b->next;
    return reinterpret_cast<char*>(b);
  }
  const size_t rounded = (cls + 1) * kGranule;
  if (static_cast<size_t>(limit_ - cursor_) < rounded) {
    // Chunks double up to kMaxChunk, so small maps stay small. The rest of
    // the old chunk is left unused.
    size_t chunk_size = next_chunk_size_;
    while (chunk_size < rounded + sizeof(Chunk)) chunk_size *= 2;
    auto* chunk = static_cast<Chunk*>(platform::AllocateRegion(chunk_size));
    if (chunk == nullptr) throw std::bad_alloc();
    chunk->next = chunks_;
    chunk->size = chunk_size;
    chunks_ = chunk;
    cursor_ = reinterpret_cast<char*>(chunk) + kGranule;  // keeps blocks aligned
    limit_ = reinterpret_cast<char*>(chunk) + chunk_size;
    if (next_chunk_size_ < kMaxChunk) next_chunk_size_ *= 2;
  }
  char* p = cursor_;
  cursor_ += rounded;
  return p;
}

void StringArena::Release(char* p, size_t size) {
  if (size > kLargeLimit) {
    auto* header = reinterpret_cast<LargeHeader*>(p) - 1;
    if (header->prev != nullptr) {
      header->prev->next = header->next;
    } else {
      large_ = header->next;
    }
    if (header->next != nullptr) header->next->prev = header->prev;
    ::operator delete(header);
    return;
  }
  auto* b = reinterpret_cast<FreeBlock*>(p);
  const size_t cls = ClassOf(size);
  b->next = free_[cls];
  free_[cls] = b;
}

void StringArena::Clear() {
  while (large_ != nullptr) {
    LargeHeader* next = large_->next;
    ::operator delete(large_);
    large_ = next;
  }
  while (chunks_ != nullptr) {
    Chunk* next = chunks_->next;
    platform::FreeRegion(chunks_, chunks_->size);
    chunks_ = next;
  }
  cursor_ = limit_ = nullptr;
  next_chunk_size_ = kFirstChunk;
  for (FreeBlock*& f : free_) f = nullptr;
}

}  // namespace dzv::dict
