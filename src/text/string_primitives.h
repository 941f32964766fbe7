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

#if defined(_WIN32) && defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dzv::text {

// The first byte `c` of the n bytes at p, or null; and the length of a
// zero-terminated text. These are the C runtime's memchr and strlen, except
// in the Windows DLL: it imports its C runtime from msvcrt.dll, whose
// functions Wine (and older Windows) run a byte at a time, so the DLL scans
// 16 bytes a step itself (SSE2, which every x86-64 processor has; 8 at a
// time elsewhere).
inline const char* FindByte(const char* p, size_t n, char c) {
#if defined(_WIN32)
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i needle = _mm_set1_epi8(c);
  for (; i + 16 <= n; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, needle)));
    if (mask != 0) return p + i + __builtin_ctz(mask);
  }
#else
  const uint64_t ones = 0x0101010101010101ull * static_cast<unsigned char>(c);
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    const uint64_t x = word ^ ones;
    if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0) break;
  }
#endif
  for (; i < n; ++i) {
    if (p[i] == c) return p + i;
  }
  return nullptr;
#else
  return static_cast<const char*>(std::memchr(p, c, n));
#endif
}

inline size_t TextLength(const char* text) {
#if defined(_WIN32) && defined(__SSE2__)
  // Aligned 16-byte loads never cross into a page the text does not reach.
  const char* p = text;
  for (; (reinterpret_cast<uintptr_t>(p) & 15) != 0; ++p) {
    if (*p == '\0') return static_cast<size_t>(p - text);
  }
  const __m128i zero = _mm_setzero_si128();
  for (;; p += 16) {
    const __m128i block = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)));
    if (mask != 0) return static_cast<size_t>(p - text) + __builtin_ctz(mask);
  }
#else
  return std::strlen(text);
#endif
}

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
  const char* nl = text.empty() ? nullptr : FindByte(text.data(), text.size(), '\n');
  if (nl == nullptr) return {text.size(), text.size()};
  const size_t k = static_cast<size_t>(nl - text.data());
  return {k == 0 ? 0 : k - 1, k + 1};
}

}  // namespace dzv::text

#endif  // DZV_TEXT_STRING_PRIMITIVES_H_
