// The archive lock on Windows: LockFileEx on ".NAME.lock" in the archive's
// folder, as the path names it.
#include "archive_lock.h"

#include <windows.h>

#include <algorithm>
#include <thread>

#include "cli.h"
#include "file_checks.h"
#include "win32/windows_util.h"

namespace dzv::cli {
namespace {

// The longest name of a folder entry.
constexpr size_t kLongestName = 255;

}  // namespace

ArchiveLock::ArchiveLock(const std::string& path) {
  if (const std::string why = WhyNotAnOutput(path); !why.empty()) {
    throw Failure(path + ": " + why + "; dzv saves archives only as regular files");
  }
  const size_t separator = LastSeparator(path);
  const size_t name_at = separator != std::string::npos       ? separator + 1
                         : path.size() >= 2 && path[1] == ':' ? 2
                                                              : 0;
  const std::string name = path.substr(name_at);
  if (name.empty() || name == "." || name == "..") return;  // the save says why
  const DWORD folder = GetFileAttributesA(DirectoryOf(path).c_str());
  if (folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return;  // nothing to lock: the save says why
  }
  file_ = path.substr(0, name_at) + LockNameOf(name, kLongestName);
  // Never through a link (a reparse point is opened as itself and refused),
  // never truncated; shared, so that others may open it to wait for the
  // lock.
  const HANDLE lock =
      CreateFileA(file_.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (lock == INVALID_HANDLE_VALUE) {
    throw Failure(file_ + ": the lock file of " + path + " cannot be opened: " +
                  SystemMessage(GetLastError()) + "; the archive is left as it is");
  }
  BY_HANDLE_FILE_INFORMATION facts;
  if (GetFileType(lock) != FILE_TYPE_DISK || !GetFileInformationByHandle(lock, &facts) ||
      (facts.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    CloseHandle(lock);
    throw Failure(file_ + ": the lock file of " + path +
                  " is not a regular file; the archive is left as it is");
  }
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    OVERLAPPED at = {};
    if (LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) break;
    const DWORD error = GetLastError();
    const bool held = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
    if (!held || std::chrono::steady_clock::now() >= deadline) {
      CloseHandle(lock);
      throw Failure(file_ + ": " +
                    (held ? "another process has held the lock of " + path + " for " +
                                std::to_string(kLockWait.count()) + " s"
                          : "cannot lock it: " + SystemMessage(error)) +
                    "; the archive is left as it is");
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  handle_ = lock;
}

ArchiveLock::~ArchiveLock() {
  // Closing the handle releases the lock.
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

}  // namespace dzv::cli
