// Helpers shared by the fuzz targets: a reader of the fuzzer's bytes, the
// code-page switch, a per-process scratch directory, a dictionary snapshot
// taken through the exported functions, and the plain reference rules of
// double-byte text that the targets check the library against.
//
// Every check failure prints what differed and aborts, which libFuzzer
// reports as a crash and keeps the input.
#ifndef DZV_FUZZ_FUZZ_UTIL_H_
#define DZV_FUZZ_FUZZ_UTIL_H_

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "duduzuvez210.h"
#include "library/process.h"
#include "platform/code_page.h"
#include "text/mbcs.h"

namespace fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

#define FUZZ_CHECK(cond)                                  \
  do {                                                    \
    if (!(cond)) ::fuzz::Fail(__FILE__, __LINE__, #cond); \
  } while (0)

// Takes the fuzzer's bytes from the front; past the end every read gives
// zeros or the empty string.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  bool empty() const { return n_ == 0; }
  size_t remaining() const { return n_; }
  uint8_t Byte() {
    if (n_ == 0) return 0;
    --n_;
    return *p_++;
  }
  uint32_t U16() { return Byte() | (uint32_t{Byte()} << 8); }
  uint32_t U32() { return U16() | (U16() << 16); }
  // Up to `n` bytes.
  std::string Bytes(size_t n) {
    if (n > n_) n = n_;
    std::string s(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    n_ -= n;
    return s;
  }
  // The bytes up to the next `end` byte (consumed, not returned), or the rest.
  std::string Until(char end) {
    const void* hit = n_ == 0 ? nullptr : std::memchr(p_, end, n_);
    if (hit == nullptr) return Bytes(n_);
    std::string s = Bytes(static_cast<const uint8_t*>(hit) - p_);
    Byte();
    return s;
  }
  std::string Rest() { return Bytes(n_); }

 private:
  const uint8_t* p_;
  size_t n_;
};

// A zero-terminated heap copy of exactly strlen + 1 bytes, so that the
// address sanitizer sees any read past the terminator.
class CString {
 public:
  explicit CString(std::string_view s) : buf_(new char[s.size() + 1]) {
    std::memcpy(buf_.get(), s.data(), s.size());
    buf_[s.size()] = '\0';
  }
  const char* get() const { return buf_.get(); }

 private:
  std::unique_ptr<char[]> buf_;
};

// Makes the library use `code_page` for its character rules and its
// conversions, as if the process had been loaded under that code page.
inline void UseCodePage(uint32_t code_page) {
  using dzv::text::LeadByteTable;
  if (dzv::platform::ProcessLeadBytes().code_page() == code_page) return;
  // Describing a code page asks iconv, which is slow: each table is built
  // once.
  static std::unordered_map<uint32_t, LeadByteTable>* tables =
      new std::unordered_map<uint32_t, LeadByteTable>;
  auto it = tables->find(code_page);
  if (it == tables->end()) {
    it = tables
             ->emplace(code_page,
                       LeadByteTable::ForCodePage(code_page, dzv::platform::CodePage::Current()))
             .first;
  }
  dzv::platform::SetProcessLeadBytesForTesting(it->second);
}

// The code page 932 lead bytes, written out here rather than taken from the
// library.
inline bool IsLead932(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

inline bool IsLead(uint32_t code_page, char c) {
  return code_page == 932 && IsLead932(static_cast<unsigned char>(c));
}

// The character starts of `s` (no zero bytes inside): a lead byte and the
// next byte form one character; a lead byte at the very end is none.
inline std::vector<size_t> CharStarts(uint32_t code_page, std::string_view s) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < s.size();) {
    if (IsLead(code_page, s[i])) {
      if (i + 1 >= s.size()) break;
      starts.push_back(i);
      i += 2;
    } else {
      starts.push_back(i);
      i += 1;
    }
  }
  return starts;
}

// The first position of `text` at which `pattern` follows, among those
// reached by stepping one character at a time from the first byte (a lone
// lead byte at the very end is reached too, though it is no character).
inline size_t FindAtCharStart(uint32_t code_page, std::string_view text, std::string_view pattern) {
  for (size_t i = 0; i < text.size(); i += IsLead(code_page, text[i]) ? 2 : 1) {
    if (text.substr(i).starts_with(pattern)) return i;
  }
  return std::string_view::npos;
}

// Keys equal under the code page: a lone lead byte at the end counts as
// the end.
inline std::string_view KeyProper(uint32_t code_page, std::string_view s) {
  std::vector<size_t> starts = CharStarts(code_page, s);
  if (starts.empty()) return s.substr(0, 0);
  size_t last = starts.back();
  return s.substr(0, last + (IsLead(code_page, s[last]) ? 2 : 1));
}

// A scratch directory of this process, removed at exit.
class ScratchDir {
 public:
  static ScratchDir& Get() {
    static ScratchDir* dir = new ScratchDir;
    return *dir;
  }
  std::string Path(const char* name) const { return path_ + "/" + name; }

 private:
  ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/dzv-fuzz-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) Fail(__FILE__, __LINE__, "mkdtemp");
    path_ = buf.data();
    static std::string* cleanup = &path_;
    std::atexit([] {
      std::string cmd = "rm -rf '" + *cleanup + "'";
      if (std::system(cmd.c_str()) != 0) {
      }
    });
  }
  std::string path_;
};

inline void WriteFileBytes(const std::string& path, std::string_view bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  FUZZ_CHECK(std::fclose(f) == 0);
}

inline std::string ReadFileBytes(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  FUZZ_CHECK(f != nullptr);
  std::string out;
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, got);
  std::fclose(f);
  return out;
}

using Items = std::vector<std::pair<std::string, std::string>>;

// Every item of the dictionary in enumeration order, read through
// DictionaryItemGetInit / DictionaryItemGetNext into buffers of exactly the
// longest key and value plus one byte (the lengths come from the library's
// own map, so that an overlong copy shows up as an overflow).
inline Items Snapshot(int32_t handle) {
  size_t longest_key = 0, longest_value = 0, count = 0;
  dzv::library::Dictionaries()->Get(handle)->ForEach([&](std::string_view k, std::string_view v) {
    longest_key = std::max(longest_key, k.size());
    longest_value = std::max(longest_value, v.size());
    ++count;
  });
  FUZZ_CHECK(static_cast<size_t>(DictionaryItemCount(handle)) == count);
  Items items;
  std::unique_ptr<char[]> key(new char[longest_key + 1]);
  std::unique_ptr<char[]> value(new char[longest_value + 1]);
  if (DictionaryItemGetInit(handle) == 0) {
    FUZZ_CHECK(count == 0);
    return items;
  }
  for (;;) {
    int32_t more = DictionaryItemGetNext(handle, key.get(), value.get());
    items.emplace_back(key.get(), value.get());
    if (more == 0) break;
    FUZZ_CHECK(items.size() < count);
  }
  FUZZ_CHECK(items.size() == count);
  return items;
}

// The bucket of a key in a dictionary: h = h * 33 + c over the key's bytes
// (each a signed 8-bit value) in 32 bits, modulo 4000.
inline uint32_t Bucket(std::string_view key) {
  uint32_t h = 0;
  for (char c : key)
    h = h * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
  return h % 4000;
}

// The enumeration order that inserting `keys` (distinct, in this order,
// each at the head of its bucket) into an empty dictionary gives.
inline std::vector<size_t> InsertionOrderToEnumeration(const std::vector<std::string>& keys) {
  std::vector<std::pair<uint32_t, size_t>> order;
  for (size_t i = 0; i < keys.size(); ++i) order.emplace_back(Bucket(keys[i]), i);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return a.second > b.second;  // newest first within a bucket
  });
  std::vector<size_t> out;
  for (const auto& [bucket, index] : order) out.push_back(index);
  return out;
}

// A reference dictionary under code page 1252 semantics (keys are bytes):
// the items in order of first insertion, replacing values in place.
class RefDict {
 public:
  void Set(std::string_view key, std::string_view value) {
    auto [it, added] = index_.emplace(std::string(key), items_.size());
    if (added) {
      items_.emplace_back(key, value);
    } else {
      items_[it->second].second = value;
    }
  }
  const std::string* Find(const std::string& key) const {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &items_[it->second].second;
  }
  // The items as the library enumerates them.
  Items Enumerated() const {
    std::vector<std::string> keys;
    for (const auto& kv : items_) keys.push_back(kv.first);
    Items out;
    for (size_t i : InsertionOrderToEnumeration(keys)) out.push_back(items_[i]);
    return out;
  }
  const Items& items() const { return items_; }
  size_t size() const { return items_.size(); }

 private:
  Items items_;
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace fuzz

#endif  // DZV_FUZZ_FUZZ_UTIL_H_
