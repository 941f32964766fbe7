// A compact byte string for map keys and values: up to 23 bytes are kept
// inline, longer strings in one heap block of exactly their size.
#ifndef DZV_DICTIONARY_BYTE_STRING_H_
#define DZV_DICTIONARY_BYTE_STRING_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace dzv::dict {

class ByteString {
 public:
  ByteString() { raw_[kTagByte] = 0; }
  ~ByteString() { Release(); }
  ByteString(const ByteString&) = delete;
  ByteString& operator=(const ByteString&) = delete;

  std::string_view view() const {
    if (raw_[kTagByte] == kHeapTag) {
      char* p;
      size_t n;
      std::memcpy(&p, raw_, sizeof p);
      std::memcpy(&n, raw_ + sizeof p, sizeof n);
      return {p, n};
    }
    return {reinterpret_cast<const char*>(raw_), raw_[kTagByte]};
  }
  size_t size() const { return view().size(); }
  bool empty() const { return size() == 0; }

  // Replaces the content with `s`, which may lie inside this string.
  // Strong guarantee: on std::bad_alloc the old content is kept.
  void Assign(std::string_view s) {
    if (s.size() <= kInlineCapacity) {
      unsigned char tmp[kInlineCapacity];
      if (!s.empty()) std::memcpy(tmp, s.data(), s.size());
      Release();
      if (!s.empty()) std::memcpy(raw_, tmp, s.size());
      raw_[kTagByte] = static_cast<unsigned char>(s.size());
      return;
    }
    char* p = new char[s.size()];
    std::memcpy(p, s.data(), s.size());
    Release();
    size_t n = s.size();
    std::memcpy(raw_, &p, sizeof p);
    std::memcpy(raw_ + sizeof p, &n, sizeof n);
    raw_[kTagByte] = kHeapTag;
  }

  // Makes the string empty and releases its heap block.
  void Reset() {
    Release();
    raw_[kTagByte] = 0;
  }

 private:
  static constexpr size_t kTagByte = 23;
  static constexpr size_t kInlineCapacity = 23;
  static constexpr unsigned char kHeapTag = 0xFF;

  void Release() {
    if (raw_[kTagByte] == kHeapTag) {
      char* p;
      std::memcpy(&p, raw_, sizeof p);
      delete[] p;
      raw_[kTagByte] = 0;
    }
  }

  alignas(8) unsigned char raw_[24];
};

static_assert(sizeof(ByteString) == 24);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_BYTE_STRING_H_
