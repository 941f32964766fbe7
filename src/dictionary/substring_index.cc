#include "dictionary/substring_index.h"

#include <algorithm>
#include <array>

namespace dzv::dict {
namespace {

// Suffix array by prefix doubling: after the round of length k, suffixes are
// ordered and ranked by their first 2k bytes; each round is two counting
// sorts. A suffix that ends within the compared length sorts before every
// suffix that it is a proper prefix of.
std::vector<uint32_t> BuildSuffixArray(std::string_view text) {
  const size_t n = text.size();
  std::vector<uint32_t> sa(n), rank(n), work(n);
  if (n == 0) return sa;

  std::array<uint32_t, 257> byte_count{};
  for (char c : text) ++byte_count[static_cast<unsigned char>(c) + 1];
  for (size_t b = 1; b < byte_count.size(); ++b) byte_count[b] += byte_count[b - 1];
  for (size_t i = 0; i < n; ++i) sa[byte_count[static_cast<unsigned char>(text[i])]++] = i;
  uint32_t classes = 1;
  rank[sa[0]] = 0;
  for (size_t j = 1; j < n; ++j) {
    if (text[sa[j]] != text[sa[j - 1]]) ++classes;
    rank[sa[j]] = classes - 1;
  }

  std::vector<uint32_t> count;
  for (size_t k = 1; classes < n && k < n; k <<= 1) {
    // Order by the second half: suffixes without one come first.
    size_t p = 0;
    for (size_t i = n - k; i < n; ++i) work[p++] = static_cast<uint32_t>(i);
    for (size_t j = 0; j < n; ++j) {
      if (sa[j] >= k) work[p++] = static_cast<uint32_t>(sa[j] - k);
    }
    // Stable counting sort by the first half.
    count.assign(classes, 0);
    for (size_t i = 0; i < n; ++i) ++count[rank[i]];
    uint32_t sum = 0;
    for (uint32_t& c : count) {
      const uint32_t here = c;
      c = sum;
      sum += here;
    }
    for (size_t j = 0; j < n; ++j) sa[count[rank[work[j]]]++] = work[j];
    // New ranks by (first half, second half).
    auto second = [&](uint32_t s) -> int64_t { return s + k < n ? int64_t{rank[s + k]} : -1; };
    classes = 1;
    work[sa[0]] = 0;
    for (size_t j = 1; j < n; ++j) {
      const uint32_t a = sa[j - 1], b = sa[j];
      if (rank[a] != rank[b] || second(a) != second(b)) ++classes;
      work[b] = classes - 1;
    }
    rank.swap(work);
  }
  return sa;
}

}  // namespace

SubstringIndex::SubstringIndex(const text::LeadByteTable& t, std::string_view text)
    : text_(text), suffixes_(BuildSuffixArray(text)) {
  const size_t n = text.size();
  // Character starts, stepping from the first byte as the search does.
  std::vector<bool> is_start(n, !t.HasLeadBytes());
  if (t.HasLeadBytes()) {
    for (size_t i = 0; i < n; i += t.IsLead(text[i]) ? 2 : 1) is_start[i] = true;
  }
  starts_before_.resize(n + 1);
  starts_before_[0] = 0;
  for (size_t j = 0; j < n; ++j) {
    starts_before_[j + 1] = starts_before_[j] + (is_start[suffixes_[j]] ? 1 : 0);
  }
}

bool SubstringIndex::Contains(std::string_view pattern) const {
  const size_t m = pattern.size();
  // The suffixes that begin with the pattern form one run of the array.
  auto head = [&](uint32_t s) { return text_.substr(s, m); };
  auto lo = std::lower_bound(suffixes_.begin(), suffixes_.end(), pattern,
                             [&](uint32_t s, std::string_view p) { return head(s) < p; });
  auto hi = std::upper_bound(lo, suffixes_.end(), pattern,
                             [&](std::string_view p, uint32_t s) { return p < head(s); });
  return starts_before_[hi - suffixes_.begin()] > starts_before_[lo - suffixes_.begin()];
}

}  // namespace dzv::dict
