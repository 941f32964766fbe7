// Linux backend of the window service: the windows of the X11 display named
// by DISPLAY, reached through Xlib, which is loaded when first needed
// (libX11.so.6, present wherever a desktop is) and kept loaded. Each call
// opens its own connection to the display and closes it before returning.
// Without DISPLAY, or without Xlib, there are no windows: every query gives
// 0 or false.
//
// X11 has no disabled windows: IsWindowEnabled is true for every existing
// window and EnableWindow changes nothing. A dialog is kept modal to its
// owner by the window manager instead, through the dialog's transient-for
// and modal hints (see linux/dialogs.cc).
//
// A top-level window is one whose parent is the root window, or one that a
// reparenting window manager has put into a frame (it carries WM_STATE);
// every other window is a child window of its X parent.
#include <dlfcn.h>

#include <cstdlib>

#include "platform/windowing.h"

namespace dzv::platform {
namespace {

// The few Xlib types and entry points used here, declared by hand so that
// the library needs neither Xlib's headers nor a link-time dependency.
struct Display;
struct XErrorEvent;
using XWindow = unsigned long;
using XAtom = unsigned long;
using XErrorHandler = int (*)(Display*, XErrorEvent*);

constexpr int kRevertToParent = 2;
constexpr unsigned long kCurrentTime = 0;
constexpr XWindow kPointerRoot = 1;

struct Xlib {
  Display* (*OpenDisplay)(const char*);
  int (*CloseDisplay)(Display*);
  int (*GetInputFocus)(Display*, XWindow*, int*);
  int (*SetInputFocus)(Display*, XWindow, int, unsigned long);
  int (*QueryTree)(Display*, XWindow, XWindow*, XWindow*, XWindow**, unsigned int*);
  int (*Free)(void*);
  int (*Sync)(Display*, int);
  XErrorHandler (*SetErrorHandler)(XErrorHandler);
  XAtom (*InternAtom)(Display*, const char*, int);
  int (*GetWindowProperty)(Display*, XWindow, XAtom, long, long, int, XAtom, XAtom*, int*,
                           unsigned long*, unsigned long*, unsigned char**);
};

template <class F>
bool Bind(void* library, const char* name, F* out) {
  void* p = dlsym(library, name);
  *out = reinterpret_cast<F>(p);
  return p != nullptr;
}

// Xlib's entry points, or null when the library cannot be loaded.
const Xlib* LoadXlib() {
  static const Xlib* loaded = []() -> const Xlib* {
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    static Xlib x;
    const bool ok = Bind(library, "XOpenDisplay", &x.OpenDisplay) &&
                    Bind(library, "XCloseDisplay", &x.CloseDisplay) &&
                    Bind(library, "XGetInputFocus", &x.GetInputFocus) &&
                    Bind(library, "XSetInputFocus", &x.SetInputFocus) &&
                    Bind(library, "XQueryTree", &x.QueryTree) && Bind(library, "XFree", &x.Free) &&
                    Bind(library, "XSync", &x.Sync) &&
                    Bind(library, "XSetErrorHandler", &x.SetErrorHandler) &&
                    Bind(library, "XInternAtom", &x.InternAtom) &&
                    Bind(library, "XGetWindowProperty", &x.GetWindowProperty);
    return ok ? &x : nullptr;
  }();
  return loaded;
}

thread_local bool x_error = false;

int RecordError(Display*, XErrorEvent*) {
  x_error = true;
  return 0;
}

// One connection to the display for the length of one call. Protocol
// errors (a window that does not exist, focus on an unmapped window) are
// recorded instead of ending the process; Xlib's error handler is
// process-wide, so the previous one is put back when the call ends.
class Connection {
 public:
  Connection() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return;
    x_ = LoadXlib();
    if (x_ == nullptr) return;
    display_ = x_->OpenDisplay(nullptr);
    if (display_ == nullptr) return;
    previous_ = x_->SetErrorHandler(&RecordError);
    x_error = false;
  }
  ~Connection() {
    if (display_ == nullptr) return;
    x_->Sync(display_, 0);
    x_->SetErrorHandler(previous_);
    x_->CloseDisplay(display_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool ok() const { return display_ != nullptr; }
  const Xlib& x() const { return *x_; }
  Display* display() const { return display_; }

  // Waits for the requests sent so far; true when none of them failed.
  bool Succeeded() {
    x_->Sync(display_, 0);
    const bool ok = !x_error;
    x_error = false;
    return ok;
  }

  // Root and parent of `window`; false when it is no window.
  bool Tree(XWindow window, XWindow* root, XWindow* parent) {
    XWindow* children = nullptr;
    unsigned int count = 0;
    const int status = x_->QueryTree(display_, window, root, parent, &children, &count);
    if (children != nullptr) x_->Free(children);
    return Succeeded() && status != 0;
  }

  bool HasProperty(XWindow window, const char* name) {
    const XAtom atom = x_->InternAtom(display_, name, /*only_if_exists=*/1);
    if (atom == 0) return false;
    XAtom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    x_->GetWindowProperty(display_, window, atom, 0, 0, 0, /*AnyPropertyType=*/0, &type, &format,
                          &items, &after, &data);
    if (data != nullptr) x_->Free(data);
    return Succeeded() && type != 0;
  }

 private:
  const Xlib* x_ = nullptr;
  Display* display_ = nullptr;
  XErrorHandler previous_ = nullptr;
};

// X11 window ids have 29 bits; larger handles name no window.
bool Plausible(WindowHandle window) { return window != 0 && window <= 0xFFFFFFFFu; }

class X11Windows final : public Windows {
 public:
  WindowHandle GetFocus() override {
    Connection c;
    if (!c.ok()) return 0;
    XWindow focus = 0;
    int revert = 0;
    c.x().GetInputFocus(c.display(), &focus, &revert);
    if (!c.Succeeded() || focus == kPointerRoot) return 0;
    return focus;
  }

  void SetFocus(WindowHandle window) override {
    if (!Plausible(window)) return;
    Connection c;
    if (!c.ok()) return;
    c.x().SetInputFocus(c.display(), window, kRevertToParent, kCurrentTime);
    c.Succeeded();
  }

  bool IsWindow(WindowHandle window) override {
    if (!Plausible(window)) return false;
    Connection c;
    XWindow root = 0, parent = 0;
    return c.ok() && c.Tree(window, &root, &parent);
  }

  bool IsWindowEnabled(WindowHandle window) override { return IsWindow(window); }

  void EnableWindow(WindowHandle, bool) override {}

  WindowHandle GetParent(WindowHandle window) override {
    XWindow parent = 0;
    return ChildOf(window, &parent) ? parent : 0;
  }

  bool IsChildWindow(WindowHandle window) override {
    XWindow parent = 0;
    return ChildOf(window, &parent);
  }

 private:
  // True when `window` is a child window; `*parent` is then its X parent.
  static bool ChildOf(WindowHandle window, XWindow* parent) {
    if (!Plausible(window)) return false;
    Connection c;
    XWindow root = 0;
    if (!c.ok() || !c.Tree(window, &root, parent)) return false;
    if (*parent == 0 || *parent == root) return false;
    return !c.HasProperty(window, "WM_STATE");
  }
};

}  // namespace

Windows& Windows::Default() {
  static NoDestructor<X11Windows> instance;
  return *instance.get();
}

}  // namespace dzv::platform
