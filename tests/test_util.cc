// The helpers of test_util.h that need nothing of the system's own.
#include "test_util.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "library/process.h"

namespace dzv::testing {

Items ItemsOf(const dict::CMapStringToString& map) {
  Items out;
  map.ForEach([&](std::string_view k, std::string_view v) { out.emplace_back(k, v); });
  return out;
}

Items ItemsOf(int32_t h) {
  const dict::CMapStringToString* map = library::Dictionaries()->Get(h);
  return map == nullptr ? Items{} : ItemsOf(*map);
}

const dict::CMapStringToString& Dict::map() const { return *library::Dictionaries()->Get(h_); }

platform::LeadByteTable Cp932() {
  platform::LeadByteTable t;
  t.SetRange(0x81, 0x9F);
  t.SetRange(0xE0, 0xFC);
  return t;
}

std::filesystem::path SharedDataDir() {
  const char* elsewhere = std::getenv("DZV_SHARED_DATA_DIR");
  return elsewhere != nullptr && *elsewhere != '\0' ? elsewhere : DZV_SHARED_DATA_DIR;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

std::set<std::string> Listing(const std::string& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

bool PutClipboardData(platform::Clipboard& c, uint32_t format, std::string_view bytes) {
  platform::MemoryHandle block = c.Alloc(platform::kMoveableShared, bytes.size());
  void* data = block != nullptr ? c.Lock(block) : nullptr;
  if (data == nullptr) {
    if (block != nullptr) c.Free(block);
    return false;
  }
  std::memcpy(data, bytes.data(), bytes.size());
  c.Unlock(block);
  if (c.SetData(format, block)) return true;
  c.Free(block);
  return false;
}

std::string ClipboardBytes(platform::Clipboard& c, uint32_t format) {
  platform::MemoryHandle block = c.GetData(format);
  const char* data = block != nullptr ? static_cast<const char*>(c.Lock(block)) : nullptr;
  if (data == nullptr) return "<none>";
  std::string bytes(data, c.Size(block));
  c.Unlock(block);
  return bytes;
}

}  // namespace dzv::testing
