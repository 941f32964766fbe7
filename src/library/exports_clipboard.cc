// Exports of the clipboard family.
#include "desktop/clipboard.h"
#include "duduzuvez210.h"
#include "library/guard.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"

using dzv::library::Guard;
using dzv::platform::Clipboard;
using dzv::platform::ProcessLeadBytes;
using dzv::platform::WindowHandle;

extern "C" {

int32_t DZV_CALL _GetClipboardDataLength(DZV_HWND owner) {
  return Guard(0, [&] {
    return dzv::desktop::GetClipboardDataLength(Clipboard::Current(),
                                                reinterpret_cast<WindowHandle>(owner));
  });
}

int32_t DZV_CALL _GetClipboardData(DZV_HWND owner, char* buffer) {
  return Guard(0, [&] {
    return dzv::desktop::GetClipboardData(Clipboard::Current(), ProcessLeadBytes(),
                                          reinterpret_cast<WindowHandle>(owner), buffer);
  });
}

int32_t DZV_CALL _SetClipboardData(DZV_HWND owner, const char* text) {
  return Guard(0, [&] {
    return dzv::desktop::SetClipboardData(Clipboard::Current(),
                                          reinterpret_cast<WindowHandle>(owner), text);
  });
}

}  // extern "C"
