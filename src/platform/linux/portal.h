// The desktop portal's file chooser: org.freedesktop.portal.FileChooser of
// org.freedesktop.portal.Desktop on the session bus, the chooser of the
// user's own desktop, which also works inside a sandbox and tells which
// filter the user had selected. The bus is reached through sd-bus
// (libsystemd.so.0), loaded when first needed and kept loaded; where it
// cannot be loaded there is no portal.
//
// One call is one OpenFile request: the Response signal of the request's
// path (made from the bus's unique name and a token of this process) is
// subscribed to before the request is sent, so an answer that comes at
// once is not lost; the calling thread then waits, without a time limit,
// until the portal answers, leaves the bus, or the bus goes away. All texts
// here are UTF-8, as in zenity.h.
#ifndef DZV_PLATFORM_LINUX_PORTAL_H_
#define DZV_PLATFORM_LINUX_PORTAL_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/zenity.h"

namespace dzv::platform {

enum class PortalOutcome {
  // No portal that can show this dialog: no session bus, no sd-bus, no
  // file chooser, a folder dialog before the chooser's version 3, or a
  // request that the portal refused. Another dialog may be tried.
  kUnavailable,
  // The user cancelled, the dialog ended otherwise, the portal left the bus
  // before answering, or its answer cannot be used (malformed, not a local
  // file, a folder dialog with more than one folder).
  kNoChoice,
  kChosen,
};

struct PortalChoice {
  // Absolute paths, decoded from the file:// URIs; a folder without its
  // final "/" (but "/" itself).
  std::vector<std::string> paths;
  // The 1-based pair of the request's filters that the user had selected;
  // 0 when the portal named none of them.
  uint32_t filter_index = 0;
};

// One filter as the portal takes it: the display text and glob patterns.
struct PortalFilter {
  std::string name;
  std::vector<std::string> globs;
  bool operator==(const PortalFilter&) const = default;
};

// The portal's filters for the pairs of a filter list: each pattern list
// split at ";", blanks around a pattern and empty patterns dropped, "*.*"
// (every file, to users of these filters) as "*"; an empty display text is
// replaced by the pattern list.
std::vector<PortalFilter> PortalFilters(const std::vector<FilterPair>& pairs);

// The path of a file:// URI ("file:///p" or "file://localhost/p") with its
// percent-escapes decoded; false for another scheme or host, a bad escape,
// an escaped zero byte or a path that is not absolute.
bool PathOfFileUri(std::string_view uri, std::string* path);

// Shows the chooser for `request`: the title, `multiple`, `directory`, the
// filters with the selected pair, the folder of `filename` (the folder
// itself for a folder dialog) where the chooser's version (4) takes it, and
// for an X11 owner (`attach`) the parent window and modality. `choice` is
// written only for kChosen.
PortalOutcome AskPortal(const ZenityFileRequest& request, PortalChoice* choice);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_PORTAL_H_
