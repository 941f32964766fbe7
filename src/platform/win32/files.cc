// Win32 backend of the file service: one handle-based mechanism for the
// archive and the text form alike. The text form needs nothing that the C
// runtime's buffered files would add: it is read and written in binary, and
// the callers buffer for themselves, so both forms get the same sharing
// rules and the same error codes.
//
// Handles are not inherited by child processes: a program started by another
// thread while a file is open would otherwise hold it open after the call.
#include "platform/files.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

namespace dzv::platform {
namespace {

// The one place where a system error code becomes a status.
FileStatus StatusOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return FileStatus::kNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
      return FileStatus::kDenied;
    case ERROR_PRIVILEGE_NOT_HELD:
      return FileStatus::kNotPermitted;
    case ERROR_NOT_SUPPORTED:
      return FileStatus::kUnsupported;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return FileStatus::kNoSpace;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return FileStatus::kNameTooLong;
    default:
      return FileStatus::kError;
  }
}

FileStatus LastStatus() { return StatusOf(::GetLastError()); }

// Each call moves at most this much, well inside the 32-bit counts.
constexpr DWORD kMaxTransfer = DWORD{1} << 30;

// Whether the last component of `path` is a name that Windows gives to a
// device in every folder (NUL, CON, COM1, "nul.txt", ...), or the path is
// in the device namespace (\\.\...). Such a file is written where it is.
bool IsDeviceName(const std::string& path) {
  if (path.rfind("\\\\.\\", 0) == 0) return true;
  const size_t slash = path.find_last_of("\\/:");
  std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (base == "NUL" || base == "CON" || base == "PRN" || base == "AUX" || base == "CONIN$" ||
      base == "CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// The folder part of `path` with its separator ("C:" for "C:name"), or ""
// for a bare name.
size_t FolderLength(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) return slash + 1;
  return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

// Whether two names of one folder are the same, as Windows compares them
// (ASCII letters without case; a name with other letters compares as bytes).
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

class Win32File final : public File {
 public:
  Win32File() = default;
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  void Adopt(HANDLE handle) { handle_ = handle; }
  // Cuts a file on a disk to length 0; a device has no length.
  FileStatus Truncate() {
    if (::GetFileType(handle_) != FILE_TYPE_DISK) return FileStatus::kOk;
    return ::SetEndOfFile(handle_) ? FileStatus::kOk : LastStatus();
  }

  FileStatus Read(void* buffer, size_t n, size_t* got) override {
    *got = 0;
    char* p = static_cast<char*>(buffer);
    while (*got < n) {
      const DWORD ask = n - *got < kMaxTransfer ? static_cast<DWORD>(n - *got) : kMaxTransfer;
      DWORD r = 0;
      if (!::ReadFile(handle_, p + *got, ask, &r, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) break;  // end of data
        return StatusOf(error);
      }
      if (r == 0) break;  // end of file
      *got += r;
    }
    return FileStatus::kOk;
  }

  FileStatus Write(const void* buffer, size_t n) override {
    const char* p = static_cast<const char*>(buffer);
    while (n > 0) {
      DWORD w = 0;
      const DWORD ask = n < kMaxTransfer ? static_cast<DWORD>(n) : kMaxTransfer;
      if (!::WriteFile(handle_, p, ask, &w, nullptr)) return LastStatus();
      if (w == 0) return FileStatus::kNoSpace;
      p += w;
      n -= w;
    }
    return FileStatus::kOk;
  }

  FileStatus Seek(uint64_t offset) override {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return FileStatus::kError;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) ? FileStatus::kOk : LastStatus();
  }

  FileStatus Size(uint64_t* size) override {
    LARGE_INTEGER got;
    if (::GetFileType(handle_) == FILE_TYPE_DISK) {
      if (!::GetFileSizeEx(handle_, &got)) return LastStatus();
      *size = static_cast<uint64_t>(got.QuadPart);
      return FileStatus::kOk;
    }
    // A device: the offset of its end, as the C runtime's seek finds it;
    // a character device (NUL, CON) that has none is empty.
    LARGE_INTEGER zero, here, end;
    zero.QuadPart = 0;
    if (::SetFilePointerEx(handle_, zero, &here, FILE_CURRENT) &&
        ::SetFilePointerEx(handle_, zero, &end, FILE_END) &&
        ::SetFilePointerEx(handle_, here, nullptr, FILE_BEGIN)) {
      *size = static_cast<uint64_t>(end.QuadPart);
      return FileStatus::kOk;
    }
    if (::GetFileType(handle_) != FILE_TYPE_CHAR) return LastStatus();
    *size = 0;
    return FileStatus::kOk;
  }

  FileStatus Sync() override {
    return ::FlushFileBuffers(handle_) ? FileStatus::kOk : LastStatus();
  }

  // ReplaceFileA gives the replacement the old file's security itself, and
  // its attributes on Windows; they are given here too, for the systems
  // whose ReplaceFileA does not (Wine). A file new in its folder has the
  // folder's inherited access, as any file made there.
  FileStatus MatchMetadata(const std::string& path) override {
    const DWORD old = ::GetFileAttributesA(path.c_str());
    if (old == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = ::GetLastError();
      return error == ERROR_FILE_NOT_FOUND ? FileStatus::kOk : StatusOf(error);
    }
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic = {};  // times of 0: unchanged
    basic.FileAttributes = (old & kKept) != 0 ? old & kKept : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic)
               ? FileStatus::kOk
               : LastStatus();
  }

  FileStatus Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return FileStatus::kError;
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return ::CloseHandle(handle) ? FileStatus::kOk : LastStatus();
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Opens `path` with CreateFileA, handles not inherited. The file object is
// made first, so that running out of memory never leaves a file created or
// cut but not handed over.
FileStatus Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                std::unique_ptr<Win32File>* file) {
  std::unique_ptr<Win32File> opened(new (std::nothrow) Win32File());
  if (opened == nullptr) return FileStatus::kError;
  const HANDLE handle = ::CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastStatus();
  opened->Adopt(handle);
  *file = std::move(opened);
  return FileStatus::kOk;
}

// Twelve letters and digits that differ from one call to the next, in this
// process and between processes.
std::string UniqueSuffix() {
  static std::atomic<uint64_t> counter{0};
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  uint64_t x = (static_cast<uint64_t>(::GetCurrentProcessId()) << 40) ^
               static_cast<uint64_t>(now.QuadPart) ^
               (counter.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ULL);
  static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string out(12, 'x');
  for (char& c : out) {
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ULL;
    c = kDigits[(x >> 33) % 36];
  }
  return out;
}

// The full path of `path`, or `path` itself when the system cannot tell.
std::string FullPath(const std::string& path) {
  std::string full(MAX_PATH, '\0');
  DWORD n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n >= full.size()) {
    full.resize(n);
    n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return full;
}

class Win32Files final : public Files {
 public:
  FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) override {
    std::unique_ptr<Win32File> opened;
    const FileStatus status =
        Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, &opened);
    if (status == FileStatus::kOk) *file = std::move(opened);
    return status;
  }

  // An existing file keeps its attributes (a hidden file stays hidden); no
  // one else may open it until it is closed.
  FileStatus CreateForWriting(const std::string& path, std::unique_ptr<File>* file) override {
    std::unique_ptr<Win32File> opened;
    FileStatus status = Open(path, GENERIC_WRITE, 0, OPEN_ALWAYS, &opened);
    if (status == FileStatus::kOk) status = opened->Truncate();
    if (status == FileStatus::kOk) *file = std::move(opened);
    return status;
  }

  FileStatus CreateTemporaryBeside(const std::string& beside, std::string* path,
                                   std::unique_ptr<File>* file) override {
    try {
      const size_t folder = FolderLength(beside);
      std::string base = beside.substr(folder);
      // Well inside the 255 characters of a name on every file system.
      if (base.empty() || base.size() > 200) base = "dzv";
      for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = beside.substr(0, folder) + "." + base + "." + UniqueSuffix();
        // No one else may open it while it is written.
        std::unique_ptr<Win32File> opened;
        const FileStatus status = Open(name, GENERIC_WRITE, 0, CREATE_NEW, &opened);
        if (status != FileStatus::kOk && ::GetLastError() == ERROR_FILE_EXISTS) continue;
        if (status == FileStatus::kOk) {
          path->swap(name);
          *file = std::move(opened);
        }
        return status;
      }
      return FileStatus::kError;
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }

  // A device is known by its name, without opening it (opening a port may
  // do something); other files by the handle's type. A file that this
  // process may not open for writing now, for its rights or because another
  // holds it open without sharing, is not writable.
  FileStatus Stat(const std::string& path, FileInfo* info) override {
    try {
      if (IsDeviceName(path)) {
        *info = FileInfo{false, 0666, true};
        return FileStatus::kOk;
      }
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // Folders open only with backup semantics.
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    info->writable = handle != INVALID_HANDLE_VALUE;
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
          error != ERROR_WRITE_PROTECT) {
        return StatusOf(error);
      }
      handle = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (handle == INVALID_HANDLE_VALUE) {
        const DWORD again = ::GetLastError();
        // Held open by another without any sharing: it exists, and it is
        // not ours to write now.
        if (again != ERROR_SHARING_VIOLATION) return StatusOf(again);
        *info = FileInfo{true, 0444, false};
        return FileStatus::kOk;
      }
    }
    BY_HANDLE_FILE_INFORMATION about;
    const bool known = ::GetFileInformationByHandle(handle, &about) != 0;
    const DWORD error = ::GetLastError();
    const DWORD type = ::GetFileType(handle);
    ::CloseHandle(handle);
    if (type == FILE_TYPE_DISK && !known) return StatusOf(error);
    info->regular =
        type == FILE_TYPE_DISK && (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const bool read_only = known && (about.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    info->permissions = read_only ? 0444 : 0666;
    if (read_only) info->writable = false;
    return FileStatus::kOk;
  }

  // CreateFileA follows symbolic links and junctions wherever they stand on
  // a path, so a path leads to the file that it names; only a link as the
  // last component would be replaced itself by ReplaceFileA (and Wine's
  // removes the file it stands for). Such a path is resolved to the final
  // path of the file, known by a last component of another name; the
  // system does not always mark a link as a reparse point (Wine shows the
  // host's links as plain files). A path that leads to no file, or to a
  // device, comes back unchanged.
  FileStatus ResolveLink(const std::string& path, std::string* resolved) override {
    try {
      *resolved = path;
      if (IsDeviceName(path)) return FileStatus::kOk;
      // Allocated before the file is opened, so that running out of memory
      // never leaves the handle open.
      std::string final_path(MAX_PATH, '\0');
      const HANDLE handle =
          ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (handle == INVALID_HANDLE_VALUE) {
        const FileStatus status = LastStatus();
        return status == FileStatus::kNotFound ? FileStatus::kOk : status;
      }
      DWORD n = ::GetFinalPathNameByHandleA(handle, final_path.data(),
                                            static_cast<DWORD>(final_path.size()), 0);
      if (n >= final_path.size()) {
        try {
          final_path.resize(n + 1);
        } catch (const std::bad_alloc&) {
          ::CloseHandle(handle);
          throw;
        }
        n = ::GetFinalPathNameByHandleA(handle, final_path.data(),
                                        static_cast<DWORD>(final_path.size()), 0);
      }
      ::CloseHandle(handle);
      // A file whose final path the system cannot tell (on some network
      // and device file systems) is taken by the name given.
      if (n == 0 || n >= final_path.size()) return FileStatus::kOk;
      final_path.resize(n);
      if (SameName(path.substr(FolderLength(path)),
                   final_path.substr(final_path.find_last_of('\\') + 1))) {
        return FileStatus::kOk;
      }
      // \\?\C:\x is C:\x, \\?\UNC\server\share\x is \\server\share\x.
      if (final_path.rfind("\\\\?\\UNC\\", 0) == 0) {
        final_path.replace(0, 8, "\\\\");
      } else if (final_path.rfind("\\\\?\\", 0) == 0 && final_path.size() > 6 &&
                 final_path[5] == ':') {
        final_path.erase(0, 4);
      }
      resolved->swap(final_path);
      return FileStatus::kOk;
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }

  // An existing file is replaced by ReplaceFileA, which keeps its
  // attributes, security and streams; otherwise the temporary is moved, the
  // move reaching the disk before the call returns.
  FileStatus Rename(const std::string& from, const std::string& to) override {
    if (::GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES) {
      // Not REPLACEFILE_IGNORE_ACL_ERRORS: a file whose access list cannot
      // be carried over is not replaced, lest it get the folder's. Full
      // paths: some ReplaceFile implementations (Wine's) look for the
      // folder of a bare file name and find none.
      std::string full_to, full_from;
      try {
        full_to = FullPath(to);
        full_from = FullPath(from);
      } catch (const std::bad_alloc&) {
        return FileStatus::kError;
      }
      if (::ReplaceFileA(full_to.c_str(), full_from.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return FileStatus::kOk;
      }
      const DWORD error = ::GetLastError();
      // The old file is gone but the new one kept its temporary name (no
      // backup was asked for): it is moved into place now, lest both be
      // lost when the temporary is removed.
      if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && error != ERROR_FILE_NOT_FOUND) {
        return StatusOf(error);
      }
    }
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? FileStatus::kOk
               : LastStatus();
  }

  FileStatus Remove(const std::string& path) override {
    return ::DeleteFileA(path.c_str()) ? FileStatus::kOk : LastStatus();
  }
};

}  // namespace

Files& Files::Default() {
  static NoDestructor<Win32Files> instance;
  return *instance.get();
}

}  // namespace dzv::platform
