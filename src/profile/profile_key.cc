#include "profile/profile_key.h"

#include <cstring>

namespace dzv::profile {

bool ProfileKey::Append(std::string_view s) {
  if (s.size() > kMaxProfileKey - size_) return false;
  if (!s.empty()) std::memcpy(bytes_ + size_, s.data(), s.size());
  size_ += s.size();
  bytes_[size_] = '\0';
  return true;
}

bool ProfileKey::Build(std::string_view section, std::string_view entry, ProfileKey* key) {
  key->size_ = 0;
  key->bytes_[0] = '\0';
  if (!key->Append(section) || !key->Append(".")) return false;
  for (char c : entry) {
    std::string_view piece;
    switch (c) {
      case ',':
        piece = "<comma>";
        break;
      case '.':
        piece = "<dot>";
        break;
      case '=':
        piece = "<equal>";
        break;
      default:
        piece = std::string_view(&c, 1);
        break;
    }
    if (!key->Append(piece)) return false;
  }
  return true;
}

}  // namespace dzv::profile
