#include "desktop/folder_dialog.h"

namespace dzv::desktop {

int32_t BrowseCallback(platform::WindowHandle dialog, uint32_t message, intptr_t /*parameter*/,
                       intptr_t initial_folder) {
  if (message == platform::kBrowseInitialized) {
    platform::Dialogs::Current().SendDialogMessage(dialog, platform::kBrowseSetSelection, 1,
                                                   initial_folder);
  }
  return 0;
}

int32_t DlgBrowseForFolder(platform::WindowHandle owner, const char* title,
                           const char* initial_folder, char* display_name, char* path) {
  if (display_name == nullptr || path == nullptr) return 0;
  platform::Dialogs& dialogs = platform::Dialogs::Current();
  platform::ShellAllocator* allocator = nullptr;
  if (!dialogs.GetShellAllocator(&allocator) || allocator == nullptr) return 0;

  platform::BrowseSettings settings;
  settings.owner = owner;
  settings.display_name = display_name;
  settings.title = title;
  settings.flags = 0;
  settings.callback = &BrowseCallback;
  settings.data = reinterpret_cast<intptr_t>(initial_folder);
  platform::ItemList* folder = dialogs.BrowseForFolder(settings);
  if (folder == nullptr) {
    allocator->Release();
    return 0;
  }
  // A folder without a file-system path leaves an empty path; the choice
  // still counts.
  dialogs.GetPathFromItemList(folder, path);
  allocator->Free(folder);
  allocator->Release();
  return 1;
}

}  // namespace dzv::desktop
