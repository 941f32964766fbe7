// The open-file dialog with multiple selection, behind _DlgOpenFile1 and
// _DlgOpenFile, run through the dialogs it is given, modally to the caller's
// window among the windows it is given (see dialog_modality.h).
//
// The caller's selection buffer holds kSelectionBufferSize bytes. On entry
// it holds the file name the dialog shows when it opens; while the dialog
// runs it is the platform's file buffer; after a confirmed choice it holds
// the selection list (selection_list.h) and its zero byte.
#ifndef DZV_DESKTOP_OPEN_FILE_DIALOG_H_
#define DZV_DESKTOP_OPEN_FILE_DIALOG_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/windowing.h"
#include "text/mbcs.h"

namespace dzv::desktop {

constexpr size_t kSelectionBufferSize = 30000;

// The dialog's flags besides the style: must-exist, multiple selection, no
// read-only box.
constexpr uint32_t kOpenFileFlags = 0x1204;

// The platform's filter list for a filter text of pairs, display text and
// pattern, every item followed by "|": each "|" found by characters becomes
// a zero byte. The result carries one more zero byte after the converted
// text, so that the list is ended by an empty item even when the text's
// last item lacks its "|".
std::string ConvertFilter(const text::LeadByteTable& t, std::string_view filter);

// Sets the bytes of `buffer` after the entry text's zero byte, up to its
// kSelectionBufferSize-th byte, to zero. An entry text without a zero
// byte in the buffer is cut to end at the buffer's last byte.
void ClearAfterEntryText(char* buffer);

// Shows the dialog. `title` and `filter` may be null; `reserved` is not
// used. `*filter_index` (the 1-based filter pair selected when the dialog
// opens) is read before the dialog opens and receives the pair selected at
// confirmation. Returns 1 when the user confirmed and the selection list
// was written; 0 after a cancel (the index and the buffer then get nothing
// more), when the selection list would not fit into the buffer (which then
// keeps the platform's selection), or for a null index or buffer.
// `lead_bytes` are those of the process's code page.
int32_t DlgOpenFile1(platform::Dialogs& dialogs, platform::Windows& windows,
                     const text::LeadByteTable& lead_bytes, platform::WindowHandle owner,
                     const char* title, const char* filter, int32_t reserved, int32_t* filter_index,
                     char* buffer);

// DlgOpenFile1 with the filter index passed by value and not reported.
int32_t DlgOpenFile(platform::Dialogs& dialogs, platform::Windows& windows,
                    const text::LeadByteTable& lead_bytes, platform::WindowHandle owner,
                    const char* title, const char* filter, int32_t reserved, int32_t filter_index,
                    char* buffer);

}  // namespace dzv::desktop

#endif  // DZV_DESKTOP_OPEN_FILE_DIALOG_H_
