#include "dictionary/whole_file.h"

#include <cstdint>
#include <new>

#include "platform/files.h"

namespace dzv::dict {

using platform::File;
using platform::FileStatus;

bool ReadWholeFile(platform::Files& files, const std::string& path, std::unique_ptr<char[]>* data,
                   size_t* size) {
  std::unique_ptr<File> file;
  if (files.OpenForReading(path, &file) != FileStatus::kOk) return false;
  uint64_t file_size = 0;
  if (file->Size(&file_size) != FileStatus::kOk) return false;
  if (file_size >= SIZE_MAX) throw std::bad_alloc();
  const size_t n = static_cast<size_t>(file_size);
  std::unique_ptr<char[]> buffer(new char[n + 1]);
  size_t got = 0;
  if (file->Read(buffer.get(), n, &got) != FileStatus::kOk || got != n) return false;
  buffer[n] = '\0';
  *data = std::move(buffer);
  *size = n;
  return true;
}

}  // namespace dzv::dict
