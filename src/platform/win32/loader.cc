// Win32 backend of dynamic loading: LoadLibraryExA, GetProcAddress and
// FreeLibrary.
//
// A file name without a directory is never looked for in the current
// folder, where anyone who can leave a file (a download, a shared or
// removable drive, an archive unpacked there) would have it run in the
// client. It is looked for, in this order, in the program's folder, the
// system folder and the folders added with AddDllDirectory
// (LOAD_LIBRARY_SEARCH_DEFAULT_DIRS), and then in each PATH entry that is a
// full path, by its full path, where the database client is installed.
// Relative and empty PATH entries, which name the current folder or a folder
// beneath it, are skipped. A name with a directory is loaded by its full
// path. Either way the libraries that the loaded one needs are looked for in
// its own folder and the default folders, not in the current folder either.
#include "platform/loader.h"

#include <windows.h>

#include <new>
#include <string>
#include <vector>

namespace dzv::platform {
namespace {

// Whether LoadLibraryExA takes the LOAD_LIBRARY_SEARCH_ flags: from
// Windows 8 on, and on Windows 7 with its update KB2533623, which brought
// AddDllDirectory with them.
bool HasSearchFlags() {
  static const bool has =
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "AddDllDirectory") != nullptr;
  return has;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "X:\..." or "\\server\share\..." (which takes in "\\?\..." and "\\.\...").
// Not "X:name", "\name" or "name": those depend on a current folder.
bool IsFullPath(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) {
    const char drive = path[0];
    return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  }
  return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

bool HasDirectory(const char* file_name) {
  for (const char* c = file_name; *c != '\0'; ++c) {
    if (IsSeparator(*c) || *c == ':') return true;
  }
  return false;
}

// The PATH entries that are full paths, in their order, without the quotes
// that may surround an entry.
std::vector<std::string> FullPathEntries() {
  std::string path(256, '\0');
  for (;;) {
    const DWORD length = ::GetEnvironmentVariableA("PATH", path.data(), path.size());
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length);
  }
  std::vector<std::string> entries;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    std::string entry = path.substr(start, end - start);
    if (entry.size() >= 2 && entry.front() == '"' && entry.back() == '"') {
      entry = entry.substr(1, entry.size() - 2);
    }
    if (IsFullPath(entry)) entries.push_back(std::move(entry));
    start = end + 1;
  }
  return entries;
}

// Without the search flags the alternate search order (the library's own
// folder first) still looks in the current folder for what the library
// needs: a system without them has that hole in every program.
HMODULE LoadByFullPath(const std::string& path) {
  return ::LoadLibraryExA(path.c_str(), nullptr,
                          HasSearchFlags()
                              ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                              : LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The program's folder with its final backslash; empty when it cannot be
// had.
std::string ModuleFolder() {
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

HMODULE LoadBareName(const char* file_name) {
  if (HasSearchFlags()) {
    if (HMODULE module = ::LoadLibraryExA(file_name, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) {
      return module;
    }
  } else {
    // The program's folder and the system folder, by full path.
    char system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    for (const std::string& folder :
         {ModuleFolder(),
          length > 0 && length < MAX_PATH ? std::string(system, length) + "\\" : std::string()}) {
      if (folder.empty()) continue;
      if (HMODULE module = LoadByFullPath(folder + file_name)) return module;
    }
  }
  for (std::string entry : FullPathEntries()) {
    if (!IsSeparator(entry.back())) entry += '\\';
    if (HMODULE module = LoadByFullPath(entry + file_name)) return module;
  }
  return nullptr;
}

class Win32Loader final : public Loader {
 public:
  Library* Load(const char* file_name) override {
    if (file_name == nullptr || *file_name == '\0') return nullptr;
    if (!HasDirectory(file_name)) {
      try {
        return reinterpret_cast<Library*>(LoadBareName(file_name));
      } catch (const std::bad_alloc&) {
        return nullptr;
      }
    }
    char full[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(file_name, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return reinterpret_cast<Library*>(LoadByFullPath(full));
  }

  Symbol FindSymbol(Library* library, const char* name) override {
    if (library == nullptr || name == nullptr) return nullptr;
    FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(library), name);
    return reinterpret_cast<Symbol>(reinterpret_cast<void*>(address));
  }

  void Unload(Library* library) override {
    if (library != nullptr) FreeLibrary(reinterpret_cast<HMODULE>(library));
  }
};

}  // namespace

Loader& Loader::Default() {
  static NoDestructor<Win32Loader> instance;
  return *instance.get();
}

}  // namespace dzv::platform
