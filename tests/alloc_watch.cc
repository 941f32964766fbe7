#include "alloc_watch.h"

#include <cstdlib>
#include <new>

namespace dzv::testing {
namespace {
AllocationWatch* active = nullptr;
}  // namespace

AllocationWatch::AllocationWatch() : previous_(active) { active = this; }
AllocationWatch::~AllocationWatch() { active = previous_; }

bool AllocationWatch::Allow(size_t n) {
  ++count_;
  if (n > largest_) largest_ = n;
  if (count_ == fail_at_) {
    failed_ = true;
    return false;
  }
  return true;
}

namespace {

void* Allocate(std::size_t n) {
  if (active != nullptr) {
    // The watch is off while it records, in case recording allocates.
    AllocationWatch* watch = active;
    active = nullptr;
    const bool allowed = watch->Allow(n);
    active = watch;
    if (!allowed) throw std::bad_alloc();
  }
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace
}  // namespace dzv::testing

// The replaceable global allocation functions, all routed through Allocate.
// The aligned forms are left to the standard library.
void* operator new(std::size_t n) { return dzv::testing::Allocate(n); }
void* operator new[](std::size_t n) { return dzv::testing::Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return dzv::testing::Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return dzv::testing::Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
