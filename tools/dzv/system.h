// What dzv asks of the operating system beyond the library: its standard
// streams, the locale's code page, and facts that explain a failure the
// library reports only as 0. One implementation per system (posix/,
// win32/); file_checks.h and archive_lock.h are the rest of the seam.
#ifndef DZV_TOOLS_DZV_SYSTEM_H_
#define DZV_TOOLS_DZV_SYSTEM_H_

#include <cstdio>
#include <string>
#include <string_view>

#include "duduzuvez210.h"

namespace dzv::cli {

// Sets the standard streams up before anything is written: on Windows they
// carry bytes unchanged (no line-end translation), as on Linux.
void PrepareStandardStreams();

// Whether the stream (stdout or stderr) is a terminal: a tty on Linux, a
// console on Windows. Asked once per stream.
bool IsTerminal(std::FILE* stream);

// Writes text, already made harmless, to a stream that IsTerminal: as it is
// on Linux; on Windows converted from the process's code page for the
// console, so that names show as the user typed them.
void WriteToTerminal(std::FILE* stream, std::string_view text);

// The name of the code page the library uses for text (a locale codeset
// such as "UTF-8" or "SJIS" on Linux; "CP932" on Windows).
std::string CodePageName();

// Why the clipboard may have refused a text, for messages.
std::string WhyClipboardRefused();

// Why a dialog gave no choice of `what` ("file", "folder"), for messages.
std::string WhyNoChoice(const char* what);

// The registry as messages name it ("the registry (FILE)" on Linux, where
// it is a database of the user's; "the registry" on Windows), and that
// file alone (empty on Windows).
std::string RegistryShown();
std::string RegistryFile();

// Why the registry cannot be used at all, as far as dzv can tell without
// opening it; empty when nothing is found.
std::string RegistryPlaceProblem();

// A message when another process holds the registry locked (Linux: a
// database lock; Windows has no such lock), else empty.
std::string RegistryLockedMessage();

// What the system reports when asked to open the key for a change (on
// Windows the system's own error text, such as "Access is denied."); empty
// when it can be opened or the system keeps no such answer.
std::string WhyKeyUnwritable(DZV_HKEY root, const std::string& path);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_SYSTEM_H_
