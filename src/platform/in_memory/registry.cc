// The registry in memory: the key tree, the handles, and the calls.
#include "platform/in_memory/registry.h"

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry_rules.h"

namespace dzv::platform {
namespace {

using registry_rules::CopyName;
using registry_rules::CopyValue;
using registry_rules::kRootCount;
using registry_rules::RootIndex;
using registry_rules::SplitPath;

}  // namespace

// The keys, the handles out, and the count of stored bytes. Every member
// function runs under `mutex`; a std::bad_alloc leaves the tree as it was.
class InMemoryRegistry::Tree {
 public:
  Tree(const LeadByteTable* lead_bytes, size_t byte_limit)
      : lead_bytes_(lead_bytes), byte_limit_(byte_limit) {
    for (size_t i = 0; i < kRootCount; ++i) roots_[i] = {std::make_shared<Key>(), kKeyAllAccess};
  }
  // Releases the keys one at a time, so that a tree of any depth goes
  // without deep recursion.
  ~Tree() {
    std::vector<std::shared_ptr<Key>> pending;
    for (Handle& root : roots_) pending.push_back(std::move(root.key));
    while (!pending.empty()) {
      std::shared_ptr<Key> key = std::move(pending.back());
      pending.pop_back();
      for (auto& child : key->children) pending.push_back(std::move(child.second));
    }
  }

  std::mutex mutex;

  int32_t OpenOrCreate(RegKey key, const char* path, uint32_t access, RegKey* result, bool create) {
    if (int32_t rc = registry_rules::CheckOpenOrCreate(path, result, create); rc != kErrorSuccess) {
      return rc;
    }
    const Handle* from = nullptr;
    std::vector<std::string_view> parts;
    int32_t rc = Resolve(key, &from);
    if (rc == kErrorSuccess) rc = SplitPath(path, &parts);
    if (rc != kErrorSuccess) return rc;
    std::shared_ptr<Key> parent = from->key;
    size_t found = 0;
    for (; found < parts.size(); ++found) {
      auto it = parent->children.find(Fold(parts[found]));
      if (it == parent->children.end()) break;
      parent = it->second;
    }
    if (found == parts.size()) {
      *result = handles_.Issue(parent, access);
      return kErrorSuccess;
    }
    if (!create) return kErrorFileNotFound;
    if ((from->access & kKeyCreateSubKey) == 0) return kErrorAccessDenied;
    size_t added = 0;
    for (size_t i = found; i < parts.size(); ++i) added += parts[i].size();
    if (!Fits(added)) return kErrorDiskFull;
    // The missing keys are made apart from the tree and hung in by the last
    // step, so that running out of memory leaves no part of them behind.
    std::string top_fold = Fold(parts[found]);
    auto top = std::make_shared<Key>(std::string(parts[found]));
    std::shared_ptr<Key> bottom = top;
    for (size_t i = found + 1; i < parts.size(); ++i) {
      auto child = std::make_shared<Key>(std::string(parts[i]));
      bottom->children.emplace(Fold(parts[i]), child);
      bottom = std::move(child);
    }
    const RegKey issued = handles_.Issue(bottom, access);
    try {
      parent->children.emplace(std::move(top_fold), std::move(top));
    } catch (const std::bad_alloc&) {
      handles_.Release(issued);
      throw;
    }
    stored_ += added;
    *result = issued;
    return kErrorSuccess;
  }

  int32_t DeleteKey(RegKey key, const char* path) {
    if (int32_t rc = registry_rules::CheckDeleteKey(path); rc != kErrorSuccess) return rc;
    const Handle* from = nullptr;
    std::vector<std::string_view> parts;
    int32_t rc = Resolve(key, &from);
    if (rc == kErrorSuccess) rc = SplitPath(path, &parts);
    if (rc != kErrorSuccess) return rc;
    Key* parent = nullptr;
    std::map<std::string, std::shared_ptr<Key>>::iterator it;
    for (std::string_view part : parts) {
      parent = parent == nullptr ? from->key.get() : it->second.get();
      it = parent->children.find(Fold(part));
      if (it == parent->children.end()) return kErrorFileNotFound;
    }
    Key& gone = *it->second;
    if (!gone.children.empty()) return kErrorAccessDenied;
    size_t freed = gone.name.size();
    for (const Value& value : gone.values) freed += value.name.size() + value.data.size();
    gone.deleted = true;
    gone.values = {};
    parent->children.erase(it);
    stored_ -= freed;
    return kErrorSuccess;
  }

  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) {
    if (int32_t rc = registry_rules::CheckEnumKey(name, name_size); rc != kErrorSuccess) return rc;
    const Handle* h = nullptr;
    if (int32_t rc = Resolve(key, &h, kKeyEnumerateSubKeys); rc != kErrorSuccess) return rc;
    const auto& children = h->key->children;
    if (index >= children.size()) return kErrorNoMoreItems;
    return CopyName(std::next(children.begin(), index)->second->name, name, name_size);
  }

  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) {
    if (int32_t rc = registry_rules::CheckSetValue(name, data, size); rc != kErrorSuccess)
      return rc;
    const std::string_view value_name = name == nullptr ? "" : name;
    const Handle* h = nullptr;
    if (int32_t rc = Resolve(key, &h, kKeySetValue); rc != kErrorSuccess) return rc;
    std::string fold = Fold(value_name);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (Value* value = Find(*h->key, fold)) {
      const size_t old_size = value->data.size();
      if (size > old_size && !Fits(size - old_size)) return kErrorDiskFull;
      value->data.assign(bytes);  // replaced whole or, out of memory, kept
      value->type = type;
      stored_ = stored_ - old_size + size;
      return kErrorSuccess;
    }
    if (!Fits(value_name.size() + size)) return kErrorDiskFull;
    h->key->values.push_back(
        Value{std::string(value_name), std::move(fold), type, std::string(bytes)});
    stored_ += value_name.size() + size;
    return kErrorSuccess;
  }

  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
    if (int32_t rc = registry_rules::CheckQueryValue(data, size); rc != kErrorSuccess) return rc;
    const Handle* h = nullptr;
    if (int32_t rc = Resolve(key, &h, kKeyQueryValue); rc != kErrorSuccess) return rc;
    const Value* value = Find(*h->key, Fold(name == nullptr ? "" : name));
    if (value == nullptr) return kErrorFileNotFound;
    return CopyValue(value->type, value->data, type, data, size);
  }

  int32_t DeleteValue(RegKey key, const char* name) {
    const Handle* h = nullptr;
    if (int32_t rc = Resolve(key, &h, kKeySetValue); rc != kErrorSuccess) return rc;
    Value* value = Find(*h->key, Fold(name == nullptr ? "" : name));
    if (value == nullptr) return kErrorFileNotFound;
    stored_ -= value->name.size() + value->data.size();
    std::vector<Value>& values = h->key->values;
    values.erase(values.begin() + (value - values.data()));
    return kErrorSuccess;
  }

  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                    uint8_t* data, uint32_t* data_size) {
    if (int32_t rc = registry_rules::CheckEnumValue(name, name_size, data, data_size);
        rc != kErrorSuccess) {
      return rc;
    }
    const Handle* h = nullptr;
    if (int32_t rc = Resolve(key, &h, kKeyQueryValue); rc != kErrorSuccess) return rc;
    const std::vector<Value>& values = h->key->values;
    if (index >= values.size()) return kErrorNoMoreItems;
    const Value& value = values[index];
    if (value.name.size() >= *name_size) return kErrorMoreData;
    int32_t rc = CopyValue(value.type, value.data, type, data, data_size);
    if (rc == kErrorSuccess) rc = CopyName(value.name, name, name_size);
    return rc;
  }

  int32_t CloseKey(RegKey key) { return handles_.Release(key); }

 private:
  struct Value {
    std::string name;  // as first created
    std::string fold;
    uint32_t type;
    std::string data;
  };
  struct Key {
    Key() = default;
    explicit Key(std::string key_name) : name(std::move(key_name)) {}
    std::string name;
    bool deleted = false;
    std::map<std::string, std::shared_ptr<Key>> children;  // by folded name
    std::vector<Value> values;                             // in creation order
  };
  // A handle holds its key, so that the key outlives its deletion as long
  // as the handle is open.
  using Handles = registry_rules::HandleTable<std::shared_ptr<Key>>;
  using Handle = Handles::Handle;

  // The handle `key`, which must name a key still in the tree and, unless
  // `needs` is 0, have those rights.
  int32_t Resolve(RegKey key, const Handle** out, uint32_t needs = 0) const {
    if (const size_t root = RootIndex(key); root < kRootCount) {
      *out = &roots_[root];
    } else if ((*out = handles_.Find(key)) == nullptr) {
      return kErrorInvalidHandle;
    }
    if ((*out)->key->deleted) return kErrorKeyDeleted;
    return ((*out)->access & needs) == needs ? kErrorSuccess : kErrorAccessDenied;
  }

  std::string Fold(std::string_view name) const { return registry_rules::Fold(name, lead_bytes_); }

  static Value* Find(Key& key, const std::string& fold) {
    for (Value& value : key.values) {
      if (value.fold == fold) return &value;
    }
    return nullptr;
  }

  bool Fits(size_t added) const { return added <= byte_limit_ - stored_; }

  const LeadByteTable* const lead_bytes_;
  const size_t byte_limit_;
  size_t stored_ = 0;  // never more than byte_limit_
  Handle roots_[kRootCount];
  Handles handles_;
};

InMemoryRegistry::InMemoryRegistry(const LeadByteTable* lead_bytes, size_t byte_limit)
    : tree_(std::make_unique<Tree>(lead_bytes, byte_limit)) {}

InMemoryRegistry::~InMemoryRegistry() = default;

// The one place that locks: every call runs whole under the tree's mutex,
// and memory running out becomes a code.
template <class Body>
int32_t InMemoryRegistry::Locked(Body&& body) {
  return registry_rules::Locked(tree_->mutex, [&] { return body(*tree_); });
}

int32_t InMemoryRegistry::CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) {
  return Locked([&](Tree& t) { return t.OpenOrCreate(key, path, access, result, true); });
}

int32_t InMemoryRegistry::OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) {
  return Locked([&](Tree& t) { return t.OpenOrCreate(key, path, access, result, false); });
}

int32_t InMemoryRegistry::SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                   uint32_t size) {
  return Locked([&](Tree& t) { return t.SetValue(key, name, type, data, size); });
}

int32_t InMemoryRegistry::QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                     uint32_t* size) {
  return Locked([&](Tree& t) { return t.QueryValue(key, name, type, data, size); });
}

int32_t InMemoryRegistry::DeleteValue(RegKey key, const char* name) {
  return Locked([&](Tree& t) { return t.DeleteValue(key, name); });
}

int32_t InMemoryRegistry::EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) {
  return Locked([&](Tree& t) { return t.EnumKey(key, index, name, name_size); });
}

int32_t InMemoryRegistry::DeleteKey(RegKey key, const char* path) {
  return Locked([&](Tree& t) { return t.DeleteKey(key, path); });
}

int32_t InMemoryRegistry::EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size,
                                    uint32_t* type, uint8_t* data, uint32_t* data_size) {
  return Locked(
      [&](Tree& t) { return t.EnumValue(key, index, name, name_size, type, data, data_size); });
}

int32_t InMemoryRegistry::CloseKey(RegKey key) {
  return Locked([&](Tree& t) { return t.CloseKey(key); });
}

}  // namespace dzv::platform
