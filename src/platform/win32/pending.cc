// Stand-ins for the Win32 backends still being written (files, registry,
// clipboard, dialogs), so that the DLL links and the portable suites run.
// Each section goes when its backend lands; none ships in a release.
//
// Files: the plain Win32 file calls, no safe-save refinements (no metadata
//   matching, links not resolved).
// Registry: every call is refused with kErrorAccessDenied.
// Clipboard: never opens; memory blocks live on the heap.
// Dialogs: every dialog is cancelled.
#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/memory_block.h"
#include "platform/registry.h"

namespace dzv::platform {
namespace {

FileStatus StatusOfLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return FileStatus::kNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return FileStatus::kDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileStatus::kNoSpace;
    case ERROR_FILENAME_EXCED_RANGE:
      return FileStatus::kNameTooLong;
    default:
      return FileStatus::kError;
  }
}

class PendingFile final : public File {
 public:
  explicit PendingFile(HANDLE handle) : handle_(handle) {}
  ~PendingFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) Close();
  }
  void Adopt(HANDLE handle) { handle_ = handle; }

  FileStatus Read(void* buffer, size_t n, size_t* got) override {
    *got = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (*got < n) {
      const DWORD chunk = static_cast<DWORD>(n - *got > 0x40000000 ? 0x40000000 : n - *got);
      DWORD read = 0;
      if (!ReadFile(handle_, bytes + *got, chunk, &read, nullptr)) return StatusOfLastError();
      if (read == 0) break;
      *got += read;
    }
    return FileStatus::kOk;
  }

  FileStatus Write(const void* buffer, size_t n) override {
    const auto* bytes = static_cast<const char*>(buffer);
    while (n > 0) {
      const DWORD chunk = static_cast<DWORD>(n > 0x40000000 ? 0x40000000 : n);
      DWORD written = 0;
      if (!WriteFile(handle_, bytes, chunk, &written, nullptr)) return StatusOfLastError();
      if (written == 0) return FileStatus::kNoSpace;
      bytes += written;
      n -= written;
    }
    return FileStatus::kOk;
  }

  FileStatus Seek(uint64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) ? FileStatus::kOk
                                                              : StatusOfLastError();
  }

  FileStatus Size(uint64_t* size) override {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(handle_, &s)) return StatusOfLastError();
    *size = static_cast<uint64_t>(s.QuadPart);
    return FileStatus::kOk;
  }

  FileStatus Sync() override {
    return FlushFileBuffers(handle_) ? FileStatus::kOk : StatusOfLastError();
  }

  FileStatus MatchMetadata(const std::string&) override { return FileStatus::kOk; }

  FileStatus Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return FileStatus::kError;
    const bool ok = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return ok ? FileStatus::kOk : StatusOfLastError();
  }

 private:
  HANDLE handle_;
};

// The file object is made first, so that running out of memory never leaves
// a file created but not handed over.
FileStatus Open(const std::string& path, DWORD access, DWORD disposition,
                std::unique_ptr<File>* file) {
  std::unique_ptr<PendingFile> opened(new (std::nothrow) PendingFile(INVALID_HANDLE_VALUE));
  if (opened == nullptr) return FileStatus::kError;
  HANDLE handle =
      CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return StatusOfLastError();
  opened->Adopt(handle);
  *file = std::move(opened);
  return FileStatus::kOk;
}

class PendingFiles final : public Files {
 public:
  FileStatus OpenForReading(const std::string& path, std::unique_ptr<File>* file) override {
    return Open(path, GENERIC_READ, OPEN_EXISTING, file);
  }
  FileStatus CreateForWriting(const std::string& path, std::unique_ptr<File>* file) override {
    return Open(path, GENERIC_WRITE, CREATE_ALWAYS, file);
  }
  // ".<name>.<unique>" in the folder of `beside`.
  FileStatus CreateTemporaryBeside(const std::string& beside, std::string* path,
                                   std::unique_ptr<File>* file) override {
    try {
      const size_t slash = beside.find_last_of("\\/:");
      const std::string dir = slash == std::string::npos ? "" : beside.substr(0, slash + 1);
      std::string base = slash == std::string::npos ? beside : beside.substr(slash + 1);
      if (base.empty() || base.size() > 200) base = "dzv";
      for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string name = dir + "." + base + "." + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(GetTickCount() + attempt);
        const FileStatus status = Open(name, GENERIC_WRITE, CREATE_NEW, file);
        if (status != FileStatus::kOk && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (status == FileStatus::kOk) path->swap(name);
        return status;
      }
      return FileStatus::kError;
    } catch (const std::bad_alloc&) {
      return FileStatus::kError;
    }
  }
  FileStatus Stat(const std::string& path, FileInfo* info) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return StatusOfLastError();
    info->regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    info->writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
    info->permissions = info->writable ? 0666 : 0444;
    return FileStatus::kOk;
  }
  FileStatus ResolveLink(const std::string& path, std::string* resolved) override {
    *resolved = path;
    return FileStatus::kOk;
  }
  FileStatus Rename(const std::string& from, const std::string& to) override {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? FileStatus::kOk
               : StatusOfLastError();
  }
  FileStatus Remove(const std::string& path) override {
    return DeleteFileA(path.c_str()) ? FileStatus::kOk : StatusOfLastError();
  }
};

class PendingRegistry final : public Registry {
 public:
  int32_t CreateKey(RegKey, const char*, uint32_t, RegKey*) override { return kErrorAccessDenied; }
  int32_t OpenKey(RegKey, const char*, uint32_t, RegKey*) override { return kErrorAccessDenied; }
  int32_t SetValue(RegKey, const char*, uint32_t, const uint8_t*, uint32_t) override {
    return kErrorAccessDenied;
  }
  int32_t QueryValue(RegKey, const char*, uint32_t*, uint8_t*, uint32_t*) override {
    return kErrorAccessDenied;
  }
  int32_t DeleteValue(RegKey, const char*) override { return kErrorAccessDenied; }
  int32_t EnumKey(RegKey, uint32_t, char*, uint32_t*) override { return kErrorAccessDenied; }
  int32_t DeleteKey(RegKey, const char*) override { return kErrorAccessDenied; }
  int32_t EnumValue(RegKey, uint32_t, char*, uint32_t*, uint32_t*, uint8_t*, uint32_t*) override {
    return kErrorAccessDenied;
  }
  int32_t CloseKey(RegKey key) override {
    return IsPredefinedKey(key) ? kErrorSuccess : kErrorInvalidHandle;
  }
};

class PendingClipboard final : public Clipboard {
 public:
  bool Open(WindowHandle) override { return false; }
  void Close() override {}
  MemoryHandle GetData(uint32_t) override { return nullptr; }
  bool SetData(uint32_t, MemoryHandle) override { return false; }
  MemoryHandle Alloc(uint32_t flags, size_t size) override { return NewBlock(flags, size); }
  void* Lock(MemoryHandle block) override { return LockBlock(block); }
  void Unlock(MemoryHandle block) override { UnlockBlock(block); }
  size_t Size(MemoryHandle block) override { return BlockBytes(block).size(); }
  void Free(MemoryHandle block) override { FreeBlock(block); }
};

class PendingDialogs final : public Dialogs {
 public:
  bool HasExplorerStyle() override { return true; }
  bool RunOpenFileDialog(OpenFileSettings*) override { return false; }
  bool GetShellAllocator(ShellAllocator**) override { return false; }
  ItemList* BrowseForFolder(const BrowseSettings&) override { return nullptr; }
  bool GetPathFromItemList(const ItemList*, char* path) override {
    if (path != nullptr) path[0] = '\0';
    return false;
  }
  intptr_t SendDialogMessage(WindowHandle, uint32_t, uintptr_t, intptr_t) override { return 0; }
};

}  // namespace

Files& Files::Default() {
  static NoDestructor<PendingFiles> instance;
  return *instance.get();
}

bool IsPredefinedKey(RegKey key) {
  const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key));
  return reinterpret_cast<intptr_t>(key) == static_cast<int32_t>(value) && value >= 0x80000000u &&
         value <= 0x80000005u && value != 0x80000004u;
}

Registry& Registry::Default() {
  static NoDestructor<PendingRegistry> instance;
  return *instance.get();
}

Clipboard& Clipboard::Default() {
  static NoDestructor<PendingClipboard> instance;
  return *instance.get();
}

Dialogs& Dialogs::Default() {
  static NoDestructor<PendingDialogs> instance;
  return *instance.get();
}

}  // namespace dzv::platform
