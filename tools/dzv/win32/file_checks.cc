// What dzv finds out about a file on Windows: the kind of what a name
// leads to comes from a handle opened for no access to its content
// (GetFileType, the file's attributes), so a pipe is never read or written
// and a device such as NUL or CON is told apart from a file.
#include "file_checks.h"

#include <windows.h>

#include <cctype>

#include "win32/windows_util.h"

namespace dzv::cli {
namespace {

// Whether path names a pipe of the pipe file system ("\\\\.\\pipe\\NAME"):
// such a name is never opened to look at it, since opening connects to the
// pipe's server.
bool IsPipeName(const std::string& path) {
  if (path.size() < 9) return false;
  std::string head = path.substr(0, 9);
  for (char& c : head) c = c == '/' ? '\\' : static_cast<char>(std::tolower(c));
  return head == "\\\\.\\pipe\\" || head == "\\\\?\\pipe\\";
}

class Looked {
 public:
  explicit Looked(const std::string& path)
      : handle_(IsPipeName(path)
                    ? INVALID_HANDLE_VALUE
                    : CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)),
        error_(IsPipeName(path)                  ? ERROR_PIPE_BUSY
               : handle_ == INVALID_HANDLE_VALUE ? GetLastError()
                                                 : 0) {}
  ~Looked() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Looked(const Looked&) = delete;
  Looked& operator=(const Looked&) = delete;

  bool exists() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool missing() const {
    return error_ == ERROR_FILE_NOT_FOUND || error_ == ERROR_PATH_NOT_FOUND ||
           error_ == ERROR_INVALID_NAME;
  }
  DWORD error() const { return error_; }
  // What is there when it could not be opened to look: a pipe, all of
  // whose instances are busy, is still a pipe.
  std::string WhyNotOpened() const {
    return error_ == ERROR_PIPE_BUSY ? "is a pipe, not a regular file" : SystemMessage(error_);
  }

  // What it is when it is not a regular file; empty for one.
  std::string WhyNotRegular() const {
    switch (GetFileType(handle_)) {
      case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION facts;
        if (!GetFileInformationByHandle(handle_, &facts)) return "is not a regular file";
        if (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "is a directory, not a file";
        return {};
      }
      case FILE_TYPE_CHAR:
        return "is a device, not a regular file";
      case FILE_TYPE_PIPE:
        return "is a pipe, not a regular file";
      default:
        return "is not a regular file";
    }
  }

 private:
  HANDLE handle_;
  DWORD error_;
};

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
  const size_t separator = LastSeparator(path);
  const bool drive = path.size() >= 2 && path[1] == ':';
  if (separator == std::string::npos) return drive ? path.substr(0, 2) : ".";
  // The root keeps its separator: "\", "C:\".
  if (separator == 0 || (drive && separator == 2)) return path.substr(0, separator + 1);
  return path.substr(0, separator);
}

bool Exists(const std::string& path) { return Looked(path).exists(); }

namespace {

// Why the file cannot be opened with `access`, in the system's words, or
// empty; opening changes nothing. Opening for writing fails where the file
// is read-only, denied to the user, or held open by a program that shares
// it with no writer.
std::string WhyNotOpenable(const std::string& path, DWORD access) {
  const HANDLE file =
      CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return SystemMessage(GetLastError());
  CloseHandle(file);
  return {};
}

}  // namespace

std::string WhyUnreadable(const std::string& path) {
  {
    const Looked looked(path);
    if (!looked.exists()) return looked.missing() ? "no such file" : looked.WhyNotOpened();
    if (std::string why = looked.WhyNotRegular(); !why.empty()) return why;
  }
  return WhyNotOpenable(path, GENERIC_READ);
}

std::string WhyNotAnOutput(const std::string& path) {
  const Looked looked(path);
  if (looked.exists()) return looked.WhyNotRegular();
  return looked.error() == ERROR_PIPE_BUSY ? looked.WhyNotOpened() : std::string();
}

std::string WhyUnwritable(const std::string& path) {
  if (const Looked looked(path); looked.exists()) {
    if (std::string why = looked.WhyNotRegular(); !why.empty()) return why;
    if (std::string why = WhyNotOpenable(path, GENERIC_WRITE); !why.empty()) return why;
  } else if (looked.error() == ERROR_PIPE_BUSY) {
    return looked.WhyNotOpened();
  }
  const std::string directory = DirectoryOf(path);
  const DWORD attributes = GetFileAttributesA(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return "the directory '" + directory + "' " +
           (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                ? std::string("does not exist")
                : SystemMessage(error));
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return "'" + directory + "' is not a directory";
  return {};
}

bool IsRegularFile(const std::string& path) {
  const Looked looked(path);
  return looked.exists() && looked.WhyNotRegular().empty();
}

bool SavedByReplacing(const std::string& path) {
  if (const Looked looked(path); looked.exists() && !looked.WhyNotRegular().empty()) return false;
  return IsDirectory(DirectoryOf(path));
}

}  // namespace dzv::cli
