// Dialogs that answer as a test scripts them, for tests of what the library
// makes of a dialog's settings and answer: each run records the settings it
// was given, calls what the test wants done while the dialog is up, then
// confirms the scripted answer or cancels. The instance is its own shell
// allocator.
//
// Thread-safety: none; one test thread uses an instance.
#ifndef DZV_PLATFORM_IN_MEMORY_DIALOGS_H_
#define DZV_PLATFORM_IN_MEMORY_DIALOGS_H_

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace dzv::platform {

class ScriptedDialogs final : public Dialogs, public ShellAllocator {
 public:
  // The folders that BrowseForFolder hands out.
  struct Folder : ItemList {
    std::string path;
  };
  // The dialog window that the browse callback is given.
  static constexpr WindowHandle kDialogWindow = 0xD1A;
  struct Message {
    WindowHandle dialog;
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
  };

  bool HasExplorerStyle() override { return explorer; }

  // Writes `answer` (its bytes as they are) and `answer_index` on
  // confirmation.
  bool RunOpenFileDialog(OpenFileSettings* s) override {
    if (s == nullptr || s->file == nullptr || s->max_file == 0) return false;
    ++runs;
    seen = *s;
    seen_buffer.assign(s->file, s->max_file);
    seen_filter.clear();
    for (const char* item = s->filter; item != nullptr && *item != '\0';
         item += std::strlen(item) + 1) {
      seen_filter.emplace_back(item);
    }
    if (during_dialog) during_dialog();
    if (!confirm) return false;
    std::memcpy(s->file, answer.data(), answer.size());
    s->filter_index = answer_index;
    return true;
  }

  bool GetShellAllocator(ShellAllocator** allocator) override {
    if (allocator == nullptr || !allocator_available) return false;
    *allocator = this;
    return true;
  }
  // Calls the callback with kBrowseInitialized and a selection change; on
  // confirmation the folder is `answer`, its display name "Display".
  ItemList* BrowseForFolder(const BrowseSettings& s) override {
    ++runs;
    seen_browse = s;
    if (s.callback != nullptr) {
      s.callback(kDialogWindow, kBrowseInitialized, 0, s.data);
      s.callback(kDialogWindow, /*BFFM_SELCHANGED=*/2, 0, s.data);
    }
    if (!confirm) return nullptr;
    if (s.display_name != nullptr) std::strcpy(s.display_name, "Display");
    auto* folder = new Folder;
    folder->path = answer;
    return folder;
  }
  bool GetPathFromItemList(const ItemList* list, char* path) override {
    if (path == nullptr) return false;
    const auto* folder = dynamic_cast<const Folder*>(list);
    if (folder == nullptr) {
      path[0] = '\0';
      return false;
    }
    std::strcpy(path, folder->path.c_str());
    return !folder->path.empty();
  }
  // Records the message; answers 0.
  intptr_t SendDialogMessage(WindowHandle dialog, uint32_t message, uintptr_t wparam,
                             intptr_t lparam) override {
    messages.push_back({dialog, message, wparam, lparam});
    return 0;
  }
  void Free(ItemList* list) override {
    ++frees;
    delete list;
  }
  void Release() override { ++releases; }

  // The script.
  bool explorer = true;
  bool confirm = true;
  bool allocator_available = true;
  std::string answer;
  uint32_t answer_index = 0;
  std::function<void()> during_dialog;

  // What the dialogs saw.
  int runs = 0, frees = 0, releases = 0;
  OpenFileSettings seen;
  std::string seen_buffer;
  std::vector<std::string> seen_filter;
  BrowseSettings seen_browse;
  std::vector<Message> messages;
};

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_IN_MEMORY_DIALOGS_H_
