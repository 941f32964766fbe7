#include "dictionary/text_form.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "dictionary/whole_file.h"
#include "text/string_primitives.h"

namespace dzv::dict {

// The lines are sorted, so the walks here need not follow the map's order.
size_t PackedSize(const CMapStringToString& map) {
  size_t size = 1;
  map.ForEachUnordered(
      [&](std::string_view key, std::string_view value) { size += key.size() + value.size() + 3; });
  return size;
}

namespace {

using Line = SortedLines::Line;

inline void Prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

size_t LineSize(const Line& line) { return size_t{line.key_size} + 1 + line.value_size; }

// Where the line's bytes from `pos` on lie: the rest of the key, the "=",
// and the value (the first two empty when `pos` lies past the "=").
struct Tail {
  std::string_view parts[3];
};
Tail TailAt(const Line& line, size_t pos) {
  if (pos <= line.key_size) {
    return {{std::string_view(line.key + pos, line.key_size - pos), "=",
             std::string_view(line.value, line.value_size)}};
  }
  const size_t skip = pos - line.key_size - 1;
  return {{{}, {}, std::string_view(line.value + skip, line.value_size - skip)}};
}

uint64_t BigEndian(const unsigned char* bytes) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | bytes[i];
  return v;
}

// The 8 bytes of the line from `pos` on, zero-padded past its end, as a
// big-endian number: numbers compare as the bytes do.
uint64_t ChunkAt(const Line& line, size_t pos) {
  unsigned char bytes[8] = {};
  if (pos + 8 <= line.key_size) {
    std::memcpy(bytes, line.key + pos, 8);
  } else if (pos > line.key_size && pos - line.key_size - 1 + 8 <= line.value_size) {
    std::memcpy(bytes, line.value + (pos - line.key_size - 1), 8);
  } else if (pos < LineSize(line)) {
    size_t n = 0;
    for (std::string_view part : TailAt(line, pos).parts) {
      const size_t take = std::min(part.size(), 8 - n);
      if (take != 0) std::memcpy(bytes + n, part.data(), take);
      n += take;
    }
  }
  return BigEndian(bytes);
}

// Unsigned byte comparison of two lines' bytes from `pos` on, a line that
// ends first coming first.
bool LessFrom(const Line& a, const Line& b, size_t pos) {
  const Tail ta = TailAt(a, pos), tb = TailAt(b, pos);
  int ia = 0, ib = 0;
  std::string_view ra = ta.parts[0], rb = tb.parts[0];
  for (;;) {
    while (ra.empty() && ia < 2) ra = ta.parts[++ia];
    while (rb.empty() && ib < 2) rb = tb.parts[++ib];
    if (ra.empty() || rb.empty()) return ra.empty() && !rb.empty();
    const size_t n = std::min(ra.size(), rb.size());
    const int c = std::memcmp(ra.data(), rb.data(), n);
    if (c != 0) return c < 0;
    ra.remove_prefix(n);
    rb.remove_prefix(n);
  }
}

// Sorts lines with comparisons. The lines agree on their bytes before
// `chunk_pos`, and each line's chunk holds its bytes from there on.
void CompareSort(Line* first, Line* last, size_t chunk_pos) {
  std::sort(first, last, [chunk_pos](const Line& a, const Line& b) {
    if (a.chunk != b.chunk) return a.chunk < b.chunk;
    // A chunk ending in zero belongs to a line that ends inside it: then
    // both lines are equal.
    if ((a.chunk & 0xFF) == 0) return false;
    return LessFrom(a, b, chunk_pos + 8);
  });
}

// Sorts the n lines at `first`, which agree on their first `pos` bytes, by
// their remaining bytes: an in-place radix sort, most significant byte
// first, one byte a level. Each line's chunk holds its bytes from
// `chunk_pos` on, and pos lies within [chunk_pos, chunk_pos + 8].
// Lines hold no zero byte, so the byte 0 means that a line has ended: it
// sorts first, and the lines that end at the same place are equal.
void RadixSort(Line* first, size_t n, size_t pos, size_t chunk_pos, int level) {
  constexpr size_t kSmall = 32;   // fewer lines: comparisons are faster
  constexpr int kMaxLevels = 24;  // bounds the recursion (about 2 KiB a level)
  for (;;) {
    if (n < 2) return;
    if (n <= kSmall || level >= kMaxLevels) {
      CompareSort(first, first + n, chunk_pos);
      return;
    }
    if (pos == chunk_pos + 8) {
      constexpr size_t kAhead = 16;
      for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n) {
          const Line& later = first[i + kAhead];
          Prefetch(pos < later.key_size ? later.key + pos : later.value);
        }
        first[i].chunk = ChunkAt(first[i], pos);
      }
      chunk_pos = pos;
    }
    const int shift = 56 - 8 * static_cast<int>(pos - chunk_pos);
    auto digit = [shift](const Line& line) {
      return static_cast<unsigned>(line.chunk >> shift) & 0xFF;
    };
    size_t count[256] = {};
    for (size_t i = 0; i < n; ++i) ++count[digit(first[i])];
    const unsigned lead = digit(first[0]);
    if (count[lead] == n) {
      // One byte value for all: nothing to move.
      if (lead == 0) return;
      ++pos;
      continue;
    }
    size_t start[257];
    start[0] = 0;
    for (int b = 0; b < 256; ++b) start[b + 1] = start[b] + count[b];
    size_t next[256];
    std::memcpy(next, start, sizeof next);
    for (unsigned b = 0; b < 256; ++b) {
      while (next[b] < start[b + 1]) {
        Line moving = first[next[b]];
        unsigned d = digit(moving);
        if (d == b) {
          ++next[b];
          continue;
        }
        do {
          std::swap(moving, first[next[d]++]);
          d = digit(moving);
        } while (d != b);
        first[next[b]++] = moving;
      }
    }
    for (int b = 1; b < 256; ++b) {
      if (count[b] > 1) RadixSort(first + start[b], count[b], pos + 1, chunk_pos, level + 1);
    }
    return;
  }
}

}  // namespace

SortedLines::SortedLines(const CMapStringToString& map) {
  lines_.reserve(map.size());
  map.ForEachUnordered([&](std::string_view key, std::string_view value) {
    if (key.size() > UINT32_MAX || value.size() > UINT32_MAX) {
      throw std::length_error("a string too long for the text form");
    }
    Line line{0, key.data(), value.data(), static_cast<uint32_t>(key.size()),
              static_cast<uint32_t>(value.size())};
    line.chunk = ChunkAt(line, 0);
    lines_.push_back(line);
    size_ += LineSize(line) + 2;
  });
  RadixSort(lines_.data(), lines_.size(), 0, 0, 0);
}

// Calls fn(line) in line order, reading the lines' bytes ahead.
template <class Fn>
void SortedLines::InOrder(Fn&& fn) const {
  constexpr size_t kAhead = 16;
  const size_t n = lines_.size();
  for (size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) {
      Prefetch(lines_[i + kAhead].key);
      Prefetch(lines_[i + kAhead].value);
    }
    fn(lines_[i]);
  }
}

void SortedLines::CopyTo(char* out) const {
  InOrder([&](const Line& line) {
    if (line.key_size != 0) std::memcpy(out, line.key, line.key_size);
    out += line.key_size;
    *out++ = '=';
    if (line.value_size != 0) std::memcpy(out, line.value, line.value_size);
    out += line.value_size;
    *out++ = '\r';
    *out++ = '\n';
  });
  *out = '\0';
}

void SortedLines::WriteTo(BufferedFileWriter& out) const {
  InOrder([&](const Line& line) {
    out.Append(line.key, line.key_size);
    out.Append("=", 1);
    out.Append(line.value, line.value_size);
    out.Append("\r\n", 2);
  });
}

namespace {

// Calls sink.Add(key, value) for every item of `text`, in line order.
template <class Sink>
void ForEachTextItem(std::string_view text, Sink& sink) {
  while (!text.empty()) {
    const text::LineSpan span = text::SplitLine(text);
    const std::string_view line = text.substr(0, std::min(span.length, kLineLimit));
    text.remove_prefix(span.advance);
    const char* eq = line.empty() ? nullptr : text::FindByte(line.data(), line.size(), '=');
    if (eq == nullptr) continue;
    const size_t at = static_cast<size_t>(eq - line.data());
    sink.Add(line.substr(0, at), line.substr(at + 1));
  }
}

}  // namespace

void UnpackText(std::string_view text, CMapStringToString& map) {
  if (map.size() == 0) {
    // Into an empty map the items are loaded whole (the loader's destructor
    // sets the items read when anything fails).
    CMapStringToString::Loader loader(map);
    ForEachTextItem(text, loader);
    return;
  }
  CMapStringToString::BatchWriter batch(map);
  ForEachTextItem(text, batch);
  batch.Flush();
}

int32_t DictionaryPackSize(DictionaryTable& table, int32_t handle) {
  const CMapStringToString* map = table.Get(handle);
  if (map == nullptr) return 0;
  const size_t size = PackedSize(*map);
  return size > INT32_MAX ? 0 : static_cast<int32_t>(size);
}

int32_t DictionaryPack(DictionaryTable& table, int32_t handle, char* buffer) {
  const CMapStringToString* map = table.Get(handle);
  if (map == nullptr || buffer == nullptr) return 0;
  const SortedLines lines(*map);
  if (lines.size() >= INT32_MAX) return 0;
  lines.CopyTo(buffer);
  return 1;
}

int32_t DictionaryUnpack(DictionaryTable& table, int32_t handle, const char* text) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr || text == nullptr) return 0;
  UnpackText(std::string_view(text, text::TextLength(text)), *map);
  return 1;
}

int32_t DictionaryImport(platform::Files& files, DictionaryTable& table, int32_t handle,
                         const char* path) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr || path == nullptr) return 0;
  std::unique_ptr<char[]> data;
  size_t size = 0;
  if (!ReadWholeFile(files, path, &data, &size)) return 0;
  // A zero byte in the file ends the text.
  const char* zero = text::FindByte(data.get(), size, '\0');
  const size_t length = zero == nullptr ? size : static_cast<size_t>(zero - data.get());
  UnpackText(std::string_view(data.get(), length), *map);
  return 1;
}

int32_t DictionaryExport(platform::Files& files, DictionaryTable& table, int32_t handle,
                         const char* path) {
  const CMapStringToString* map = table.Get(handle);
  if (map == nullptr || path == nullptr) return 0;
  const SortedLines lines(*map);
  return ReplaceFileWith(files, path,
                         [&](platform::File& file) {
                           BufferedFileWriter out(file);
                           lines.WriteTo(out);
                           return out.Finish();
                         })
             ? 1
             : 0;
}

}  // namespace dzv::dict
