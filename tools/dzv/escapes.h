// How dzv shows bytes that a terminal would hide, and reads them back: the
// control bytes 0x00-0x1F and 0x7F as "\xHH" ("\t", "\r" and "\n" by name),
// and the backslash as "\\". Bytes 0x80-0xFF are text of the code page and
// pass unchanged.
#ifndef DZV_TOOLS_DZV_ESCAPES_H_
#define DZV_TOOLS_DZV_ESCAPES_H_

#include <string>
#include <string_view>

namespace dzv::cli {

// The bytes with control bytes and backslashes escaped; with escape_equals,
// "=" is escaped as well ("\x3d"), so that a key shown before "=" is
// unambiguous.
std::string Visible(std::string_view bytes, bool escape_equals = false);

// Reads the escapes of Visible back into bytes. Throws UsageError for an
// unknown or incomplete escape and for "\x00", which no text can hold.
std::string Unescape(std::string_view text);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_ESCAPES_H_
