// Linux backend of dynamic loading: the dynamic linker's dlopen, dlsym and
// dlclose. A file name without a slash is searched for as the dynamic linker
// does for any library (LD_LIBRARY_PATH, the run path, the system's cache and
// directories). Each library is bound completely at load (RTLD_NOW) and its
// symbols stay private to it (RTLD_LOCAL), so a missing dependency shows at
// Load rather than in the middle of a call.
#include "platform/loader.h"

#include <dlfcn.h>

namespace dzv::platform {
namespace {

class DlopenLoader : public Loader {
 public:
  Library* Load(const char* file_name) override {
    if (file_name == nullptr) return nullptr;
    return static_cast<Library*>(dlopen(file_name, RTLD_NOW | RTLD_LOCAL));
  }

  Symbol FindSymbol(Library* library, const char* name) override {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<Symbol>(dlsym(library, name));
  }

  void Unload(Library* library) override {
    if (library != nullptr) dlclose(library);
  }
};

}  // namespace

Loader& Loader::Default() {
  static NoDestructor<DlopenLoader> instance;
  return *instance.get();
}

}  // namespace dzv::platform
