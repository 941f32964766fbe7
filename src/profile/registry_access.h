// The registry functions of the profile family: write a text value, read a
// value, delete a value, delete a key with everything below it, and list the
// names of a key's values. Each names its key by a root and a sub-key path,
// both handed to the platform unchanged, opens the key with the access its
// operation needs, and closes every key it opened before it returns, on every
// path; the root is never closed. Each returns 1 for success and 0 for
// failure, whatever the platform's reason; nothing is thrown.
#ifndef DZV_PROFILE_REGISTRY_ACCESS_H_
#define DZV_PROFILE_REGISTRY_ACCESS_H_

#include <cstddef>
#include <cstdint>

#include "platform/registry.h"

namespace dzv::profile {

using platform::Registry;
using platform::RegKey;

// Work areas of the enumerations, and the indexes the value list looks at.
constexpr uint32_t kNameArea = 256;
constexpr uint32_t kDataArea = 32000;
constexpr uint32_t kMaxListedIndex = 999;
// The deepest tree that RegistryDeleteKey walks, as deep as the Windows
// registry lets a tree grow: a deeper one (or a damaged registry whose keys
// lead round in a circle) stops the walk with 0.
constexpr size_t kMaxKeyDepth = 512;

// Creates or opens the key for writing and stores `text` as REG_SZ with its
// terminating zero. 1 only when the value was stored and the key closed. A
// null text gives 0 before the key is touched.
int32_t RegistryWrite(Registry& registry, RegKey root, const char* path, const char* name,
                      const char* text);

// Opens the key for reading and queries the value with the caller's buffer
// and size pointer as they are: the data are copied as stored, with no zero
// added, and *size receives what the platform reports. Any value type.
int32_t RegistryRead(Registry& registry, RegKey root, const char* path, const char* name,
                     char* buffer, uint32_t* size);

int32_t RegistryDeleteValue(Registry& registry, RegKey root, const char* path, const char* name);

// Deletes the key and everything below it, depth first: for each key the
// sub-key at index 0 is deleted until none is left, then the key itself. One
// key is open per level. A failure stops everything with 0 and leaves in
// place what was not yet deleted, the keys above the failure among them.
// A null or empty path gives 0 without touching anything; a tree deeper
// than kMaxKeyDepth levels below the key gives 0 when the walk reaches it.
int32_t RegistryDeleteKey(Registry& registry, RegKey parent, const char* path);

// Lists the names of the key's values at indexes 0 to 999, each followed by
// "|", cuts the list to its first `largest` bytes (none when negative) and
// copies it and a zero into `buffer`. 0, writing nothing, when a value's
// name or data do not fit the work areas, when the key has 1000 values or
// more, when any other platform call fails, and when `buffer` is null.
int32_t RegistryEnumValues(Registry& registry, RegKey root, const char* path, char* buffer,
                           int32_t largest);

}  // namespace dzv::profile

#endif  // DZV_PROFILE_REGISTRY_ACCESS_H_
