// Linux backend of the dialog service, for a process on the desktop named
// by DISPLAY or WAYLAND_DISPLAY. The open-file and folder dialogs are the
// desktop portal's file chooser (portal.h) where the session bus offers
// one, else zenity's file selections (Debian's zenity); either is made
// transient for, and modal to, the owner when the owner is a window of the
// X11 display. Without a desktop, or with neither, no dialog can be shown,
// and every dialog ends at once as though cancelled.
//
// The portal reports the filter the user had selected; zenity cannot, and
// after zenity the filter index comes back as it went in. A chosen path
// that the process's code page cannot spell would name another file; such
// a choice ends the dialog as a cancel does.
#include "platform/linux/dialogs.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/code_page.h"
#include "platform/linux/portal.h"
#include "platform/linux/process_runner.h"
#include "platform/linux/zenity.h"

extern char** environ;

namespace dzv::platform {
namespace {

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

bool HasDesktop() { return Set("DISPLAY") || Set("WAYLAND_DISPLAY"); }

bool ToUtf8(const DialogServices& services, std::string_view text, std::string* utf8) {
  return services.code_page.ToUtf8(text, services.lead_bytes.code_page(), utf8);
}

// UTF-8 to the process's code page; false unless every character has its
// own spelling there.
bool FromUtf8Exactly(const DialogServices& services, std::string_view utf8, std::string* text) {
  std::string back;
  return services.code_page.FromUtf8(utf8, services.lead_bytes.code_page(), text) &&
         ToUtf8(services, *text, &back) && back == utf8;
}

// `path` as an absolute path: relative ones are taken from the working
// directory.
std::string Absolute(std::string path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  std::string dir = cwd;
  if (dir.back() != '/') dir += '/';
  return dir + path;
}

// The owner as zenity can attach to it: an existing window of the X11
// display, else none.
WindowHandle Attachable(const DialogServices& services, WindowHandle owner) {
  if (owner == 0 || !Set("DISPLAY") || !services.windows.IsWindow(owner)) return 0;
  return owner;
}

// Runs zenity for `request`; true with the chosen paths when the user
// confirmed.
bool RunZenity(const std::string& zenity, const ZenityFileRequest& request,
               std::vector<std::string>* paths) {
  std::vector<std::string> caller_environment;
  for (char** e = environ; *e != nullptr; ++e) caller_environment.emplace_back(*e);
  const std::vector<std::string> environment = ZenityEnvironment(caller_environment);
  ProcessOptions options;
  options.capture_output = true;
  options.environment = &environment;
  ProcessResult result;
  if (!RunProcess(ZenityFileCommand(zenity, request), options, &result) || result.exit_code != 0) {
    return false;
  }
  *paths = SplitZenityPaths(result.output);
  return !paths->empty();
}

// Shows the portal's chooser for `request`, or zenity's where there is no
// portal; true with the chosen paths when the user confirmed. The filter
// index is the portal's, or 0 when none is known.
bool Choose(const ZenityFileRequest& request, std::vector<std::string>* paths,
            uint32_t* filter_index) {
  PortalChoice choice;
  switch (AskPortal(request, &choice)) {
    case PortalOutcome::kChosen:
      *paths = std::move(choice.paths);
      *filter_index = choice.filter_index;
      return true;
    case PortalOutcome::kNoChoice:
      return false;
    case PortalOutcome::kUnavailable:
      break;
  }
  *filter_index = 0;
  const std::string zenity = FindExecutable("zenity");
  return !zenity.empty() && RunZenity(zenity, request, paths);
}

class Folder final : public ItemList {
 public:
  explicit Folder(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;  // in the process's code page
};

class Allocator final : public ShellAllocator {
 public:
  void Free(ItemList* list) override { delete list; }
  void Release() override {}
};

// The folder dialog being opened on this thread, for the browse callback's
// messages.
struct BrowseCall {
  bool has_selection = false;
  std::string selection;
};
thread_local BrowseCall* current_browse = nullptr;

WindowHandle TokenOf(BrowseCall* call) { return reinterpret_cast<WindowHandle>(call); }

// Copies `text` with its zero byte into a buffer of kMaxPath bytes, cut at
// a character boundary when it is longer.
void CopyBounded(const LeadByteTable& lead_bytes, std::string_view text, char* out) {
  if (text.size() >= kMaxPath) {
    text = text.substr(0, lead_bytes.WholeCharLength(text.substr(0, kMaxPath - 1)));
  }
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
}

class ZenityDialogs final : public Dialogs {
 public:
  explicit ZenityDialogs(const DialogServices& services) : services_(services) {}

  bool HasExplorerStyle() override { return true; }

  bool RunOpenFileDialog(OpenFileSettings* s) override {
    try {
      if (s == nullptr || s->file == nullptr || s->max_file == 0 || !HasDesktop()) return false;
      ZenityFileRequest request;
      request.has_title = s->title != nullptr;
      if (request.has_title && !ToUtf8(services_, s->title, &request.title)) return false;
      request.multiple = (s->flags & kOfnAllowMultiSelect) != 0;
      for (const FilterPair& pair : FilterPairs(s->filter)) {
        FilterPair utf8;
        if (!ToUtf8(services_, pair.first, &utf8.first) ||
            !ToUtf8(services_, pair.second, &utf8.second))
          return false;
        request.filters.push_back(std::move(utf8));
      }
      request.filter_index = s->filter_index;
      const std::string_view entry(s->file, strnlen(s->file, s->max_file));
      // A wildcard entry ("*.txt") names no file to start with.
      if (!entry.empty() && entry.find_first_of("*?") == std::string_view::npos) {
        if (!ToUtf8(services_, entry, &request.filename)) return false;
        request.filename = Absolute(std::move(request.filename));
      }
      request.attach = Attachable(services_, s->owner);

      std::vector<std::string> paths;
      uint32_t filter_index = 0;
      if (!Choose(request, &paths, &filter_index)) return false;
      std::string layout;
      if (!FromUtf8Exactly(services_, LayOutSelection(paths, (s->flags & kOfnExplorer) != 0),
                           &layout) ||
          layout.size() > s->max_file) {
        return false;
      }
      std::memcpy(s->file, layout.data(), layout.size());
      if (filter_index != 0) s->filter_index = filter_index;
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  bool GetShellAllocator(ShellAllocator** allocator) override {
    static Allocator shared;
    if (allocator == nullptr) return false;
    *allocator = &shared;
    return true;
  }

  ItemList* BrowseForFolder(const BrowseSettings& settings) override {
    try {
      if (!HasDesktop()) return nullptr;
      BrowseCall call;
      BrowseCall* const outer = current_browse;
      current_browse = &call;
      if (settings.callback != nullptr) {
        settings.callback(TokenOf(&call), kBrowseInitialized, 0, settings.data);
      }
      current_browse = outer;

      ZenityFileRequest request;
      request.directory = true;
      request.has_title = settings.title != nullptr;
      if (request.has_title && !ToUtf8(services_, settings.title, &request.title)) return nullptr;
      if (call.has_selection && !call.selection.empty()) {
        if (!ToUtf8(services_, call.selection, &request.filename)) return nullptr;
        // Without a final "/" the folder is selected in its parent rather
        // than opened.
        while (request.filename.size() > 1 && request.filename.back() == '/') {
          request.filename.pop_back();
        }
        request.filename = Absolute(std::move(request.filename));
      }
      request.attach = Attachable(services_, settings.owner);

      std::vector<std::string> paths;
      uint32_t no_filter = 0;
      std::string path;
      if (!Choose(request, &paths, &no_filter) || !FromUtf8Exactly(services_, paths[0], &path)) {
        return nullptr;
      }
      if (settings.display_name != nullptr) {
        const size_t slash = path.rfind('/');
        const bool root = slash == std::string::npos || slash + 1 == path.size();
        CopyBounded(services_.lead_bytes,
                    root ? std::string_view(path) : std::string_view(path).substr(slash + 1),
                    settings.display_name);
      }
      return new Folder(std::move(path));
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }

  bool GetPathFromItemList(const ItemList* list, char* path) override {
    if (path == nullptr) return false;
    const auto* folder = dynamic_cast<const Folder*>(list);
    if (folder == nullptr || folder->path().size() >= kMaxPath) {
      path[0] = '\0';
      return false;
    }
    std::memcpy(path, folder->path().c_str(), folder->path().size() + 1);
    return true;
  }

  intptr_t SendDialogMessage(WindowHandle dialog, uint32_t message, uintptr_t wparam,
                             intptr_t lparam) override {
    BrowseCall* call = current_browse;
    if (call == nullptr || dialog != TokenOf(call) || message != kBrowseSetSelection ||
        wparam != 1 || lparam == 0) {
      return 0;
    }
    try {
      call->selection = reinterpret_cast<const char*>(lparam);
      call->has_selection = true;
    } catch (const std::bad_alloc&) {
    }
    return 0;
  }

 private:
  const DialogServices services_;
};

}  // namespace

std::unique_ptr<Dialogs> NewLinuxDialogs(const DialogServices& services) {
  return std::make_unique<ZenityDialogs>(services);
}

Dialogs& Dialogs::Default() {
  static const DialogServices services{CodePage::Default(), ProcessLeadBytes(), Windows::Default()};
  static NoDestructor<ZenityDialogs> instance(services);
  return *instance.get();
}

}  // namespace dzv::platform
