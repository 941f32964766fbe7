// The platform layer: one small interface per service that the library needs
// from the operating system (files, code page, registry, clipboard, dialogs,
// dynamic loading). The instance in use is the interface's Current(); the
// backend supplies the default instance, which is never destroyed. Only the
// export layer (src/library) and the platform itself call Current(): an
// export resolves each service it needs and passes it by reference to the
// subsystem's entry function, so subsystems work on the services they are
// given. Tests install a replacement with ScopedService, typically a
// subclass of the service's forwarding wrapper that breaks one call.
//
// Backends return statuses and never throw.
#ifndef DZV_PLATFORM_SERVICE_H_
#define DZV_PLATFORM_SERVICE_H_

#include <new>
#include <utility>

namespace dzv::platform {

// Storage for an object that is constructed once and never destroyed, so
// that it can be used during static destruction and leaves nothing on the
// heap. Used for the default backends.
template <class T>
class NoDestructor {
 public:
  template <class... Args>
  explicit NoDestructor(Args&&... args) {
    new (storage_) T(std::forward<Args>(args)...);
  }
  T* get() { return std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

// Holds the instance of one service interface that the library uses now.
// Interface must provide `static Interface& Default()`.
template <class Interface>
class ServiceSlot {
 public:
  static Interface& Current() {
    Interface* p = override_;
    return p != nullptr ? *p : Interface::Default();
  }
  // Installs `replacement` (null restores the default); returns the previous
  // override. Not thread-safe: tests swap services while nothing else runs.
  static Interface* Swap(Interface* replacement) {
    Interface* previous = override_;
    override_ = replacement;
    return previous;
  }

 private:
  static inline Interface* override_ = nullptr;
};

// Installs a replacement service for the lifetime of the guard.
template <class Interface>
class ScopedService {
 public:
  explicit ScopedService(Interface* replacement)
      : previous_(ServiceSlot<Interface>::Swap(replacement)) {}
  ~ScopedService() { ServiceSlot<Interface>::Swap(previous_); }
  ScopedService(const ScopedService&) = delete;
  ScopedService& operator=(const ScopedService&) = delete;

 private:
  Interface* previous_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_SERVICE_H_
