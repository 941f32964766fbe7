// The modality of the open-file dialog towards the caller's window, for the
// length of one dialog, through the windows it is given.
//
// On construction: notes the window that has the keyboard focus; derives
// the dialog's owner from the caller's window (the window itself, or, while
// that is a child window, its nearest ancestor that is not one; none for a
// handle of 0); disables the top-level window above the owner when it is
// enabled and is not the owner itself; then disables the owner when it is
// enabled. On destruction, in this order: enables the owner again if it was
// disabled here, gives the focus back to the noted window if it still
// exists, and enables the top-level window again if it was disabled here
// and still exists.
#ifndef DZV_DESKTOP_DIALOG_MODALITY_H_
#define DZV_DESKTOP_DIALOG_MODALITY_H_

#include "platform/windowing.h"

namespace dzv::desktop {

class DialogModality {
 public:
  // `windows` must outlive the object.
  DialogModality(platform::Windows& windows, platform::WindowHandle window);
  ~DialogModality();
  DialogModality(const DialogModality&) = delete;
  DialogModality& operator=(const DialogModality&) = delete;

  // The window the dialog is modal to, or 0.
  platform::WindowHandle owner() const { return owner_; }

 private:
  platform::Windows& windows_;
  platform::WindowHandle focus_ = 0;
  platform::WindowHandle owner_ = 0;
  platform::WindowHandle top_level_ = 0;
  bool owner_disabled_ = false;
  bool top_level_disabled_ = false;
};

}  // namespace dzv::desktop

#endif  // DZV_DESKTOP_DIALOG_MODALITY_H_
