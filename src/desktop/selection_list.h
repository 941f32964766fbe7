// The selection list of the open-file dialog: the full path of every chosen
// file, each followed by "|", read out of the platform's selection by the
// next-path rule.
//
// The platform's selection is either one full path, or a directory and the
// names of the chosen files in it. Items are separated by the delimiter:
// the zero byte in the explorer style, the blank in the old style. Every
// step through the selection goes by characters of the code page (a lead
// byte and the byte after it are one step), so the second byte of a
// double-byte character is never taken for a delimiter.
#ifndef DZV_DESKTOP_SELECTION_LIST_H_
#define DZV_DESKTOP_SELECTION_LIST_H_

#include <string>
#include <string_view>

#include "text/mbcs.h"

namespace dzv::desktop {

// The path of `name` in `directory`: the directory, a backslash unless the
// directory is not empty and its last backslash (or, when it holds none,
// its last "/") is its final byte, and the name. The backslash and "/"
// are found by characters, so a directory that ends in a double-byte
// character whose second byte is 0x5C still gets a backslash.
std::string JoinPath(const text::LeadByteTable& t, std::string_view directory,
                     std::string_view name);

// The selection list of the platform's selection in `buffer` (the whole
// selection buffer; bytes past its end count as zero bytes), with
// `delimiter` '\0' (explorer style) or ' ' (old style).
//
// First path: from the buffer's start to the first delimiter or zero byte,
// then one step further. A zero byte there means a single file: the whole
// text at the buffer's start. Otherwise the directory is the text before
// that first delimiter, and each name runs from its position to the next
// delimiter or zero byte; the next name starts one step past that end.
// More names follow unless the byte there is zero (in the old style, also
// not after a name that ended at a zero byte).
std::string BuildSelectionList(const text::LeadByteTable& t, std::string_view buffer,
                               char delimiter);

}  // namespace dzv::desktop

#endif  // DZV_DESKTOP_SELECTION_LIST_H_
