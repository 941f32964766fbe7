// The folder-browse dialog behind _DlgBrowseForFolder, run through
// platform::Dialogs::Current().
#ifndef DZV_DESKTOP_FOLDER_DIALOG_H_
#define DZV_DESKTOP_FOLDER_DIALOG_H_

#include <cstdint>

#include "platform/dialogs.h"

namespace dzv::desktop {

// Shows the dialog over the whole namespace, modal to `owner`, with
// `title` (may be null) above the folder tree and `initial_folder`
// selected when it opens (the browse callback asks for it whatever the
// text, null included). `display_name` and `path` are buffers of at least
// platform::kMaxPath bytes. Returns 1 when the user chose a folder: its
// display name and its file-system path have been written (the path is
// empty when the folder has none). Returns 0, with both buffers as they
// were, when the user cancelled, when the shell's allocator cannot be had,
// or for a null buffer.
int32_t DlgBrowseForFolder(platform::WindowHandle owner, const char* title,
                           const char* initial_folder, char* display_name, char* path);

// The browse callback: on kBrowseInitialized it sends kBrowseSetSelection
// to the dialog with 1 and `initial_folder`. Ignores every other message;
// returns 0.
int32_t BrowseCallback(platform::WindowHandle dialog, uint32_t message, intptr_t parameter,
                       intptr_t initial_folder);

}  // namespace dzv::desktop

#endif  // DZV_DESKTOP_FOLDER_DIALOG_H_
