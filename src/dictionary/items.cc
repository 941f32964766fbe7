#include "dictionary/items.h"

#include <cstring>

namespace dzv::dict {

void CopyOut(std::string_view s, char* out) {
  if (!s.empty()) std::memcpy(out, s.data(), s.size());
  out[s.size()] = '\0';
}

int32_t DictionaryNew(DictionaryTable& table, const char* /*name: not read*/) {
  return table.Create();
}

int32_t DictionaryFree(DictionaryTable& table, int32_t handle) {
  return table.Destroy(handle) ? 1 : 0;
}

int32_t DictionaryClear(DictionaryTable& table, int32_t handle) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr) return 0;
  map->Clear();
  return 1;
}

int32_t DictionaryItemAdd(DictionaryTable& table, int32_t handle, const char* key,
                          const char* value) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr || key == nullptr) return 0;
  map->Set(key, value);
  return 1;
}

int32_t DictionaryItemFind(DictionaryTable& table, int32_t handle, const char* key, char* value) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr || key == nullptr || value == nullptr) return 0;
  const ByteString* found = map->FindValue(key);
  CopyOut(found != nullptr ? found->view() : std::string_view(), value);
  return 1;
}

int32_t DictionaryLookup(DictionaryTable& table, int32_t handle, const char* key, char* value) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr || key == nullptr || value == nullptr) return 0;
  const ByteString* found = map->FindValue(key);
  if (found == nullptr) return 0;
  CopyOut(found->view(), value);
  return 1;
}

int32_t DictionaryItemCount(DictionaryTable& table, int32_t handle) {
  CMapStringToString* map = table.Get(handle);
  return map == nullptr ? 0 : map->Count();
}

int32_t DictionaryItemDelete(DictionaryTable& table, int32_t handle, const char* key) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr || key == nullptr) return 0;
  map->Remove(key);
  return 1;
}

int32_t DictionaryItemGetInit(DictionaryTable& table, int32_t handle) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr) return 0;
  table.shared_position() = map->Start();
  table.read_ahead().Reset();
  return map->Count() != 0 ? 1 : 0;
}

int32_t DictionaryItemGetNext(DictionaryTable& table, int32_t handle, char* key, char* value) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr || key == nullptr || value == nullptr) return 0;
  CMapStringToString::Position& pos = table.shared_position();
  std::string_view k, v;
  if (!map->Next(pos, &k, &v)) return 0;
  CopyOut(k, key);
  CopyOut(v, value);
  table.read_ahead().After(*map, pos);
  return pos.IsEnd() ? 0 : 1;
}

}  // namespace dzv::dict
