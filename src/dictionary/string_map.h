// CMapStringToString: the container of one dictionary, a map from byte-string
// key to byte-string value whose enumeration order is part of the library's
// contract.
//
// Order. Every key has the hash h = h * 33 + c over its bytes, each byte
// taken as a signed 8-bit value, in wrapping 32-bit arithmetic; its bucket is
// h modulo the bucket count: 17 for a new map; the dictionary table sets 4000
// on every dictionary it creates, while it is still empty, and a map's count
// never changes once it holds an item.
// Items enumerate by ascending bucket and, within one bucket, newest key
// first. Replacing a value keeps the item's place.
//
// Speed. The buckets are kept as chains only to give that order; lookups go
// through an open-addressing index beside them, so they cost O(1) however
// long the chains grow. Entries come from blocks of kBlockSize with a free
// list; keys and values up to 23 bytes live inside the entry, longer ones
// in an arena of the map's own that is dropped whole when the map empties.
//
// Keys compare under the code page's string equality (text/mbcs.h): a lone
// lead byte at the end of a key counts as its end. Such keys usually fall in
// other buckets than the key without that byte, and then both can be present.
//
// Thread-safety: none; a map may not be used by two threads at once.
#ifndef DZV_DICTIONARY_STRING_MAP_H_
#define DZV_DICTIONARY_STRING_MAP_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionary/byte_string.h"
#include "text/mbcs.h"

namespace dzv::dict {

class CMapStringToString {
 public:
  static constexpr uint32_t kBlockSize = 2000;
  static constexpr uint32_t kInitialBucketCount = 17;

  // A place in an enumeration: before the first item, at an item (the one
  // that the next Next returns), or at the end. A position that names an
  // item which has since been removed, or an item of another map, is stale;
  // Next treats it as the end.
  class Position {
   public:
    static Position BeforeStart() { return Position(Kind::kBeforeStart); }
    static Position End() { return Position(Kind::kEnd); }
    Position() = default;
    bool IsEnd() const { return kind_ == Kind::kEnd; }

   private:
    friend class CMapStringToString;
    enum class Kind : uint8_t { kBeforeStart, kEntry, kEnd };
    explicit Position(Kind kind) : kind_(kind) {}
    Kind kind_ = Kind::kEnd;
    uint32_t entry_ = 0;
    uint32_t stamp_ = 0;
    uint64_t map_id_ = 0;
  };

  // An empty map: no bucket array, bucket count 17. `rules` gives the key
  // equality and must outlive the map.
  explicit CMapStringToString(const text::LeadByteTable& rules);
  ~CMapStringToString();
  CMapStringToString(const CMapStringToString&) = delete;
  CMapStringToString& operator=(const CMapStringToString&) = delete;

  // Sets the bucket count; with `allocate`, also creates the (empty) bucket
  // array now. REQUIRES: the map is empty (otherwise nothing changes).
  void SetBucketCount(uint32_t count, bool allocate);
  uint32_t bucket_count() const { return bucket_count_; }

  // The value of `key`, or null when the key is absent. The pointer is valid
  // until the map next changes.
  const ByteString* FindValue(std::string_view key) const;
  // Copies the value of `key` into `*value` and returns true when present;
  // returns false and leaves `*value` alone otherwise.
  bool Find(std::string_view key, std::string* value) const;

  // The value of `key`, inserting the key with the empty value at the head
  // of its bucket's chain when absent. Throws std::bad_alloc, leaving the
  // map as it was.
  ByteString& ValueFor(std::string_view key);
  // ValueFor(key) then assigns `value`; a null `value` assigns the empty
  // string. When only the assignment runs out of memory, a new key stays
  // with the empty value.
  void Set(std::string_view key, const char* value);
  void Set(std::string_view key, std::string_view value);

  using KeyValue = std::pair<std::string_view, std::string_view>;
  // Sets items[0..n) in order, with the outcome of calling Set on each; the
  // memory accesses of consecutive items overlap, which makes bulk loading
  // several times faster on large maps. On std::bad_alloc the items before
  // the failing one are set, and that one as Set leaves it. The views must
  // not point into this map's storage, unless they are the key and the
  // current value of the item they set (as when a map is copied onto
  // itself).
  void SetBatch(const KeyValue* items, size_t n);

  // Collects pairs for SetBatch. The views must stay valid until Flush,
  // which callers run before anything else reads or changes the map, and at
  // the end; a writer that is dropped without Flush sets nothing more.
  class BatchWriter {
   public:
    explicit BatchWriter(CMapStringToString& map) : map_(map) {}
    void Add(std::string_view key, std::string_view value) {
      items_[size_++] = KeyValue(key, value);
      if (size_ == kCapacity) Flush();
    }
    void Flush() {
      const size_t n = size_;
      size_ = 0;
      map_.SetBatch(items_, n);
    }

   private:
    static constexpr size_t kCapacity = 256;
    CMapStringToString& map_;
    KeyValue items_[kCapacity];
    size_t size_ = 0;
  };

  // Fills an empty map from pairs given in order, with the outcome of
  // calling Set on each in turn (the same items, values and order), in two
  // sequential passes instead of one insertion a pair: Add stores each pair
  // in a new entry in reading order; Finish then indexes the entries, keeps
  // the first entry of each key with the last value given for it, and links
  // the chains. Until Finish (which the destructor runs) the map must not
  // be used otherwise (but for Reserve); pairs added after it are set one
  // by one. The views
  // given to Add need not outlive the call.
  class Loader {
   public:
    // REQUIRES: `map` is empty.
    explicit Loader(CMapStringToString& map);
    ~Loader() { Finish(); }
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    // Throws std::bad_alloc, leaving out the pair (the pairs added before
    // stay, and Finish still sets them).
    void Add(std::string_view key, std::string_view value);
    // Sets the pairs added so far. Never fails; runs once.
    void Finish() noexcept;

   private:
    CMapStringToString& map_;
    uint32_t added_ = 0;  // entries 0 .. added_ - 1 wait for Finish
    bool finished_ = false;
  };

  // Removes `key`; false when absent. The last removal empties the map as
  // Clear does.
  bool Remove(std::string_view key);
  // Removes every item and releases the bucket array and every block. The
  // bucket count stays.
  void Clear();

  // Makes room in the lookup index for `n` items in all, so that filling the
  // map up to that size never rebuilds it. Throws std::bad_alloc.
  void Reserve(size_t n) {
    if (n > count_) ReserveIndexFor(n);
  }

  int32_t Count() const { return static_cast<int32_t>(count_); }
  size_t size() const { return count_; }

  // BeforeStart when the map has items, else End.
  Position Start() const;
  // Yields the item at `pos` and advances `pos` past it. Returns false, with
  // `pos` at the end and nothing yielded, when `pos` is at the end, is stale,
  // or is BeforeStart on an empty map. The views are valid until the map
  // next changes.
  bool Next(Position& pos, std::string_view* key, std::string_view* value) const;

  // Calls fn(key, value) for every item in enumeration order. `fn` may
  // replace values and remove the item it was given, nothing else.
  template <class Fn>
  void ForEach(Fn&& fn) const {
    Position pos = Start();
    std::string_view k, v;
    while (Next(pos, &k, &v)) fn(k, v);
  }

  // Calls fn(key, value) for every item in enumeration order, as ForEach
  // does, several times faster on large maps: it first lists the items
  // from the entry blocks read in memory order, then reads each item's
  // memory ahead of its turn. `fn` must not change the map. Throws std::bad_alloc
  // (the list takes 4 bytes per item) before `fn` is first called.
  template <class Fn>
  void ForEachReadAhead(Fn&& fn) const {
    std::vector<uint32_t> order;
    ListInOrder(&order);
    constexpr size_t kAhead = 16;
    const size_t n = order.size();
    for (size_t i = 0; i < n; ++i) {
      if (i + kAhead < n) Prefetch(&At(order[i + kAhead]));
      if (i + kAhead / 2 < n) {
        const Entry& later = At(order[i + kAhead / 2]);
        Prefetch(later.key.view().data());
        Prefetch(later.value.view().data());
      }
      const Entry& e = At(order[i]);
      fn(e.key.view(), e.value.view());
    }
  }

  // Calls fn(key, value) for every item in no particular order (the order
  // of the entries in memory): the fastest walk, for callers to whom the
  // order does not matter. `fn` must not change the map.
  template <class Fn>
  void ForEachUnordered(Fn&& fn) const {
    constexpr uint32_t kAhead = 8;
    for (const auto& block : blocks_) {
      for (uint32_t i = 0; i < kBlockSize; ++i) {
        if (i + kAhead < kBlockSize && block[i + kAhead].stamp != 0) {
          Prefetch(block[i + kAhead].key.view().data());
          Prefetch(block[i + kAhead].value.view().data());
        }
        const Entry& e = block[i];
        if (e.stamp != 0) fn(e.key.view(), e.value.view());
      }
    }
  }

  // Requests early the memory that an enumeration will read next. It only
  // prefetches: what an enumeration visits is decided by Next alone, so a
  // list that has gone out of date (the map changed) costs speed, never
  // correctness. Used with the process's shared enumeration position.
  class ReadAhead {
   public:
    // Called after Next has moved `pos` in `map`. Never fails: without
    // memory for its list it requests nothing.
    void After(const CMapStringToString& map, const Position& pos) noexcept;
    void Reset();

   private:
    void Advance(const CMapStringToString& map, const Position& pos);

    static constexpr size_t kSegment = 512;
    static constexpr size_t kEntriesAhead = 16;
    static constexpr size_t kStringsAhead = 6;
    uint64_t map_id_ = 0;
    uint64_t epoch_ = 0;
    std::vector<uint32_t> ids_;  // entries in enumeration order, as listed
    size_t cursor_ = 0;          // where the position's entry is in ids_
    uint32_t next_bucket_ = 0;   // first bucket not yet listed
    uint64_t calls_ = 0;
    uint64_t rebuilds_ = 0;
  };

  // The bucket that `key` falls in under the current bucket count; for tests
  // of the enumeration order.
  uint32_t BucketOfForTesting(std::string_view key) const;
  // The key hash: h = h * 33 + c over signed bytes, wrapping.
  static uint32_t HashKey(std::string_view key);

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  // One cache line: the links, and the key and value with up to 23 bytes
  // each inline.
  struct alignas(64) Entry {
    uint32_t next = kNone;  // next in bucket chain, or in the free list
    uint32_t prev = kNone;  // previous in bucket chain; kNone at the head
    uint32_t bucket = 0;
    uint32_t stamp = 0;  // 0 while free; distinct for every insertion
    ByteString key;
    ByteString value;
  };

  struct Slot {
    uint32_t entry;
    uint32_t hash;
  };

  // Where a key belongs: its bucket and its index hash.
  struct KeyPlace {
    uint32_t bucket;
    uint32_t index_hash;
  };

  static constexpr uint32_t kBlocksPerSlab = 16;  // 16 blocks fill one large region

  Entry& At(uint32_t id) const { return blocks_[id / kBlockSize][id % kBlockSize]; }
  static void Prefetch(const void* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
  }
  // Replaces `*order` with the ids of all entries in enumeration order,
  // reading the entry blocks in memory order.
  void ListInOrder(std::vector<uint32_t>* order) const;
  // Appends the entries of the buckets from `first_bucket` on, in
  // enumeration order, stopping at a group boundary once `at_least` were
  // appended; returns the first bucket not listed.
  uint32_t ListBuckets(uint32_t first_bucket, size_t at_least, std::vector<uint32_t>* out) const;
  KeyPlace PlaceOf(std::string_view key) const;
  ByteString& ValueForAt(std::string_view key, const KeyPlace& place);
  // The entry of `key`, or kNone; then `*free_slot`, when given, receives
  // the index slot where the key would go.
  uint32_t Lookup(std::string_view key, const KeyPlace& place, size_t* free_slot = nullptr) const;
  void IndexErase(uint32_t id, uint32_t hash);
  void ReserveIndexFor(size_t count);
  void ReleaseStorage();
  Entry* NewBlock();
  uint32_t FirstEntryFrom(uint32_t bucket) const;
  uint32_t TakeEntry();
  void ReturnEntry(uint32_t id);

  const text::LeadByteTable* rules_;
  uint64_t id_;         // identity for positions; unique in the process
  uint64_t epoch_ = 0;  // counts Clear: entry storage before it is gone
  uint32_t bucket_count_ = kInitialBucketCount;
  size_t count_ = 0;
  uint32_t next_stamp_ = 1;
  bool stamps_in_order_ = true;  // false once the stamps have wrapped
  uint32_t free_list_ = kNone;
  std::vector<uint32_t> heads_;  // empty: no bucket array
  std::vector<Entry*> blocks_;   // entry id / kBlockSize -> block
  // Memory that blocks come from: single blocks while the map is small,
  // then slabs of kBlocksPerSlab blocks.
  std::vector<std::pair<void*, size_t>> regions_;
  Entry* slab_next_ = nullptr;
  uint32_t slab_left_ = 0;
  Slot* index_ = nullptr;  // power-of-two size; entry kNone when empty
  size_t index_size_ = 0;
  StringArena arena_;  // bytes of keys and values over 23 bytes
};

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_STRING_MAP_H_
