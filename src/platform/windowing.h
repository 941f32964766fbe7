// Windows of the desktop, as far as a modal dialog needs them: the keyboard
// focus, whether a handle names a window, a window's parent and whether it
// is a child window, and the enabled state (GetFocus, SetFocus, IsWindow,
// GetParent, the child-style test of GetWindowLong, IsWindowEnabled and
// EnableWindow in substance).
//
// A handle of 0 names no window: every query about it gives 0 or false and
// every change is ignored. Backends never throw.
#ifndef DZV_PLATFORM_WINDOWING_H_
#define DZV_PLATFORM_WINDOWING_H_

#include <cstdint>

#include "platform/service.h"

namespace dzv::platform {

// A window handle: an X11 window id on Linux, an HWND on Windows.
using WindowHandle = uintptr_t;

class Windows {
 public:
  virtual ~Windows() = default;

  // The window that has the keyboard focus, or 0.
  virtual WindowHandle GetFocus() = 0;
  // Gives the keyboard focus to `window`.
  virtual void SetFocus(WindowHandle window) = 0;
  // True when `window` names an existing window.
  virtual bool IsWindow(WindowHandle window) = 0;
  // True when `window` accepts input.
  virtual bool IsWindowEnabled(WindowHandle window) = 0;
  // Enables or disables input to `window`.
  virtual void EnableWindow(WindowHandle window, bool enable) = 0;
  // The parent of a child window, or the owner of an owned top-level
  // window; 0 for any other window.
  virtual WindowHandle GetParent(WindowHandle window) = 0;
  // True when `window` is a child window: one that lives inside its
  // parent rather than on the desktop.
  virtual bool IsChildWindow(WindowHandle window) = 0;

  static Windows& Default();
  static Windows& Current() { return ServiceSlot<Windows>::Current(); }
};

// Forwards every call to another instance; tests override what they change.
class WindowsWrapper : public Windows {
 public:
  explicit WindowsWrapper(Windows* target) : target_(target) {}
  WindowHandle GetFocus() override { return target_->GetFocus(); }
  void SetFocus(WindowHandle window) override { target_->SetFocus(window); }
  bool IsWindow(WindowHandle window) override { return target_->IsWindow(window); }
  bool IsWindowEnabled(WindowHandle window) override { return target_->IsWindowEnabled(window); }
  void EnableWindow(WindowHandle window, bool enable) override {
    target_->EnableWindow(window, enable);
  }
  WindowHandle GetParent(WindowHandle window) override { return target_->GetParent(window); }
  bool IsChildWindow(WindowHandle window) override { return target_->IsChildWindow(window); }

 private:
  Windows* target_;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_WINDOWING_H_
