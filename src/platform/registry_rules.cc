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
