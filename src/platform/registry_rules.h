// What every registry backend that keeps its own keys does the same way:
// access rights named generically, sub-key paths split at backslashes, names
// compared without the case of ASCII letters, and names and values handed to
// a caller's areas (registry.h states each rule).
#ifndef DZV_PLATFORM_REGISTRY_RULES_H_
#define DZV_PLATFORM_REGISTRY_RULES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

namespace dzv::platform::registry_rules {

// Rights named generically, or as "all the caller may have", become the
// key's own rights.
uint32_t NormalizeAccess(uint32_t access);

// Replaces `*parts` with the components of a sub-key path, split at its
// backslashes. Null and empty paths have no components; an empty component
// is kErrorBadPathname, one longer than a key name may be
// kErrorInvalidParameter.
int32_t SplitPath(const char* path, std::vector<std::string_view>* parts);

// The name as lookups compare it: ASCII letters in upper case, except the
// second byte of a double-byte character of `lead_bytes` (null: none).
std::string Fold(std::string_view name, const LeadByteTable* lead_bytes);

// Copies a name and its terminating zero into a caller's area of `*size`
// bytes, setting `*size` to the name's length; kErrorMoreData when it does
// not fit.
int32_t CopyName(std::string_view name, char* out, uint32_t* size);

// Hands a value's type and data to a caller's places, each optional; data
// that do not fit give kErrorMoreData and the length needed.
int32_t CopyValue(uint32_t value_type, std::string_view bytes, uint32_t* type, uint8_t* data,
                  uint32_t* size);

}  // namespace dzv::platform::registry_rules

#endif  // DZV_PLATFORM_REGISTRY_RULES_H_
