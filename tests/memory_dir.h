// Whole-file helpers through a file service, and a directory in memory that
// stands in for a temporary directory: for tests that need files but no disk.
#ifndef DZV_TESTS_MEMORY_DIR_H_
#define DZV_TESTS_MEMORY_DIR_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/in_memory/files.h"

namespace dzv::testing {

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string ReadFileBytes(platform::Files& files, const std::string& path) {
  std::unique_ptr<platform::File> file;
  std::string bytes;
  if (files.OpenForReading(path, &file) != platform::FileStatus::kOk) return bytes;
  char buffer[4096];
  size_t got = 0;
  while (file->Read(buffer, sizeof buffer, &got) == platform::FileStatus::kOk && got != 0) {
    bytes.append(buffer, got);
  }
  return bytes;
}

inline void WriteFileBytes(platform::Files& files, const std::string& path,
                           const std::string& bytes) {
  std::unique_ptr<platform::SaveTarget> target;
  std::unique_ptr<platform::File> file;
  ASSERT_EQ(files.OpenForSave(path, &target), platform::FileStatus::kOk) << path;
  ASSERT_EQ(target->OpenInPlace(&file), platform::FileStatus::kOk) << path;
  ASSERT_EQ(file->Write(bytes.data(), bytes.size()), platform::FileStatus::kOk) << path;
  ASSERT_EQ(file->Close(), platform::FileStatus::kOk) << path;
}

// An empty directory "/dir" in a file system in memory, which is the
// process's file service while the object lives. Its helpers reach the
// files directly, not through a service a test installs over it.
class MemoryDir {
 public:
  explicit MemoryDir(uint64_t byte_limit = std::numeric_limits<uint64_t>::max())
      : files_(byte_limit), use_(&files_) {
    EXPECT_EQ(files_.MakeDirectory(path_), platform::FileStatus::kOk);
  }

  platform::InMemoryFiles& files() { return files_; }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  std::string Read(const std::string& path) { return ReadFileBytes(files_, path); }
  void Write(const std::string& path, const std::string& bytes) {
    WriteFileBytes(files_, path, bytes);
  }
  // Whether there is a name `path` (a link counts, whatever it leads to).
  bool Exists(const std::string& path) const {
    const size_t slash = path.rfind('/');
    return files_.Names(path.substr(0, slash)).count(path.substr(slash + 1)) != 0;
  }
  std::set<std::string> Listing(const std::string& dir) const { return files_.Names(dir); }
  std::set<std::string> Listing() const { return Listing(path_); }

 private:
  const std::string path_ = "/dir";
  platform::InMemoryFiles files_;
  platform::ScopedService<platform::Files> use_;
};

}  // namespace dzv::testing

#endif  // DZV_TESTS_MEMORY_DIR_H_
