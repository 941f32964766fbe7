// How the dialogs of the Linux desktop talk to zenity: the command lines of
// its file and folder selections, the environment it runs in, and how its
// answer becomes the selection layout of OpenFileSettings. All texts here
// are UTF-8; the backend converts from and to the process's code page.
#ifndef DZV_PLATFORM_LINUX_ZENITY_H_
#define DZV_PLATFORM_LINUX_ZENITY_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/windowing.h"

namespace dzv::platform {

using FilterPair = std::pair<std::string, std::string>;  // display text, patterns

// The pairs of a filter list (items ended by zero bytes, the list by an
// empty item). An item without its partner at the end is dropped.
std::vector<FilterPair> FilterPairs(const char* list);

// A GTK glob for one file pattern of the platform's filters: ASCII letters
// match either case ("*.txt" also finds "A.TXT", as users of these filters
// expect), "*.*" matches every file, a blank (which would split the
// pattern list) matches any one character, and "[" is literal.
std::string GlobOfPattern(std::string_view pattern);

// zenity's --file-filter value for one pair: the display text, " | " and
// the globs of the ";"-separated patterns, separated by blanks. An empty
// display text is replaced by the patterns.
std::string ZenityFileFilter(const FilterPair& pair);

struct ZenityFileRequest {
  std::string title;  // empty: zenity's own
  bool has_title = false;
  bool multiple = false;
  bool directory = false;  // a folder selection
  std::vector<FilterPair> filters;
  uint32_t filter_index = 0;  // 1-based; out of range: the first pair
  std::string filename;       // the initial file or folder; empty: none
  WindowHandle attach = 0;    // X11 window to be modal to; 0: none
};

// The selected output separator. Every path zenity prints is absolute and
// has no "//" and no final "/", so a "/" between two paths shows as the one
// "//" of the output, whatever bytes the names hold (newlines included).
constexpr char kZenitySeparator[] = "/";

// zenity's command line for `request`. The selected filter goes first,
// since zenity opens with its first filter selected; the others keep their
// order.
std::vector<std::string> ZenityFileCommand(const std::string& zenity,
                                           const ZenityFileRequest& request);

// `environment` with the character type set to UTF-8, so that zenity takes
// its arguments and prints paths as UTF-8 whatever the caller's locale;
// the other locale categories (messages, the language of the dialog) are
// kept. When LC_ALL is set, its value passes to LANG.
std::vector<std::string> ZenityEnvironment(const std::vector<std::string>& environment);

// The paths of zenity's output (the final newline removed).
std::vector<std::string> SplitZenityPaths(std::string_view output);

// The selection layout of OpenFileSettings for `paths`: one path, or the
// directory that all share (with its final "/") and the names below it;
// zero bytes between the parts in the explorer style, blanks in the old
// style; ended by an empty name. Empty when there is no path.
std::string LayOutSelection(const std::vector<std::string>& paths, bool explorer);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_ZENITY_H_
