// How dzv shows bytes that a terminal would hide or obey, and reads them
// back. A control character is shown as "\xHH", one escape per byte ("\t",
// "\r" and "\n" by name): the C0 controls 0x00-0x1F, DEL 0x7F and the C1
// controls, whose bytes depend on the code page (the one the library uses:
// on Linux named by the first non-empty of LC_ALL, LC_CTYPE and LANG, on
// Windows the ANSI code page):
//   - UTF-8: U+0080-U+009F (the bytes C2 80 to C2 9F), and every byte that
//     is not part of a valid UTF-8 sequence;
//   - the double-byte code pages (932, 936, 949, 950, 1361, GB18030, EUC-JP,
//     EUC-TW): a byte 0x80-0x9F that does not begin a double-byte character
//     with the byte after it;
//   - every other code page: the bytes 0x80-0x9F.
// Other bytes from 0x80 up are text of the code page and pass unchanged.
#ifndef DZV_TOOLS_DZV_ESCAPES_H_
#define DZV_TOOLS_DZV_ESCAPES_H_

#include <string>
#include <string_view>

namespace dzv::cli {

// The bytes with control characters and backslashes escaped; with
// escape_equals, "=" is escaped as well ("\x3d"), so that a key shown before
// "=" is unambiguous.
std::string Visible(std::string_view bytes, bool escape_equals = false);

// The bytes as a terminal may be given them: control characters escaped as
// by Visible, except the tab and the line feed, which pass; a backslash
// passes too, so the form is for reading, not for reading back.
std::string Harmless(std::string_view bytes);

// Reads the escapes of Visible back into bytes. Throws UsageError for an
// unknown or incomplete escape and for "\x00", which no text can hold.
std::string Unescape(std::string_view text);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_ESCAPES_H_
