// The system registry on Windows: every call is the Reg...A function of the
// same name, whose result codes are the interface's own. A key handle is a
// system HKEY, so a key that the caller opened itself is a starting key as
// good as a predefined root; the index order of enumerations and the rights
// of handles are the system's.
#include "platform/registry.h"

#include <windows.h>

namespace dzv::platform {
namespace {

HKEY Sys(RegKey key) { return reinterpret_cast<HKEY>(key); }

// In and out through a DWORD, which is not the type of uint32_t everywhere.
class Size {
 public:
  explicit Size(uint32_t* size) : size_(size), value_(size != nullptr ? *size : 0) {}
  ~Size() {
    if (size_ != nullptr) *size_ = value_;
  }
  Size(const Size&) = delete;
  Size& operator=(const Size&) = delete;
  DWORD* get() { return size_ != nullptr ? &value_ : nullptr; }

 private:
  uint32_t* size_;
  DWORD value_;
};

class Win32Registry final : public Registry {
 public:
  int32_t CreateKey(RegKey key, const char* path, uint32_t access, RegKey* result) override {
    if (path == nullptr) return kErrorInvalidParameter;
    HKEY created = nullptr;
    const LSTATUS status = ::RegCreateKeyExA(Sys(key), path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             access, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS) *result = reinterpret_cast<RegKey>(created);
    return status;
  }

  int32_t OpenKey(RegKey key, const char* path, uint32_t access, RegKey* result) override {
    HKEY opened = nullptr;
    const LSTATUS status =
        ::RegOpenKeyExA(Sys(key), path != nullptr ? path : "", 0, access, &opened);
    if (status == ERROR_SUCCESS) *result = reinterpret_cast<RegKey>(opened);
    return status;
  }

  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) override {
    return ::RegSetValueExA(Sys(key), name, 0, type, data, size);
  }

  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    Size type_out(type), size_io(size);
    return ::RegQueryValueExA(Sys(key), name, nullptr, type_out.get(), data, size_io.get());
  }

  int32_t DeleteValue(RegKey key, const char* name) override {
    return ::RegDeleteValueA(Sys(key), name);
  }

  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* name_size) override {
    Size name_io(name_size);
    return ::RegEnumKeyExA(Sys(key), index, name, name_io.get(), nullptr, nullptr, nullptr,
                           nullptr);
  }

  // The system would take an empty path for the key of the handle itself.
  int32_t DeleteKey(RegKey key, const char* path) override {
    if (path == nullptr || *path == '\0') return kErrorInvalidParameter;
    return ::RegDeleteKeyA(Sys(key), path);
  }

  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type,
                    uint8_t* data, uint32_t* data_size) override {
    Size name_io(name_size), type_out(type), data_io(data_size);
    return ::RegEnumValueA(Sys(key), index, name, name_io.get(), nullptr, type_out.get(), data,
                           data_io.get());
  }

  // A predefined root is not the caller's to close: the system would drop
  // its cached handle of the root for the whole process.
  int32_t CloseKey(RegKey key) override {
    if (IsPredefinedKey(key)) return kErrorSuccess;
    return ::RegCloseKey(Sys(key));
  }
};

}  // namespace

bool IsPredefinedKey(RegKey key) {
  const HKEY k = Sys(key);
  return k == HKEY_CLASSES_ROOT || k == HKEY_CURRENT_USER || k == HKEY_LOCAL_MACHINE ||
         k == HKEY_USERS || k == HKEY_CURRENT_CONFIG;
}

Registry& Registry::Default() {
  static NoDestructor<Win32Registry> instance;
  return *instance.get();
}

}  // namespace dzv::platform
