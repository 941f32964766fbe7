// The system's own text for a Windows error code.
#ifndef DZV_TOOLS_DZV_WIN32_SYSTEM_ERROR_H_
#define DZV_TOOLS_DZV_WIN32_SYSTEM_ERROR_H_

#include <string>

namespace dzv::cli {

// The system's text for the error, without the line end ("Access is
// denied."), or "error N" when the system has none.
std::string SystemMessage(unsigned long error);

// Whether the handle is a console (GetConsoleMode answers for it).
bool IsConsoleHandle(void* handle);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_WIN32_SYSTEM_ERROR_H_
