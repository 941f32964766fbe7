// A compact byte string for map keys and values: up to 23 bytes are kept
// inline; longer strings live in a block of the owning map's StringArena.
// A ByteString does not free its block: its owner resets it through the
// same arena, or drops the whole arena.
#ifndef DZV_DICTIONARY_BYTE_STRING_H_
#define DZV_DICTIONARY_BYTE_STRING_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "dictionary/string_arena.h"

namespace dzv::dict {

class ByteString {
 public:
  ByteString() { raw_[kTagByte] = 0; }
  ByteString(const ByteString&) = delete;
  ByteString& operator=(const ByteString&) = delete;

  std::string_view view() const {
    if (on_heap()) return {heap_data(), heap_size()};
    return {reinterpret_cast<const char*>(raw_), raw_[kTagByte]};
  }
  size_t size() const { return on_heap() ? heap_size() : raw_[kTagByte]; }
  bool empty() const { return size() == 0; }
  // The address of the bytes; for prefetching.
  const char* data() const { return on_heap() ? heap_data() : reinterpret_cast<const char*>(raw_); }

  // Replaces the content with `s`, which may lie inside this string.
  // Strong guarantee: on std::bad_alloc the old content is kept.
  void Assign(std::string_view s, StringArena& arena) {
    if (s.size() <= kInlineCapacity) {
      unsigned char tmp[kInlineCapacity];
      if (!s.empty()) std::memcpy(tmp, s.data(), s.size());
      Reset(arena);
      if (!s.empty()) std::memcpy(raw_, tmp, s.size());
      raw_[kTagByte] = static_cast<unsigned char>(s.size());
      return;
    }
    char* p = arena.Allocate(s.size());
    std::memcpy(p, s.data(), s.size());
    Reset(arena);
    const size_t n = s.size();
    std::memcpy(raw_, &p, sizeof p);
    std::memcpy(raw_ + sizeof p, &n, sizeof n);
    raw_[kTagByte] = kHeapTag;
  }

  // Makes the string empty, giving its block back to `arena`.
  void Reset(StringArena& arena) {
    if (on_heap()) arena.Release(heap_data(), heap_size());
    raw_[kTagByte] = 0;
  }

  // Exchanges the contents of two strings of the same arena.
  void Swap(ByteString& other) {
    unsigned char tmp[sizeof raw_];
    std::memcpy(tmp, raw_, sizeof raw_);
    std::memcpy(raw_, other.raw_, sizeof raw_);
    std::memcpy(other.raw_, tmp, sizeof raw_);
  }

 private:
  static constexpr size_t kTagByte = 23;
  static constexpr size_t kInlineCapacity = 23;
  static constexpr unsigned char kHeapTag = 0xFF;

  bool on_heap() const { return raw_[kTagByte] == kHeapTag; }
  char* heap_data() const {
    char* p;
    std::memcpy(&p, raw_, sizeof p);
    return p;
  }
  size_t heap_size() const {
    size_t n;
    std::memcpy(&n, raw_ + sizeof(char*), sizeof n);
    return n;
  }

  alignas(8) unsigned char raw_[24];
};

static_assert(sizeof(ByteString) == 24);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_BYTE_STRING_H_
