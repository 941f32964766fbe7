// A registry held in memory: the key tree of one instance, gone with it. For
// tests that need a registry but no disk, and for what a size limit gives
// them: a write that would take the registry past its limit fails with
// kErrorDiskFull and changes nothing.
//
// The stored size counts the bytes of key names, value names and value data
// as the caller gave them, without terminating zeros; the roots' names and
// what the tree's bookkeeping takes are not counted.
//
// Handles name keys, never paths: a handle keeps naming its key while other
// keys come and go, and once the key is deleted it gives kErrorKeyDeleted
// until it is closed. Sub-keys are listed in the order of their names in
// upper case (as bytes); values in the order of their creation.
//
// Thread-safety: calls are serialised by a mutex of the instance.
#ifndef DZV_PLATFORM_IN_MEMORY_REGISTRY_H_
#define DZV_PLATFORM_IN_MEMORY_REGISTRY_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "platform/code_page.h"
#include "platform/registry.h"

namespace dzv::platform {

class InMemoryRegistry final : public Registry {
 public:
  // An empty registry (the five roots without sub-keys or values) that holds
  // at most `byte_limit` bytes. Names are divided into characters by
  // `lead_bytes`, which must outlive the instance: the second byte of a
  // double-byte character is never folded to upper case. A null table means
  // single-byte characters.
  explicit InMemoryRegistry(const LeadByteTable* lead_bytes = nullptr,
                            size_t byte_limit = std::numeric_limits<size_t>::max());
  ~InMemoryRegistry() override;
  InMemoryRegistry(const InMemoryRegistry&) = delete;
  InMemoryRegistry& operator=(const InMemoryRegistry&) = delete;

  int32_t CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) override;
  int32_t OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) override;
  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) override;
  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override;
  int32_t DeleteValue(RegKey key, const char* name) override;
  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) override;
  int32_t DeleteKey(RegKey key, const char* path) override;
  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                    uint8_t* data, uint32_t* data_size) override;
  int32_t CloseKey(RegKey key) override;

 private:
  class Tree;
  template <class Body>
  int32_t Locked(Body&& body);

  std::unique_ptr<Tree> tree_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_IN_MEMORY_REGISTRY_H_
