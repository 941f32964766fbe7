// What every registry backend that keeps its own keys does the same way:
// access rights named generically, the predefined roots, the handles handed
// out, the arguments refused before anything else, sub-key paths split at
// backslashes, names compared without the case of ASCII letters, names and
// values handed to a caller's areas, and memory running out (registry.h
// states each rule).
#ifndef DZV_PLATFORM_REGISTRY_RULES_H_
#define DZV_PLATFORM_REGISTRY_RULES_H_

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "platform/registry.h"

namespace dzv::platform::registry_rules {

// Rights named generically, or as "all the caller may have", become the
// key's own rights.
uint32_t NormalizeAccess(uint32_t access);

// The predefined roots: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG.
constexpr size_t kRootCount = 5;

// The place of `key` among the predefined roots, in the order above;
// kRootCount for any other value.
size_t RootIndex(RegKey key);

// The handles a backend has handed out, each naming a key (`KeyRef`, the
// backend's way of naming one) with the handle's access rights.
// Thread-safety: none; the owner serialises every use.
template <class KeyRef>
class HandleTable {
 public:
  struct Handle {
    KeyRef key;
    uint32_t access;
  };

  // A new handle for `key` with `access` made the key's own rights. Handle
  // values are multiples of 4, never 0, a root or one in use.
  RegKey Issue(KeyRef key, uint32_t access) {
    uintptr_t value;
    do {
      value = next_;
      next_ += 4;
    } while (value == 0 || handles_.count(value) != 0 ||
             RootIndex(reinterpret_cast<RegKey>(value)) < kRootCount);
    handles_.emplace(value, Handle{std::move(key), NormalizeAccess(access)});
    return reinterpret_cast<RegKey>(value);
  }

  // The open handle `key` (not a root); null when there is none.
  const Handle* Find(RegKey key) const {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(key));
    return it == handles_.end() ? nullptr : &it->second;
  }

  // Releases a handle; a root succeeds and changes nothing, any other value
  // that is not open is kErrorInvalidHandle.
  int32_t Release(RegKey key) {
    if (RootIndex(key) < kRootCount) return kErrorSuccess;
    return handles_.erase(reinterpret_cast<uintptr_t>(key)) == 1 ? kErrorSuccess
                                                                 : kErrorInvalidHandle;
  }

  void Clear() { handles_.clear(); }

 private:
  std::unordered_map<uintptr_t, Handle> handles_;
  uintptr_t next_ = 0x1000;
};

// Runs `body` under `mutex`: its result, or kErrorOutOfMemory when memory
// ran out.
template <class Body>
int32_t Locked(std::mutex& mutex, Body&& body) {
  std::lock_guard<std::mutex> lock(mutex);
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return kErrorOutOfMemory;
  }
}

// The arguments each call refuses with kErrorInvalidParameter before it
// looks at a key; kErrorSuccess when they pass.
int32_t CheckOpenOrCreate(const char* path, const RegKey* result, bool create);
int32_t CheckDeleteKey(const char* path);
int32_t CheckEnumKey(const char* name, const uint32_t* name_size);
int32_t CheckSetValue(const char* name, const uint8_t* data, uint32_t size);
int32_t CheckQueryValue(const uint8_t* data, const uint32_t* size);
int32_t CheckEnumValue(const char* name, const uint32_t* name_size, const uint8_t* data,
                       const uint32_t* data_size);

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
