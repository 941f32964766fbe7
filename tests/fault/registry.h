// A registry for tests that forwards to another and fails the calls a test
// chooses: the n-th call (1 for the first) with an I/O error, or with
// std::bad_alloc standing for memory running out at that point (closes never
// throw); and every deletion of one key name. It counts the keys open through
// it and the most open at once, records the keys it deleted, and notices a
// close of a predefined root.
#ifndef DZV_TESTS_FAULT_REGISTRY_H_
#define DZV_TESTS_FAULT_REGISTRY_H_

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace dzv::testing {

class FaultyRegistry final : public platform::RegistryWrapper {
 public:
  using RegKey = platform::RegKey;
  using RegistryWrapper::RegistryWrapper;

  // Fails the n-th call counted from now (1 is the next); 0 fails none.
  void FailNth(int n, bool out_of_memory = false) {
    calls_ = 0;
    fail_at_ = n;
    out_of_memory_ = out_of_memory;
    injected_.clear();
  }
  // Every CloseKey from now on fails (the key is released all the same).
  void FailCloses() { fail_closes_ = true; }
  // Every DeleteKey of this last path component fails with access denied.
  void FailDeleteOf(const std::string& name) { fail_delete_of_ = name; }

  // The name of the call that was failed ("CloseKey", ...), or "".
  const std::string& injected() const { return injected_; }
  int open_keys() const { return open_; }
  int most_open() const { return most_open_; }
  bool closed_a_root() const { return closed_root_; }
  // The paths given to successful DeleteKey calls, in order; ResetCounts clears
  // them and sets the most open keys to those open now.
  const std::vector<std::string>& deleted() const { return deleted_; }
  void ResetCounts() {
    most_open_ = open_;
    deleted_.clear();
  }

  int32_t CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) override {
    if (Fail("CreateKey")) return platform::kErrorRegistryIoFailed;
    return Opened(RegistryWrapper::CreateKey(key, path, access, result));
  }
  int32_t OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) override {
    if (Fail("OpenKey")) return platform::kErrorRegistryIoFailed;
    return Opened(RegistryWrapper::OpenKey(key, path, access, result));
  }
  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) override {
    if (Fail("SetValue")) return platform::kErrorRegistryIoFailed;
    return RegistryWrapper::SetValue(key, name, type, data, size);
  }
  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    if (Fail("QueryValue")) return platform::kErrorRegistryIoFailed;
    return RegistryWrapper::QueryValue(key, name, type, data, size);
  }
  int32_t DeleteValue(RegKey key, const char* name) override {
    if (Fail("DeleteValue")) return platform::kErrorRegistryIoFailed;
    return RegistryWrapper::DeleteValue(key, name);
  }
  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* size) override {
    if (Fail("EnumKey")) return platform::kErrorRegistryIoFailed;
    return RegistryWrapper::EnumKey(key, index, name, size);
  }
  int32_t DeleteKey(RegKey key, const char* path) override {
    if (Fail("DeleteKey") || fail_delete_of_ == path) return platform::kErrorAccessDenied;
    const int32_t rc = RegistryWrapper::DeleteKey(key, path);
    if (rc == platform::kErrorSuccess) deleted_.push_back(path);
    return rc;
  }
  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                    uint8_t* data, uint32_t* data_size) override {
    if (Fail("EnumValue")) return platform::kErrorRegistryIoFailed;
    return RegistryWrapper::EnumValue(key, index, name, name_size, type, data, data_size);
  }
  // The key is released even when the close is reported as failed.
  int32_t CloseKey(RegKey key) override {
    if (platform::IsPredefinedKey(key)) closed_root_ = true;
    const int32_t rc = RegistryWrapper::CloseKey(key);
    if (rc == platform::kErrorSuccess) --open_;
    const bool fail = Fail("CloseKey", /*may_throw=*/false) || fail_closes_;
    return fail ? platform::kErrorRegistryIoFailed : rc;
  }

 private:
  bool Fail(const char* call, bool may_throw = true) {
    if (++calls_ != fail_at_) return false;
    injected_ = call;
    if (out_of_memory_ && may_throw) throw std::bad_alloc();
    return true;
  }
  int32_t Opened(int32_t rc) {
    if (rc == platform::kErrorSuccess) most_open_ = std::max(most_open_, ++open_);
    return rc;
  }

  int calls_ = 0;
  int fail_at_ = 0;
  bool out_of_memory_ = false;
  bool fail_closes_ = false;
  std::string injected_;
  std::string fail_delete_of_;
  int open_ = 0;
  int most_open_ = 0;
  bool closed_root_ = false;
  std::vector<std::string> deleted_;
};

}  // namespace dzv::testing

#endif  // DZV_TESTS_FAULT_REGISTRY_H_
