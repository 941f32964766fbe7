#include "dictionary/archive.h"

#include <algorithm>
#include <cstring>

#include "platform/code_page.h"
#include "text/mbcs.h"

namespace dzv::dict {

using platform::File;
using platform::FileStatus;

namespace {

constexpr uint32_t kCountEscape = 0xFFFF;  // the 16-bit count that means "32 bits follow"
constexpr unsigned char kLengthEscape = 0xFF;
constexpr uint16_t kWideMarker = 0xFFFE;
constexpr uint16_t kLongLength = 0xFFFF;

uint16_t Load16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Load32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void Store16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void Store32(unsigned char* p, uint32_t v) {
  Store16(p, v);
  Store16(p + 2, v >> 16);
}

void WriteString(std::string_view s, BufferedFileWriter& out) {
  unsigned char prefix[7];
  size_t n;
  if (s.size() < 255) {
    prefix[0] = static_cast<unsigned char>(s.size());
    n = 1;
  } else if (s.size() < 0xFFFE) {
    prefix[0] = kLengthEscape;
    Store16(prefix + 1, static_cast<uint32_t>(s.size()));
    n = 3;
  } else if (s.size() <= UINT32_MAX) {
    prefix[0] = kLengthEscape;
    Store16(prefix + 1, kLongLength);
    Store32(prefix + 3, static_cast<uint32_t>(s.size()));
    n = 7;
  } else {
    out.Fail();
    return;
  }
  out.Append(prefix, n);
  out.Append(s);
}

// A string enters the dictionary as its zero-terminated form. Stored
// strings are short and rarely hold a zero byte, so they are tested eight
// bytes at a time (the last word overlapping the one before) and searched
// byte by byte only when a word holds a zero.
std::string_view CutAtZero(std::string_view s) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHighs = 0x8080808080808080ULL;
  auto has_zero = [&](size_t at) {
    uint64_t w;
    std::memcpy(&w, s.data() + at, 8);
    return ((w - kOnes) & ~w & kHighs) != 0;
  };
  if (s.size() >= 8) {
    bool zero = has_zero(s.size() - 8);
    for (size_t i = 0; !zero && i + 8 < s.size(); i += 8) zero = has_zero(i);
    if (!zero) return s;
  }
  const void* z = s.empty() ? nullptr : std::memchr(s.data(), '\0', s.size());
  return z == nullptr ? s
                      : s.substr(0, static_cast<size_t>(static_cast<const char*>(z) - s.data()));
}

}  // namespace

void WriteArchive(const CMapStringToString& map, BufferedFileWriter& out) {
  unsigned char count[6];
  if (map.size() < kCountEscape) {
    Store16(count, static_cast<uint32_t>(map.size()));
    out.Append(count, 2);
  } else if (map.size() <= UINT32_MAX) {
    Store16(count, kCountEscape);
    Store32(count + 2, static_cast<uint32_t>(map.size()));
    out.Append(count, 6);
  } else {
    out.Fail();
    return;
  }
  map.ForEachReadAhead([&](std::string_view key, std::string_view value) {
    // A short pair (the usual) is formatted whole and handed over at once.
    constexpr size_t kShort = 254;
    if (key.size() <= kShort && value.size() <= kShort) {
      unsigned char pair[2 + 2 * kShort];
      unsigned char* p = pair;
      *p++ = static_cast<unsigned char>(key.size());
      if (!key.empty()) std::memcpy(p, key.data(), key.size());
      p += key.size();
      *p++ = static_cast<unsigned char>(value.size());
      if (!value.empty()) std::memcpy(p, value.data(), value.size());
      p += value.size();
      out.Append(pair, static_cast<size_t>(p - pair));
      return;
    }
    WriteString(key, out);
    WriteString(value, out);
  });
}

ArchiveReader::ArchiveReader(File& file, platform::CodePage& code_page, uint32_t ansi_code_page,
                             size_t capacity)
    : file_(file),
      code_page_(code_page),
      ansi_code_page_(ansi_code_page),
      capacity_(std::max<size_t>(capacity, 16)) {
  known_size_ = file_.Size(&file_size_) == FileStatus::kOk;
  if (known_size_ && file_size_ < capacity_) {
    capacity_ = std::max<size_t>(static_cast<size_t>(file_size_) + 1, 16);
  }
  buffer_.reset(new unsigned char[capacity_]);
}

uint64_t ArchiveReader::Unread() const { return file_size_ - file_read_ + (end_ - pos_); }

bool ArchiveReader::Ensure(size_t n) {
  if (end_ - pos_ >= n) return true;
  if (pos_ != 0) {
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  while (end_ < n) {
    size_t got = 0;
    if (file_.Read(buffer_.get() + end_, capacity_ - end_, &got) != FileStatus::kOk) return false;
    if (got == 0) return false;
    end_ += got;
    file_read_ += got;
    // A file that grows while it is read has no size to go by.
    if (known_size_ && file_read_ > file_size_) known_size_ = false;
  }
  return true;
}

bool ArchiveReader::ReadCount(uint32_t* count) {
  if (!Ensure(2)) return false;
  *count = Load16(buffer_.get() + pos_);
  pos_ += 2;
  if (*count != kCountEscape) return true;
  if (!Ensure(4)) return false;
  *count = Load32(buffer_.get() + pos_);
  pos_ += 4;
  return true;
}

bool ArchiveReader::ReadLength(uint32_t* length, bool* wide) {
  *wide = false;
  if (!Ensure(1)) return false;
  const unsigned char b = buffer_[pos_++];
  if (b != kLengthEscape) {
    *length = b;
    return true;
  }
  if (!Ensure(2)) return false;
  const uint16_t w = Load16(buffer_.get() + pos_);
  pos_ += 2;
  if (w == kWideMarker) {
    *wide = true;
    return true;
  }
  if (w != kLongLength) {
    *length = w;
    return true;
  }
  if (!Ensure(4)) return false;
  *length = Load32(buffer_.get() + pos_);
  pos_ += 4;
  return true;
}

bool ArchiveReader::ReadBytes(uint64_t n, std::string* out) {
  out->clear();
  if (known_size_) {
    // A length that the rest of the file cannot supply fails before
    // anything is allocated for it.
    if (n > Unread()) return false;
    out->reserve(static_cast<size_t>(n));
  }
  while (n > 0) {
    if (pos_ == end_ && !Ensure(1)) return false;
    const size_t take = static_cast<size_t>(std::min<uint64_t>(n, end_ - pos_));
    out->append(reinterpret_cast<const char*>(buffer_.get() + pos_), take);
    pos_ += take;
    n -= take;
  }
  return true;
}

bool ArchiveReader::ReadString(std::string* out) {
  uint32_t length;
  bool wide;
  if (!ReadLength(&length, &wide)) return false;
  if (!wide) return ReadBytes(length, out);
  uint32_t units;
  if (!ReadLength(&units, &wide) || wide) return false;
  if (!ReadBytes(uint64_t{units} * 2, &wide_scratch_)) return false;
  std::u16string text;
  text.reserve(units);
  for (size_t i = 0; i < units; ++i) {
    const char16_t unit = static_cast<char16_t>(
        Load16(reinterpret_cast<const unsigned char*>(wide_scratch_.data()) + 2 * i));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return code_page_.FromUtf16(text, ansi_code_page_, out);
}

// The common case: the whole pair lies in the buffer and holds no wide
// string. Consumes nothing when it returns false.
bool ArchiveReader::FastPair(std::string_view* key, std::string_view* value) {
  const unsigned char* p = buffer_.get() + pos_;
  const unsigned char* const end = buffer_.get() + end_;
  auto take = [&](std::string_view* s) {
    if (p == end) return false;
    size_t length = *p;
    size_t prefix = 1;
    if (length == kLengthEscape) {
      if (end - p < 3) return false;
      length = Load16(p + 1);
      prefix = 3;
      if (length == kWideMarker) return false;
      if (length == kLongLength) {
        if (end - p < 7) return false;
        length = Load32(p + 3);
        prefix = 7;
      }
    }
    if (static_cast<size_t>(end - p) - prefix < length) return false;
    *s = std::string_view(reinterpret_cast<const char*>(p + prefix), length);
    p += prefix + length;
    return true;
  };
  if (!take(key) || !take(value)) return false;
  pos_ = static_cast<size_t>(p - buffer_.get());
  return true;
}

bool ArchiveReader::ReadPair(std::string_view* key, std::string_view* value) {
  if (FastPair(key, value)) return true;
  if (!ReadString(&key_scratch_) || !ReadString(&value_scratch_)) return false;
  *key = key_scratch_;
  *value = value_scratch_;
  return true;
}

bool ReadArchive(ArchiveReader& in, CMapStringToString& map) {
  uint32_t count;
  if (!in.ReadCount(&count)) return false;
  // The index is sized once for the pairs the file can really hold, never
  // for what a count alone claims.
  const size_t expected = static_cast<size_t>(std::min<uint64_t>(count, in.MostPairsLeft()));
  std::string_view key, value;
  if (map.size() == 0) {
    // Into an empty map the pairs are loaded whole: stored in reading order
    // first, then indexed and linked (the loader's destructor sets the
    // pairs read when anything fails).
    CMapStringToString::Loader loader(map);
    map.Reserve(expected);
    for (uint32_t i = 0; i < count; ++i) {
      if (!in.ReadPair(&key, &value)) return false;
      loader.Add(CutAtZero(key), CutAtZero(value));
    }
    return true;
  }
  map.Reserve(expected);
  // Pairs that lie in the buffer are set in batches; a batch is set before
  // the buffer can be refilled, since its views point into it.
  CMapStringToString::BatchWriter batch(map);
  for (uint32_t i = 0; i < count; ++i) {
    if (in.ReadBufferedPair(&key, &value)) {
      batch.Add(CutAtZero(key), CutAtZero(value));
      continue;
    }
    batch.Flush();
    if (!in.ReadPair(&key, &value)) return false;
    map.Set(CutAtZero(key), CutAtZero(value));
  }
  batch.Flush();
  return true;
}

int32_t DictionarySave(platform::Files& files, DictionaryTable& table, int32_t handle,
                       const char* path) {
  const CMapStringToString* map = table.Get(handle);
  if (map == nullptr || path == nullptr) return 0;
  return ReplaceFileWith(files, path,
                         [&](File& file) {
                           BufferedFileWriter out(file);
                           WriteArchive(*map, out);
                           return out.Finish();
                         })
             ? 1
             : 0;
}

int32_t DictionaryOpen(platform::Files& files, platform::CodePage& code_page,
                       DictionaryTable& table, int32_t handle, const char* path) {
  CMapStringToString* map = table.Get(handle);
  if (map == nullptr) return 0;
  map->Clear();
  if (path == nullptr) return 0;
  std::unique_ptr<File> file;
  if (files.OpenForReading(path, &file) != FileStatus::kOk) return 0;
  ArchiveReader in(*file, code_page, table.rules().code_page());
  return ReadArchive(in, *map) ? 1 : 0;
}

}  // namespace dzv::dict
