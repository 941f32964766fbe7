#include "dictionary/dictionary_table.h"

#include <algorithm>

namespace dzv::dict {

DictionaryTable::~DictionaryTable() {
  for (auto& slot : slots_) slot.reset();
}

int32_t DictionaryTable::Create() {
  size_t handle = 1;
  while (handle < slots_.size() && slots_[handle] != nullptr) ++handle;
  auto map = std::make_unique<CMapStringToString>(rules_);
  map->SetBucketCount(kBucketCount, /*allocate=*/true);
  if (handle >= slots_.size()) {
    if (handle > static_cast<size_t>(INT32_MAX)) throw std::bad_alloc();
    const size_t needed = handle + 1;
    if (needed > slots_.capacity()) {
      // The first creation takes exactly two slots; later growth adds an
      // eighth of the table, at least 4 and at most 1024 slots.
      size_t capacity = 2;
      if (!slots_.empty()) {
        const size_t step = std::clamp<size_t>(slots_.size() / 8, 4, 1024);
        capacity = std::max(needed, slots_.capacity() + step);
      }
      slots_.reserve(capacity);
    }
    slots_.resize(needed);
  }
  slots_[handle] = std::move(map);
  return static_cast<int32_t>(handle);
}

bool DictionaryTable::Destroy(int32_t handle) {
  if (Get(handle) == nullptr) return false;
  slots_[static_cast<size_t>(handle)].reset();
  return true;
}

CMapStringToString* DictionaryTable::Get(int32_t handle) const {
  if (handle < 1 || static_cast<size_t>(handle) >= slots_.size()) return nullptr;
  return slots_[static_cast<size_t>(handle)].get();
}

}  // namespace dzv::dict
