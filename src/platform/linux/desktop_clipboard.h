// The desktop's own clipboard: the CLIPBOARD selection of the X11 or
// Wayland session, reached through Debian's helper programs (xclip,
// wl-copy and wl-paste). The library starts no threads, and an X11 or
// Wayland selection must be served for as long as it is the desktop's
// clipboard; the copy helpers stay behind to do that after the call.
// Text travels as UTF-8. Every helper runs with a timeout.
#ifndef DZV_PLATFORM_LINUX_DESKTOP_CLIPBOARD_H_
#define DZV_PLATFORM_LINUX_DESKTOP_CLIPBOARD_H_

#include <string>
#include <string_view>
#include <vector>

namespace dzv::platform {

struct DesktopClipboardTools {
  bool wayland = false;
  std::string copy;   // full path of xclip or wl-copy
  std::string paste;  // full path of xclip or wl-paste
};

// The tools that serve this session's desktop: wl-copy and wl-paste when
// WAYLAND_DISPLAY is set and both are on PATH, else xclip when DISPLAY is
// set and it is on PATH. False when there is no desktop or no tool.
bool FindDesktopClipboard(DesktopClipboardTools* tools);

// The argument vectors of the helpers.
std::vector<std::string> PasteCommand(const DesktopClipboardTools& tools);
std::vector<std::string> CopyCommand(const DesktopClipboardTools& tools);

// The selection's text as UTF-8. False when the selection holds no text,
// or the desktop or helper cannot be reached in time.
bool ReadDesktopText(const DesktopClipboardTools& tools, std::string* utf8);
// Makes `utf8` the selection's text. False when the helper failed.
bool WriteDesktopText(const DesktopClipboardTools& tools, std::string_view utf8);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_DESKTOP_CLIPBOARD_H_
