#include "desktop/folder_dialog.h"

namespace dzv::desktop {
namespace {

// What the browse callback gets as its data: the dialogs that run it and
// the folder to select.
struct BrowseContext {
  platform::Dialogs* dialogs;
  intptr_t initial_folder;
};

// On kBrowseInitialized, sends kBrowseSetSelection to the dialog with 1 and
// the initial folder. Ignores every other message; returns 0.
int32_t BrowseCallback(platform::WindowHandle dialog, uint32_t message, intptr_t /*parameter*/,
                       intptr_t data) {
  if (message == platform::kBrowseInitialized) {
    const auto* context = reinterpret_cast<const BrowseContext*>(data);
    context->dialogs->SendDialogMessage(dialog, platform::kBrowseSetSelection, 1,
                                        context->initial_folder);
  }
  return 0;
}

}  // namespace

int32_t DlgBrowseForFolder(platform::Dialogs& dialogs, platform::WindowHandle owner,
                           const char* title, const char* initial_folder, char* display_name,
                           char* path) {
  if (display_name == nullptr || path == nullptr) return 0;
  platform::ShellAllocator* allocator = nullptr;
  if (!dialogs.GetShellAllocator(&allocator) || allocator == nullptr) return 0;

  const BrowseContext context{&dialogs, reinterpret_cast<intptr_t>(initial_folder)};
  platform::BrowseSettings settings;
  settings.owner = owner;
  settings.display_name = display_name;
  settings.title = title;
  settings.flags = 0;
  settings.callback = &BrowseCallback;
  settings.data = reinterpret_cast<intptr_t>(&context);
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
