// The Linux clipboard backend, for tests that need more than one instance
// or a store of their own.
//
// The session clipboard: one store per user, shared by all the user's
// processes, in a private directory (mode 0700, owned by the user, not a
// symbolic link): $XDG_RUNTIME_DIR/duduzuvez210, or /tmp/duduzuvez210-<uid>
// when XDG_RUNTIME_DIR is unset. Opening takes an exclusive lock on the
// store's lock file without waiting, so that while one window or process
// holds the clipboard open every other opening fails at once. Each
// format's data is a file of its own, replaced whole when it is set.
//
// With a desktop (DISPLAY or WAYLAND_DISPLAY, and its clipboard helper on
// PATH), the text format is the desktop's clipboard instead: text set here
// can be pasted in any desktop program and text copied there is read here,
// converted between the process's ANSI code page and UTF-8 ('?' for what
// the code page lacks). Other formats stay in the session store.
#ifndef DZV_PLATFORM_LINUX_CLIPBOARD_H_
#define DZV_PLATFORM_LINUX_CLIPBOARD_H_

#include <memory>
#include <string>

#include "platform/clipboard.h"

namespace dzv::platform {

// The directory of the session clipboard's store.
std::string SessionClipboardDirectory();

// A backend whose store is `directory` (created with mode 0700 when
// missing); `use_desktop` lets the text format go to the desktop when one
// is present. Clipboard::Default() is NewLinuxClipboard(
// SessionClipboardDirectory(), true), with the directory read at each
// opening.
std::unique_ptr<Clipboard> NewLinuxClipboard(std::string directory, bool use_desktop);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_CLIPBOARD_H_
