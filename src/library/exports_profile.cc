// Exports of the profile family (keys and layered values).
#include "duduzuvez210.h"
#include "library/guard.h"
#include "profile/profile.h"

using dzv::dict::DictionaryTable;
using dzv::library::WithTable;

extern "C" {

int32_t DZV_CALL _ProfileNew(int32_t* user, int32_t* defaults) {
  return WithTable(0,
                   [&](DictionaryTable& t) { return dzv::profile::ProfileNew(t, user, defaults); });
}

int32_t DZV_CALL _ProfileFree(int32_t user, int32_t defaults) {
  return WithTable(
      0, [&](DictionaryTable& t) { return dzv::profile::ProfileFree(t, user, defaults); });
}

int32_t DZV_CALL _ProfileValueSet(int32_t handle, const char* section, const char* entry,
                                  const char* value) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::profile::ProfileValueSet(t, handle, section, entry, value);
  });
}

int32_t DZV_CALL _ProfileValueGet(int32_t user, int32_t defaults, const char* section,
                                  const char* entry, char* buffer) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::profile::ProfileValueGet(t, user, defaults, section, entry, buffer);
  });
}

int32_t DZV_CALL _ProfileValueLookup(int32_t handle, const char* section, const char* entry,
                                     char* buffer) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::profile::ProfileValueLookup(t, handle, section, entry, buffer);
  });
}

int32_t DZV_CALL _ProfileEntryDelete(int32_t handle, const char* section, const char* entry) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::profile::ProfileEntryDelete(t, handle, section, entry);
  });
}

int32_t DZV_CALL _ProfileEntryEnumerate(int32_t user, int32_t defaults, const char* section,
                                        char* buffer) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::profile::ProfileEntryEnumerate(t, user, defaults, section, buffer);
  });
}

int32_t DZV_CALL _ProfileSectionDelete(int32_t handle, const char* section) {
  return WithTable(0, [&](DictionaryTable& t) {
    return dzv::profile::ProfileSectionDelete(t, handle, section);
  });
}

}  // extern "C"
