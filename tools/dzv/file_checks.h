// What dzv finds out about a file by itself, to explain a failure that the
// library reports only as 0.
#ifndef DZV_TOOLS_DZV_FILE_CHECKS_H_
#define DZV_TOOLS_DZV_FILE_CHECKS_H_

#include <string>

namespace dzv::cli {

// True when something (of any kind) exists at path, links followed.
bool Exists(const std::string& path);

// Why the file cannot be read ("no such file", "is a directory",
// "Permission denied", ...), or empty when it can be opened for reading.
// Only regular files are read: a FIFO would keep dzv waiting for a writer
// and a device such as /dev/zero would never end, so those are refused.
std::string WhyUnreadable(const std::string& path);

// Why the file at path is not one that dzv writes: empty when nothing is
// there or a regular file is (links followed), else what it is ("is a FIFO
// (named pipe), not a regular file", ...). Writing into a FIFO would wait
// for a reader, and a device is no file to save; outputs are held to the
// rule of inputs, /dev/null included.
std::string WhyNotAnOutput(const std::string& path);

// The directory part of path: "." for a bare name, "/" for a name in the
// root.
std::string DirectoryOf(const std::string& path);

// Why a file cannot be written at path (a link on the way that the library
// does not follow, see path_walk.h; "is a directory", "the directory 'x'
// does not exist", "Permission denied", ...), or empty when nothing speaks
// against it.
std::string WhyUnwritable(const std::string& path);

// True when something exists at path and it is a regular file, links
// followed.
bool IsRegularFile(const std::string& path);

// True when path names a regular file (or nothing) in a directory where a
// new file can be made: a failed save there leaves the old file as it was.
bool SavedByReplacing(const std::string& path);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_FILE_CHECKS_H_
