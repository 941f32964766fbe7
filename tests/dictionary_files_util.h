// Builders of archive bytes for the dictionary file tests (with the shared
// helpers of test_util.h).
#ifndef DZV_TESTS_DICTIONARY_FILES_UTIL_H_
#define DZV_TESTS_DICTIONARY_FILES_UTIL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "test_util.h"

namespace dzv::testing {

// The two exports that write a whole file.
struct Writer {
  const char* name;
  int32_t(DZV_CALL* write)(int32_t handle, const char* path);
};
inline constexpr Writer kWriters[] = {{"DictionarySave", &DictionarySave},
                                      {"DictionaryExport", &DictionaryExport}};

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
