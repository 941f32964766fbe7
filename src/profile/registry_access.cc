#include "profile/registry_access.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace dzv::profile {
namespace {

using platform::kErrorNoMoreItems;
using platform::kErrorSuccess;

// A key opened here: closed at the end of its scope unless closed before.
class OpenKey {
 public:
  explicit OpenKey(Registry& registry) : registry_(registry) {}
  ~OpenKey() {
    if (open_) registry_.CloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  // The platform calls that open a key; true when they succeeded.
  bool Create(RegKey root, const char* path, uint32_t access) {
    open_ = registry_.CreateKey(root, path, access, &key_) == kErrorSuccess;
    return open_;
  }
  bool Open(RegKey root, const char* path, uint32_t access) {
    open_ = registry_.OpenKey(root, path, access, &key_) == kErrorSuccess;
    return open_;
  }
  // Closes now; the platform's result.
  int32_t Close() {
    open_ = false;
    return registry_.CloseKey(key_);
  }
  RegKey get() const { return key_; }

 private:
  Registry& registry_;
  RegKey key_ = nullptr;
  bool open_ = false;
};

}  // namespace

int32_t RegistryWrite(Registry& registry, RegKey root, const char* path, const char* name,
                      const char* text) {
  if (text == nullptr) return 0;
  const size_t length = std::strlen(text);
  if (length >= UINT32_MAX) return 0;
  OpenKey key(registry);
  if (!key.Create(root, path, platform::kKeyWrite)) return 0;
  const int32_t set =
      registry.SetValue(key.get(), name, platform::kRegSz, reinterpret_cast<const uint8_t*>(text),
                        static_cast<uint32_t>(length + 1));
  const int32_t closed = key.Close();
  return set == kErrorSuccess && closed == kErrorSuccess ? 1 : 0;
}

int32_t RegistryRead(Registry& registry, RegKey root, const char* path, const char* name,
                     char* buffer, uint32_t* size) {
  OpenKey key(registry);
  if (!key.Open(root, path, platform::kKeyRead)) return 0;
  uint32_t type = 0;
  const int32_t query =
      registry.QueryValue(key.get(), name, &type, reinterpret_cast<uint8_t*>(buffer), size);
  key.Close();
  return query == kErrorSuccess ? 1 : 0;
}

int32_t RegistryDeleteValue(Registry& registry, RegKey root, const char* path, const char* name) {
  OpenKey key(registry);
  if (!key.Open(root, path, platform::kKeyWrite)) return 0;
  const int32_t deleted = registry.DeleteValue(key.get(), name);
  key.Close();
  return deleted == kErrorSuccess ? 1 : 0;
}

int32_t RegistryDeleteKey(Registry& registry, RegKey parent, const char* path) {
  // An empty path names the root itself, which cannot be deleted: walking
  // it anyway would delete everything below the root and then fail.
  if (path == nullptr || *path == '\0') return 0;

  // One level of the walk: the key opened for listing its sub-keys, and the
  // parent and path that delete it once it has none.
  struct Level {
    RegKey parent;
    std::string path;
    RegKey key;
  };
  // Closes what is still open on a failure, deepest first.
  struct Levels {
    Registry& registry;
    std::vector<Level> stack;
    ~Levels() {
      for (auto it = stack.rbegin(); it != stack.rend(); ++it) registry.CloseKey(it->key);
    }
  } levels{registry, {}};

  try {
    levels.stack.reserve(16);
    std::string first(path);
    RegKey top;
    if (registry.OpenKey(parent, path, platform::kKeyEnumerateSubKeys, &top) != kErrorSuccess) {
      return 0;
    }
    levels.stack.push_back({parent, std::move(first), top});  // room reserved: cannot throw
    std::vector<char> name(kNameArea);
    while (!levels.stack.empty()) {
      Level& level = levels.stack.back();
      uint32_t name_size = kNameArea;
      const int32_t listed = registry.EnumKey(level.key, 0, name.data(), &name_size);
      if (listed == kErrorSuccess) {
        if (levels.stack.size() == kMaxKeyDepth) return 0;
        name.back() = '\0';
        const RegKey key = level.key;
        RegKey child;
        if (registry.OpenKey(key, name.data(), platform::kKeyEnumerateSubKeys, &child) !=
            kErrorSuccess) {
          return 0;
        }
        try {
          levels.stack.push_back({key, name.data(), child});
        } catch (...) {
          registry.CloseKey(child);
          throw;
        }
        continue;
      }
      if (listed != kErrorNoMoreItems) return 0;
      Level done = std::move(level);
      levels.stack.pop_back();
      registry.CloseKey(done.key);
      if (registry.DeleteKey(done.parent, done.path.c_str()) != kErrorSuccess) return 0;
    }
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int32_t RegistryEnumValues(Registry& registry, RegKey root, const char* path, char* buffer,
                           int32_t largest) {
  if (buffer == nullptr) return 0;
  OpenKey key(registry);
  try {
    if (!key.Open(root, path, platform::kKeyQueryValue)) return 0;
    std::vector<char> name(kNameArea);
    std::vector<uint8_t> data(kDataArea);
    std::string list;
    for (uint32_t index = 0; index <= kMaxListedIndex; ++index) {
      uint32_t name_size = kNameArea;
      uint32_t data_size = kDataArea;
      uint32_t type = 0;
      const int32_t rc = registry.EnumValue(key.get(), index, name.data(), &name_size, &type,
                                            data.data(), &data_size);
      if (rc == kErrorSuccess) {
        list.append(name.data(), strnlen(name.data(), kNameArea));
        list.push_back('|');
        continue;
      }
      if (rc != kErrorNoMoreItems) return 0;
      const size_t n = largest < 0 ? 0 : std::min(list.size(), static_cast<size_t>(largest));
      std::memcpy(buffer, list.data(), n);
      buffer[n] = '\0';
      key.Close();
      return 1;
    }
    return 0;  // index 999 was still a value: the end of the list was not seen
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace dzv::profile
