#include "archive_probe.h"

#include <fstream>

#include "file_checks.h"

namespace dzv::cli {
namespace {

// Reads little-endian fields from the file and skips string bytes, keeping
// the offset; every call fails once the file cannot supply what it asks.
class FieldReader {
 public:
  FieldReader(std::ifstream& file, uint64_t size) : file_(file), size_(size) {}

  uint64_t offset() const { return offset_; }

  bool Read(int bytes, uint64_t* value) {
    if (size_ - offset_ < static_cast<uint64_t>(bytes)) return false;
    unsigned char buffer[4];
    if (!file_.read(reinterpret_cast<char*>(buffer), bytes)) return false;
    *value = 0;
    for (int i = bytes - 1; i >= 0; --i) *value = *value << 8 | buffer[i];
    offset_ += bytes;
    return true;
  }

  bool Skip(uint64_t bytes) {
    if (size_ - offset_ < bytes) return false;
    offset_ += bytes;
    // Short strings are passed over inside the stream's buffer; a seek
    // would drop the buffer and cost two system calls per string.
    if (bytes < kSeekFrom) {
      file_.ignore(static_cast<std::streamsize>(bytes));
    } else {
      file_.seekg(static_cast<std::streamoff>(offset_));
    }
    return static_cast<bool>(file_);
  }

 private:
  static constexpr uint64_t kSeekFrom = 64 * 1024;

  std::ifstream& file_;
  uint64_t size_;
  uint64_t offset_ = 0;
};

enum class Length { kBytes, kWideMarker, kMissing };

Length ReadLength(FieldReader& reader, uint64_t* length) {
  uint64_t value;
  if (!reader.Read(1, &value)) return Length::kMissing;
  if (value < 0xFF) {
    *length = value;
    return Length::kBytes;
  }
  if (!reader.Read(2, &value)) return Length::kMissing;
  if (value == 0xFFFE) return Length::kWideMarker;
  if (value == 0xFFFF && !reader.Read(4, &value)) return Length::kMissing;
  *length = value;
  return Length::kBytes;
}

// Skips one length-prefixed string; on failure says why in *damage.
bool SkipString(FieldReader& reader, const std::string& what, std::string* damage) {
  const uint64_t start = reader.offset();
  uint64_t length = 0;
  uint64_t unit = 1;
  Length kind = ReadLength(reader, &length);
  if (kind == Length::kWideMarker) {
    unit = 2;
    kind = ReadLength(reader, &length);
    if (kind == Length::kWideMarker) {
      *damage = "the " + what + " at offset " + std::to_string(start) +
                " has a second wide-string marker where its length should be";
      return false;
    }
  }
  if (kind == Length::kMissing) {
    *damage =
        "the file ends inside the length of the " + what + " at offset " + std::to_string(start);
    return false;
  }
  const uint64_t bytes = length * unit;
  if (!reader.Skip(bytes)) {
    *damage = "the " + what + " at offset " + std::to_string(start) + " claims " +
              std::to_string(bytes) + " bytes, more than the file holds after it";
    return false;
  }
  return true;
}

}  // namespace

ArchiveShape ProbeArchive(const std::string& path) {
  ArchiveShape shape;
  if (!IsRegularFile(path)) return shape;  // opening a FIFO would wait for a writer
  std::ifstream file(path, std::ios::binary);
  if (!file) return shape;
  shape.opened = true;
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < 0) {
    shape.opened = false;
    return shape;
  }
  shape.size = static_cast<uint64_t>(size);
  file.seekg(0);
  FieldReader reader(file, shape.size);
  uint64_t count;
  if (!reader.Read(2, &count) || (count == 0xFFFF && !reader.Read(4, &count))) {
    shape.damage = "the file is too short for the item count that begins an archive";
    return shape;
  }
  shape.announced = count;
  shape.end = reader.offset();
  for (uint64_t item = 1; item <= count; ++item) {
    const std::string number = std::to_string(item);
    if (!SkipString(reader, "key of item " + number, &shape.damage) ||
        !SkipString(reader, "value of item " + number, &shape.damage)) {
      return shape;
    }
    shape.complete = item;
    shape.end = reader.offset();
  }
  return shape;
}

}  // namespace dzv::cli
