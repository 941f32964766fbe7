// The dictionary text form: one line per item, the key, "=", the value and
// "\r\n", the lines sorted by unsigned byte comparison of "key=value" (the
// "=" takes part, so 'a.b' sorts before 'a' and 'aZ' after it). In memory
// the text is followed by one zero byte; in a file by nothing.
//
// Reading any text: lines as text::SplitLine divides them (a bare "\n"
// costs the line its last byte), each cut to kLineLimit bytes with the rest
// of a longer line skipped, each split at its first "=" into key and value;
// a line without "=" inside its first kLineLimit bytes is skipped. Items are
// set in the order of the lines, so a later line wins.
//
// Writing: every line is written whole, however long; a line longer than
// kLineLimit comes back cut when it is read.
#ifndef DZV_DICTIONARY_TEXT_FORM_H_
#define DZV_DICTIONARY_TEXT_FORM_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "dictionary/dictionary_table.h"
#include "dictionary/file_writer.h"

namespace dzv::dict {

// The longest line that is read, its line end not counted.
constexpr size_t kLineLimit = 32257;

// The size of the text form in memory, its final zero byte included.
size_t PackedSize(const CMapStringToString& map);

// The lines of a dictionary's text form in line order. Holds views of the
// map's keys and values: the map must not change while this lives.
class SortedLines {
 public:
  // Throws std::bad_alloc, or std::length_error for a key or value of
  // 4 GiB or more.
  explicit SortedLines(const CMapStringToString& map);

  // The text's size without a final zero byte.
  size_t size() const { return size_; }
  // Copies the text and a zero byte to `out` (size() + 1 bytes).
  void CopyTo(char* out) const;
  void WriteTo(BufferedFileWriter& out) const;

  // One line, "key=value", while it is sorted.
  struct Line {
    uint64_t chunk;  // 8 bytes of the line from the sort's place, big-endian
    const char* key;
    const char* value;
    uint32_t key_size;
    uint32_t value_size;
  };

 private:
  template <class Fn>
  void InOrder(Fn&& fn) const;

  std::vector<Line> lines_;
  size_t size_ = 0;
};

// Sets every item of `text` (a text form, or any text) in `map`. Throws
// std::bad_alloc; the items set before stay.
void UnpackText(std::string_view text, CMapStringToString& map);

// The exported functions. An invalid handle, or a null text, buffer or path,
// gives 0 and changes nothing. Files are reached through `files`.
//
// The size of the text form with its zero byte; 0 when it would not fit in
// a 32-bit result.
int32_t DictionaryPackSize(DictionaryTable& table, int32_t handle);
// Writes the text form and a zero byte to `buffer`, which holds at least
// DictionaryPackSize bytes. 1, or 0 with the buffer untouched (out of
// memory, or a text too large for DictionaryPackSize).
int32_t DictionaryPack(DictionaryTable& table, int32_t handle, char* buffer);
// Adds the items of `text` (cut at its zero byte). 1 when the whole text was
// read. Out of memory is thrown; the items added before stay.
int32_t DictionaryUnpack(DictionaryTable& table, int32_t handle, const char* text);
// Reads the file at `path` whole and unpacks it; a zero byte in the file
// ends the text. 0 when the file cannot be opened or read completely.
int32_t DictionaryImport(platform::Files& files, DictionaryTable& table, int32_t handle,
                         const char* path);
// Writes the text form without its zero byte to `path`, replacing the file
// safely (dictionary/file_writer.h). 1, or 0 with the old file intact.
int32_t DictionaryExport(platform::Files& files, DictionaryTable& table, int32_t handle,
                         const char* path);

}  // namespace dzv::dict

#endif  // DZV_DICTIONARY_TEXT_FORM_H_
