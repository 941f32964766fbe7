#include "fault/alloc.h"

#include <atomic>
#include <cstdlib>
#include <new>
#if defined(_WIN32)
#include <malloc.h>
#endif

namespace dzv::testing {
namespace {

// Plain globals, constant-initialised: the allocator runs before and after
// everything else.
std::atomic<int64_t> allocations{0};
std::atomic<int64_t> live{0};
std::atomic<size_t> largest_request{0};
std::atomic<int64_t> fail_at{-1};  // the value of `allocations` that fails; -1: none
std::atomic<bool> failure_met{false};

void* Allocate(std::size_t size, std::size_t alignment, bool nothrow) {
  const int64_t number = allocations.fetch_add(1, std::memory_order_relaxed) + 1;
  size_t seen = largest_request.load(std::memory_order_relaxed);
  while (size > seen &&
         !largest_request.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
  }
  if (number == fail_at.load(std::memory_order_relaxed)) {
    failure_met.store(true, std::memory_order_relaxed);
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
  live.fetch_add(1, std::memory_order_relaxed);
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  live.fetch_sub(1, std::memory_order_relaxed);
#if defined(_WIN32)
  _aligned_free(p);
#else
  std::free(p);
#endif
}

}  // namespace

void FailNthAllocation(int64_t n) {
  failure_met = false;
  fail_at = allocations + n;
}

bool Disarm() {
  fail_at = -1;
  return failure_met;
}

int64_t LiveAllocations() { return live; }

AllocationWatch::AllocationWatch() : start_(allocations) { largest_request = 0; }
AllocationWatch::~AllocationWatch() { Disarm(); }
int64_t AllocationWatch::count() const { return allocations - start_; }
size_t AllocationWatch::largest() const { return largest_request; }
bool AllocationWatch::failed() const { return failure_met; }

}  // namespace dzv::testing

using dzv::testing::Allocate;
using dzv::testing::Release;

// The replaceable global allocation functions, all routed through Allocate.
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
