// Exports of the dictionary table and item family.
#include "dictionary/items.h"
#include "duduzuvez210.h"
#include "library/guard.h"

using dzv::dict::DictionaryTable;
using dzv::library::WithTable;

extern "C" {

int32_t DZV_CALL DictionaryNew(const char* name) {
  return WithTable(0, [&](DictionaryTable& t) { return dzv::dict::DictionaryNew(t, name); });
}

int32_t DZV_CALL DictionaryFree(int32_t handle) {
  return WithTable(0, [&](DictionaryTable& t) { return dzv::dict::DictionaryFree(t, handle); });
}

int32_t DZV_CALL DictionaryClear(int32_t handle) {
  return WithTable(0, [&](DictionaryTable& t) { return dzv::dict::DictionaryClear(t, handle); });
}

int32_t DZV_CALL DictionaryItemAdd(int32_t handle, const char* key, const char* value) {
  return WithTable(
      0, [&](DictionaryTable& t) { return dzv::dict::DictionaryItemAdd(t, handle, key, value); });
}

int32_t DZV_CALL DictionaryItemFind(int32_t handle, const char* key, char* value) {
  return WithTable(
      0, [&](DictionaryTable& t) { return dzv::dict::DictionaryItemFind(t, handle, key, value); });
}

int32_t DZV_CALL DictionaryLookup(int32_t handle, const char* key, char* value) {
  return WithTable(
      0, [&](DictionaryTable& t) { return dzv::dict::DictionaryLookup(t, handle, key, value); });
}

int32_t DZV_CALL DictionaryItemCount(int32_t handle) {
  return WithTable(0,
                   [&](DictionaryTable& t) { return dzv::dict::DictionaryItemCount(t, handle); });
}

int32_t DZV_CALL DictionaryItemDelete(int32_t handle, const char* key) {
  return WithTable(
      0, [&](DictionaryTable& t) { return dzv::dict::DictionaryItemDelete(t, handle, key); });
}

int32_t DZV_CALL DictionaryItemGetInit(int32_t handle) {
  return WithTable(0,
                   [&](DictionaryTable& t) { return dzv::dict::DictionaryItemGetInit(t, handle); });
}

int32_t DZV_CALL DictionaryItemGetNext(int32_t handle, char* key, char* value) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::dict::DictionaryItemGetNext(t, handle, key, value);
  });
}

}  // extern "C"
