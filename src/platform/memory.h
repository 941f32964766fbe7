// Memory for large in-memory tables (the lookup index and entry storage of
// big dictionaries). Where the system offers huge pages for such regions the
// backend asks for them, which spares the address translation misses that
// otherwise dominate random access to tables of gigabytes.
#ifndef DZV_PLATFORM_MEMORY_H_
#define DZV_PLATFORM_MEMORY_H_

#include <cstddef>

namespace dzv::platform {

// Regions of at least this size are eligible for huge pages.
inline constexpr size_t kLargeRegion = size_t{2} << 20;
// Every region starts on a cache line.
inline constexpr size_t kSmallAlignment = 64;

// Returns `bytes` of uninitialised memory aligned to kSmallAlignment, or null
// when none can be had. Never throws.
void* AllocateRegion(size_t bytes) noexcept;
// Releases a region that AllocateRegion returned for the same size.
void FreeRegion(void* p, size_t bytes) noexcept;

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_MEMORY_H_
