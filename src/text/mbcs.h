// Character rules of the process's ANSI code page. Most of the library works
// on bytes; key equality, the substring searches, the character-set search
// and the open-file dialog work on characters, where a lead byte and the
// byte after it form one double-byte character. In a code page without lead
// bytes every operation here is the plain byte operation.
//
// A text is divided into characters from its first byte: a lead byte and
// the next byte form one character unless the next byte is the terminating
// zero; every other nonzero byte is one character. A lead byte directly
// before the end is no character: it is never counted or examined.
//
// Thread-safety: every operation only reads the table it is given.
#ifndef DZV_TEXT_MBCS_H_
#define DZV_TEXT_MBCS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/code_page.h"

namespace dzv::text {

// The table lives with the code page service. The process's own table is
// resolved by the export layer and handed to the operations below.
using platform::LeadByteTable;

// In all operations below, `text` is a byte range that holds no zero byte;
// its end plays the part of the terminating zero.

// Number of characters of the text.
size_t CharCount(const LeadByteTable& t, std::string_view text);

// The length of the text without a lone lead byte at its end.
size_t CharLength(const LeadByteTable& t, std::string_view text);

// Offset `k` characters after `pos`, stopping at the end of the text (at a
// lone lead byte that ends it). `pos` must be the start of a character; only
// the characters passed over are read.
size_t StepForward(const LeadByteTable& t, std::string_view text, size_t pos, size_t k);

// Offset of the start of the character that precedes `pos`; 0 when `pos` is
// 0. Gives the same character starts as the left-to-right division.
size_t StepBack(const LeadByteTable& t, std::string_view text, size_t pos);

// Character value at `pos`: the byte, or lead * 256 + second byte. `pos`
// must be the start of a character.
uint32_t CharValueAt(const LeadByteTable& t, std::string_view text, size_t pos);

// True when the two texts hold the same characters; a lone lead byte at the
// end of either counts as its end.
bool StringEqual(const LeadByteTable& t, std::string_view a, std::string_view b);

// First character start of `text`, stepping one character at a time from
// its first byte, at which the bytes of `pattern` follow; npos when none.
// The pattern must not be empty.
size_t FindSubstring(const LeadByteTable& t, std::string_view text, std::string_view pattern);

// First / last single-byte character of the text equal to `byte`; npos when
// none. The second byte of a double-byte character is never found.
size_t FindChar(const LeadByteTable& t, std::string_view text, char byte);
size_t FindLastChar(const LeadByteTable& t, std::string_view text, char byte);

}  // namespace dzv::text

#endif  // DZV_TEXT_MBCS_H_
