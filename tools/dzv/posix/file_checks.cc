#include "file_checks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "path_walk.h"

namespace dzv::cli {
namespace {

// What the file is when it is not a regular file; empty for one.
std::string WhyNotRegular(const struct stat& facts) {
  if (S_ISREG(facts.st_mode)) return {};
  if (S_ISDIR(facts.st_mode)) return "is a directory, not a file";
  if (S_ISFIFO(facts.st_mode)) return "is a FIFO (named pipe), not a regular file";
  if (S_ISSOCK(facts.st_mode)) return "is a socket, not a regular file";
  if (S_ISCHR(facts.st_mode) || S_ISBLK(facts.st_mode)) return "is a device, not a regular file";
  return "is not a regular file";
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool Exists(const std::string& path) {
  struct stat facts;
  return stat(path.c_str(), &facts) == 0;
}

std::string WhyUnreadable(const std::string& path) {
  struct stat facts;
  if (stat(path.c_str(), &facts) != 0) {
    return errno == ENOENT ? "no such file" : std::strerror(errno);
  }
  if (std::string why = WhyNotRegular(facts); !why.empty()) return why;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  return {};
}

std::string WhyNotAnOutput(const std::string& path) {
  struct stat facts;
  if (stat(path.c_str(), &facts) != 0) return {};
  return WhyNotRegular(facts);
}

std::string WhyUnwritable(const std::string& path) {
  if (const WalkedPath walked(path); !walked.refusal().empty()) return walked.refusal();
  struct stat facts;
  if (stat(path.c_str(), &facts) == 0) {
    if (S_ISDIR(facts.st_mode)) return "is a directory, not a file";
    if (access(path.c_str(), W_OK) != 0) return std::strerror(errno);
  }
  const std::string directory = DirectoryOf(path);
  if (stat(directory.c_str(), &facts) != 0) {
    return "the directory '" + directory + "' " +
           (errno == ENOENT ? std::string("does not exist") : std::strerror(errno));
  }
  if (!S_ISDIR(facts.st_mode)) return "'" + directory + "' is not a directory";
  if (access(directory.c_str(), W_OK | X_OK) != 0) {
    return "no new file can be made in '" + directory + "': " + std::strerror(errno);
  }
  return {};
}

bool IsRegularFile(const std::string& path) {
  struct stat facts;
  return stat(path.c_str(), &facts) == 0 && S_ISREG(facts.st_mode);
}

bool SavedByReplacing(const std::string& path) {
  struct stat facts;
  if (stat(path.c_str(), &facts) == 0 && !S_ISREG(facts.st_mode)) return false;
  return access(DirectoryOf(path).c_str(), W_OK | X_OK) == 0;
}

}  // namespace dzv::cli
