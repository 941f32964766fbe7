#include "desktop/dialog_modality.h"

namespace dzv::desktop {
namespace {

// Deeper window trees than this are taken to loop.
constexpr int kMaxDepth = 1000;

}  // namespace

DialogModality::DialogModality(platform::Windows& windows, platform::WindowHandle window)
    : windows_(windows) {
  focus_ = windows_.GetFocus();
  owner_ = window;
  for (int depth = 0; owner_ != 0 && depth < kMaxDepth && windows_.IsChildWindow(owner_); ++depth) {
    owner_ = windows_.GetParent(owner_);
  }
  top_level_ = owner_;
  for (int depth = 0; top_level_ != 0 && depth < kMaxDepth; ++depth) {
    const platform::WindowHandle parent = windows_.GetParent(top_level_);
    if (parent == 0) break;
    top_level_ = parent;
  }
  if (top_level_ != 0 && top_level_ != owner_ && windows_.IsWindowEnabled(top_level_)) {
    windows_.EnableWindow(top_level_, false);
    top_level_disabled_ = true;
  }
  if (owner_ != 0 && windows_.IsWindowEnabled(owner_)) {
    windows_.EnableWindow(owner_, false);
    owner_disabled_ = true;
  }
}

DialogModality::~DialogModality() {
  if (owner_disabled_) windows_.EnableWindow(owner_, true);
  if (focus_ != 0 && windows_.IsWindow(focus_)) windows_.SetFocus(focus_);
  if (top_level_disabled_ && windows_.IsWindow(top_level_)) windows_.EnableWindow(top_level_, true);
}

}  // namespace dzv::desktop
