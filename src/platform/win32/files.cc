// Win32 backend of the file service: one handle-based mechanism for the
// archive and the text form alike. The text form needs nothing that the C
// runtime's buffered files would add: it is read and written in binary, and
// the callers buffer for themselves, so both forms get the same sharing
// rules and the same error codes.
//
// Reading opens disk files only. A name that Windows gives to a device in
// every folder (NUL, CON, AUX, COM1, "aux.dict", ...) is refused without
// being opened (opening a port may wait for it, or do something); anything
// else is opened and refused unless GetFileType calls it a disk file and it
// is no folder. Others may read and write the file meanwhile, as with the C
// runtime's fopen.
//
// A save resolves its target once (OpenForSave): the path is opened as the
// system follows it, links and junctions included, and the file found is
// known by its final path (GetFinalPathNameByHandleA), which spells its name
// as the folder does (saving "CASE.DICT" over "Case.dict" keeps the name
// "Case.dict") and names the file a link stands for (the link stays). The
// folder of that final path is then held open without delete sharing until
// the save ends, so that neither it nor a folder above it can be renamed or
// removed meanwhile; that it is still the folder where the file was found
// is checked through the held handle. What the name is (a disk file, a device, nothing yet) is
// decided from the opened handle, never from the spelling, except for the
// reserved device names above: "\\.\C:\data\a.dict" is an ordinary file and
// is replaced like any other, "\\.\NUL" is a device and written in place. A
// name that the folder lists but that leads nowhere (a link whose file is
// gone) is refused, so that the save never replaces the link with a plain
// file.
//
// The temporary is made in the held folder with an access list that admits
// its owner alone, not the folder's inherited one, so that while it is
// written, and afterwards if the process is killed, nobody reads in it what
// they may not read in the file it is to replace. Just before the rename it
// takes the file's own access list (or, for a new file, what any file made
// in the folder gets). ReplaceFileA then replaces the file in one step,
// keeping its attributes and security; a new file is moved into place with
// MoveFileExA. A replacement that another handle's sharing refuses (a reader
// that opened the file as fopen does, without delete sharing) is
// kNotPermitted, so that the caller writes the file in place instead.
//
// Handles are not inherited by child processes: a program started by another
// thread while a file is open would otherwise hold it open after the call.
#include "platform/files.h"

#include <windows.h>
// After windows.h:
#include <aclapi.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/unique_suffix.h"

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

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Each call moves at most this much, well inside the 32-bit counts.
constexpr DWORD kMaxTransfer = DWORD{1} << 30;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Whether two paths or names are the same, as Windows compares them (ASCII
// letters without case; other bytes as they are).
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

// Whether the last component of `path` is a name that Windows gives to a
// device in every folder (NUL, CON, COM1, "aux.dict", "nul .txt", ...).
bool IsReservedDeviceName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = Upper(c);
  if (base == "NUL" || base == "CON" || base == "PRN" || base == "AUX" || base == "CONIN$" ||
      base == "CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// A handle closed when the object goes.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  // False when CloseHandle reports an error.
  bool Close() {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// CreateFileA with handles that child processes do not inherit.
HANDLE OpenHandle(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags, SECURITY_ATTRIBUTES* security = nullptr) {
  return ::CreateFileA(path.c_str(), access, share, security, disposition, flags, nullptr);
}

// The full path of `path` (GetFullPathNameA); false when the system cannot
// tell.
bool FullPath(const std::string& path, std::string* full) {
  std::string out(MAX_PATH, '\0');
  DWORD n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr);
  if (n >= out.size()) {
    out.resize(n);
    n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr);
  }
  if (n == 0 || n >= out.size()) return false;
  out.resize(n);
  full->swap(out);
  return true;
}

// `path` without the prefix that only says it is not to be parsed
// (\\?\C:\x and \\.\C:\x are C:\x, \\?\UNC\server\share\x is
// \\server\share\x); other paths as they are.
std::string Plain(std::string path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
    path.replace(0, 8, "\\\\");
  } else if ((path.rfind("\\\\?\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0) && path.size() > 6 &&
             path[5] == ':') {
    path.erase(0, 4);
  }
  return path;
}

// The path of an open file or folder as the system knows it, in the usual
// form (C:\x, \\server\share\x); false when the system cannot tell.
bool FinalPath(HANDLE handle, std::string* path) {
  std::string out(MAX_PATH, '\0');
  DWORD n = ::GetFinalPathNameByHandleA(handle, out.data(), static_cast<DWORD>(out.size()), 0);
  if (n >= out.size()) {
    out.resize(n + 1);
    n = ::GetFinalPathNameByHandleA(handle, out.data(), static_cast<DWORD>(out.size()), 0);
  }
  if (n == 0 || n >= out.size()) return false;
  out.resize(n);
  *path = Plain(std::move(out));
  return true;
}

// The folder part of a full path (without its final separator, but "C:\"
// for a file in a drive's root) and the name after it.
void SplitFolder(const std::string& path, std::string* folder, std::string* name) {
  size_t slash = path.find_last_of("\\/");
  *name = path.substr(slash + 1);
  while (slash > 0 && IsSeparator(path[slash - 1])) --slash;
  *folder = path.substr(0, slash);
  if (folder->size() == 2 && (*folder)[1] == ':') *folder += '\\';
}

std::string Join(const std::string& folder, const std::string& name) {
  return IsSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

class Win32File final : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}

  FileStatus Read(void* buffer, size_t n, size_t* got) override {
    *got = 0;
    char* p = static_cast<char*>(buffer);
    while (*got < n) {
      const DWORD ask = n - *got < kMaxTransfer ? static_cast<DWORD>(n - *got) : kMaxTransfer;
      DWORD r = 0;
      if (!::ReadFile(handle_.get(), p + *got, ask, &r, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF) break;
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
      if (!::WriteFile(handle_.get(), p, ask, &w, nullptr)) return LastStatus();
      if (w == 0) return FileStatus::kNoSpace;
      p += w;
      n -= w;
    }
    return FileStatus::kOk;
  }

  // A device (written in place only) has no size: 0.
  FileStatus Size(uint64_t* size) override {
    if (::GetFileType(handle_.get()) != FILE_TYPE_DISK) {
      *size = 0;
      return FileStatus::kOk;
    }
    LARGE_INTEGER got;
    if (!::GetFileSizeEx(handle_.get(), &got)) return LastStatus();
    *size = static_cast<uint64_t>(got.QuadPart);
    return FileStatus::kOk;
  }

  // A device that keeps nothing (NUL) has nothing to flush.
  FileStatus Sync() override {
    if (::FlushFileBuffers(handle_.get())) return FileStatus::kOk;
    if (::GetFileType(handle_.get()) == FILE_TYPE_CHAR) return FileStatus::kOk;
    return LastStatus();
  }

  FileStatus Close() override {
    if (!handle_.valid()) return FileStatus::kError;
    return handle_.Close() ? FileStatus::kOk : LastStatus();
  }

 private:
  Handle handle_;
};

// Which file a handle has open: its volume's serial number and its index
// on the volume.
struct Identity {
  DWORD volume = 0;
  uint64_t index = 0;
  bool operator==(const Identity&) const = default;
};
Identity IdentityOf(const BY_HANDLE_FILE_INFORMATION& about) {
  return {about.dwVolumeSerialNumber, (uint64_t{about.nFileIndexHigh} << 32) | about.nFileIndexLow};
}

// Memory from LocalAlloc, freed when the object goes.
template <class T>
class LocalMemory {
 public:
  ~LocalMemory() {
    if (p_ != nullptr) ::LocalFree(p_);
  }
  T** out() { return &p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// What the token of this thread (or else of the process) says of `what`:
// TOKEN_USER or TOKEN_DEFAULT_DACL; null when it cannot be had.
std::unique_ptr<char[]> TokenInformation(TOKEN_INFORMATION_CLASS what) {
  HANDLE token = nullptr;
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
      !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return nullptr;
  }
  DWORD size = 0;
  ::GetTokenInformation(token, what, nullptr, 0, &size);
  std::unique_ptr<char[]> information(new (std::nothrow) char[size > 0 ? size : 1]);
  if (information != nullptr &&
      !::GetTokenInformation(token, what, information.get(), size, &size)) {
    information.reset();
  }
  ::CloseHandle(token);
  return information;
}

// A security descriptor whose access list admits this process's user alone
// and inherits nothing from the folder.
class OwnerOnlySecurity {
 public:
  bool Make() {
    user_ = TokenInformation(TokenUser);
    if (user_ == nullptr) return false;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user_.get())->User.Sid;
    const DWORD acl_size =
        sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid);
    acl_.reset(new (std::nothrow) char[acl_size]);
    if (acl_ == nullptr) return false;
    PACL acl = reinterpret_cast<PACL>(acl_.get());
    return ::InitializeAcl(acl, acl_size, ACL_REVISION) &&
           ::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
           ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
           ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
           ::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  SECURITY_ATTRIBUTES* attributes() {
    attributes_ = SECURITY_ATTRIBUTES{sizeof attributes_, &descriptor_, FALSE};
    return &attributes_;
  }

 private:
  std::unique_ptr<char[]> user_;
  std::unique_ptr<char[]> acl_;
  SECURITY_DESCRIPTOR descriptor_;
  SECURITY_ATTRIBUTES attributes_;
};

// Whether the access list of a folder passes anything on to files made in
// it.
bool PassesOnToFiles(PACL acl) {
  if (acl == nullptr) return false;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (::GetAce(acl, i, reinterpret_cast<void**>(&ace)) && (ace->AceFlags & OBJECT_INHERIT_ACE)) {
      return true;
    }
  }
  return false;
}

class Win32SaveTarget final : public SaveTarget {
 public:
  TargetKind kind() const override { return kind_; }
  bool writable() const override { return writable_; }
  bool through_link() const override { return through_link_; }

  // What OpenForSave found; `folder` is held.
  FileStatus Resolve(const std::string& path);

  // Truncates only once the file is open for writing; others may go on
  // reading it, as they could the file the save replaces.
  FileStatus OpenInPlace(std::unique_ptr<File>* file) override {
    const DWORD disposition = kind_ == TargetKind::kNone ? CREATE_NEW : OPEN_EXISTING;
    HANDLE handle =
        OpenHandle(path_, GENERIC_WRITE, FILE_SHARE_READ, disposition, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) return LastStatus();
    std::unique_ptr<Win32File> opened(new (std::nothrow) Win32File(handle));
    if (opened == nullptr) {
      ::CloseHandle(handle);
      return FileStatus::kError;
    }
    const DWORD type = ::GetFileType(handle);
    if (kind_ == TargetKind::kDevice) {
      if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return FileStatus::kNotAFile;
    } else {
      // A disk file, and for an existing one still the file that was found,
      // not another put there since.
      BY_HANDLE_FILE_INFORMATION about;
      if (type != FILE_TYPE_DISK) return FileStatus::kNotAFile;
      if (!::GetFileInformationByHandle(handle, &about)) return LastStatus();
      if ((about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileStatus::kNotAFile;
      if (kind_ == TargetKind::kRegular && IdentityOf(about) != identity_) {
        return FileStatus::kNotPermitted;
      }
      if (!::SetEndOfFile(handle)) return LastStatus();
    }
    *file = std::move(opened);
    return FileStatus::kOk;
  }

  FileStatus CreateTemporary(File** file) override {
    try {
      return MakeTemporary(file);
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }

  // The file's hidden, system, archive and not-indexed attributes, and its
  // access list. ReplaceFileA carries both on Windows; they are given here
  // too, for the systems whose ReplaceFileA does not (Wine), and for the
  // moment between this call and the replacement. A new file gets the
  // access list that any file made in the folder gets: what the folder
  // passes on, or else this process's default.
  FileStatus MatchMetadata() override {
    if (temporary_ == nullptr) return FileStatus::kError;
    if (kind_ == TargetKind::kNone) return InheritFromFolder();
    if (kind_ != TargetKind::kRegular) return FileStatus::kOk;
    const DWORD old = ::GetFileAttributesA(path_.c_str());
    if (old == INVALID_FILE_ATTRIBUTES) return LastStatus();
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic = {};  // times of 0: unchanged
    basic.FileAttributes = (old & kKept) != 0 ? old & kKept : FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(temporary_handle_, FileBasicInfo, &basic, sizeof basic)) {
      return LastStatus();
    }
    PACL acl = nullptr;
    LocalMemory<void> descriptor;
    DWORD error = ::GetNamedSecurityInfoA(path_.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                          nullptr, nullptr, &acl, nullptr, descriptor.out());
    // An access list this process may not read stays the temporary's own
    // (the owner's alone); ReplaceFileA carries the file's.
    if (error != ERROR_SUCCESS) return FileStatus::kOk;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
    const SECURITY_INFORMATION which =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
    error =
        ::SetSecurityInfo(temporary_handle_, SE_FILE_OBJECT, which, nullptr, nullptr, acl, nullptr);
    return error == ERROR_SUCCESS ? FileStatus::kOk : StatusOf(error);
  }

  FileStatus Commit() override {
    if (temporary_ == nullptr) return FileStatus::kError;
    const FileStatus closed = temporary_->Close();
    temporary_.reset();
    temporary_closed_ = true;
    if (closed != FileStatus::kOk) return closed;
    if (kind_ == TargetKind::kRegular) {
      // Another handle that does not share deletion (fopen's) refuses the
      // replacement; the file is left as it was, to be written in place.
      // Asked first, since some ReplaceFileA implementations (Wine's) leave
      // a file of their own behind when refused.
      const HANDLE probe = OpenHandle(path_, DELETE, kShareAll, OPEN_EXISTING, 0);
      if (probe == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION) {
        return FileStatus::kNotPermitted;
      }
      if (probe != INVALID_HANDLE_VALUE) ::CloseHandle(probe);
      // Not REPLACEFILE_IGNORE_ACL_ERRORS: a file whose access list cannot
      // be carried over is not replaced, lest it get the folder's.
      if (::ReplaceFileA(path_.c_str(), temporary_path_.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return Committed();
      }
      const DWORD error = ::GetLastError();
      // Another handle holds the file without delete sharing: the file is
      // as it was and may still be written in place.
      if (error == ERROR_SHARING_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED) {
        return FileStatus::kNotPermitted;
      }
      // The old file is gone but the new one kept its temporary name (no
      // backup was asked for): it is moved into place now, lest both be
      // lost when the temporary is removed.
      if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && error != ERROR_FILE_NOT_FOUND) {
        return StatusOf(error);
      }
    }
    if (!::MoveFileExA(temporary_path_.c_str(), path_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return LastStatus();
    }
    return Committed();
  }

  void Discard() override {
    if (temporary_ == nullptr && !temporary_closed_) return;
    temporary_.reset();
    temporary_closed_ = false;
    ::DeleteFileA(temporary_path_.c_str());
    temporary_path_.clear();
  }

  ~Win32SaveTarget() override { Discard(); }

 private:
  FileStatus MakeTemporary(File** file) {
    if (temporary_ != nullptr || temporary_closed_) return FileStatus::kError;
    if (kind_ == TargetKind::kDevice) return FileStatus::kNotAFile;
    OwnerOnlySecurity security;
    if (!security.Make()) return LastStatus();
    std::string base = name_;
    // Well inside the 255 characters of a name on every file system.
    if (base.size() > 200) base = "dzv";
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string path = Join(folder_path_, "." + base + "." + UniqueSuffix());
      const HANDLE handle = OpenHandle(path, GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, security.attributes());
      if (handle == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_EXISTS) continue;
        return LastStatus();
      }
      temporary_.reset(new (std::nothrow) Win32File(handle));
      if (temporary_ == nullptr) {
        ::CloseHandle(handle);
        ::DeleteFileA(path.c_str());
        return FileStatus::kError;
      }
      temporary_handle_ = handle;
      temporary_path_.swap(path);
      *file = temporary_.get();
      return FileStatus::kOk;
    }
    return FileStatus::kError;
  }

  FileStatus Committed() {
    temporary_closed_ = false;
    temporary_path_.clear();
    return FileStatus::kOk;
  }

  FileStatus InheritFromFolder() {
    PACL folder_acl = nullptr;
    LocalMemory<void> folder_descriptor;
    DWORD error =
        ::GetSecurityInfo(folder_.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, &folder_acl, nullptr, folder_descriptor.out());
    if (error != ERROR_SUCCESS) return StatusOf(error);
    ACL empty;
    PACL acl = &empty;
    std::unique_ptr<char[]> default_acl;
    if (PassesOnToFiles(folder_acl)) {
      if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return LastStatus();
    } else {
      default_acl = TokenInformation(TokenDefaultDacl);
      if (default_acl == nullptr) return FileStatus::kError;
      acl = reinterpret_cast<TOKEN_DEFAULT_DACL*>(default_acl.get())->DefaultDacl;
    }
    error = ::SetSecurityInfo(temporary_handle_, SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr);
    return error == ERROR_SUCCESS ? FileStatus::kOk : StatusOf(error);
  }

  FileStatus HoldFolder(const std::string& folder);

  TargetKind kind_ = TargetKind::kNone;
  // The existing file's volume and index, for kRegular.
  Identity identity_;
  bool writable_ = false;
  bool through_link_ = false;
  // The final path of the file and its two parts.
  std::string path_;
  std::string folder_path_;
  std::string name_;
  Handle folder_;
  std::unique_ptr<Win32File> temporary_;
  HANDLE temporary_handle_ = INVALID_HANDLE_VALUE;
  // Closed by a Commit that did not complete: still to be removed.
  bool temporary_closed_ = false;
  std::string temporary_path_;
};

// Opens `folder` without delete sharing, so that it stays where it is for
// the rest of the save, and learns its final path through the handle; a
// link on the way to it makes the target one reached through a link.
FileStatus Win32SaveTarget::HoldFolder(const std::string& folder) {
  folder_.Reset(OpenHandle(folder, FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS));
  if (!folder_.valid()) return LastStatus();
  BY_HANDLE_FILE_INFORMATION about;
  if (!::GetFileInformationByHandle(folder_.get(), &about)) return LastStatus();
  if ((about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FileStatus::kNotFound;
  std::string held;
  if (!FinalPath(folder_.get(), &held)) return LastStatus();
  through_link_ = through_link_ || !SameName(held, Plain(folder));
  folder_path_.swap(held);
  return FileStatus::kOk;
}

FileStatus Win32SaveTarget::Resolve(const std::string& path) {
  if (IsReservedDeviceName(path)) {
    kind_ = TargetKind::kDevice;
    writable_ = true;
    path_ = path;
    return FileStatus::kOk;
  }
  std::string full;
  if (!FullPath(path, &full)) return LastStatus();
  std::string folder, name;
  SplitFolder(full, &folder, &name);
  if (name.empty()) return FileStatus::kNotAFile;

  // The path as the system follows it, for what it leads to.
  Handle found(
      OpenHandle(full, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  if (!found.valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
      // Held by another without any sharing: a file, not ours to write now.
      kind_ = TargetKind::kRegular;
      const FileStatus held = HoldFolder(folder);
      name_ = name;
      path_ = Join(folder_path_, name);
      return held;
    }
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return StatusOf(error);
    if (error == ERROR_PATH_NOT_FOUND) return FileStatus::kNotFound;
    // Nothing there, unless the folder has an entry of the name: then it is
    // a link whose file is gone, which a save must not replace by a plain
    // file. Windows lists such a link; Wine finds a host's link of that
    // kind but lists nothing for it (ERROR_NO_MORE_FILES, where a name that
    // is not there gives ERROR_FILE_NOT_FOUND).
    WIN32_FIND_DATAA entry;
    const HANDLE search = ::FindFirstFileA(full.c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      ::FindClose(search);
      return FileStatus::kNotAFile;
    }
    if (::GetLastError() == ERROR_NO_MORE_FILES) return FileStatus::kNotAFile;
    const FileStatus held = HoldFolder(folder);
    if (held != FileStatus::kOk) return held;
    kind_ = TargetKind::kNone;
    path_ = Join(folder_path_, name);
    name_ = name;
    return FileStatus::kOk;
  }

  const DWORD type = ::GetFileType(found.get());
  if (type == FILE_TYPE_CHAR) {
    kind_ = TargetKind::kDevice;
    writable_ = true;
    path_ = full;
    return FileStatus::kOk;
  }
  BY_HANDLE_FILE_INFORMATION about;
  if (type != FILE_TYPE_DISK || !::GetFileInformationByHandle(found.get(), &about) ||
      (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return FileStatus::kNotAFile;
  }
  std::string final_path;
  if (!FinalPath(found.get(), &final_path)) final_path = full;
  found.Close();
  identity_ = IdentityOf(about);
  std::string final_folder;
  SplitFolder(final_path, &final_folder, &name_);
  through_link_ = !SameName(final_path, Plain(full));
  const FileStatus held = HoldFolder(final_folder);
  if (held != FileStatus::kOk) return held;
  // A folder on the way was swapped for a link since the file was found.
  if (!SameName(folder_path_, final_folder)) return FileStatus::kNotPermitted;
  kind_ = TargetKind::kRegular;
  path_ = Join(folder_path_, name_);
  // Writable now: not read-only, and no other handle refuses a writer.
  Handle writer(OpenHandle(path_, GENERIC_WRITE, kShareAll, OPEN_EXISTING, 0));
  writable_ = writer.valid() && (about.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
  return FileStatus::kOk;
}

class Win32Files final : public Files {
 public:
  FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) override {
    try {
      if (IsReservedDeviceName(path)) return FileStatus::kNotAFile;
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
    const HANDLE handle = OpenHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      // A folder opens only with backup semantics.
      if (error == ERROR_ACCESS_DENIED) {
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          return FileStatus::kNotAFile;
        }
      }
      return StatusOf(error);
    }
    std::unique_ptr<Win32File> opened(new (std::nothrow) Win32File(handle));
    if (opened == nullptr) {
      ::CloseHandle(handle);
      return FileStatus::kError;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) return FileStatus::kNotAFile;
    *file = std::move(opened);
    return FileStatus::kOk;
  }

  FileStatus OpenForSave(const std::string& path, std::unique_ptr<SaveTarget>* target) override {
    try {
      std::unique_ptr<Win32SaveTarget> resolved(new Win32SaveTarget());
      const FileStatus status = resolved->Resolve(path);
      if (status == FileStatus::kOk) *target = std::move(resolved);
      return status;
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }
};

}  // namespace

Files& Files::Default() {
  static NoDestructor<Win32Files> instance;
  return *instance.get();
}

}  // namespace dzv::platform
