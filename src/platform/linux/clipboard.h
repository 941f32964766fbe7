// The Linux clipboard backend, for tests that need more than one instance
// or a store of their own.
//
// The session clipboard: one store per user, shared by all the user's
// processes, in a private directory (owned by the effective user, no access
// for group or others, not a symbolic link; anything else is refused):
// $XDG_RUNTIME_DIR/duduzuvez210 when XDG_RUNTIME_DIR is the user's own (see
// SessionClipboardDirectory), else /tmp/duduzuvez210-<euid>. Opening takes
// an exclusive lock on the
// store's lock file without waiting, so that while one window or process
// holds the clipboard open every other opening fails at once. Each
// format's data is a file of its own, replaced whole when it is set.
//
// With a desktop (DISPLAY or WAYLAND_DISPLAY, and its clipboard helper on
// PATH), the text format is the desktop's clipboard instead: text set here
// can be pasted in any desktop program and text copied there is read here,
// converted between the process's ANSI code page and UTF-8 ('?' for what
// the code page lacks). Other formats stay in the session store. One
// opening gives the desktop's helpers five seconds in all: text not read,
// or not seen on the desktop after setting it, by then is a failure.
//
// Thread-safety: any thread may call; the clipboard is open for one thread
// at a time. A fork() waits for a call under way in another thread; in the
// child, an opening of the parent's is not the child's.
#ifndef DZV_PLATFORM_LINUX_CLIPBOARD_H_
#define DZV_PLATFORM_LINUX_CLIPBOARD_H_

#include <memory>
#include <string>

#include "platform/clipboard.h"
#include "platform/code_page.h"

namespace dzv::platform {

// The directory of the session clipboard's store: $XDG_RUNTIME_DIR/
// duduzuvez210 when XDG_RUNTIME_DIR is an absolute path to a directory (not
// a symbolic link) owned by the effective user and writable by no one else;
// otherwise /tmp/duduzuvez210-<effective uid>.
std::string SessionClipboardDirectory();

// What the desktop's clipboard is given to convert the text format between
// the process's code page and the desktop's UTF-8.
struct DesktopText {
  CodePage& code_page;
  // The process's lead bytes; their code_page() is the text format's.
  const LeadByteTable& lead_bytes;
};

// A backend whose store is `directory` (created with mode 0700 when
// missing). With `desktop` (which must outlive the backend) the text format
// is the desktop's clipboard when one is present, as described above;
// without, every format stays in the store.
//
// Clipboard::Default() is not made here: it is one instance, never
// destroyed, whose store is SessionClipboardDirectory() looked up anew at
// each opening, and whose text format goes to the desktop, converted by
// CodePage::Default() under the process's lead bytes.
std::unique_ptr<Clipboard> NewLinuxClipboard(std::string directory,
                                             const DesktopText* desktop = nullptr);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_CLIPBOARD_H_
