// Linux backend of the clipboard service: the session store, and the
// desktop's clipboard for the text format (see linux/clipboard.h).
#include "platform/linux/clipboard.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/code_page.h"
#include "platform/linux/desktop_clipboard.h"
#include "platform/linux/fork_guard.h"
#include "platform/memory_block.h"

namespace dzv::platform {
namespace {

constexpr char kLockFile[] = "lock";

// The longest time one opening of the clipboard (one call of the library)
// spends on the desktop's helpers, all of them together. A desktop that
// answers does so within milliseconds; the limit keeps a stuck selection
// owner from holding the caller.
constexpr std::chrono::seconds kDesktopTime{5};

// The desktop's UTF-8 is converted a piece at a time: a conversion holds
// what it decodes in four bytes a character, which for a whole text of
// many megabytes would be several times its size.
constexpr size_t kConversionPiece = size_t{1} << 20;

// Where a piece of `utf8` that would end at `end` may end: before a byte
// that begins a character, or after three continuation bytes, which no
// sequence begun earlier runs past. Decoding the pieces one by one then
// gives what decoding the whole does.
size_t PieceEnd(std::string_view utf8, size_t end) {
  if (end >= utf8.size()) return utf8.size();
  for (size_t back = 0; back <= 3 && back < end; ++back) {
    if ((static_cast<unsigned char>(utf8[end - back]) & 0xC0) != 0x80) return end - back;
  }
  return end;
}

std::string FormatFile(uint32_t format) { return "format-" + std::to_string(format); }

// Opens `path` as the store's directory, creating it (mode 0700) when
// missing. Fails unless it is a real directory (not a symbolic link) of the
// effective user that no one else may enter: a directory that others could
// read or write may hold what they planted, and is never used.
int OpenPrivateDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
      (st.st_mode & 077) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// True when `path` is a runtime directory of the effective user's own: an
// absolute path to a directory, not a symbolic link, owned by that user and
// writable by no one else. Root running with a user's environment (sudo -E)
// thus keeps out of the user's store.
bool OwnRuntimeDirectory(const char* path) {
  struct stat st;
  return path != nullptr && path[0] == '/' && lstat(path, &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == geteuid() && (st.st_mode & 022) == 0;
}

// The whole of a regular file in `dir`; false when it is missing or
// unreadable.
bool ReadStoreFile(int dir, const std::string& name, std::string* bytes) {
  const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  bytes->clear();
  char buffer[16384];
  while (ok) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    bytes->append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return ok;
}

// Replaces the file `name` in `dir` with `bytes` in one step: readers see
// the old data or the new, never a part.
bool ReplaceStoreFile(int dir, const std::string& name, std::string_view bytes) {
  const std::string temporary = name + ".new";
  const int fd =
      openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  while (ok && !bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) bytes.remove_prefix(static_cast<size_t>(n));
  }
  ok = close(fd) == 0 && ok;
  ok = ok && renameat(dir, temporary.c_str(), dir, name.c_str()) == 0;
  if (!ok) unlinkat(dir, temporary.c_str(), 0);
  return ok;
}

class LinuxClipboard final : public Clipboard {
 public:
  // An empty `directory` stands for SessionClipboardDirectory(), read at
  // each opening.
  LinuxClipboard(std::string directory, const DesktopText* desktop)
      : directory_(std::move(directory)), desktop_text_(desktop) {}
  ~LinuxClipboard() override {
    if (open_) Release();
  }

  bool Open(WindowHandle) override {
    try {
      std::lock_guard<std::mutex> lock(mu_);
      if (open_) return false;
      const int dir =
          OpenPrivateDirectory(directory_.empty() ? SessionClipboardDirectory() : directory_);
      if (dir < 0) return false;
      const int lock_fd = openat(dir, kLockFile, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (lock_fd < 0 || flock(lock_fd, LOCK_EX | LOCK_NB) != 0) {
        if (lock_fd >= 0) close(lock_fd);
        close(dir);
        return false;
      }
      dir_fd_ = dir;
      lock_fd_ = lock_fd;
      desktop_ = desktop_text_ != nullptr && FindDesktopClipboard(&tools_);
      deadline_ = std::chrono::steady_clock::now() + kDesktopTime;
      holder_ = std::this_thread::get_id();
      open_ = true;
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  void Close() override {
    std::lock_guard<std::mutex> lock(mu_);
    if (HeldHere()) Release();
  }

  MemoryHandle GetData(uint32_t format) override {
    try {
      std::lock_guard<std::mutex> lock(mu_);
      if (!HeldHere()) return nullptr;
      std::string bytes;
      if (format == kTextFormat && desktop_) {
        if (!ReadDesktopText(&bytes)) return nullptr;
      } else if (!ReadStoreFile(dir_fd_, FormatFile(format), &bytes)) {
        return nullptr;
      }
      // Text always ends in a zero byte, whoever wrote the store.
      if (format == kTextFormat && bytes.find('\0') == std::string::npos) bytes.push_back('\0');
      handed_out_.reserve(handed_out_.size() + 1);
      MemoryHandle block = AdoptBlock(std::move(bytes));
      if (block != nullptr) handed_out_.push_back(block);
      return block;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }

  bool SetData(uint32_t format, MemoryHandle block) override {
    try {
      std::lock_guard<std::mutex> lock(mu_);
      if (!HeldHere() || block == nullptr) return false;
      const std::string_view bytes = BlockBytes(block);
      const bool taken = format == kTextFormat && desktop_
                             ? WriteDesktopText(bytes.substr(0, bytes.find('\0')))
                             : ReplaceStoreFile(dir_fd_, FormatFile(format), bytes);
      if (taken) FreeBlock(block);
      return taken;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  MemoryHandle Alloc(uint32_t flags, size_t size) override { return NewBlock(flags, size); }
  void* Lock(MemoryHandle block) override { return LockBlock(block); }
  void Unlock(MemoryHandle block) override { UnlockBlock(block); }
  size_t Size(MemoryHandle block) override { return BlockBytes(block).size(); }
  void Free(MemoryHandle block) override { FreeBlock(block); }

 private:
  // The clipboard is open, for a window of the calling thread.
  bool HeldHere() const { return open_ && holder_ == std::this_thread::get_id(); }

  // In the child of a fork made while a thread of the parent had the
  // clipboard open: the opening stays the parent's. The child's copies of
  // the descriptors go (closing them leaves the parent's lock in place,
  // while keeping them would hold it for as long as the child lives).
  static void ForgetParentsOpening(void* self) {
    auto* clipboard = static_cast<LinuxClipboard*>(self);
    if (clipboard->open_) clipboard->Release();
  }

  void Release() {
    for (MemoryHandle block : handed_out_) FreeBlock(block);
    // Nothing stays allocated between two openings: the instance lives as
    // long as the process.
    std::vector<MemoryHandle>().swap(handed_out_);
    close(lock_fd_);  // releases the lock
    close(dir_fd_);
    lock_fd_ = dir_fd_ = -1;
    open_ = false;
  }

  // The desktop's text, converted to the process's code page and ended by
  // a zero byte.
  bool ReadDesktopText(std::string* text) {
    std::string utf8;
    if (!platform::ReadDesktopText(tools_, deadline_, &utf8)) return false;
    text->clear();
    text->reserve(utf8.size() + 1);
    std::string piece;
    const std::string_view all = utf8;
    for (size_t start = 0; start < all.size();) {
      const size_t end = PieceEnd(all, start + kConversionPiece);
      if (!desktop_text_->code_page.FromUtf8(all.substr(start, end - start),
                                             desktop_text_->lead_bytes.code_page(), &piece)) {
        return false;
      }
      text->append(piece);
      start = end;
    }
    text->push_back('\0');
    return true;
  }

  bool WriteDesktopText(std::string_view text) {
    std::string utf8;
    return desktop_text_->code_page.ToUtf8(text, desktop_text_->lead_bytes.code_page(), &utf8) &&
           platform::WriteDesktopText(tools_, utf8, deadline_);
  }

  const std::string directory_;
  // Null when the text format stays in the store.
  const DesktopText* const desktop_text_;

  // Guards what follows; held only inside one call.
  std::mutex mu_;
  bool open_ = false;
  std::thread::id holder_;
  int dir_fd_ = -1;
  int lock_fd_ = -1;
  bool desktop_ = false;
  DesktopClipboardTools tools_;
  // The end of the desktop's time for this opening.
  Deadline deadline_;
  // Blocks that GetData handed out; released when the clipboard closes.
  std::vector<MemoryHandle> handed_out_;
  // Last, so that it goes first.
  ForkGuard fork_guard_{&mu_, &LinuxClipboard::ForgetParentsOpening, this};
};

}  // namespace

std::string SessionClipboardDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (OwnRuntimeDirectory(runtime)) return std::string(runtime) + "/duduzuvez210";
  return "/tmp/duduzuvez210-" + std::to_string(geteuid());
}

std::unique_ptr<Clipboard> NewLinuxClipboard(std::string directory, const DesktopText* desktop) {
  return std::make_unique<LinuxClipboard>(std::move(directory), desktop);
}

Clipboard& Clipboard::Default() {
  static const DesktopText desktop{CodePage::Default(), ProcessLeadBytes()};
  static NoDestructor<LinuxClipboard> instance(std::string(), &desktop);
  return *instance.get();
}

}  // namespace dzv::platform
