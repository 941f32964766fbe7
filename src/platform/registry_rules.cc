#include "platform/registry_rules.h"

#include <cstring>

#include "platform/registry.h"

namespace dzv::platform::registry_rules {

uint32_t NormalizeAccess(uint32_t access) {
  if (access & (kGenericAll | kMaximumAllowed)) access |= kKeyAllAccess;
  if (access & kGenericRead) access |= kKeyRead;
  if (access & kGenericWrite) access |= kKeyWrite;
  return access;
}

size_t RootIndex(RegKey key) {
  static const RegKey kRoots[kRootCount] = {DZV_HKEY_CLASSES_ROOT, DZV_HKEY_CURRENT_USER,
                                            DZV_HKEY_LOCAL_MACHINE, DZV_HKEY_USERS,
                                            DZV_HKEY_CURRENT_CONFIG};
  size_t i = 0;
  while (i < kRootCount && kRoots[i] != key) ++i;
  return i;
}

int32_t CheckOpenOrCreate(const char* path, const RegKey* result, bool create) {
  return result == nullptr || (create && path == nullptr) ? kErrorInvalidParameter : kErrorSuccess;
}

int32_t CheckDeleteKey(const char* path) {
  return path == nullptr || *path == '\0' ? kErrorInvalidParameter : kErrorSuccess;
}

int32_t CheckEnumKey(const char* name, const uint32_t* name_size) {
  return name == nullptr || name_size == nullptr ? kErrorInvalidParameter : kErrorSuccess;
}

int32_t CheckSetValue(const char* name, const uint8_t* data, uint32_t size) {
  if (data == nullptr && size != 0) return kErrorInvalidParameter;
  const std::string_view value_name = name == nullptr ? "" : name;
  return value_name.size() > kMaxValueNameLength ? kErrorInvalidParameter : kErrorSuccess;
}

int32_t CheckQueryValue(const uint8_t* data, const uint32_t* size) {
  return data != nullptr && size == nullptr ? kErrorInvalidParameter : kErrorSuccess;
}

int32_t CheckEnumValue(const char* name, const uint32_t* name_size, const uint8_t* data,
                       const uint32_t* data_size) {
  return name == nullptr || name_size == nullptr || (data != nullptr && data_size == nullptr)
             ? kErrorInvalidParameter
             : kErrorSuccess;
}

int32_t SplitPath(const char* path, std::vector<std::string_view>* parts) {
  parts->clear();
  if (path == nullptr || *path == '\0') return kErrorSuccess;
  std::string_view rest(path);
  while (true) {
    const size_t cut = rest.find('\\');
    const std::string_view part = rest.substr(0, cut);
    if (part.empty()) return kErrorBadPathname;
    if (part.size() > kMaxKeyNameLength) return kErrorInvalidParameter;
    parts->push_back(part);
    if (cut == std::string_view::npos) return kErrorSuccess;
    rest.remove_prefix(cut + 1);
  }
}

std::string Fold(std::string_view name, const LeadByteTable* lead_bytes) {
  std::string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (lead_bytes != nullptr && lead_bytes->IsLead(c) && i + 1 < out.size()) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

int32_t CopyName(std::string_view name, char* out, uint32_t* size) {
  if (name.size() >= *size) return kErrorMoreData;
  std::memcpy(out, name.data(), name.size());
  out[name.size()] = '\0';
  *size = static_cast<uint32_t>(name.size());
  return kErrorSuccess;
}

int32_t CopyValue(uint32_t value_type, std::string_view bytes, uint32_t* type, uint8_t* data,
                  uint32_t* size) {
  if (data != nullptr) {
    if (bytes.size() > *size) {
      *size = static_cast<uint32_t>(bytes.size());
      return kErrorMoreData;
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  }
  if (size != nullptr) *size = static_cast<uint32_t>(bytes.size());
  if (type != nullptr) *type = value_type;
  return kErrorSuccess;
}

}  // namespace dzv::platform::registry_rules
