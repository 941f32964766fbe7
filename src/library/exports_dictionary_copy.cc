// Exports of the dictionary copy, merge and attribute family.
#include "dictionary/attribute.h"
#include "dictionary/copy_merge.h"
#include "duduzuvez210.h"
#include "library/guard.h"

using dzv::dict::DictionaryTable;
using dzv::library::WithTable;

extern "C" {

int32_t DZV_CALL DictionaryCopy(int32_t source, int32_t destination, const char* prefix) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::dict::DictionaryCopy(t, source, destination, prefix);
  });
}

int32_t DZV_CALL DictionaryMerge(int32_t first, int32_t second, const char* prefix) {
  return WithTable(
      0, [&](DictionaryTable& t) { return dzv::dict::DictionaryMerge(t, first, second, prefix); });
}

int32_t DZV_CALL DictionaryAttributeGet(int32_t handle, const char* key, const char* attribute,
                                        char* output) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::dict::DictionaryAttributeGet(t, handle, key, attribute, output);
  });
}

}  // extern "C"
