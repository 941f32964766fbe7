// Search of a text for the first character, from a character index and
// moving a fixed number of characters at a time, that is (or is not) one of
// a set of characters. Indexes count characters of the code page, not bytes:
// a double-byte character is one character and matches only as a whole.
//
// Nothing is allocated and nothing is copied. A search reads the text once
// to count its characters and then walks the set once per character that it
// examines. Thread-safety: no state; safe from several threads at once.
#ifndef DZV_TEXT_CHARSET_SEARCH_H_
#define DZV_TEXT_CHARSET_SEARCH_H_

#include <cstdint>
#include <string_view>

#include "text/mbcs.h"

namespace dzv::text {

// Examines the characters of `text` at the indexes start, start + step,
// start + 2 * step, ... while the index lies in 0 to n - 1 (n the number of
// characters of the text) and returns the first index whose character is a
// member of `set`; -1 when none is. A step of 0 is taken as 1; a negative
// step moves towards the start of the text. The set's members are its
// characters, compared by value; a lone lead byte at the end of the text or
// of the set is no character.
int32_t FindFirstIn(const LeadByteTable& t, std::string_view text, int32_t start,
                    std::string_view set, int32_t step);

// As FindFirstIn, for the first character that is not a member of `set`.
int32_t FindFirstNotIn(const LeadByteTable& t, std::string_view text, int32_t start,
                       std::string_view set, int32_t step);

}  // namespace dzv::text

#endif  // DZV_TEXT_CHARSET_SEARCH_H_
