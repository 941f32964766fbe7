// Dynamic loading: libraries found by file name at run time, their exports
// looked up by name (LoadLibraryA, GetProcAddress and FreeLibrary in
// substance).
#ifndef DZV_PLATFORM_LOADER_H_
#define DZV_PLATFORM_LOADER_H_

#include "platform/service.h"

namespace dzv::platform {

// A library loaded by a Loader; opaque to everyone but the backend.
struct Library;

class Loader {
 public:
  // The address of an export. Callers cast it to the export's real function
  // type before calling it.
  using Symbol = void (*)();

  virtual ~Loader() = default;

  // Loads `file_name`. A name without a directory is searched for along the
  // platform's library search path. Returns null when `file_name` is null or
  // the library cannot be found or loaded. Every non-null result must be
  // given to Unload once.
  virtual Library* Load(const char* file_name) = 0;
  // The export `name` of `library`, or null when the library has none.
  // REQUIRES: `library` came from Load and has not been unloaded.
  virtual Symbol FindSymbol(Library* library, const char* name) = 0;
  // Gives up one Load of `library`; the platform unmaps the library when
  // nothing else in the process holds it.
  virtual void Unload(Library* library) = 0;

  static Loader& Default();
  static Loader& Current() { return ServiceSlot<Loader>::Current(); }
};

// Forwards every call to another instance; tests override what they change.
class LoaderWrapper : public Loader {
 public:
  explicit LoaderWrapper(Loader* target) : target_(target) {}
  Library* Load(const char* file_name) override { return target_->Load(file_name); }
  Symbol FindSymbol(Library* library, const char* name) override {
    return target_->FindSymbol(library, name);
  }
  void Unload(Library* library) override { target_->Unload(library); }

 private:
  Loader* target_;
};

// Holds one Load of a library for the lifetime of the object, so that the
// library is unloaded on every path out of a scope.
class ScopedLibrary {
 public:
  ScopedLibrary(Loader& loader, const char* file_name)
      : loader_(loader), library_(loader.Load(file_name)) {}
  ~ScopedLibrary() {
    if (library_ != nullptr) loader_.Unload(library_);
  }
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;

  bool loaded() const { return library_ != nullptr; }

  // The export `name` as a pointer of function type `Fn`, or null when it is
  // missing. The caller vouches that `Fn` is the export's real type.
  // REQUIRES: loaded().
  template <class Fn>
  Fn Find(const char* name) const {
    return reinterpret_cast<Fn>(loader_.FindSymbol(library_, name));
  }

 private:
  Loader& loader_;
  Library* library_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LOADER_H_
