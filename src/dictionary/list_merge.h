// List values: the values of list keys, whose tokens each end with the list
// separator, and the merge that DictionaryCopy applies to them.
//
// A key is a list key when one of the list words "QueryList",
// "UserItemList" and "OverrideItemList" occurs in the key's last bytes, one
// more than the word has (its window), found by text::FindSubstring over
// that window. So 'Form.QueryList' and 'QueryLists' are list keys, while the
// bare word 'QueryList' and 'QueryListXY' are not.
//
// A token is a maximal non-empty run of bytes other than the separator 0x1F.
// Since a token holds no separator, a token can only ever be found inside
// one token of another list.
#ifndef DZV_DICTIONARY_LIST_MERGE_H_
#define DZV_DICTIONARY_LIST_MERGE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "text/mbcs.h"

namespace dzv::dict {

inline constexpr char kListSeparator = '\x1F';

// Above this many bytes of scanning (distinct tokens to look for times the
// length of the value they are looked for in), MergeList indexes the value
// once instead of scanning it for each token.
inline constexpr size_t kListScanBudget = size_t{1} << 22;

// True when `key` is a list key under the character rules `t`.
bool IsListKey(const text::LeadByteTable& t, std::string_view key);

// The merged list of the incoming value `v` over the current value `d`: `v`
// unchanged, then each token of `d` that does not occur anywhere in `v`
// (text::FindSubstring under `t`, so also inside a longer token of `v`),
// followed by the separator, in `d`'s order and as often as `d` holds it.
// Only `v` is searched, never what has been appended. Values of any length
// are merged whole. `scan_budget` chooses between scanning and indexing and
// does not change the result. Throws std::bad_alloc.
std::string MergeList(const text::LeadByteTable& t, std::string_view v, std::string_view d,
                      size_t scan_budget = kListScanBudget);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_LIST_MERGE_H_
