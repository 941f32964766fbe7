#include "archive_lock.h"

#include <cstdint>

namespace dzv::cli {

std::string LockNameOf(const std::string& name, size_t longest_name) {
  std::string lock_name = "." + name + ".lock";
  if (lock_name.size() > longest_name) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : name) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char hex[17];
    for (int i = 15; i >= 0; --i, hash >>= 4) hex[i] = "0123456789abcdef"[hash & 0xF];
    hex[16] = '\0';
    lock_name = "." + name.substr(0, longest_name - 23) + "~" + hex + ".lock";
  }
  return lock_name;
}

}  // namespace dzv::cli
