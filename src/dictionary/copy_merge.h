// DictionaryCopy and DictionaryMerge: moving the items whose keys begin with
// a prefix from one dictionary into another, merging list values
// (dictionary/list_merge.h) instead of replacing them.
//
// Both take the table they work on and return the exported function's
// result; out of memory is thrown as std::bad_alloc for the export layer to
// turn into the failure result.
#ifndef DZV_DICTIONARY_COPY_MERGE_H_
#define DZV_DICTIONARY_COPY_MERGE_H_

#include <cstdint>
#include <string_view>

#include "dictionary/dictionary_table.h"

namespace dzv::dict {

// True when `prefix` is null or empty, or when `key` begins with the
// prefix's bytes (with case; a shorter key never matches).
bool PrefixMatch(std::string_view key, const char* prefix);

// Copies every item of `source` whose key matches `prefix` into
// `destination`, walking the source in its enumeration order. A plain item
// is stored as it is (added, or replacing the destination's value); the
// item of a list key gets MergeList(source value, destination value).
// Returns 1, or 0 when either handle is invalid (nothing copied). When a
// store throws, the items stored before it stay. Source and destination may
// be the same dictionary; every item then stays as it was.
int32_t DictionaryCopy(DictionaryTable& table, int32_t source, int32_t destination,
                       const char* prefix);

// A new dictionary holding the prefixed items of `first`, then those of
// `second` copied over them. Returns its handle; the caller frees it. Returns
// 0 when either handle is invalid, and then creates no dictionary at all.
// On any failure no new dictionary is left behind.
int32_t DictionaryMerge(DictionaryTable& table, int32_t first, int32_t second, const char* prefix);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_COPY_MERGE_H_
