#include "dictionary/list_merge.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dictionary/substring_index.h"

namespace dzv::dict {
namespace {

constexpr std::string_view kListWords[] = {"QueryList", "UserItemList", "OverrideItemList"};

template <class Fn>
void ForEachToken(std::string_view list, Fn&& fn) {
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(kListSeparator, start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) fn(list.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

bool IsListKey(const text::LeadByteTable& t, std::string_view key) {
  for (std::string_view word : kListWords) {
    const size_t window = word.size() + 1;
    if (key.size() >= window &&
        text::FindSubstring(t, key.substr(key.size() - window), word) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

std::string MergeList(const text::LeadByteTable& t, std::string_view v, std::string_view d,
                      size_t scan_budget) {
  std::string merged(v);
  std::vector<std::string_view> tokens;
  ForEachToken(d, [&](std::string_view token) { tokens.push_back(token); });
  if (tokens.empty()) return merged;

  // A whole token of `v` is always found in `v`: it starts at the first
  // byte or right after a separator, and a separator is never a lead byte,
  // so it starts at a character start. Only the other tokens are searched,
  // each distinct one once.
  std::unordered_set<std::string_view> whole;
  ForEachToken(v, [&](std::string_view token) { whole.insert(token); });
  std::unordered_map<std::string_view, bool> found;  // token -> occurs in v
  std::vector<const bool*> verdict(tokens.size(), nullptr);
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (whole.count(tokens[i]) == 0)
      verdict[i] = &found.try_emplace(tokens[i], false).first->second;
  }
  if (found.empty()) return merged;

  const bool index = found.size() > 1 && v.size() <= SubstringIndex::kMaxTextSize &&
                     found.size() > scan_budget / (v.size() + 1);
  if (index) {
    const SubstringIndex in_v(t, v);
    for (auto& [token, present] : found) present = in_v.Contains(token);
  } else {
    for (auto& [token, present] : found) {
      present = text::FindSubstring(t, v, token) != std::string_view::npos;
    }
  }

  size_t appended = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (verdict[i] != nullptr && !*verdict[i]) appended += tokens[i].size() + 1;
  }
  merged.reserve(v.size() + appended);
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (verdict[i] == nullptr || *verdict[i]) continue;
    merged.append(tokens[i]);
    merged.push_back(kListSeparator);
  }
  return merged;
}

}  // namespace dzv::dict
