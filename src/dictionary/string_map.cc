#include "dictionary/string_map.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/memory.h"

namespace dzv::dict {
namespace {

std::atomic<uint64_t> next_map_id{1};

uint32_t Mix(uint32_t hash, uint32_t bucket) {
  uint64_t x = (static_cast<uint64_t>(hash) << 32) | bucket;
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return static_cast<uint32_t>(x);
}

}  // namespace

CMapStringToString::CMapStringToString(const text::LeadByteTable& rules)
    : rules_(&rules), id_(next_map_id.fetch_add(1, std::memory_order_relaxed)) {}

CMapStringToString::~CMapStringToString() { Clear(); }

namespace {

constexpr uint32_t Pow33(int n) { return n == 0 ? 1u : 33u * Pow33(n - 1); }

inline uint32_t Signed(unsigned char c) {
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
}

// Continues h = h * 33 + c over `n` bytes. Eight bytes at a time the same
// value is h * 33^8 + c0 * 33^7 + ... + c7 (arithmetic modulo 2^32), whose
// products do not wait for one another.
uint32_t HashBytes(uint32_t h, const char* data, size_t n) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  for (; n >= 8; n -= 8, p += 8) {
    h = h * Pow33(8) + Signed(p[0]) * Pow33(7) + Signed(p[1]) * Pow33(6) + Signed(p[2]) * Pow33(5) +
        Signed(p[3]) * Pow33(4) + Signed(p[4]) * Pow33(3) + Signed(p[5]) * Pow33(2) +
        Signed(p[6]) * Pow33(1) + Signed(p[7]);
  }
  for (; n > 0; --n, ++p) h = h * 33 + Signed(*p);
  return h;
}

}  // namespace

uint32_t CMapStringToString::HashKey(std::string_view key) {
  return HashBytes(0, key.data(), key.size());
}

uint32_t CMapStringToString::BucketOfForTesting(std::string_view key) const {
  return HashKey(key) % bucket_count_;
}

void CMapStringToString::SetBucketCount(uint32_t count, bool allocate) {
  if (count_ != 0 || count == 0) return;
  heads_.clear();
  heads_.shrink_to_fit();
  bucket_count_ = count;
  if (allocate) heads_.assign(count, kNone);
}

CMapStringToString::KeyPlace CMapStringToString::PlaceOf(std::string_view key) const {
  // The index hashes the key as the code page's equality sees it (without a
  // lone trailing lead byte) together with the key's bucket, so that a
  // lookup meets exactly the entries that a walk of the bucket's chain would
  // compare equal.
  const size_t len = text::CharLength(*rules_, key);
  const uint32_t h = HashBytes(0, key.data(), len);
  const uint32_t full = HashBytes(h, key.data() + len, key.size() - len);
  // Every dictionary has 4000 buckets: a constant divisor is a multiplication.
  const uint32_t bucket = bucket_count_ == 4000 ? full % 4000 : full % bucket_count_;
  return {bucket, Mix(h, bucket)};
}

uint32_t CMapStringToString::Lookup(std::string_view key, const KeyPlace& place,
                                    size_t* free_slot) const {
  if (index_size_ == 0) return kNone;
  const size_t mask = index_size_ - 1;
  for (size_t i = place.index_hash & mask;; i = (i + 1) & mask) {
    const Slot& s = index_[i];
    if (s.entry == kNone) {
      if (free_slot != nullptr) *free_slot = i;
      return kNone;
    }
    if (s.hash != place.index_hash) continue;
    const Entry& e = At(s.entry);
    if (e.bucket == place.bucket && text::StringEqual(*rules_, e.key.view(), key)) {
      return s.entry;
    }
  }
}

void CMapStringToString::ReserveIndexFor(size_t count) {
  // Keep the load factor at or below 3/4.
  if (index_size_ != 0 && count * 4 <= index_size_ * 3) return;
  size_t capacity = index_size_ == 0 ? 16 : index_size_;
  while (count * 4 > capacity * 3) capacity *= 2;
  auto* fresh = static_cast<Slot*>(platform::AllocateRegion(capacity * sizeof(Slot)));
  if (fresh == nullptr) throw std::bad_alloc();  // nothing changed
  std::fill(fresh, fresh + capacity, Slot{kNone, 0});
  const size_t mask = capacity - 1;
  for (size_t j = 0; j < index_size_; ++j) {
    const Slot& s = index_[j];
    if (s.entry == kNone) continue;
    size_t i = s.hash & mask;
    while (fresh[i].entry != kNone) i = (i + 1) & mask;
    fresh[i] = s;
  }
  platform::FreeRegion(index_, index_size_ * sizeof(Slot));
  index_ = fresh;
  index_size_ = capacity;
}

void CMapStringToString::IndexErase(uint32_t id, uint32_t hash) {
  const size_t mask = index_size_ - 1;
  size_t i = hash & mask;
  while (index_[i].entry != id) i = (i + 1) & mask;
  // Backward-shift deletion keeps every probe sequence unbroken.
  for (size_t j = (i + 1) & mask;; j = (j + 1) & mask) {
    const Slot& s = index_[j];
    if (s.entry == kNone) break;
    const size_t home = s.hash & mask;
    // Move s into the hole at i when its home does not lie in (i, j].
    const bool movable = (i <= j) ? (home <= i || home > j) : (home <= i && home > j);
    if (movable) {
      index_[i] = s;
      i = j;
    }
  }
  index_[i] = Slot{kNone, 0};
}

CMapStringToString::Entry* CMapStringToString::NewBlock() {
  constexpr size_t kBlockBytes = sizeof(Entry) * kBlockSize;
  static_assert(kBlockBytes * kBlocksPerSlab <= platform::kLargeRegion);
  blocks_.reserve(blocks_.size() + 1);    // may throw
  regions_.reserve(regions_.size() + 1);  // may throw
  Entry* block;
  if (slab_left_ > 0) {
    block = slab_next_;
    slab_next_ += kBlockSize;
    --slab_left_;
  } else {
    // Small maps take single blocks; from the kBlocksPerSlab-th block on,
    // blocks come kBlocksPerSlab at a time from one large region.
    const bool slab = blocks_.size() >= kBlocksPerSlab;
    const size_t bytes = slab ? platform::kLargeRegion : kBlockBytes;
    void* region = platform::AllocateRegion(bytes);
    if (region == nullptr) throw std::bad_alloc();
    regions_.emplace_back(region, bytes);
    block = static_cast<Entry*>(region);
    if (slab) {
      slab_next_ = block + kBlockSize;
      slab_left_ = kBlocksPerSlab - 1;
    }
  }
  for (uint32_t i = 0; i < kBlockSize; ++i) new (block + i) Entry;
  blocks_.push_back(block);
  return block;
}

uint32_t CMapStringToString::TakeEntry() {
  if (free_list_ == kNone) {
    const uint32_t base = static_cast<uint32_t>(blocks_.size()) * kBlockSize;
    Entry* block = NewBlock();
    for (uint32_t i = kBlockSize; i-- > 0;) {
      block[i].next = free_list_;
      free_list_ = base + i;
    }
  }
  const uint32_t id = free_list_;
  free_list_ = At(id).next;
  return id;
}

void CMapStringToString::ReturnEntry(uint32_t id) {
  Entry& e = At(id);
  e.key.Reset(arena_);
  e.value.Reset(arena_);
  e.stamp = 0;
  e.prev = kNone;
  e.next = free_list_;
  free_list_ = id;
}

const ByteString* CMapStringToString::FindValue(std::string_view key) const {
  if (count_ == 0) return nullptr;
  const uint32_t id = Lookup(key, PlaceOf(key));
  return id == kNone ? nullptr : &At(id).value;
}

bool CMapStringToString::Find(std::string_view key, std::string* value) const {
  const ByteString* v = FindValue(key);
  if (v == nullptr) return false;
  value->assign(v->view());
  return true;
}

ByteString& CMapStringToString::ValueFor(std::string_view key) {
  const KeyPlace place = PlaceOf(key);
  // A new key is linked before the chain's current head: load that entry
  // while the index is searched.
  if (!heads_.empty() && heads_[place.bucket] != kNone) Prefetch(&At(heads_[place.bucket]));
  return ValueForAt(key, place);
}

ByteString& CMapStringToString::ValueForAt(std::string_view key, const KeyPlace& place) {
  // Everything that can fail comes before the map changes. The index grows
  // before the search, so that the free slot the search ends on stays valid.
  if (count_ >= kNone - 1) throw std::bad_alloc();
  ReserveIndexFor(count_ + 1);
  size_t slot = 0;
  if (uint32_t id = Lookup(key, place, &slot); id != kNone) return At(id).value;
  if (heads_.empty()) heads_.assign(bucket_count_, kNone);
  const uint32_t id = TakeEntry();
  Entry& e = At(id);
  try {
    e.key.Assign(key, arena_);
  } catch (...) {
    ReturnEntry(id);
    throw;
  }
  e.bucket = place.bucket;
  e.stamp = next_stamp_++;
  if (next_stamp_ == 0) {
    // Stamps start again: they no longer tell which entry is newer.
    next_stamp_ = 1;
    stamps_in_order_ = false;
  }
  e.prev = kNone;
  e.next = heads_[place.bucket];
  if (e.next != kNone) At(e.next).prev = id;
  heads_[place.bucket] = id;
  index_[slot] = Slot{id, place.index_hash};
  ++count_;
  return e.value;
}

void CMapStringToString::Set(std::string_view key, const char* value) {
  Set(key, value == nullptr ? std::string_view() : std::string_view(value));
}

void CMapStringToString::Set(std::string_view key, std::string_view value) {
  ValueFor(key).Assign(value, arena_);
}

void CMapStringToString::SetBatch(const KeyValue* items, size_t n) {
  // Each pair is set exactly as Set would, in order; only the memory that
  // later pairs will touch (their index slot and the head of their chain)
  // is requested early, so that many cache misses are under way at once.
  constexpr size_t kAhead = 16;
  constexpr size_t kWindow = 64;
  KeyPlace places[kWindow];
  if (heads_.empty()) heads_.assign(bucket_count_, kNone);
  for (size_t base = 0; base < n; base += kWindow) {
    const size_t m = std::min(kWindow, n - base);
    for (size_t i = 0; i < m; ++i) places[i] = PlaceOf(items[base + i].first);
    // Room for every pair being new: no rehash moves the slots requested.
    ReserveIndexFor(count_ + m);
    auto request = [&](size_t i) {
      Prefetch(&index_[places[i].index_hash & (index_size_ - 1)]);
      const uint32_t head = heads_[places[i].bucket];
      if (head != kNone) Prefetch(&At(head));
    };
    for (size_t i = 0; i < std::min(kAhead, m); ++i) request(i);
    for (size_t i = 0; i < m; ++i) {
      if (i + kAhead < m) request(i + kAhead);
      const KeyValue& item = items[base + i];
      ValueForAt(item.first, places[i]).Assign(item.second, arena_);
    }
  }
}

CMapStringToString::Loader::Loader(CMapStringToString& map) : map_(map) {
  // An empty map may still hold blocks (a key whose insertion failed gave
  // its entry back): start from none, so that entries come in id order.
  if (!map_.blocks_.empty()) map_.Clear();
  if (map_.heads_.empty()) map_.heads_.assign(map_.bucket_count_, kNone);
}

void CMapStringToString::Loader::Add(std::string_view key, std::string_view value) {
  CMapStringToString& m = map_;
  if (finished_) {
    m.Set(key, value);
    return;
  }
  if (m.count_ + added_ >= kNone - 1) throw std::bad_alloc();
  // The index is empty until Finish: growing it now moves nothing.
  m.ReserveIndexFor(m.count_ + added_ + 1);
  const KeyPlace place = m.PlaceOf(key);
  const uint32_t id = m.TakeEntry();
  Entry& e = m.At(id);
  try {
    e.key.Assign(key, m.arena_);
    e.value.Assign(value, m.arena_);
  } catch (...) {
    m.ReturnEntry(id);
    throw;
  }
  e.bucket = place.bucket;
  e.prev = place.index_hash;  // until Finish links the chain
  e.stamp = m.next_stamp_++;
  if (m.next_stamp_ == 0) {
    m.next_stamp_ = 1;
    m.stamps_in_order_ = false;
  }
  ++added_;
}

void CMapStringToString::Loader::Finish() noexcept {
  CMapStringToString& m = map_;
  const uint32_t first = 0, end = added_;
  added_ = 0;
  if (finished_) return;
  finished_ = true;
  if (first == end) return;
  const size_t mask = m.index_size_ - 1;
  constexpr uint32_t kAhead = 16;
  for (uint32_t id = first; id < end; ++id) {
    if (id + kAhead < end) Prefetch(&m.index_[m.At(id + kAhead).prev & mask]);
    Entry& e = m.At(id);
    const uint32_t hash = e.prev;
    size_t i = hash & mask;
    uint32_t same = kNone;
    for (; m.index_[i].entry != kNone; i = (i + 1) & mask) {
      const Slot& s = m.index_[i];
      if (s.hash != hash) continue;
      const Entry& other = m.At(s.entry);
      if (other.bucket == e.bucket &&
          text::StringEqual(*m.rules_, other.key.view(), e.key.view())) {
        same = s.entry;
        break;
      }
    }
    if (same != kNone) {
      // A key read again keeps its first place and takes the new value.
      m.At(same).value.Swap(e.value);
      m.ReturnEntry(id);
      continue;
    }
    m.index_[i] = Slot{id, hash};
    e.prev = kNone;
    e.next = m.heads_[e.bucket];
    if (e.next != kNone) m.At(e.next).prev = id;
    m.heads_[e.bucket] = id;
    ++m.count_;
  }
}

bool CMapStringToString::Remove(std::string_view key) {
  if (count_ == 0) return false;
  const KeyPlace place = PlaceOf(key);
  const uint32_t id = Lookup(key, place);
  if (id == kNone) return false;
  Entry& e = At(id);
  if (e.prev != kNone) {
    At(e.prev).next = e.next;
  } else {
    heads_[e.bucket] = e.next;
  }
  if (e.next != kNone) At(e.next).prev = e.prev;
  IndexErase(id, place.index_hash);
  ReturnEntry(id);
  if (--count_ == 0) Clear();
  return true;
}

void CMapStringToString::Clear() {
  // Every string block belongs to the arena, so nothing is visited.
  std::vector<uint32_t>().swap(heads_);
  ReleaseStorage();
  ++epoch_;
  free_list_ = kNone;
  count_ = 0;
}

void CMapStringToString::ReleaseStorage() {
  // Entries hold nothing to destroy: their string bytes live in the arena.
  static_assert(std::is_trivially_destructible_v<Entry>);
  for (const auto& [region, bytes] : regions_) platform::FreeRegion(region, bytes);
  std::vector<std::pair<void*, size_t>>().swap(regions_);
  std::vector<Entry*>().swap(blocks_);
  slab_next_ = nullptr;
  slab_left_ = 0;
  platform::FreeRegion(index_, index_size_ * sizeof(Slot));
  index_ = nullptr;
  index_size_ = 0;
  arena_.Clear();
}

CMapStringToString::Position CMapStringToString::Start() const {
  return count_ != 0 ? Position::BeforeStart() : Position::End();
}

uint32_t CMapStringToString::FirstEntryFrom(uint32_t bucket) const {
  for (uint32_t b = bucket; b < heads_.size(); ++b) {
    if (heads_[b] != kNone) return heads_[b];
  }
  return kNone;
}

void CMapStringToString::ListInOrder(std::vector<uint32_t>* order) const {
  order->clear();
  if (count_ == 0) return;
  if (!stamps_in_order_) {
    order->reserve(count_);
    ListBuckets(0, SIZE_MAX, order);
    return;
  }
  // A chain holds its entries by descending stamp (a new key goes to the
  // head with the largest stamp yet; a replaced value keeps both). So the
  // order is found with sequential reads of the blocks instead of the
  // chains' dependent loads: a counting pass sizes each bucket, a second
  // places the entries by bucket in memory order, and each bucket is then
  // put in descending stamp order.
  const uint32_t buckets = static_cast<uint32_t>(heads_.size());
  std::vector<uint32_t> start(size_t{buckets} + 1, 0);
  for (const Entry* block : blocks_) {
    for (uint32_t i = 0; i < kBlockSize; ++i) {
      if (block[i].stamp != 0) ++start[block[i].bucket + 1];
    }
  }
  for (uint32_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
  order->resize(count_);
  uint32_t* const out = order->data();
  // Whether stamps rise with entry ids; they do unless removals freed
  // entries that later keys reused.
  bool ids_follow_stamps = true;
  uint32_t last_stamp = 0;
  {
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    uint32_t base = 0;
    for (const Entry* block : blocks_) {
      for (uint32_t i = 0; i < kBlockSize; ++i) {
        const Entry& e = block[i];
        if (e.stamp == 0) continue;
        ids_follow_stamps = ids_follow_stamps && e.stamp > last_stamp;
        last_stamp = e.stamp;
        out[next[e.bucket]++] = base + i;
      }
      base += kBlockSize;
    }
  }
  if (ids_follow_stamps) {
    for (uint32_t b = 0; b < buckets; ++b) std::reverse(out + start[b], out + start[b + 1]);
    return;
  }
  for (uint32_t b = 0; b < buckets; ++b) {
    std::sort(out + start[b], out + start[b + 1],
              [this](uint32_t x, uint32_t y) { return At(x).stamp > At(y).stamp; });
  }
}

uint32_t CMapStringToString::ListBuckets(uint32_t first_bucket, size_t at_least,
                                         std::vector<uint32_t>* out) const {
  // Each chain is a series of dependent loads; following kLanes chains in
  // turn keeps that many loads in flight.
  constexpr uint32_t kLanes = 16;
  std::vector<uint32_t> lanes[kLanes];
  const uint32_t buckets = static_cast<uint32_t>(heads_.size());
  const size_t start_size = out->size();
  uint32_t first = first_bucket;
  for (; first < buckets && out->size() - start_size < at_least; first += kLanes) {
    const uint32_t width = std::min(kLanes, buckets - first);
    uint32_t cursor[kLanes];
    for (uint32_t g = 0; g < width; ++g) {
      cursor[g] = heads_[first + g];
      lanes[g].clear();
    }
    for (bool more = true; more;) {
      more = false;
      for (uint32_t g = 0; g < width; ++g) {
        if (cursor[g] == kNone) continue;
        lanes[g].push_back(cursor[g]);
        cursor[g] = At(cursor[g]).next;
        more = true;
      }
    }
    for (uint32_t g = 0; g < width; ++g) {
      out->insert(out->end(), lanes[g].begin(), lanes[g].end());
    }
  }
  return std::min(first, buckets);
}

void CMapStringToString::ReadAhead::Reset() {
  map_id_ = 0;
  ids_.clear();
  cursor_ = 0;
  calls_ = 0;
  rebuilds_ = 0;
}

void CMapStringToString::ReadAhead::After(const CMapStringToString& map,
                                          const Position& pos) noexcept {
  try {
    Advance(map, pos);
  } catch (const std::bad_alloc&) {
    // Without memory for its list it simply requests nothing.
    Reset();
  }
}

void CMapStringToString::ReadAhead::Advance(const CMapStringToString& map, const Position& pos) {
  if (pos.kind_ != Position::Kind::kEntry || pos.map_id_ != map.id_) return;
  const uint32_t at = pos.entry_;
  if (map_id_ != map.id_ || epoch_ != map.epoch_) {
    Reset();
    map_id_ = map.id_;
    epoch_ = map.epoch_;
  }
  ++calls_;
  if (cursor_ + 1 < ids_.size() && ids_[cursor_ + 1] == at) {
    ++cursor_;
  } else if (!(cursor_ < ids_.size() && ids_[cursor_] == at)) {
    // The list does not know this entry (the map changed, or the list is
    // new): list again from its bucket, unless that keeps happening.
    if (rebuilds_ > 4 + calls_ / 32) return;
    ++rebuilds_;
    ids_.clear();
    cursor_ = 0;
    next_bucket_ = map.ListBuckets(map.At(at).bucket, kSegment, &ids_);
    while (cursor_ < ids_.size() && ids_[cursor_] != at) ++cursor_;
    if (cursor_ == ids_.size()) return;
  }
  if (cursor_ + kEntriesAhead >= ids_.size() && next_bucket_ < map.heads_.size()) {
    if (cursor_ > kSegment) {
      ids_.erase(ids_.begin(), ids_.begin() + static_cast<ptrdiff_t>(cursor_));
      cursor_ = 0;
    }
    next_bucket_ = map.ListBuckets(next_bucket_, kSegment, &ids_);
  }
  // Entries far ahead are requested now; entries nearer, requested earlier,
  // now give the addresses of their strings.
  if (cursor_ + kEntriesAhead < ids_.size()) Prefetch(&map.At(ids_[cursor_ + kEntriesAhead]));
  if (cursor_ + kStringsAhead < ids_.size()) {
    const Entry& e = map.At(ids_[cursor_ + kStringsAhead]);
    Prefetch(e.key.data());
    Prefetch(e.value.data());
  }
}

bool CMapStringToString::Next(Position& pos, std::string_view* key, std::string_view* value) const {
  uint32_t current = kNone;
  if (pos.kind_ == Position::Kind::kBeforeStart) {
    current = count_ == 0 ? kNone : FirstEntryFrom(0);
  } else if (pos.kind_ == Position::Kind::kEntry && pos.map_id_ == id_ &&
             pos.entry_ / kBlockSize < blocks_.size() && At(pos.entry_).stamp == pos.stamp_) {
    current = pos.entry_;
  }
  if (current == kNone) {
    pos = Position::End();
    return false;
  }
  const Entry& e = At(current);
  uint32_t next = e.next != kNone ? e.next : FirstEntryFrom(e.bucket + 1);
  if (next == kNone) {
    pos = Position::End();
  } else {
    const Entry& n = At(next);
    pos.kind_ = Position::Kind::kEntry;
    pos.entry_ = next;
    pos.stamp_ = n.stamp;
    pos.map_id_ = id_;
    // The next call copies these bytes; start loading them now.
    Prefetch(n.key.data());
    Prefetch(n.value.data());
  }
  *key = e.key.view();
  *value = e.value.view();
  return true;
}

}  // namespace dzv::dict
