// Exports of the dialog family.
#include "desktop/folder_dialog.h"
#include "desktop/open_file_dialog.h"
#include "duduzuvez210.h"
#include "library/guard.h"
#include "platform/code_page.h"
#include "platform/dialogs.h"
#include "platform/windowing.h"

using dzv::library::Guard;
using dzv::platform::Dialogs;
using dzv::platform::ProcessLeadBytes;
using dzv::platform::WindowHandle;
using dzv::platform::Windows;

extern "C" {

int32_t DZV_CALL _DlgOpenFile1(DZV_HWND owner, const char* title, const char* filter,
                               int32_t reserved, int32_t* filter_index, char* selection) {
  return Guard(0, [&] {
    return dzv::desktop::DlgOpenFile1(Dialogs::Current(), Windows::Current(), ProcessLeadBytes(),
                                      reinterpret_cast<WindowHandle>(owner), title, filter,
                                      reserved, filter_index, selection);
  });
}

int32_t DZV_CALL _DlgOpenFile(DZV_HWND owner, const char* title, const char* filter,
                              int32_t reserved, int32_t filter_index, char* selection) {
  return Guard(0, [&] {
    return dzv::desktop::DlgOpenFile(Dialogs::Current(), Windows::Current(), ProcessLeadBytes(),
                                     reinterpret_cast<WindowHandle>(owner), title, filter, reserved,
                                     filter_index, selection);
  });
}

int32_t DZV_CALL _DlgBrowseForFolder(DZV_HWND owner, const char* title, const char* initial_folder,
                                     char* display_name, char* path) {
  return Guard(0, [&] {
    return dzv::desktop::DlgBrowseForFolder(Dialogs::Current(),
                                            reinterpret_cast<WindowHandle>(owner), title,
                                            initial_folder, display_name, path);
  });
}

}  // extern "C"
