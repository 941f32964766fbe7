// Win32 backend of large-region memory: the C++ heap, aligned. Windows gives
// large pages only to processes holding the lock-memory privilege, which
// client programs do not have, so no region asks for them.
#include "platform/memory.h"

#include <new>

namespace dzv::platform {

void* AllocateRegion(size_t bytes) noexcept {
  return ::operator new(bytes, std::align_val_t(kSmallAlignment), std::nothrow);
}

void FreeRegion(void* p, size_t) noexcept {
  if (p != nullptr) ::operator delete(p, std::align_val_t(kSmallAlignment));
}

}  // namespace dzv::platform
