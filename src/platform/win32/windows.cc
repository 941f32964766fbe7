// Win32 backend of the window service: the desktop's own windows, through
// user32.
#include <windows.h>

#include "platform/windowing.h"

namespace dzv::platform {
namespace {

HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle Handle(HWND window) { return reinterpret_cast<WindowHandle>(window); }

class Win32Windows final : public Windows {
 public:
  WindowHandle GetFocus() override { return Handle(::GetFocus()); }

  void SetFocus(WindowHandle window) override {
    if (window != 0) ::SetFocus(Hwnd(window));
  }

  bool IsWindow(WindowHandle window) override { return window != 0 && ::IsWindow(Hwnd(window)); }

  bool IsWindowEnabled(WindowHandle window) override {
    return window != 0 && ::IsWindowEnabled(Hwnd(window));
  }

  void EnableWindow(WindowHandle window, bool enable) override {
    if (window != 0) ::EnableWindow(Hwnd(window), enable ? TRUE : FALSE);
  }

  WindowHandle GetParent(WindowHandle window) override {
    return window == 0 ? 0 : Handle(::GetParent(Hwnd(window)));
  }

  bool IsChildWindow(WindowHandle window) override {
    return window != 0 && (::GetWindowLongA(Hwnd(window), GWL_STYLE) & WS_CHILD) != 0;
  }
};

}  // namespace

Windows& Windows::Default() {
  static NoDestructor<Win32Windows> instance;
  return *instance.get();
}

}  // namespace dzv::platform
