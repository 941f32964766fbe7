#include "platform/memory.h"

#include <sys/mman.h>

#include <new>

namespace dzv::platform {

void* AllocateRegion(size_t bytes) noexcept {
  if (bytes < kLargeRegion)
    return ::operator new(bytes, std::align_val_t(kSmallAlignment), std::nothrow);
  const size_t rounded = (bytes + kLargeRegion - 1) / kLargeRegion * kLargeRegion;
  void* p = ::operator new(rounded, std::align_val_t(kLargeRegion), std::nothrow);
  if (p != nullptr) madvise(p, rounded, MADV_HUGEPAGE);  // a hint; failure is harmless
  return p;
}

void FreeRegion(void* p, size_t bytes) noexcept {
  if (p == nullptr) return;
  if (bytes < kLargeRegion) {
    ::operator delete(p, std::align_val_t(kSmallAlignment));
    return;
  }
  ::operator delete(p, std::align_val_t(kLargeRegion));
}

}  // namespace dzv::platform
