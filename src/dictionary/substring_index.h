// An index over one text that answers, for any number of patterns, whether
// text::FindSubstring would find the pattern in the text: whether the
// pattern's bytes follow at one of the text's character starts. Each answer
// costs O(pattern length * log(text length)) instead of a scan of the text.
//
// The index is a suffix array of the text; building it takes
// O(n log n) time and about 16 bytes per text byte.
//
// Thread-safety: immutable after construction.
#ifndef DZV_DICTIONARY_SUBSTRING_INDEX_H_
#define DZV_DICTIONARY_SUBSTRING_INDEX_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "text/mbcs.h"

namespace dzv::dict {

class SubstringIndex {
 public:
  // The longest text that can be indexed.
  static constexpr size_t kMaxTextSize = UINT32_MAX - 1;

  // Indexes `text` under the character rules `t`. REQUIRES: `text` holds no
  // zero byte, is at most kMaxTextSize bytes long and outlives the index.
  // Throws std::bad_alloc.
  SubstringIndex(const text::LeadByteTable& t, std::string_view text);

  // True when text::FindSubstring(t, text, pattern) finds `pattern`.
  // REQUIRES: `pattern` is not empty.
  bool Contains(std::string_view pattern) const;

 private:
  std::string_view text_;
  // Start offsets of the text's suffixes in ascending byte order.
  std::vector<uint32_t> suffixes_;
  // starts_before_[i]: how many of suffixes_[0, i) begin at a character
  // start of the text.
  std::vector<uint32_t> starts_before_;
};

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_SUBSTRING_INDEX_H_
