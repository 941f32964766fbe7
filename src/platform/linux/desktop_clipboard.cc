#include "platform/linux/desktop_clipboard.h"

#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/linux/process_runner.h"

namespace dzv::platform {
namespace {

// Milliseconds left before `deadline`, never negative.
int MsLeft(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
}

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool FindDesktopClipboard(DesktopClipboardTools* tools) {
  try {
    if (Set("WAYLAND_DISPLAY")) {
      std::string copy = FindExecutable("wl-copy");
      std::string paste = FindExecutable("wl-paste");
      if (!copy.empty() && !paste.empty()) {
        *tools = {true, std::move(copy), std::move(paste)};
        return true;
      }
    }
    if (Set("DISPLAY")) {
      std::string xclip = FindExecutable("xclip");
      if (!xclip.empty()) {
        *tools = {false, xclip, xclip};
        return true;
      }
    }
  } catch (const std::bad_alloc&) {
  }
  return false;
}

std::vector<std::string> PasteCommand(const DesktopClipboardTools& tools) {
  if (tools.wayland) return {tools.paste, "--no-newline", "--type", "text"};
  return {tools.paste, "-o", "-selection", "clipboard", "-t", "UTF8_STRING"};
}

std::vector<std::string> CopyCommand(const DesktopClipboardTools& tools) {
  if (tools.wayland) return {tools.copy, "--type", "text/plain;charset=utf-8"};
  return {tools.copy, "-i", "-selection", "clipboard", "-t", "UTF8_STRING"};
}

bool ReadDesktopText(const DesktopClipboardTools& tools, Deadline deadline, std::string* utf8) {
  try {
    ProcessOptions options;
    options.capture_output = true;
    options.max_output = kLongestDesktopText;
    options.timeout_ms = MsLeft(deadline);
    if (options.timeout_ms == 0) return false;
    ProcessResult result;
    if (!RunProcess(PasteCommand(tools), options, &result)) return false;
    if (result.timed_out || result.exit_code != 0) return false;
    *utf8 = std::move(result.output);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool WriteDesktopText(const DesktopClipboardTools& tools, std::string_view utf8,
                      Deadline deadline) {
  if (utf8.size() > kLongestDesktopText) return false;  // it could never be read back
  try {
    ProcessOptions options;
    options.feed_input = true;
    options.input = utf8;
    options.timeout_ms = MsLeft(deadline);
    if (options.timeout_ms == 0) return false;
    // The helper forks a server for the selection and returns; the server
    // must survive the caller's terminal and the caller itself.
    options.new_session = true;
    ProcessResult result;
    if (!RunProcess(CopyCommand(tools), options, &result) || result.timed_out ||
        result.exit_code != 0) {
      return false;
    }
    // The helper returns once it has forked its server, which may not have
    // claimed the selection yet. Wait until the desktop hands back the new
    // text, so that a paste right after this call sees it; a text never
    // seen there was not taken.
    for (int pause = 2;; pause = std::min(pause * 2, 100)) {
      std::string now;
      if (ReadDesktopText(tools, deadline, &now) && now == utf8) return true;
      const int left = MsLeft(deadline);
      if (left == 0) return false;
      poll(nullptr, 0, std::min(pause, left));
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace dzv::platform
