// The dictionary item operations behind the exported Dictionary* functions
// of the table family. Each takes the table it works on and returns the
// exported function's result; out of memory is thrown as std::bad_alloc for
// the export layer to turn into the failure result.
//
// An invalid handle gives 0 and changes nothing: no dictionary, no buffer and
// not the shared enumeration position. Null key and buffer pointers give 0.
#ifndef DZV_DICTIONARY_ITEMS_H_
#define DZV_DICTIONARY_ITEMS_H_

#include <cstdint>
#include <string_view>

#include "dictionary/dictionary_table.h"

namespace dzv::dict {

int32_t DictionaryNew(DictionaryTable& table, const char* name);
int32_t DictionaryFree(DictionaryTable& table, int32_t handle);
int32_t DictionaryClear(DictionaryTable& table, int32_t handle);
int32_t DictionaryItemAdd(DictionaryTable& table, int32_t handle, const char* key,
                          const char* value);
int32_t DictionaryItemFind(DictionaryTable& table, int32_t handle, const char* key, char* value);
int32_t DictionaryLookup(DictionaryTable& table, int32_t handle, const char* key, char* value);
int32_t DictionaryItemCount(DictionaryTable& table, int32_t handle);
int32_t DictionaryItemDelete(DictionaryTable& table, int32_t handle, const char* key);
int32_t DictionaryItemGetInit(DictionaryTable& table, int32_t handle);
int32_t DictionaryItemGetNext(DictionaryTable& table, int32_t handle, char* key, char* value);

// Copies `s` and a terminating zero byte into `out`.
void CopyOut(std::string_view s, char* out);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_ITEMS_H_
