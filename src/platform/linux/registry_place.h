// Where the Linux registry's database may live: a directory of the
// effective user's own, reached through directories that nobody else can
// change, and files of that user alone. SqliteRegistry's own.
//
// The rule is OpenSSH's StrictModes, checked on open descriptors: the path
// is resolved one component at a time from "/" without letting the kernel
// follow links (openat with O_NOFOLLOW; a link is read and followed here,
// and only when root or the user owns it). Every directory above the
// database's must belong to root or the user and be writable by no one else,
// unless it is sticky (/tmp): there no one else can rename or replace the
// entry below, which must then belong to root or the user too. The
// database's own directory must belong to the user and be writable by no one
// else (missing directories are made with mode 0700). The database file must
// be a regular file of the user with one link (a new one is made with mode
// 0600), and SQLite's files beside it (-wal, -shm, -journal), where they
// exist, too. The result is the path with every link resolved, which only
// root or the user can make lead elsewhere: SQLite is handed that path and
// told not to follow links (SQLITE_OPEN_NOFOLLOW).
#ifndef DZV_PLATFORM_LINUX_REGISTRY_PLACE_H_
#define DZV_PLATFORM_LINUX_REGISTRY_PLACE_H_

#include <string>

namespace dzv::platform::registry_db {

// Prepares the database at the absolute `path` as above; on success
// `*resolved` receives the path to hand SQLite. False when the place is not
// the user's own or cannot be made; nothing is created then beyond the
// directories made before the refusal was found, each inside a directory
// that passed the checks.
bool PrepareDatabasePlace(const std::string& path, std::string* resolved);

}  // namespace dzv::platform::registry_db

#endif  // DZV_PLATFORM_LINUX_REGISTRY_PLACE_H_
