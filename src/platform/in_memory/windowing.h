// Windows kept in memory, for tests of what the library does to the windows
// around a modal dialog: a window tree that the test sets up, and a log of
// every change the library makes (focus, enabling). A change to a handle
// that names no window is logged and otherwise ignored.
//
// Thread-safety: none; one test thread uses an instance.
#ifndef DZV_PLATFORM_IN_MEMORY_WINDOWING_H_
#define DZV_PLATFORM_IN_MEMORY_WINDOWING_H_

#include <map>
#include <string>

#include "platform/windowing.h"

namespace dzv::platform {

class InMemoryWindows final : public Windows {
 public:
  struct Window {
    WindowHandle parent = 0;
    bool child = false;
    bool enabled = true;
  };

  WindowHandle GetFocus() override { return focus; }
  void SetFocus(WindowHandle w) override {
    log += "focus " + std::to_string(w) + ";";
    if (IsWindow(w)) focus = w;
  }
  bool IsWindow(WindowHandle w) override { return w != 0 && windows.count(w) != 0; }
  bool IsWindowEnabled(WindowHandle w) override { return IsWindow(w) && windows[w].enabled; }
  void EnableWindow(WindowHandle w, bool enable) override {
    log += (enable ? "enable " : "disable ") + std::to_string(w) + ";";
    if (IsWindow(w)) windows[w].enabled = enable;
  }
  WindowHandle GetParent(WindowHandle w) override { return IsWindow(w) ? windows[w].parent : 0; }
  bool IsChildWindow(WindowHandle w) override { return IsWindow(w) && windows[w].child; }

  // The tree, by handle; 0 is never a window.
  std::map<WindowHandle, Window> windows;
  WindowHandle focus = 0;
  // "focus <h>;", "enable <h>;" and "disable <h>;" in the order made.
  std::string log;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_IN_MEMORY_WINDOWING_H_
