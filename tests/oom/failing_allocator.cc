#include "oom/failing_allocator.h"

#include <cstddef>
#include <cstdlib>
#include <new>
#if defined(_WIN32)
#include <malloc.h>
#endif

namespace dzv::testing {
namespace {

// Plain globals: the allocator runs before and after everything else.
int64_t countdown = 0;  // 0: disarmed
bool failed = false;
int64_t live = 0;

bool ShouldFail() {
  if (countdown == 0) return false;
  if (--countdown == 0) {
    failed = true;
    return true;
  }
  return false;
}

void* Allocate(std::size_t size, std::size_t alignment, bool nothrow) {
  if (ShouldFail()) {
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  if (size == 0) size = 1;
#if defined(_WIN32)
  // The C runtime has no aligned_alloc; every block comes from
  // _aligned_malloc, so that one function releases them all.
  void* p = _aligned_malloc(
      size, alignment > alignof(std::max_align_t) ? alignment : alignof(std::max_align_t));
#else
  void* p = alignment > alignof(std::max_align_t)
                ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                : std::malloc(size);
#endif
  if (p == nullptr) {
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  ++live;
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  --live;
#if defined(_WIN32)
  _aligned_free(p);
#else
  std::free(p);
#endif
}

}  // namespace

void FailNthAllocation(int64_t n) {
  failed = false;
  countdown = n;
}

bool Disarm() {
  countdown = 0;
  return failed;
}

int64_t LiveAllocations() { return live; }

}  // namespace dzv::testing

using dzv::testing::Allocate;
using dzv::testing::Release;

void* operator new(std::size_t n) { return Allocate(n, 0, false); }
void* operator new[](std::size_t n) { return Allocate(n, 0, false); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n, 0, true); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n, 0, true); }
void* operator new(std::size_t n, std::align_val_t a) {
  return Allocate(n, static_cast<std::size_t>(a), false);
}
void* operator new[](std::size_t n, std::align_val_t a) {
  return Allocate(n, static_cast<std::size_t>(a), false);
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(n, static_cast<std::size_t>(a), true);
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(n, static_cast<std::size_t>(a), true);
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { Release(p); }
