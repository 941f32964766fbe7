// Clipboard text: the operations behind _GetClipboardDataLength,
// _GetClipboardData and _SetClipboardData. Each opens `clipboard` for the
// owner window, does its one thing with the text format only, and closes
// the clipboard again on every path.
// No other format is read, written or emptied.
//
// Every result is 0 when the clipboard cannot be opened (another window
// holds it open); nothing is then written or allocated. A null buffer or
// text gives 0 without opening the clipboard.
#ifndef DZV_DESKTOP_CLIPBOARD_H_
#define DZV_DESKTOP_CLIPBOARD_H_

#include <cstdint>

#include "platform/clipboard.h"
#include "platform/windowing.h"
#include "text/mbcs.h"

namespace dzv::desktop {

// The text's length + 1 (the room its copy needs, zero byte included);
// 0 when the clipboard holds no text.
int32_t GetClipboardDataLength(platform::Clipboard& clipboard, platform::WindowHandle owner);

// Copies the text with its zero byte into `buffer` and returns its length;
// 0, with the buffer untouched, when the clipboard holds no text.
//
// The buffer's size is not passed. When GetClipboardDataLength was the
// previous clipboard call of this thread and reported n, the caller is
// taken to have a buffer of n bytes: a text that has grown since then
// (another program changed the clipboard in between) is cut to fit, at a
// character boundary, instead of running past the buffer. The result is
// then the length of the part copied. Without such a preceding call the
// whole text is copied. `lead_bytes` are those of the text's code page.
int32_t GetClipboardData(platform::Clipboard& clipboard, const text::LeadByteTable& lead_bytes,
                         platform::WindowHandle owner, char* buffer);

// Puts `text` on the clipboard as the text format, in a new block of its
// length + 1 bytes, leaving the other formats as they are. Returns the
// text's length when the clipboard took it (so 0 for an empty text), else
// 0 with the clipboard as it was.
int32_t SetClipboardData(platform::Clipboard& clipboard, platform::WindowHandle owner,
                         const char* text);

}  // namespace dzv::desktop

#endif  // DZV_DESKTOP_CLIPBOARD_H_
