// dzv clipboard and dzv dialog: the desktop services of the library.
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <vector>

#include "cli.h"
#include "duduzuvez210.h"
#include "escapes.h"
#include "system.h"

namespace dzv::cli {
namespace {

// The selection buffer of the open-file dialog and the folder dialog's
// buffers, as the library fills them.
constexpr size_t kSelectionSize = 30000;
constexpr size_t kFolderBufferSize = 260;

DZV_HWND Owner(const Args& args) {
  const std::string text = args.Value("--owner", "0");
  char* end = nullptr;
  const unsigned long long id = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0')
    throw UsageError("--owner takes a window id, not '" + text + "'");
  return reinterpret_cast<DZV_HWND>(static_cast<uintptr_t>(id));
}

int ClipboardGet(const Args& args) {
  const DZV_HWND owner = Owner(args);
  const int32_t room = _GetClipboardDataLength(owner);
  if (room <= 0) {
    throw Failure("the clipboard holds no text, or another program holds it open");
  }
  std::vector<char> text(static_cast<size_t>(room), '\0');
  _GetClipboardData(owner, text.data());
  OutValue(text.data(), args.Has("--raw"));
  return kExitOk;
}

int ClipboardSet(const Args& args) {
  std::string text;
  if (args.size() == 1) {
    text = args.Has("--escapes") ? Unescape(args[0]) : args[0];
  } else {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  if (const size_t zero = text.find('\0'); zero != std::string::npos) {
    Note("dzv: warning: the text is cut at its zero byte (offset " + std::to_string(zero) + ")");
    text.resize(zero);
  }
  const DZV_HWND owner = Owner(args);
  const int32_t length = _SetClipboardData(owner, text.c_str());
  // An empty text gives 0 either way: it went through when the clipboard
  // now holds the empty text.
  const bool stored = text.empty() ? _GetClipboardDataLength(owner) == 1
                                   : static_cast<size_t>(length) == text.size();
  if (!stored) {
    throw Failure("the clipboard refused the text: " + WhyClipboardRefused());
  }
  return kExitOk;
}

int DialogOpen(const Args& args) {
  const std::string title = args.Value("--title");
  const std::string filter = args.Value("--filter");
  const std::string file = args.Value("--file");
  if (file.size() >= kSelectionSize) throw UsageError("--file is longer than 29999 bytes");
  const std::string index_text = args.Value("--index", "1");
  char* end = nullptr;
  const long index = std::strtol(index_text.c_str(), &end, 10);
  if (index_text.empty() || *end != '\0' || index < 0 || index > INT32_MAX) {
    throw UsageError("--index takes a number, not '" + index_text + "'");
  }
  std::vector<char> selection(kSelectionSize, '\0');
  std::copy(file.begin(), file.end(), selection.begin());
  int32_t filter_index = static_cast<int32_t>(index);
  if (!_DlgOpenFile1(Owner(args), args.Has("--title") ? title.c_str() : nullptr,
                     args.Has("--filter") ? filter.c_str() : nullptr, 0, &filter_index,
                     selection.data())) {
    throw Failure(WhyNoChoice("file"));
  }
  const std::string_view list(selection.data());
  for (size_t start = 0, bar; (bar = list.find('|', start)) != list.npos; start = bar + 1) {
    OutLine(list.substr(start, bar - start));
  }
  // The pair selected at confirmation (the desktop portal's; zenity cannot
  // tell, and the index stays as given).
  Note("dzv: filter " + std::to_string(filter_index));
  return kExitOk;
}

int DialogFolder(const Args& args) {
  const std::string title = args.Value("--title");
  const std::string folder = args.Value("--folder");
  char display_name[kFolderBufferSize] = "";
  char path[kFolderBufferSize] = "";
  if (!_DlgBrowseForFolder(Owner(args), args.Has("--title") ? title.c_str() : nullptr,
                           folder.c_str(), display_name, path)) {
    throw Failure(WhyNoChoice("folder"));
  }
  OutLine(*path != '\0' ? path : display_name);
  return kExitOk;
}

constexpr Option kGetOptions[] = {
    {"--raw", "", "write the text's bytes exactly, without a line end, also to a terminal"},
    {"--owner", "WINDOW", "the owner window's id (default 0: none)"},
};
constexpr Option kSetOptions[] = {
    {"--escapes", "", "TEXT uses escapes: \\xHH \\t \\r \\n \\\\"},
    {"--owner", "WINDOW", "the owner window's id (default 0: none)"},
};
constexpr Option kOpenOptions[] = {
    {"--title", "TEXT", "the dialog's title"},
    {"--filter", "PAIRS", "display texts and patterns: 'Text|*.txt;*.doc|All|*.*|'"},
    {"--index", "N", "the filter pair selected at opening, from 1"},
    {"--file", "NAME", "the file name selected at opening"},
    {"--owner", "WINDOW", "the X11 window the dialog belongs to (default 0: none)"},
};
constexpr Option kFolderOptions[] = {
    {"--title", "TEXT", "the dialog's title"},
    {"--folder", "DIR", "the folder selected at opening"},
    {"--owner", "WINDOW", "the X11 window the dialog belongs to (default 0: none)"},
};

constexpr Command kClipboardCommands[] = {
    {"get", "", 0, 0, "Print the clipboard's text.",
     "On a terminal, control characters other than tab and line feed print as \\xHH.", kGetOptions,
     &ClipboardGet},
    {"set", "[TEXT]", 0, 1, "Put a text on the clipboard (standard input without TEXT).",
     "Other formats on the clipboard stay.", kSetOptions, &ClipboardSet},
};

constexpr Command kDialogCommands[] = {
    {"open", "", 0, 0, "Let the user choose files; print each chosen path.",
     "Exits with 1 when no file was chosen.", kOpenOptions, &DialogOpen},
    {"folder", "", 0, 0, "Let the user choose a folder; print its path.",
     "Exits with 1 when no folder was chosen.", kFolderOptions, &DialogFolder},
};

}  // namespace

const Family& ClipboardFamily() {
  static const Family family{
      "clipboard", "Put text on the clipboard and read it.",
      "The session clipboard lives in $XDG_RUNTIME_DIR/duduzuvez210; with a desktop\n"
      "(wl-clipboard or xclip installed) the text is the desktop's clipboard as well.",
      kClipboardCommands};
  return family;
}

const Family& DialogFamily() {
  static const Family family{
      "dialog", "Show the file and folder dialogs.",
      "The dialogs are the desktop portal's file chooser, or zenity's where there is no "
      "portal, on the desktop named by DISPLAY or WAYLAND_DISPLAY.",
      kDialogCommands};
  return family;
}

}  // namespace dzv::cli
