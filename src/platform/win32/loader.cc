// Win32 backend of dynamic loading: LoadLibraryA, GetProcAddress and
// FreeLibrary. A file name without a directory is searched for as Windows
// searches for any DLL (the program's folder, the system folders, the
// current folder, PATH).
#include "platform/loader.h"

#include <windows.h>

namespace dzv::platform {
namespace {

class Win32Loader final : public Loader {
 public:
  Library* Load(const char* file_name) override {
    if (file_name == nullptr) return nullptr;
    return reinterpret_cast<Library*>(LoadLibraryA(file_name));
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
