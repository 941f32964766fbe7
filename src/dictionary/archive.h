// Dictionary archive files: the binary file in which a dictionary is kept
// between runs, and the exported DictionarySave and DictionaryOpen.
//
// Layout, little-endian, with no header and nothing after the last pair:
//   count prefix   n < 65535: n as 16 bits; else FF FF and n as 32 bits
//   n times:       key, then value, each as a length prefix and its bytes
//   length prefix  L < 255: one byte; 255 <= L < 65534: FF and L as 16 bits;
//                  else FF FF FF and L as 32 bits
// Pairs stand in the dictionary's enumeration order.
//
// Reading also accepts any 16-bit length (even one below 255), and the
// wide-string marker FF FE FF: a second length prefix then counts 16-bit
// code units of UTF-16LE text, which is cut at its first zero unit and
// converted to the process's code page. Every string read is cut at its
// first zero byte. Bytes after the n-th pair are ignored.
//
// A length or count that the rest of the file cannot supply ends the
// reading as a truncated file does, before anything is allocated for it.
#ifndef DZV_DICTIONARY_ARCHIVE_H_
#define DZV_DICTIONARY_ARCHIVE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dictionary/dictionary_table.h"
#include "dictionary/file_writer.h"
#include "platform/code_page.h"
#include "platform/files.h"

namespace dzv::dict {

// Writes the archive of `map` (its Transfer when storing). Marks `out`
// failed when a string is too long for the format.
void WriteArchive(const CMapStringToString& map, BufferedFileWriter& out);

// Reads an archive from an open file through a large buffer.
class ArchiveReader {
 public:
  static constexpr size_t kCapacity = size_t{1} << 20;

  // Reads through a buffer of `capacity` bytes (at least 16), smaller when
  // the file is; wide text is converted by `code_page` into the code page
  // `ansi_code_page` (the process's). Throws std::bad_alloc when the buffer
  // cannot be had.
  ArchiveReader(platform::File& file, platform::CodePage& code_page, uint32_t ansi_code_page,
                size_t capacity = kCapacity);
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Reads the count prefix. False at the end of the data or on a failed read.
  bool ReadCount(uint32_t* count);
  // Reads one key and its value. The views stay valid until the next call.
  // False at the end of the data, on a failed read, on a marker where a
  // length belongs, or when wide text cannot be converted. Throws
  // std::bad_alloc.
  bool ReadPair(std::string_view* key, std::string_view* value);
  // Reads one pair when it lies whole in the buffer and holds no wide text;
  // otherwise consumes nothing and returns false (ReadPair then reads it).
  // The views stay valid until the next ReadCount or ReadPair.
  bool ReadBufferedPair(std::string_view* key, std::string_view* value) {
    return FastPair(key, value);
  }
  // How many more pairs the rest of the file can hold at most (each takes at
  // least two bytes); 0 when the file's size is unknown.
  uint64_t MostPairsLeft() const { return known_size_ ? Unread() / 2 : 0; }

 private:
  bool FastPair(std::string_view* key, std::string_view* value);
  bool Ensure(size_t n);
  bool ReadLength(uint32_t* length, bool* wide);
  bool ReadBytes(uint64_t n, std::string* out);
  bool ReadString(std::string* out);
  uint64_t Unread() const;

  platform::File& file_;
  platform::CodePage& code_page_;
  const uint32_t ansi_code_page_;
  size_t capacity_;
  std::unique_ptr<unsigned char[]> buffer_;
  size_t pos_ = 0;           // next byte to parse
  size_t end_ = 0;           // end of the bytes read into the buffer
  bool known_size_ = false;  // whether `file_size_` holds
  uint64_t file_size_ = 0;
  uint64_t file_read_ = 0;  // bytes read from the file so far
  std::string key_scratch_;
  std::string value_scratch_;
  std::string wide_scratch_;
};

// Reads pairs into `map` (its Transfer when loading) without clearing it,
// with the outcome of setting each pair in reading order. False when the data ends
// or a read fails before the counted pairs are in; the pairs read so far
// stay. Throws std::bad_alloc.
bool ReadArchive(ArchiveReader& in, CMapStringToString& map);

// The exported functions, reaching files through `files` and converting
// wide text by `code_page`. An invalid handle or a null path gives 0.
//
// DictionarySave writes the dictionary's archive to `path`, replacing the
// file safely (dictionary/file_writer.h). 1 on success; 0 with the old file
// intact otherwise. The dictionary is never changed.
int32_t DictionarySave(platform::Files& files, DictionaryTable& table, int32_t handle,
                       const char* path);
// DictionaryOpen clears the dictionary, then reads the archive at `path`
// into it. 1 when all counted pairs were read; 0 when the file cannot be
// opened (the dictionary stays empty) or the data ends early (the pairs read
// completely stay).
int32_t DictionaryOpen(platform::Files& files, platform::CodePage& code_page,
                       DictionaryTable& table, int32_t handle, const char* path);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_ARCHIVE_H_
