// Storage for the long keys and values of one map. Blocks come from chunks
// that grow with the map and are released all at once; a released block is
// kept on a free list of its size class and reused. Strings longer than
// kLargeLimit get a heap block of their own, linked so that Clear can free
// them without visiting the map's entries.
//
// Thread-safety: none; owned by one map.
#ifndef DZV_DICTIONARY_STRING_ARENA_H_
#define DZV_DICTIONARY_STRING_ARENA_H_

#include <cstddef>
#include <cstdint>

namespace dzv::dict {

class StringArena {
 public:
  static constexpr size_t kGranule = 16;
  static constexpr size_t kLargeLimit = 1024;

  StringArena() = default;
  ~StringArena() { Clear(); }
  StringArena(const StringArena&) = delete;
  StringArena& operator=(const StringArena&) = delete;

  // A block of at least `size` bytes. Throws std::bad_alloc.
  char* Allocate(size_t size);
  // Gives back a block that Allocate returned for the same `size`.
  void Release(char* p, size_t size);
  // Releases every block and chunk.
  void Clear();

 private:
  static constexpr size_t kClasses = kLargeLimit / kGranule;
  static constexpr size_t kFirstChunk = 1024;
  static constexpr size_t kMaxChunk = size_t{2} << 20;

  struct Chunk {
    Chunk* next;
    size_t size;
  };
  struct LargeHeader {
    LargeHeader* prev;
    LargeHeader* next;
  };
  struct FreeBlock {
    FreeBlock* next;
  };

  static size_t ClassOf(size_t size) { return (size + kGranule - 1) / kGranule - 1; }

  Chunk* chunks_ = nullptr;
  char* cursor_ = nullptr;
  char* limit_ = nullptr;
  size_t next_chunk_size_ = kFirstChunk;
  LargeHeader* large_ = nullptr;
  FreeBlock* free_[kClasses] = {};
};

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_STRING_ARENA_H_
