#include "dictionary/copy_merge.h"

#include <string>

#include "dictionary/items.h"
#include "dictionary/list_merge.h"

namespace dzv::dict {

bool PrefixMatch(std::string_view key, const char* prefix) {
  return prefix == nullptr || key.starts_with(prefix);
}

int32_t DictionaryCopy(DictionaryTable& table, int32_t source,
                       int32_t destination, const char* prefix) {
  const CMapStringToString* from = table.Get(source);
  CMapStringToString* to = table.Get(destination);
  if (from == nullptr || to == nullptr) return 0;
  const text::LeadByteTable& rules = text::ProcessLeadBytes();
  // When `from` is `to`, the views below point into the map being written.
  // That stays sound: every key is then present, so no store inserts (the
  // walk's position stays valid), and each value is read in full before the
  // store that replaces it.
  // Plain items are stored in batches; a list item first sets the batch, so
  // that it merges with the destination's value as stored so far.
  CMapStringToString::BatchWriter batch(*to);
  CMapStringToString::Position pos = from->Start();
  std::string_view key, value;
  std::string merged;
  while (from->Next(pos, &key, &value)) {
    if (!PrefixMatch(key, prefix)) continue;
    if (IsListKey(rules, key)) {
      batch.Flush();
      const ByteString* current = to->FindValue(key);
      if (current != nullptr && !current->empty()) {
        merged = MergeList(rules, value, current->view());
        to->Set(key, merged);
        continue;
      }
      to->Set(key, value);
      continue;
    }
    batch.Add(key, value);
  }
  batch.Flush();
  return 1;
}

int32_t DictionaryMerge(DictionaryTable& table, int32_t first, int32_t second,
                        const char* prefix) {
  // Checked before the new dictionary exists: a stale handle could otherwise
  // name the new dictionary itself, which takes the lowest free slot.
  if (table.Get(first) == nullptr || table.Get(second) == nullptr) return 0;
  const int32_t merged = DictionaryNew(table, "MERGE");
  try {
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
