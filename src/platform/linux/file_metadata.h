// What a file shows of itself besides its bytes (owner, group, extended
// attributes, an access control list among them, permission bits), and how
// a replacement is given the same.
#ifndef DZV_PLATFORM_LINUX_FILE_METADATA_H_
#define DZV_PLATFORM_LINUX_FILE_METADATA_H_

#include "platform/files.h"

namespace dzv::platform {

// Gives the open file `fd` what the file `old` (a descriptor, O_PATH will
// do) shows of itself; where `old` is negative, the permissions that a file
// created with mode 0666 in the directory `dir` (a descriptor) gets: the
// process's mask applies, unless the directory has a default access control
// list. Owner and group first (a change of owner clears the set-id bits,
// which the mode then restores), then every extended attribute that the
// process can see on the old file, then the mode, checked with fstat since
// the kernel drops without a word what it does not let this process set.
// Security modules' labels that the new file already has stay as they are.
FileStatus GiveMetadata(int fd, int old, int dir);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_FILE_METADATA_H_
