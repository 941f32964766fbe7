// Keeps the library's own locks and the state they guard usable in the child
// of a fork() made by a multi-threaded host.
//
// Each guard names a mutex that the library holds only inside one call. The
// thread that calls fork() takes every guarded mutex first (waiting for calls
// under way in other threads to end), so that the child inherits each
// guarded state whole and no lock held by a thread that does not exist
// there; right after the fork both processes release them, and in the child
// each guard's hook runs first, to let go of what belongs to the parent
// (a connection, descriptors of an open clipboard).
//
// Thread-safety: guards may be made and destroyed from any thread, but not
// while holding a guarded mutex.
#ifndef DZV_PLATFORM_LINUX_FORK_GUARD_H_
#define DZV_PLATFORM_LINUX_FORK_GUARD_H_

#include <mutex>

namespace dzv::platform {

class ForkGuard {
 public:
  // Runs in the child process, with the guarded mutex held.
  using ChildHook = void (*)(void* owner);

  // Guards `mutex` from now until destruction; `in_child` may be null.
  ForkGuard(std::mutex* mutex, ChildHook in_child, void* owner);
  ~ForkGuard();
  ForkGuard(const ForkGuard&) = delete;
  ForkGuard& operator=(const ForkGuard&) = delete;

 private:
  static void Prepare();
  static void InParent();
  static void InChild();

  std::mutex* const mutex_;
  const ChildHook in_child_;
  void* const owner_;
  ForkGuard* prev_ = nullptr;
  ForkGuard* next_ = nullptr;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_FORK_GUARD_H_
