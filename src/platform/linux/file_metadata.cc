#include "platform/linux/file_metadata.h"

#include <errno.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/linux/path_walk.h"

namespace dzv::platform {
namespace {

// The process's file mode creation mask, read without changing it where
// the kernel tells it (Linux 4.7 and later); otherwise set and restored,
// which another thread creating a file at that instant could notice.
mode_t ProcessUmask() {
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask & 0777);
  }
  const mode_t mask = ::umask(077);
  ::umask(mask);
  return mask;
}

// A name through which the file open as `fd` (O_PATH included) is reached
// by the calls that take a path: the process's own descriptor link.
std::string FdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A file's extended attributes, through the open file `fd` where it is
// open for reading or writing, else through its descriptor link `path`.
struct Attributes {
  int fd;
  std::string path;

  ssize_t List(char* buffer, size_t size) const {
    return fd >= 0 ? ::flistxattr(fd, buffer, size) : ::listxattr(path.c_str(), buffer, size);
  }
  ssize_t Get(const std::string& name, void* value, size_t size) const {
    return fd >= 0 ? ::fgetxattr(fd, name.c_str(), value, size)
                   : ::getxattr(path.c_str(), name.c_str(), value, size);
  }
};

// An errno of an attribute call: the descriptor link that leads nowhere (no
// /proc) means the attributes cannot be learned.
FileStatus AttributeStatus(int error) {
  return error == ENOENT ? FileStatus::kUnsupported : StatusOf(error);
}

FileStatus ListAttributes(const Attributes& of, std::vector<std::string>* names) {
  std::vector<char> buffer;
  for (;;) {
    const ssize_t size = of.List(nullptr, 0);
    if (size < 0) {
      if (errno == ENOTSUP || errno == EOPNOTSUPP) return FileStatus::kOk;  // none
      return AttributeStatus(errno);
    }
    buffer.resize(static_cast<size_t>(size) + 1);
    const ssize_t got = of.List(buffer.data(), buffer.size());
    if (got < 0 && errno == ERANGE) continue;  // more names meanwhile
    if (got < 0) return AttributeStatus(errno);
    for (size_t at = 0; at < static_cast<size_t>(got);) {
      const size_t length = ::strnlen(buffer.data() + at, static_cast<size_t>(got) - at);
      if (length != 0) names->emplace_back(buffer.data() + at, length);
      at += length + 1;
    }
    return FileStatus::kOk;
  }
}

FileStatus ReadAttribute(const Attributes& of, const std::string& name, std::string* value) {
  for (;;) {
    const ssize_t size = of.Get(name, nullptr, 0);
    if (size < 0) return errno == ENODATA ? FileStatus::kNotFound : AttributeStatus(errno);
    value->resize(static_cast<size_t>(size) + 1);
    const ssize_t got = of.Get(name, value->data(), value->size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return AttributeStatus(errno);
    value->resize(static_cast<size_t>(got));
    return FileStatus::kOk;
  }
}

// The permission bits that a file created with mode 0666 in `dir` gets: the
// process's mask applies, unless the directory has a default access
// control list, which then gives the owner's, the mask's (or the group's)
// and the others' permissions, each at most read and write.
mode_t NewFilePermissions(int dir) {
  std::string acl;
  if (ReadAttribute(Attributes{-1, FdPath(dir)}, "system.posix_acl_default", &acl) !=
          FileStatus::kOk ||
      acl.size() < 4) {
    return 0666 & ~ProcessUmask();
  }
  // A version word, then entries of a tag, the permissions and an id.
  unsigned owner = 0, group = 0, mask = 0, other = 0;
  bool has_mask = false;
  for (size_t at = 4; at + 8 <= acl.size(); at += 8) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(acl[at + i]); };
    const unsigned tag = byte(0) | byte(1) << 8;
    const unsigned permissions = (byte(2) | byte(3) << 8) & 7;
    if (tag == 0x01) owner = permissions;
    if (tag == 0x04) group = permissions;
    if (tag == 0x10) mask = permissions, has_mask = true;
    if (tag == 0x20) other = permissions;
  }
  return static_cast<mode_t>((owner & 6) << 6 | ((has_mask ? mask : group) & 6) << 3 | (other & 6));
}

FileStatus Give(int fd, int old_fd, int dir) {
  if (old_fd < 0) {
    return ::fchmod(fd, NewFilePermissions(dir)) != 0 ? StatusOf(errno) : FileStatus::kOk;
  }
  struct stat old, own;
  if (::fstat(old_fd, &old) != 0 || ::fstat(fd, &own) != 0) return StatusOf(errno);
  if (own.st_uid != old.st_uid || own.st_gid != old.st_gid) {
    const uid_t owner = own.st_uid != old.st_uid ? old.st_uid : static_cast<uid_t>(-1);
    if (::fchown(fd, owner, old.st_gid) != 0) return StatusOf(errno);
  }
  // Those the new file got from elsewhere (a directory's default list) go,
  // except the security modules' labels, which are the system's.
  const Attributes source{-1, FdPath(old_fd)}, mine{fd, std::string()};
  std::vector<std::string> wanted, present;
  if (FileStatus s = ListAttributes(source, &wanted); s != FileStatus::kOk) return s;
  if (FileStatus s = ListAttributes(mine, &present); s != FileStatus::kOk) return s;
  for (const std::string& name : present) {
    if (name.rfind("security.", 0) == 0) continue;
    if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) continue;
    if (::fremovexattr(fd, name.c_str()) != 0 && errno != ENODATA) return StatusOf(errno);
  }
  std::string value, current;
  for (const std::string& name : wanted) {
    if (FileStatus s = ReadAttribute(source, name, &value); s != FileStatus::kOk) {
      if (s == FileStatus::kNotFound) continue;  // removed meanwhile
      return s;
    }
    if (ReadAttribute(mine, name, &current) == FileStatus::kOk && current == value) {
      continue;  // already so (a label the system gave)
    }
    if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) return StatusOf(errno);
  }
  if (::fchmod(fd, old.st_mode & 07777) != 0) return StatusOf(errno);
  if (::fstat(fd, &own) != 0) return StatusOf(errno);
  if (own.st_uid != old.st_uid || own.st_gid != old.st_gid ||
      (own.st_mode & 07777) != (old.st_mode & 07777)) {
    return FileStatus::kNotPermitted;
  }
  return FileStatus::kOk;
}

}  // namespace

FileStatus GiveMetadata(int fd, int old, int dir) {
  try {
    return Give(fd, old, dir);
  } catch (const std::bad_alloc&) {
    return FileStatus::kError;
  }
}

}  // namespace dzv::platform
