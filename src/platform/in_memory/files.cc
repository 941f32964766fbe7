// The file system in memory: the names, the files behind them, and the calls.
#include "platform/in_memory/files.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace dzv::platform {
namespace {

constexpr size_t kMaxComponent = 255;
constexpr int kMaxHops = 40;  // as many links as the Linux kernel follows

enum class Kind { kFile, kDirectory, kLink, kDevice };

// The name under which `path` is kept: "/" and the components, with "." and
// ".." resolved.
FileStatus KeyOf(std::string_view path, std::string* key) {
  if (path.empty()) return FileStatus::kNotFound;
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const size_t cut = std::min(path.find('/'), path.size());
    const std::string_view part = path.substr(0, cut);
    path.remove_prefix(std::min(cut + 1, path.size()));
    if (part.size() > kMaxComponent) return FileStatus::kNameTooLong;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
  }
  key->assign("/");
  for (std::string_view part : parts) key->append(part).push_back('/');
  if (key->size() > 1) key->pop_back();
  return FileStatus::kOk;
}

std::string ParentOf(const std::string& key) {
  const size_t slash = key.rfind('/');
  return slash == 0 ? "/" : key.substr(0, slash);
}

}  // namespace

class InMemoryFiles::Disk {
 public:
  struct Node {
    Node(Disk* owner, Kind node_kind, uint32_t bits)
        : disk(owner), kind(node_kind), permissions(bits) {}
    // Runs with the disk's mutex held, as every release of a node does.
    ~Node() { disk->stored -= bytes.size(); }
    Disk* disk;
    Kind kind;
    uint32_t permissions;
    std::string bytes;   // of a file or a device
    std::string target;  // of a link
  };

  Disk(uint64_t byte_limit, uint32_t creation_mask) : limit(byte_limit), mask(creation_mask) {
    nodes.emplace("/", std::make_shared<Node>(this, Kind::kDirectory, 0777 & ~mask));
  }

  // Recursive: an open file's destructor takes it, and may run inside a
  // call that holds it.
  std::recursive_mutex mutex;
  uint64_t limit;
  const uint32_t mask;
  uint64_t stored = 0;  // declared before the nodes, which count it down
  uint64_t temporaries = 0;
  std::map<std::string, std::shared_ptr<Node>> nodes;  // by key

  Node* Find(const std::string& key) const {
    auto it = nodes.find(key);
    return it == nodes.end() ? nullptr : it->second.get();
  }

  // Checks that a name `key` can be made, renamed or removed: its directory
  // exists and, where `write`, may be written.
  FileStatus DirectoryFor(const std::string& key, bool write) const {
    if (key == "/") return FileStatus::kError;
    const Node* dir = Find(ParentOf(key));
    if (dir == nullptr || dir->kind != Kind::kDirectory) return FileStatus::kNotFound;
    return write && (dir->permissions & 0200) == 0 ? FileStatus::kDenied : FileStatus::kOk;
  }

  // Follows `*key` through links to the key of an existing file.
  FileStatus Follow(std::string* key) const {
    for (int hop = 0;; ++hop) {
      const Node* node = Find(*key);
      if (node == nullptr) return FileStatus::kNotFound;
      if (node->kind != Kind::kLink) return FileStatus::kOk;
      if (hop == kMaxHops) return FileStatus::kError;
      if (node->target.empty()) return FileStatus::kNotFound;
      const std::string next =
          node->target[0] == '/' ? node->target : ParentOf(*key) + "/" + node->target;
      if (FileStatus s = KeyOf(next, key); s != FileStatus::kOk) return s;
    }
  }

  // Checks that a name `key` can be made: it is new, in a directory that
  // may be written.
  FileStatus CanMake(const std::string& key) const {
    if (Find(key) != nullptr) return FileStatus::kError;
    return DirectoryFor(key, true);
  }

  // Adds a new name `key` for a new node.
  FileStatus Make(const std::string& key, Kind kind, uint32_t permissions,
                  const std::string& target = std::string()) {
    if (FileStatus s = CanMake(key); s != FileStatus::kOk) return s;
    auto node = std::make_shared<Node>(this, kind, permissions & 07777);
    node->target = target;
    nodes.emplace(key, std::move(node));
    return FileStatus::kOk;
  }

  template <class Body>
  FileStatus Locked(Body&& body) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    try {
      return body();
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }
};

namespace {

using Disk = InMemoryFiles::Disk;

class MemoryFile final : public File {
 public:
  MemoryFile(Disk& disk, std::shared_ptr<Disk::Node> node, bool for_writing)
      : disk_(disk), node_(std::move(node)), for_writing_(for_writing) {}
  ~MemoryFile() override {
    std::lock_guard<std::recursive_mutex> lock(disk_.mutex);
    node_.reset();
  }

  FileStatus Read(void* buffer, size_t n, size_t* got) override {
    *got = 0;
    return disk_.Locked([&] {
      if (node_ == nullptr || for_writing_ || node_->kind == Kind::kDirectory) {
        return FileStatus::kError;
      }
      const std::string& bytes = node_->bytes;
      if (position_ < bytes.size()) {
        *got = static_cast<size_t>(std::min<uint64_t>(n, bytes.size() - position_));
        std::memcpy(buffer, bytes.data() + position_, *got);
        position_ += *got;
      }
      return FileStatus::kOk;
    });
  }

  FileStatus Write(const void* buffer, size_t n) override {
    return disk_.Locked([&] {
      if (node_ == nullptr || !for_writing_) return FileStatus::kError;
      std::string& bytes = node_->bytes;
      if (node_->kind == Kind::kDevice) position_ = bytes.size();  // passed on in order
      // What fits: the bytes up to the old end, and as many past it as
      // the limit leaves room for; a gap before the position is filled
      // with zeros and counts too.
      const uint64_t room = disk_.limit - std::min(disk_.limit, disk_.stored);
      const uint64_t end = bytes.size() + room;
      const size_t taken =
          end <= position_ ? 0 : static_cast<size_t>(std::min<uint64_t>(n, end - position_));
      if (taken != 0) {
        if (position_ + taken > bytes.max_size()) return FileStatus::kError;
        const size_t old_size = bytes.size();
        if (position_ + taken > old_size) bytes.resize(static_cast<size_t>(position_ + taken));
        std::memcpy(bytes.data() + position_, buffer, taken);
        disk_.stored += bytes.size() - old_size;
        position_ += taken;
      }
      return taken == n ? FileStatus::kOk : FileStatus::kNoSpace;
    });
  }

  FileStatus Size(uint64_t* size) override {
    return disk_.Locked([&] {
      if (node_ == nullptr || node_->kind != Kind::kFile) return FileStatus::kError;
      *size = node_->bytes.size();
      return FileStatus::kOk;
    });
  }

  FileStatus Sync() override {
    return disk_.Locked([&] { return node_ == nullptr ? FileStatus::kError : FileStatus::kOk; });
  }

  FileStatus Close() override {
    return disk_.Locked([&] {
      if (node_ == nullptr) return FileStatus::kError;
      node_.reset();
      return FileStatus::kOk;
    });
  }

  // The file's node; null once closed.
  Disk::Node* node() const { return node_.get(); }

 private:
  Disk& disk_;
  std::shared_ptr<Disk::Node> node_;  // null once closed
  const bool for_writing_;
  uint64_t position_ = 0;
};

// Makes the new file `key`, open for writing; running out of memory leaves
// no name behind.
FileStatus MakeOpen(Disk& disk, const std::string& key, uint32_t permissions,
                    std::unique_ptr<File>* file) {
  if (FileStatus s = disk.CanMake(key); s != FileStatus::kOk) return s;
  auto node = std::make_shared<Disk::Node>(&disk, Kind::kFile, permissions);
  auto made = std::make_unique<MemoryFile>(disk, node, true);
  disk.nodes.emplace(key, std::move(node));
  *file = std::move(made);
  return FileStatus::kOk;
}

// The key that `path` leads to: links as its last component are followed
// (one elsewhere leads nowhere, as KeyOf keeps it); `*through_link` says
// whether one was.
FileStatus Resolve(const Disk& disk, const std::string& path, std::string* key,
                   bool* through_link) {
  std::string current = path;
  *through_link = false;
  for (int hop = 0;; ++hop) {
    if (FileStatus s = KeyOf(current, key); s != FileStatus::kOk) return s;
    const Disk::Node* node = disk.Find(*key);
    if (node == nullptr || node->kind != Kind::kLink) break;
    if (hop == kMaxHops) return FileStatus::kError;
    if (node->target.empty()) return FileStatus::kNotFound;
    *through_link = true;
    current = node->target[0] == '/' ? node->target : ParentOf(*key) + "/" + node->target;
  }
  if (*key == "/") return FileStatus::kNotAFile;
  const Disk::Node* dir = disk.Find(ParentOf(*key));
  if (dir == nullptr || dir->kind != Kind::kDirectory) return FileStatus::kNotFound;
  return FileStatus::kOk;
}

// A save's target in memory. Directories can be neither renamed nor
// removed, so the key of the final name is as good as a held directory.
class MemorySaveTarget final : public SaveTarget {
 public:
  MemorySaveTarget(Disk& disk, std::string key, TargetKind kind, bool writable, bool through_link)
      : disk_(disk),
        key_(std::move(key)),
        kind_(kind),
        writable_(writable),
        through_link_(through_link) {}
  ~MemorySaveTarget() override { Discard(); }

  TargetKind kind() const override { return kind_; }
  bool writable() const override { return writable_; }
  bool through_link() const override { return through_link_; }

  FileStatus OpenInPlace(std::unique_ptr<File>* file) override {
    return disk_.Locked([&] {
      if (auto it = disk_.nodes.find(key_); it != disk_.nodes.end()) {
        const std::shared_ptr<Disk::Node> node = it->second;
        if (node->kind == Kind::kLink) return FileStatus::kNotPermitted;
        if (node->kind == Kind::kDirectory) return FileStatus::kNotAFile;
        if ((node->permissions & 0200) == 0) return FileStatus::kDenied;
        *file = std::make_unique<MemoryFile>(disk_, node, true);
        if (node->kind == Kind::kFile) {
          disk_.stored -= node->bytes.size();
          node->bytes.clear();
        }
        return FileStatus::kOk;
      }
      return MakeOpen(disk_, key_, 0666 & ~disk_.mask, file);
    });
  }

  FileStatus CreateTemporary(File** file) override {
    return disk_.Locked([&] {
      if (temp_ != nullptr) return FileStatus::kError;
      std::string base = key_.substr(key_.rfind('/') + 1);
      if (base.size() > 200) base = "dzv";
      const std::string dir = ParentOf(key_);
      std::string key;
      do {
        key = (dir == "/" ? "" : dir) + "/." + base + "." + std::to_string(++disk_.temporaries);
      } while (disk_.Find(key) != nullptr);
      std::unique_ptr<File> made;
      if (FileStatus s = MakeOpen(disk_, key, 0600, &made); s != FileStatus::kOk) return s;
      temp_.reset(static_cast<MemoryFile*>(made.release()));
      temp_key_.swap(key);
      *file = temp_.get();
      return FileStatus::kOk;
    });
  }

  // The permission bits are all there is to give.
  FileStatus MatchMetadata() override {
    return disk_.Locked([&] {
      if (temp_ == nullptr || temp_->node() == nullptr) return FileStatus::kError;
      const Disk::Node* old = disk_.Find(key_);
      temp_->node()->permissions = old != nullptr ? old->permissions : 0666 & ~disk_.mask;
      return FileStatus::kOk;
    });
  }

  FileStatus Commit() override {
    return disk_.Locked([&] {
      if (temp_ == nullptr) return FileStatus::kError;
      const FileStatus closed = temp_->Close();
      temp_.reset();
      if (closed != FileStatus::kOk) return closed;
      auto it = disk_.nodes.find(temp_key_);
      if (it == disk_.nodes.end()) return FileStatus::kNotFound;
      if (FileStatus s = disk_.DirectoryFor(key_, true); s != FileStatus::kOk) return s;
      const Disk::Node* replaced = disk_.Find(key_);
      if (replaced != nullptr && replaced->kind == Kind::kDirectory) return FileStatus::kNotAFile;
      // The new name is made (which may run out of memory) before the old
      // one goes; the file it replaces goes with the assignment.
      disk_.nodes.insert_or_assign(key_, it->second);
      disk_.nodes.erase(temp_key_);
      temp_key_.clear();
      return FileStatus::kOk;
    });
  }

  void Discard() override {
    std::lock_guard<std::recursive_mutex> lock(disk_.mutex);
    temp_.reset();
    if (!temp_key_.empty()) disk_.nodes.erase(temp_key_);
    temp_key_.clear();
  }

 private:
  Disk& disk_;
  const std::string key_;
  const TargetKind kind_;
  const bool writable_;
  const bool through_link_;
  std::unique_ptr<MemoryFile> temp_;
  std::string temp_key_;  // empty once renamed or removed
};

}  // namespace

InMemoryFiles::InMemoryFiles(uint64_t byte_limit, uint32_t mask)
    : disk_(std::make_unique<Disk>(byte_limit, mask & 0777)) {}

InMemoryFiles::~InMemoryFiles() {
  std::lock_guard<std::recursive_mutex> lock(disk_->mutex);
  disk_->nodes.clear();
}

FileStatus InMemoryFiles::OpenForReading(const std::string& path, std::unique_ptr<File>* file) {
  return disk_->Locked([&] {
    std::string key;
    FileStatus s = KeyOf(path, &key);
    if (s == FileStatus::kOk) s = disk_->Follow(&key);
    if (s != FileStatus::kOk) return s;
    const std::shared_ptr<Disk::Node>& node = disk_->nodes.at(key);
    if (node->kind != Kind::kFile) return FileStatus::kNotAFile;
    if ((node->permissions & 0400) == 0) return FileStatus::kDenied;
    *file = std::make_unique<MemoryFile>(*disk_, node, false);
    return FileStatus::kOk;
  });
}

FileStatus InMemoryFiles::OpenForSave(const std::string& path,
                                      std::unique_ptr<SaveTarget>* target) {
  return disk_->Locked([&] {
    std::string key;
    bool through_link = false;
    if (FileStatus s = Resolve(*disk_, path, &key, &through_link); s != FileStatus::kOk) return s;
    TargetKind kind = TargetKind::kNone;
    bool writable = false;
    if (const Disk::Node* node = disk_->Find(key)) {
      if (node->kind == Kind::kDirectory) return FileStatus::kNotAFile;
      kind = node->kind == Kind::kFile ? TargetKind::kRegular : TargetKind::kDevice;
      writable = (node->permissions & 0200) != 0;
    }
    *target =
        std::make_unique<MemorySaveTarget>(*disk_, std::move(key), kind, writable, through_link);
    return FileStatus::kOk;
  });
}

FileStatus InMemoryFiles::Remove(const std::string& path) {
  return disk_->Locked([&] {
    std::string key;
    if (FileStatus s = KeyOf(path, &key); s != FileStatus::kOk) return s;
    auto it = disk_->nodes.find(key);
    if (it == disk_->nodes.end()) return FileStatus::kNotFound;
    if (it->second->kind == Kind::kDirectory) return FileStatus::kError;
    if (FileStatus s = disk_->DirectoryFor(key, true); s != FileStatus::kOk) return s;
    disk_->nodes.erase(it);
    return FileStatus::kOk;
  });
}

FileStatus InMemoryFiles::MakeDirectory(const std::string& path) {
  return disk_->Locked([&] {
    std::string key;
    if (FileStatus s = KeyOf(path, &key); s != FileStatus::kOk) return s;
    return disk_->Make(key, Kind::kDirectory, 0777 & ~disk_->mask);
  });
}

FileStatus InMemoryFiles::MakeLink(const std::string& path, const std::string& target) {
  return disk_->Locked([&] {
    std::string key;
    if (FileStatus s = KeyOf(path, &key); s != FileStatus::kOk) return s;
    return disk_->Make(key, Kind::kLink, 0777, target);
  });
}

FileStatus InMemoryFiles::MakeDevice(const std::string& path) {
  return disk_->Locked([&] {
    std::string key;
    if (FileStatus s = KeyOf(path, &key); s != FileStatus::kOk) return s;
    return disk_->Make(key, Kind::kDevice, 0666);
  });
}

FileStatus InMemoryFiles::SetPermissions(const std::string& path, uint32_t permissions) {
  return disk_->Locked([&] {
    std::string key;
    if (FileStatus s = KeyOf(path, &key); s != FileStatus::kOk) return s;
    Disk::Node* node = disk_->Find(key);
    if (node == nullptr) return FileStatus::kNotFound;
    node->permissions = permissions & 07777;
    return FileStatus::kOk;
  });
}

uint32_t InMemoryFiles::PermissionsOf(const std::string& path) const {
  std::lock_guard<std::recursive_mutex> lock(disk_->mutex);
  std::string key;
  if (KeyOf(path, &key) != FileStatus::kOk) return 0;
  const Disk::Node* node = disk_->Find(key);
  return node == nullptr ? 0 : node->permissions;
}

std::set<std::string> InMemoryFiles::Names(const std::string& dir) const {
  std::lock_guard<std::recursive_mutex> lock(disk_->mutex);
  std::set<std::string> names;
  std::string key;
  if (KeyOf(dir, &key) != FileStatus::kOk) return names;
  for (const auto& entry : disk_->nodes) {
    if (entry.first != "/" && ParentOf(entry.first) == key) {
      names.insert(entry.first.substr(entry.first.rfind('/') + 1));
    }
  }
  return names;
}

uint64_t InMemoryFiles::stored() const {
  std::lock_guard<std::recursive_mutex> lock(disk_->mutex);
  return disk_->stored;
}

}  // namespace dzv::platform
