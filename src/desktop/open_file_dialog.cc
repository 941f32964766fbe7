#include "desktop/open_file_dialog.h"

#include <cstring>

#include "desktop/dialog_modality.h"
#include "desktop/selection_list.h"
#include "platform/dialogs.h"

namespace dzv::desktop {
namespace {

// The size of the platform's settings record.
constexpr uint32_t kSettingsSize = 76;

}  // namespace

std::string ConvertFilter(const text::LeadByteTable& t, std::string_view filter) {
  std::string list;
  list.reserve(filter.size() + 1);
  for (size_t i = 0; i < filter.size(); ++i) {
    if (t.IsLead(filter[i]) && i + 1 < filter.size()) {
      list += filter[i];
      list += filter[++i];
    } else {
      list += filter[i] == '|' ? '\0' : filter[i];
    }
  }
  list += '\0';
  return list;
}

void ClearAfterEntryText(char* buffer) {
  size_t entry = strnlen(buffer, kSelectionBufferSize);
  if (entry == kSelectionBufferSize) {
    entry = kSelectionBufferSize - 1;
    buffer[entry] = '\0';
  }
  std::memset(buffer + entry + 1, 0, kSelectionBufferSize - entry - 1);
}

int32_t DlgOpenFile1(platform::Dialogs& dialogs, platform::Windows& windows,
                     const text::LeadByteTable& t, platform::WindowHandle owner, const char* title,
                     const char* filter, int32_t /*reserved*/, int32_t* filter_index,
                     char* buffer) {
  if (filter_index == nullptr || buffer == nullptr) return 0;

  const std::string filter_list = filter != nullptr ? ConvertFilter(t, filter) : std::string();
  platform::OpenFileSettings settings;
  settings.struct_size = kSettingsSize;
  settings.filter = filter != nullptr ? filter_list.c_str() : nullptr;
  settings.flags = platform::kOfnEnableHook | platform::kOfnEnableSizing |
                   (dialogs.HasExplorerStyle() ? platform::kOfnExplorer : 0) | kOpenFileFlags;
  settings.title = title;
  settings.file = buffer;
  settings.max_file = kSelectionBufferSize;
  settings.filter_index = static_cast<uint32_t>(*filter_index);

  ClearAfterEntryText(buffer);
  bool confirmed;
  {
    DialogModality modality(windows, owner);
    settings.owner = modality.owner();
    confirmed = dialogs.RunOpenFileDialog(&settings);
  }
  if (!confirmed) return 0;

  const char delimiter = (settings.flags & platform::kOfnExplorer) != 0 ? '\0' : ' ';
  const std::string list =
      BuildSelectionList(t, std::string_view(buffer, kSelectionBufferSize), delimiter);
  if (list.size() >= kSelectionBufferSize) return 0;
  *filter_index = static_cast<int32_t>(settings.filter_index);
  std::memcpy(buffer, list.c_str(), list.size() + 1);
  return 1;
}

int32_t DlgOpenFile(platform::Dialogs& dialogs, platform::Windows& windows,
                    const text::LeadByteTable& lead_bytes, platform::WindowHandle owner,
                    const char* title, const char* filter, int32_t reserved, int32_t filter_index,
                    char* buffer) {
  return DlgOpenFile1(dialogs, windows, lead_bytes, owner, title, filter, reserved, &filter_index,
                      buffer);
}

}  // namespace dzv::desktop
