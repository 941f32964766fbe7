#include "platform/linux/desktop_clipboard.h"

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/linux/process_runner.h"

namespace dzv::platform {
namespace {

// A desktop that answers does so within milliseconds; the limit only keeps
// a stuck selection owner from holding the caller.
constexpr int kHelperTimeoutMs = 5000;
// The longest wait for a copy helper's server to take the selection.
constexpr int kSettleMs = 2000;

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

bool ReadDesktopText(const DesktopClipboardTools& tools, std::string* utf8) {
  try {
    ProcessOptions options;
    options.capture_output = true;
    options.timeout_ms = kHelperTimeoutMs;
    ProcessResult result;
    if (!RunProcess(PasteCommand(tools), options, &result)) return false;
    if (result.timed_out || result.exit_code != 0) return false;
    *utf8 = std::move(result.output);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool WriteDesktopText(const DesktopClipboardTools& tools, std::string_view utf8) {
  try {
    ProcessOptions options;
    options.feed_input = true;
    options.input = utf8;
    options.timeout_ms = kHelperTimeoutMs;
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
    // text, so that a paste right after this call sees it.
    int waited = 0;
    for (int pause = 2; waited < kSettleMs; waited += pause, pause = std::min(pause * 2, 100)) {
      std::string now;
      if (ReadDesktopText(tools, &now) && now == utf8) break;
      poll(nullptr, 0, pause);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace dzv::platform
