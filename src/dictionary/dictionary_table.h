// The dictionary table: owns every dictionary of the process and names each
// by a handle, the index of its slot. Slot 0 never holds a dictionary; a
// handle is valid while 1 <= handle < size() and its slot is occupied.
// DictionaryNew issues the lowest free handle, so freed handles come back.
//
// The table also holds the process's one shared enumeration position, used
// only by DictionaryItemGetInit and DictionaryItemGetNext.
//
// Thread-safety: none; callers serialise every use.
#ifndef DZV_DICTIONARY_DICTIONARY_TABLE_H_
#define DZV_DICTIONARY_DICTIONARY_TABLE_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "dictionary/string_map.h"

namespace dzv::dict {

class DictionaryTable {
 public:
  static constexpr uint32_t kBucketCount = 4000;

  // Every dictionary compares keys under `rules` (the process's code page
  // in the library), which must outlive the table.
  explicit DictionaryTable(const text::LeadByteTable& rules) : rules_(rules) {}
  // Releases every dictionary still present.
  ~DictionaryTable();
  DictionaryTable(const DictionaryTable&) = delete;
  DictionaryTable& operator=(const DictionaryTable&) = delete;

  // Creates an empty dictionary of 4000 buckets in the lowest free slot and
  // returns its handle. Throws std::bad_alloc, leaving no dictionary behind.
  int32_t Create();
  // Destroys the dictionary of `handle`; false when the handle is invalid.
  bool Destroy(int32_t handle);
  // The dictionary of `handle`, or null when the handle is invalid.
  CMapStringToString* Get(int32_t handle) const;

  // Number of slots: one more than the highest handle ever issued, or 0.
  int32_t size() const { return static_cast<int32_t>(slots_.size()); }
  size_t capacity() const { return slots_.capacity(); }

  // The lead bytes of the code page that the dictionaries' keys are in.
  const text::LeadByteTable& rules() const { return rules_; }

  CMapStringToString::Position& shared_position() { return shared_position_; }
  // Prefetching for the enumeration under way at the shared position.
  CMapStringToString::ReadAhead& read_ahead() { return read_ahead_; }

 private:
  const text::LeadByteTable& rules_;
  std::vector<std::unique_ptr<CMapStringToString>> slots_;
  CMapStringToString::Position shared_position_ = CMapStringToString::Position::End();
  CMapStringToString::ReadAhead read_ahead_;
};

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_DICTIONARY_TABLE_H_
