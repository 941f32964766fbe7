// What the Windows side of dzv shares: error texts, consoles, separators.
#ifndef DZV_TOOLS_DZV_WIN32_WINDOWS_UTIL_H_
#define DZV_TOOLS_DZV_WIN32_WINDOWS_UTIL_H_

#include <string>

namespace dzv::cli {

// The system's text for the error, without the line end ("Access is
// denied."), or "error N" when the system has none.
std::string SystemMessage(unsigned long error);

// Whether the handle is a console (GetConsoleMode answers for it).
bool IsConsoleHandle(void* handle);

// The offset of the last separator ('\\' or '/') of path, or npos. In the
// ANSI code page's double-byte characters the second byte may be 0x5C,
// which is no separator there: characters are read from the start.
size_t LastSeparator(const std::string& path);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_WIN32_WINDOWS_UTIL_H_
