// Helpers of the dictionary file tests: a dictionary that frees itself, its
// items in enumeration order, and builders of archive bytes.
#ifndef DZV_TESTS_DICTIONARY_FILES_UTIL_H_
#define DZV_TESTS_DICTIONARY_FILES_UTIL_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionary/string_map.h"
#include "duduzuvez210.h"
#include "library/process.h"

namespace dzv::testing {

using Items = std::vector<std::pair<std::string, std::string>>;

// A dictionary created for one test and freed after it.
class Dict {
 public:
  Dict() : h_(DictionaryNew("TEST")) {}
  explicit Dict(const Items& items) : Dict() {
    for (const auto& [k, v] : items) Add(k, v);
  }
  ~Dict() { DictionaryFree(h_); }
  Dict(const Dict&) = delete;
  Dict& operator=(const Dict&) = delete;

  int32_t h() const { return h_; }
  void Add(const std::string& k, const std::string& v) {
    ASSERT_EQ(DictionaryItemAdd(h_, k.c_str(), v.c_str()), 1);
  }
  const dict::CMapStringToString& map() const { return *library::Dictionaries()->Get(h_); }
  // Every item, in enumeration order.
  Items items() const {
    Items out;
    map().ForEach([&](std::string_view k, std::string_view v) { out.emplace_back(k, v); });
    return out;
  }

 private:
  int32_t h_;
};

// Archive bytes, written out field by field.
inline std::string U16(uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
// The count prefix of n pairs.
inline std::string Count(uint32_t n) { return n < 0xFFFF ? U16(n) : U16(0xFFFF) + U32(n); }
// A length prefix and the string's bytes.
inline std::string Str(std::string_view s) {
  const uint32_t n = static_cast<uint32_t>(s.size());
  std::string prefix = n < 255      ? std::string(1, static_cast<char>(n))
                       : n < 0xFFFE ? "\xFF" + U16(n)
                                    : "\xFF\xFF\xFF" + U32(n);
  return prefix + std::string(s);
}
// A string behind the wide-string marker: UTF-16LE code units.
inline std::string Wide(const std::u16string& units) {
  const uint32_t n = static_cast<uint32_t>(units.size());
  std::string out = "\xFF\xFE\xFF";
  out += n < 255 ? std::string(1, static_cast<char>(n)) : "\xFF" + U16(n);
  for (char16_t u : units) out += U16(u);
  return out;
}

}  // namespace dzv::testing

#endif  // DZV_TESTS_DICTIONARY_FILES_UTIL_H_
