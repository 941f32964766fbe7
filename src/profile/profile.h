// Profiles: settings addressed by section and entry, kept in two ordinary
// dictionaries, a user layer consulted first and a default layer behind it.
// The library keeps no profile object: the caller holds the two handles that
// ProfileNew gives and passes them back on every call. Every setting is one
// item whose key is the setting's profile key (profile/profile_key.h).
//
// These functions reach dictionaries only through the item functions
// (dictionary/items.h) and DictionaryMerge; the two walks over a dictionary
// (ProfileEntryEnumerate, ProfileSectionDelete) use positions of their own,
// never the shared enumeration position. Each takes the table it works on
// and returns the exported function's result; out of memory is thrown as
// std::bad_alloc for the export layer to turn into the failure result.
//
// A profile key or section prefix that would pass kMaxProfileKey bytes makes
// a call return 0 and change nothing, no buffer included. Null string and
// buffer pointers do the same.
#ifndef DZV_PROFILE_PROFILE_H_
#define DZV_PROFILE_PROFILE_H_

#include <cstdint>

#include "dictionary/dictionary_table.h"

namespace dzv::profile {

using dict::DictionaryTable;

// Creates the user layer, then the default layer (whether or not the first
// succeeded), storing each handle, or 0 for a layer that could not be
// created, through its pointer. Returns 1 when both exist; a layer that was
// created stays when the other failed, and the caller frees it. Null
// pointers: 0, nothing created.
int32_t ProfileNew(DictionaryTable& table, int32_t* user, int32_t* defaults);

// Frees the default layer and, only when that succeeded, the user layer.
// 1 when both were freed.
int32_t ProfileFree(DictionaryTable& table, int32_t user, int32_t defaults);

// Stores `value` (null: the empty string) under the setting's key in the
// dictionary `handle`. 0 when the handle is invalid.
int32_t ProfileValueSet(DictionaryTable& table, int32_t handle, const char* section,
                        const char* entry, const char* value);

// Copies the setting's value from the user layer or, when the user layer
// lacks it (or its handle is invalid), from the default layer. 1 when found;
// 0, with the buffer untouched, when neither layer holds it.
int32_t ProfileValueGet(DictionaryTable& table, int32_t user, int32_t defaults, const char* section,
                        const char* entry, char* buffer);

// Copies the setting's value from the one dictionary `handle`. 1 when found;
// 0, with the buffer untouched, otherwise.
int32_t ProfileValueLookup(DictionaryTable& table, int32_t handle, const char* section,
                           const char* entry, char* buffer);

// Deletes the setting from the dictionary `handle`. 1 for a valid handle,
// whether or not the setting existed.
int32_t ProfileEntryDelete(DictionaryTable& table, int32_t handle, const char* section,
                           const char* entry);

// Writes the section's entries, each as it stands in its key (escaped) and
// followed by ",", into `buffer`: every key of either layer that begins with
// the section prefix, once, in the order of DictionaryMerge(defaults, user,
// prefix). The empty string when neither layer holds one. 0, with the
// buffer untouched, when either handle is invalid.
int32_t ProfileEntryEnumerate(DictionaryTable& table, int32_t user, int32_t defaults,
                              const char* section, char* buffer);

// For every key of the dictionary that begins with the section prefix when
// the call starts, deletes the key that the section and the key's remainder
// build, the remainder being escaped again. Keys written by the profile
// functions rebuild to themselves and are all deleted; a key such as 'a.b.c'
// under section 'a' rebuilds to 'a.b<dot>c' and stays. 1 for a valid handle.
int32_t ProfileSectionDelete(DictionaryTable& table, int32_t handle, const char* section);

}  // namespace dzv::profile

#endif  // DZV_PROFILE_PROFILE_H_
