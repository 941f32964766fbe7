// String primitives over zero-terminated byte strings: a length, a
// positional hash and a line reader with a cursor that the caller keeps.
// Bytes are taken one by one, without regard to multibyte characters.
//
// Lines. A line ends at a "\n" byte, and the one byte just before the "\n"
// (the "\r" of a "\r\n" end) belongs to the line end and is never returned;
// a line ended by a bare "\n" therefore loses its last byte. The last line
// of a text may end at the text's end instead, and then nothing is dropped.
//
// Thread-safety: no shared state.
#ifndef DZV_TEXT_STRING_PRIMITIVES_H_
#define DZV_TEXT_STRING_PRIMITIVES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace dzv::text {

// The number of bytes before the terminating zero; 0 for null. A text
// longer than INT32_MAX bytes counts as INT32_MAX.
int32_t StrLength(const char* text);

// The sum over the text's bytes of each byte, as a signed 8-bit value, times
// its position counted from 1, in wrapping 32-bit arithmetic. 0 for null.
int32_t StrHash(const char* text);

// Reads the line that starts at byte offset `*cursor` of `text` into
// `buffer` (capacity `size` bytes with the terminating zero), cut to
// size - 1 bytes, and advances `*cursor` past the whole line and its end;
// the cut-off rest of a long line is skipped. Returns 1 when a line was
// read; 0 when the cursor stands on the terminating zero, and then the
// buffer holds the empty string and the cursor is unchanged.
// Writes nothing and returns 0 when an argument is null, `size` is below 1
// or `*cursor` is negative. REQUIRES: `*cursor` lies within the text.
int32_t StrLineGet(const char* text, int32_t* cursor, char* buffer, int32_t size);

// Where the line at the start of `text` ends: `length` is the number of
// bytes of the line without its end; `advance` is the offset of the next
// line (the size of `text` when the line is the last one).
struct LineSpan {
  size_t length;
  size_t advance;
};
inline LineSpan SplitLine(std::string_view text) {
  const void* nl = text.empty() ? nullptr : std::memchr(text.data(), '\n', text.size());
  if (nl == nullptr) return {text.size(), text.size()};
  const size_t k = static_cast<size_t>(static_cast<const char*>(nl) - text.data());
  return {k == 0 ? 0 : k - 1, k + 1};
}

}  // namespace dzv::text

#endif  // DZV_TEXT_STRING_PRIMITIVES_H_
