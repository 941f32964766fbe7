#include "dictionary/copy_merge.h"

#include <string>

#include "dictionary/items.h"
#include "dictionary/list_merge.h"

namespace dzv::dict {

bool PrefixMatch(std::string_view key, const char* prefix) {
  return prefix == nullptr || key.starts_with(prefix);
}

int32_t DictionaryCopy(DictionaryTable& table, int32_t source, int32_t destination,
                       const char* prefix) {
  const CMapStringToString* from = table.Get(source);
  CMapStringToString* to = table.Get(destination);
  if (from == nullptr || to == nullptr) return 0;
  const text::LeadByteTable& rules = table.rules();
  // Plain items are stored in batches; a list item first sets the batch, so
  // that it merges with the destination's value as stored so far.
  CMapStringToString::BatchWriter batch(*to);
  std::string merged;
  auto copy = [&](std::string_view key, std::string_view value) {
    if (!PrefixMatch(key, prefix)) return;
    if (!IsListKey(rules, key)) {
      batch.Add(key, value);
      return;
    }
    batch.Flush();
    const ByteString* current = to->FindValue(key);
    if (current != nullptr && !current->empty()) {
      merged = MergeList(rules, value, current->view());
      to->Set(key, merged);
    } else {
      to->Set(key, value);
    }
  };
  if (from != to) {
    from->ForEachReadAhead(copy);
  } else {
    // Copying onto itself: the views point into the map being written. That
    // stays sound with the plain walk: every key is present, so no store
    // inserts, and each value is read in full before the store that
    // replaces it.
    from->ForEach(copy);
  }
  batch.Flush();
  return 1;
}

int32_t DictionaryMerge(DictionaryTable& table, int32_t first, int32_t second, const char* prefix) {
  // Checked before the new dictionary exists: a stale handle could otherwise
  // name the new dictionary itself, which takes the lowest free slot.
  if (table.Get(first) == nullptr || table.Get(second) == nullptr) return 0;
  const int32_t merged = DictionaryNew(table, "MERGE");
  try {
    // Sized once for every item that can arrive, so that filling the new
    // dictionary never rebuilds its index. Counting is a walk of the keys in
    // memory order, much cheaper than a rebuild.
    size_t arriving = 0;
    for (int32_t source : {first, second}) {
      table.Get(source)->ForEachUnordered([&](std::string_view key, std::string_view) {
        if (PrefixMatch(key, prefix)) ++arriving;
      });
    }
    table.Get(merged)->Reserve(arriving);
    if (DictionaryCopy(table, first, merged, prefix) == 1 &&
        DictionaryCopy(table, second, merged, prefix) == 1) {
      return merged;
    }
  } catch (...) {
    DictionaryFree(table, merged);
    throw;
  }
  DictionaryFree(table, merged);
  return 0;
}

}  // namespace dzv::dict
