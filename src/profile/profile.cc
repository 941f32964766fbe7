#include "profile/profile.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "dictionary/copy_merge.h"
#include "dictionary/items.h"
#include "profile/profile_key.h"

namespace dzv::profile {
namespace {

// A new dictionary's handle, or 0 when it could not be created.
int32_t NewOrZero(DictionaryTable& table, const char* name) {
  try {
    return dict::DictionaryNew(table, name);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

bool BuildKey(const char* section, const char* entry, ProfileKey* key) {
  return section != nullptr && entry != nullptr && ProfileKey::Build(section, entry, key);
}

// Frees a dictionary when it goes out of scope.
class DictionaryHolder {
 public:
  DictionaryHolder(DictionaryTable& table, int32_t handle) : table_(table), handle_(handle) {}
  ~DictionaryHolder() { dict::DictionaryFree(table_, handle_); }
  DictionaryHolder(const DictionaryHolder&) = delete;
  DictionaryHolder& operator=(const DictionaryHolder&) = delete;

 private:
  DictionaryTable& table_;
  int32_t handle_;
};

}  // namespace

int32_t ProfileNew(DictionaryTable& table, int32_t* user, int32_t* defaults) {
  if (user == nullptr || defaults == nullptr) return 0;
  *user = NewOrZero(table, "USER");
  *defaults = NewOrZero(table, "DEFAULT");
  return *user != 0 && *defaults != 0 ? 1 : 0;
}

int32_t ProfileFree(DictionaryTable& table, int32_t user, int32_t defaults) {
  if (dict::DictionaryFree(table, defaults) != 1) return 0;
  return dict::DictionaryFree(table, user);
}

int32_t ProfileValueSet(DictionaryTable& table, int32_t handle, const char* section,
                        const char* entry, const char* value) {
  if (table.Get(handle) == nullptr) return 0;
  ProfileKey key;
  if (!BuildKey(section, entry, &key)) return 0;
  return dict::DictionaryItemAdd(table, handle, key.c_str(), value);
}

int32_t ProfileValueGet(DictionaryTable& table, int32_t user, int32_t defaults, const char* section,
                        const char* entry, char* buffer) {
  ProfileKey key;
  if (!BuildKey(section, entry, &key)) return 0;
  if (dict::DictionaryLookup(table, user, key.c_str(), buffer) == 1) return 1;
  return dict::DictionaryLookup(table, defaults, key.c_str(), buffer);
}

int32_t ProfileValueLookup(DictionaryTable& table, int32_t handle, const char* section,
                           const char* entry, char* buffer) {
  ProfileKey key;
  if (!BuildKey(section, entry, &key)) return 0;
  return dict::DictionaryLookup(table, handle, key.c_str(), buffer);
}

int32_t ProfileEntryDelete(DictionaryTable& table, int32_t handle, const char* section,
                           const char* entry) {
  ProfileKey key;
  if (!BuildKey(section, entry, &key)) return 0;
  return dict::DictionaryItemDelete(table, handle, key.c_str());
}

int32_t ProfileEntryEnumerate(DictionaryTable& table, int32_t user, int32_t defaults,
                              const char* section, char* buffer) {
  ProfileKey prefix;
  if (section == nullptr || buffer == nullptr || !ProfileKey::BuildPrefix(section, &prefix)) {
    return 0;
  }
  const int32_t merged = dict::DictionaryMerge(table, defaults, user, prefix.c_str());
  if (merged == 0) return 0;
  DictionaryHolder release(table, merged);
  char* out = buffer;
  table.Get(merged)->ForEachReadAhead([&](std::string_view key, std::string_view) {
    const std::string_view entry = key.substr(prefix.size());
    if (!entry.empty()) std::memcpy(out, entry.data(), entry.size());
    out += entry.size();
    *out++ = ',';
  });
  *out = '\0';
  return 1;
}

int32_t ProfileSectionDelete(DictionaryTable& table, int32_t handle, const char* section) {
  const dict::CMapStringToString* map = table.Get(handle);
  ProfileKey prefix;
  if (map == nullptr || section == nullptr || !ProfileKey::BuildPrefix(section, &prefix)) {
    return 0;
  }
  // The rebuilt keys are gathered before anything is deleted: a rebuilt key
  // may name any item, also the one the walk would visit next.
  std::string rebuilt;  // each key followed by a zero byte
  std::vector<size_t> starts;
  bool too_long = false;
  map->ForEachReadAhead([&](std::string_view key, std::string_view) {
    if (too_long || !dict::PrefixMatch(key, prefix.c_str())) return;
    ProfileKey again;
    if (!ProfileKey::Build(section, key.substr(prefix.size()), &again)) {
      too_long = true;
      return;
    }
    starts.push_back(rebuilt.size());
    rebuilt.append(again.view());
    rebuilt.push_back('\0');
  });
  if (too_long) return 0;
  for (size_t start : starts) dict::DictionaryItemDelete(table, handle, rebuilt.data() + start);
  return 1;
}

}  // namespace dzv::profile
