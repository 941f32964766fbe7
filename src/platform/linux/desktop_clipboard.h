// The desktop's own clipboard: the CLIPBOARD selection of the X11 or
// Wayland session, reached through Debian's helper programs (xclip,
// wl-copy and wl-paste). The library starts no threads, and an X11 or
// Wayland selection must be served for as long as it is the desktop's
// clipboard; the copy helpers stay behind to do that after the call.
// Text travels as UTF-8. Every helper runs within the deadline its caller
// gives, and is killed with what it started when it outlives it.
#ifndef DZV_PLATFORM_LINUX_DESKTOP_CLIPBOARD_H_
#define DZV_PLATFORM_LINUX_DESKTOP_CLIPBOARD_H_

#include <chrono>
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

using Deadline = std::chrono::steady_clock::time_point;

// The longest text that travels through the desktop's clipboard, in UTF-8
// bytes: 32 MiB, far above a text that people copy and paste (a book is a
// few megabytes), and low enough that reading it, converting it to the code
// page and handing it out stays within a few times that size of memory. A
// longer text on the desktop reads as no text; a longer text to set is
// refused.
constexpr size_t kLongestDesktopText = size_t{32} << 20;

// The selection's text as UTF-8. False when the selection holds no text or
// a text longer than kLongestDesktopText, or the desktop or helper does not
// answer before `deadline`.
bool ReadDesktopText(const DesktopClipboardTools& tools, Deadline deadline, std::string* utf8);
// Makes `utf8` the selection's text and waits until the desktop hands it
// back. False when the text is longer than kLongestDesktopText, the helper
// failed, or the desktop did not hand the text
// back before `deadline` (a copy helper's server that took the selection
// late may still serve it).
bool WriteDesktopText(const DesktopClipboardTools& tools, std::string_view utf8, Deadline deadline);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_DESKTOP_CLIPBOARD_H_
