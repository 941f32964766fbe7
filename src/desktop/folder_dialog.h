// The folder-browse dialog behind _DlgBrowseForFolder, run through the
// dialogs it is given.
#ifndef DZV_DESKTOP_FOLDER_DIALOG_H_
#define DZV_DESKTOP_FOLDER_DIALOG_H_

#include <cstdint>

#include "platform/dialogs.h"

namespace dzv::desktop {

// Shows the dialog over the whole namespace, modal to `owner`, with
// `title` (may be null) above the folder tree and `initial_folder`
// selected when it opens (the browse callback asks `dialogs` for it,
// whatever the text, null included). `display_name` and `path` are buffers
// of at least platform::kMaxPath bytes. Returns 1 when the user chose a
// folder: its display name and its file-system path have been written (the
// path is empty when the folder has none). Returns 0, with both buffers as
// they were, when the user cancelled, when the shell's allocator cannot be
// had, or for a null buffer.
int32_t DlgBrowseForFolder(platform::Dialogs& dialogs, platform::WindowHandle owner,
                           const char* title, const char* initial_folder, char* display_name,
                           char* path);

}  // namespace dzv::desktop

#endif  // DZV_DESKTOP_FOLDER_DIALOG_H_
