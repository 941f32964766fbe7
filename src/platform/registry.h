// The system registry: a tree of keys, each holding named values of a type
// and raw data (RegCreateKeyExA, RegOpenKeyExA, RegSetValueExA,
// RegQueryValueExA, RegDeleteValueA, RegEnumKeyExA, RegDeleteKeyA,
// RegEnumValueA and RegCloseKey in substance).
//
// Every call returns a Win32 error code: kErrorSuccess (0) or the reason of
// the failure. Names and paths are zero-terminated byte strings in the
// process's ANSI code page; a sub-key path names keys below a starting key,
// separated by backslashes. Key and value names keep their case and compare
// without regard to the case of ASCII letters.
//
// A key handle is either one of the predefined roots of the public header
// (DZV_HKEY_CURRENT_USER and its siblings), which are always open, or a
// handle that CreateKey or OpenKey handed out and CloseKey has not yet
// released. Any other value, a closed handle among them, gives
// kErrorInvalidHandle; a handle whose key was deleted meanwhile gives
// kErrorKeyDeleted.
//
// Thread-safety: every call may be made from any thread.
#ifndef DZV_PLATFORM_REGISTRY_H_
#define DZV_PLATFORM_REGISTRY_H_

#include <cstdint>

#include "duduzuvez210.h"
#include "platform/service.h"

namespace dzv::platform {

using RegKey = DZV_HKEY;

// Result codes.
constexpr int32_t kErrorSuccess = 0;
constexpr int32_t kErrorFileNotFound = 2;
constexpr int32_t kErrorAccessDenied = 5;
constexpr int32_t kErrorInvalidHandle = 6;
constexpr int32_t kErrorOutOfMemory = 14;
constexpr int32_t kErrorDiskFull = 112;
constexpr int32_t kErrorInvalidParameter = 87;
constexpr int32_t kErrorBadPathname = 161;
constexpr int32_t kErrorBusy = 170;
constexpr int32_t kErrorMoreData = 234;
constexpr int32_t kErrorNoMoreItems = 259;
constexpr int32_t kErrorBadDatabase = 1009;
constexpr int32_t kErrorCantOpen = 1011;
constexpr int32_t kErrorCantWrite = 1013;
constexpr int32_t kErrorRegistryIoFailed = 1016;
constexpr int32_t kErrorKeyDeleted = 1018;

// Access rights of a key handle.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyNotify = 0x0010;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kMaximumAllowed = 0x02000000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericRead = 0x80000000;

// Value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// Limits, in bytes without the terminating zero.
constexpr uint32_t kMaxKeyNameLength = 255;
constexpr uint32_t kMaxValueNameLength = 16383;

// True for the five predefined roots.
bool IsPredefinedKey(RegKey key);

class Registry {
 public:
  virtual ~Registry() = default;

  // Opens the key at `path` below `key`, creating it and every missing key
  // above it, with `access` for the new handle; `*result` receives the
  // handle. Creating a key needs kKeyCreateSubKey on `key`. An empty path
  // opens `key` itself; a null path is kErrorInvalidParameter.
  virtual int32_t CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) = 0;
  // Opens the existing key at `path` below `key` (itself when the path is
  // null or empty): kErrorFileNotFound when it does not exist.
  virtual int32_t OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) = 0;
  // Stores `size` bytes of `data` as the value `name` (null: the empty
  // name) of type `type`, replacing its data and type when it exists; a new
  // value comes after the key's other values. Needs kKeySetValue.
  virtual int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                           uint32_t size) = 0;
  // Reads the value `name`: its type into `*type` and its data into `data`,
  // when those are not null. `*size` gives the room of `data` on entry and
  // receives the data's length; when they do not fit, the result is
  // kErrorMoreData, `*size` the length needed and `data` untouched. With a
  // null `data`, only the length is reported. Needs kKeyQueryValue.
  virtual int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                             uint32_t* size) = 0;
  // Removes the value `name`. Needs kKeySetValue.
  virtual int32_t DeleteValue(RegKey key, const char* name) = 0;
  // The name of the sub-key at `index`, in the order of the names compared
  // without case. `*name_size` gives the room of `name` in bytes on entry and
  // receives the name's length without its terminating zero; a name that
  // does not fit with its zero gives kErrorMoreData. Past the last sub-key:
  // kErrorNoMoreItems. Needs kKeyEnumerateSubKeys.
  virtual int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) = 0;
  // Deletes the key at `path` below `key`, which must have no sub-keys.
  virtual int32_t DeleteKey(RegKey key, const char* path) = 0;
  // The value at `index`, in the order in which the values were created:
  // its name as EnumKey gives names, and its type and data as QueryValue
  // gives them (each optional). Needs kKeyQueryValue.
  virtual int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size,
                            uint32_t* type, uint8_t* data, uint32_t* data_size) = 0;
  // Releases a handle from CreateKey or OpenKey. Closing a predefined root
  // succeeds and changes nothing.
  virtual int32_t CloseKey(RegKey key) = 0;

  static Registry& Default();
  static Registry& Current() { return ServiceSlot<Registry>::Current(); }
};

// Forwards every call to another instance; tests override what they change.
class RegistryWrapper : public Registry {
 public:
  explicit RegistryWrapper(Registry* target) : target_(target) {}
  int32_t CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) override {
    return target_->CreateKey(key, path, access, result);
  }
  int32_t OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) override {
    return target_->OpenKey(key, path, access, result);
  }
  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) override {
    return target_->SetValue(key, name, type, data, size);
  }
  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    return target_->QueryValue(key, name, type, data, size);
  }
  int32_t DeleteValue(RegKey key, const char* name) override {
    return target_->DeleteValue(key, name);
  }
  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) override {
    return target_->EnumKey(key, index, name, name_size);
  }
  int32_t DeleteKey(RegKey key, const char* path) override { return target_->DeleteKey(key, path); }
  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                    uint8_t* data, uint32_t* data_size) override {
    return target_->EnumValue(key, index, name, name_size, type, data, data_size);
  }
  int32_t CloseKey(RegKey key) override { return target_->CloseKey(key); }

 private:
  Registry* target_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_REGISTRY_H_
