#include "platform/linux/fork_guard.h"

#include <pthread.h>

namespace dzv::platform {
namespace {

// The live guards, in a list guarded by `guards_mutex`, which the forking
// thread holds from Prepare until the fork is over. Both are constant-
// initialised, so that guards of static objects may be made at any time.
std::mutex guards_mutex;
ForkGuard* guards = nullptr;
std::once_flag handlers_registered;

}  // namespace

ForkGuard::ForkGuard(std::mutex* mutex, ChildHook in_child, void* owner)
    : mutex_(mutex), in_child_(in_child), owner_(owner) {
  // A library unloaded with dlclose() has its handlers removed by the C
  // library; they are registered once, by the first guard.
  std::call_once(handlers_registered, [] {
    pthread_atfork(&ForkGuard::Prepare, &ForkGuard::InParent, &ForkGuard::InChild);
  });
  std::lock_guard<std::mutex> lock(guards_mutex);
  next_ = guards;
  if (guards != nullptr) guards->prev_ = this;
  guards = this;
}

ForkGuard::~ForkGuard() {
  std::lock_guard<std::mutex> lock(guards_mutex);
  if (prev_ != nullptr) prev_->next_ = next_;
  if (next_ != nullptr) next_->prev_ = prev_;
  if (guards == this) guards = next_;
}

void ForkGuard::Prepare() {
  guards_mutex.lock();
  for (ForkGuard* g = guards; g != nullptr; g = g->next_) g->mutex_->lock();
}

void ForkGuard::InParent() {
  for (ForkGuard* g = guards; g != nullptr; g = g->next_) g->mutex_->unlock();
  guards_mutex.unlock();
}

void ForkGuard::InChild() {
  for (ForkGuard* g = guards; g != nullptr; g = g->next_) {
    if (g->in_child_ != nullptr) g->in_child_(g->owner_);
    g->mutex_->unlock();
  }
  guards_mutex.unlock();
}

}  // namespace dzv::platform
