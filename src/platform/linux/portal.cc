#include "platform/linux/portal.h"

#include <dlfcn.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

namespace dzv::platform {
namespace {

constexpr char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kFileChooser[] = "org.freedesktop.portal.FileChooser";
constexpr uint32_t kDirectoryVersion = 3;      // OpenFile takes "directory"
constexpr uint32_t kCurrentFolderVersion = 4;  // OpenFile takes "current_folder"

// The sd-bus entry points used here. The library is loaded at run time, so
// that the shared library has no load-time dependency on it; the header
// gives the types.
struct SdBus {
  decltype(&sd_bus_open_user) open_user;
  decltype(&sd_bus_flush_close_unref) flush_close_unref;
  decltype(&sd_bus_get_unique_name) get_unique_name;
  decltype(&sd_bus_get_property_trivial) get_property_trivial;
  decltype(&sd_bus_call_method) call_method;
  decltype(&sd_bus_add_match) add_match;
  decltype(&sd_bus_process) process;
  decltype(&sd_bus_wait) wait;
  decltype(&sd_bus_call) call;
  decltype(&sd_bus_slot_unref) slot_unref;
  decltype(&sd_bus_error_free) error_free;
  decltype(&sd_bus_message_new_method_call) new_method_call;
  decltype(&sd_bus_message_unref) message_unref;
  decltype(&sd_bus_message_get_sender) get_sender;
  decltype(&sd_bus_message_append) append;
  decltype(&sd_bus_message_append_array) append_array;
  decltype(&sd_bus_message_open_container) open_container;
  decltype(&sd_bus_message_close_container) close_container;
  decltype(&sd_bus_message_read) read;
  decltype(&sd_bus_message_read_basic) read_basic;
  decltype(&sd_bus_message_skip) skip;
  decltype(&sd_bus_message_enter_container) enter_container;
  decltype(&sd_bus_message_exit_container) exit_container;
  decltype(&sd_bus_message_peek_type) peek_type;
};

template <class F>
bool Bind(void* library, const char* name, F* out) {
  void* p = dlsym(library, name);
  *out = reinterpret_cast<F>(p);
  return p != nullptr;
}

// sd-bus, or null when libsystemd.so.0 cannot be loaded.
const SdBus* LoadSdBus() {
  static const SdBus* loaded = []() -> const SdBus* {
    void* library = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    static SdBus b;
    const bool ok = Bind(library, "sd_bus_open_user", &b.open_user) &&
                    Bind(library, "sd_bus_flush_close_unref", &b.flush_close_unref) &&
                    Bind(library, "sd_bus_get_unique_name", &b.get_unique_name) &&
                    Bind(library, "sd_bus_get_property_trivial", &b.get_property_trivial) &&
                    Bind(library, "sd_bus_call_method", &b.call_method) &&
                    Bind(library, "sd_bus_add_match", &b.add_match) &&
                    Bind(library, "sd_bus_process", &b.process) &&
                    Bind(library, "sd_bus_wait", &b.wait) &&
                    Bind(library, "sd_bus_call", &b.call) &&
                    Bind(library, "sd_bus_slot_unref", &b.slot_unref) &&
                    Bind(library, "sd_bus_error_free", &b.error_free) &&
                    Bind(library, "sd_bus_message_new_method_call", &b.new_method_call) &&
                    Bind(library, "sd_bus_message_unref", &b.message_unref) &&
                    Bind(library, "sd_bus_message_get_sender", &b.get_sender) &&
                    Bind(library, "sd_bus_message_append", &b.append) &&
                    Bind(library, "sd_bus_message_append_array", &b.append_array) &&
                    Bind(library, "sd_bus_message_open_container", &b.open_container) &&
                    Bind(library, "sd_bus_message_close_container", &b.close_container) &&
                    Bind(library, "sd_bus_message_read", &b.read) &&
                    Bind(library, "sd_bus_message_read_basic", &b.read_basic) &&
                    Bind(library, "sd_bus_message_skip", &b.skip) &&
                    Bind(library, "sd_bus_message_enter_container", &b.enter_container) &&
                    Bind(library, "sd_bus_message_exit_container", &b.exit_container) &&
                    Bind(library, "sd_bus_message_peek_type", &b.peek_type);
    return ok ? &b : nullptr;
  }();
  return loaded;
}

// Owners of what sd-bus hands out, released when the call ends.
class Bus {
 public:
  Bus(const SdBus& b, sd_bus* bus) : b_(b), bus_(bus) {}
  ~Bus() {
    for (sd_bus_slot* slot : slots_) b_.slot_unref(slot);
    if (bus_ != nullptr) b_.flush_close_unref(bus_);
  }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;
  sd_bus* get() const { return bus_; }
  // Subscribes `handler` to the messages `rule` matches; the bus confirms
  // the subscription before this returns.
  bool Match(const std::string& rule, sd_bus_message_handler_t handler, void* data) {
    sd_bus_slot* slot = nullptr;
    if (b_.add_match(bus_, &slot, rule.c_str(), handler, data) < 0) return false;
    slots_.push_back(slot);
    return true;
  }

 private:
  const SdBus& b_;
  sd_bus* bus_;
  std::vector<sd_bus_slot*> slots_;
};

class Message {
 public:
  explicit Message(const SdBus& b) : b_(b) {}
  ~Message() {
    if (m_ != nullptr) b_.message_unref(m_);
  }
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;
  sd_bus_message* get() const { return m_; }
  sd_bus_message** out() { return &m_; }

 private:
  const SdBus& b_;
  sd_bus_message* m_ = nullptr;
};

class Error {
 public:
  explicit Error(const SdBus& b) : b_(b) {}
  ~Error() { b_.error_free(&e_); }
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;
  sd_bus_error* get() { return &e_; }

 private:
  const SdBus& b_;
  sd_bus_error e_ = SD_BUS_ERROR_NULL;
};

// Writes the OpenFile options, failing at the first step that fails.
class Options {
 public:
  Options(const SdBus& b, sd_bus_message* m) : b_(b), m_(m) {}
  bool ok() const { return ok_; }

  void Open() { Step(b_.open_container(m_, 'a', "{sv}")); }
  void Close() { Step(b_.close_container(m_)); }
  void String(const char* key, const std::string& value) {
    Step(b_.append(m_, "{sv}", key, "s", value.c_str()));
  }
  void Bool(const char* key, bool value) { Step(b_.append(m_, "{sv}", key, "b", value ? 1 : 0)); }
  // A zero-terminated byte array ("ay"), the portal's form of a path.
  void Path(const char* key, const std::string& path) {
    Enter(key, "ay");
    Step(b_.append_array(m_, 'y', path.c_str(), path.size() + 1));
    Leave();
  }
  void Filters(const std::vector<PortalFilter>& filters) {
    Enter("filters", "a(sa(us))");
    Step(b_.open_container(m_, 'a', "(sa(us))"));
    for (const PortalFilter& f : filters) Filter(f);
    Step(b_.close_container(m_));
    Leave();
  }
  void CurrentFilter(const PortalFilter& filter) {
    Enter("current_filter", "(sa(us))");
    Filter(filter);
    Leave();
  }

 private:
  void Step(int r) { ok_ = ok_ && r >= 0; }
  void Enter(const char* key, const char* type) {
    Step(b_.open_container(m_, 'e', "sv"));
    Step(b_.append(m_, "s", key));
    Step(b_.open_container(m_, 'v', type));
  }
  void Leave() {
    Step(b_.close_container(m_));
    Step(b_.close_container(m_));
  }
  void Filter(const PortalFilter& f) {
    Step(b_.open_container(m_, 'r', "sa(us)"));
    Step(b_.append(m_, "s", f.name.c_str()));
    Step(b_.open_container(m_, 'a', "(us)"));
    for (const std::string& glob : f.globs) Step(b_.append(m_, "(us)", 0u, glob.c_str()));
    Step(b_.close_container(m_));
    Step(b_.close_container(m_));
  }

  const SdBus& b_;
  sd_bus_message* m_;
  bool ok_ = true;
};

// What the wait is for, filled by the signal handlers.
struct Wait {
  const SdBus* b = nullptr;
  std::string portal_owner;     // the portal's unique name
  std::string request_path;     // where the Response comes from
  std::string returned_handle;  // the handle OpenFile gave, when another
  bool ended = false;
  bool answered = false;  // a Response that could be read
  uint32_t response = 2;
  bool has_uris = false;
  std::vector<std::string> uris;
  bool has_filter = false;
  PortalFilter filter;
};

// Reads one (sa(us)) filter; false when it is not one.
bool ReadFilter(const SdBus& b, sd_bus_message* m, PortalFilter* f) {
  const char* name = nullptr;
  if (b.enter_container(m, 'r', "sa(us)") <= 0 || b.read(m, "s", &name) < 0) return false;
  f->name = name;
  if (b.enter_container(m, 'a', "(us)") <= 0) return false;
  for (;;) {
    uint32_t type = 0;
    const char* pattern = nullptr;
    const int r = b.read(m, "(us)", &type, &pattern);
    if (r < 0) return false;
    if (r == 0) break;
    // A MIME type (1) makes no filter of ours: it is kept as a text that
    // no glob can be (it holds a zero byte).
    f->globs.emplace_back(type == 0 ? std::string(pattern) : std::string("\0mime", 5));
  }
  return b.exit_container(m) >= 0 && b.exit_container(m) >= 0;
}

// Reads the Response's results (a{sv}): "uris" and "current_filter"; false
// when they are malformed.
bool ReadResults(const SdBus& b, sd_bus_message* m, Wait* w) {
  if (b.enter_container(m, 'a', "{sv}") <= 0) return false;
  for (;;) {
    const int entry = b.enter_container(m, 'e', "sv");
    if (entry < 0) return false;
    if (entry == 0) break;
    const char* key = nullptr;
    char type = 0;
    const char* contents = nullptr;
    if (b.read(m, "s", &key) < 0 || b.peek_type(m, &type, &contents) <= 0 || contents == nullptr) {
      return false;
    }
    const std::string_view k(key), c(contents);
    if (k == "uris") {
      if (c != "as" || b.enter_container(m, 'v', "as") <= 0 ||
          b.enter_container(m, 'a', "s") <= 0) {
        return false;
      }
      w->has_uris = true;
      for (;;) {
        const char* uri = nullptr;
        const int r = b.read_basic(m, 's', &uri);
        if (r < 0) return false;
        if (r == 0) break;
        w->uris.emplace_back(uri);
      }
      if (b.exit_container(m) < 0 || b.exit_container(m) < 0) return false;
    } else if (k == "current_filter") {
      if (c != "(sa(us))" || b.enter_container(m, 'v', "(sa(us))") <= 0 ||
          !ReadFilter(b, m, &w->filter) || b.exit_container(m) < 0) {
        return false;
      }
      w->has_filter = true;
    } else if (b.skip(m, "v") < 0) {
      return false;
    }
    if (b.exit_container(m) < 0) return false;
  }
  return b.exit_container(m) >= 0;
}

int OnResponse(sd_bus_message* m, void* data, sd_bus_error*) {
  auto* w = static_cast<Wait*>(data);
  const char* sender = w->b->get_sender(m);
  if (w->ended || sender == nullptr || w->portal_owner != sender) return 0;
  w->ended = true;
  try {
    w->answered = w->b->read(m, "u", &w->response) > 0 && ReadResults(*w->b, m, w);
  } catch (const std::bad_alloc&) {
    w->answered = false;
  }
  return 0;
}

// The portal's name changed owner: it left the bus (or was replaced),
// and no answer will come.
int OnOwnerChanged(sd_bus_message*, void* data, sd_bus_error*) {
  static_cast<Wait*>(data)->ended = true;
  return 0;
}

// A token for the request path, unique in this process; the PID makes it
// differ between processes that share a connection's name by chance.
std::string NewToken() {
  static std::atomic<unsigned> counter{0};
  return "dzv" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

std::string RequestPath(std::string_view unique_name, const std::string& token) {
  std::string sender(unique_name.substr(unique_name.starts_with(':') ? 1 : 0));
  for (char& c : sender) {
    if (c == '.') c = '_';
  }
  return "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
}

std::string ParentWindow(WindowHandle window) {
  if (window == 0) return {};
  char text[32];
  std::snprintf(text, sizeof text, "x11:%lx", static_cast<unsigned long>(window));
  return text;
}

// The folder the chooser opens in: the folder itself for a folder dialog,
// else the folder of the file.
std::string StartFolder(const ZenityFileRequest& request) {
  std::string folder = request.filename;
  if (!request.directory) {
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return {};
    folder.resize(slash + 1);
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// The choice the answer in `w` makes, or false when it is not usable.
bool Choice(const Wait& w, const ZenityFileRequest& request,
            const std::vector<PortalFilter>& filters, PortalChoice* choice) {
  if (!w.has_uris || w.uris.empty() || (request.directory && w.uris.size() != 1)) return false;
  PortalChoice out;
  for (const std::string& uri : w.uris) {
    std::string path;
    if (!PathOfFileUri(uri, &path)) return false;
    if (request.directory) {
      while (path.size() > 1 && path.back() == '/') path.pop_back();
    }
    out.paths.push_back(std::move(path));
  }
  for (size_t i = 0; w.has_filter && i < filters.size(); ++i) {
    if (filters[i] == w.filter) {
      out.filter_index = static_cast<uint32_t>(i + 1);
      break;
    }
  }
  *choice = std::move(out);
  return true;
}

PortalOutcome Ask(const SdBus& b, const ZenityFileRequest& request, PortalChoice* choice) {
  sd_bus* raw = nullptr;
  if (b.open_user(&raw) < 0) return PortalOutcome::kUnavailable;
  Bus bus(b, raw);

  // The chooser's version; asking also starts a portal that the bus
  // starts on demand.
  uint32_t version = 0;
  {
    Error error(b);
    if (b.get_property_trivial(bus.get(), kPortal, kPortalPath, kFileChooser, "version",
                               error.get(), 'u', &version) < 0) {
      return PortalOutcome::kUnavailable;
    }
  }
  if (request.directory && version < kDirectoryVersion) return PortalOutcome::kUnavailable;

  Wait w;
  w.b = &b;
  {
    Error error(b);
    Message reply(b);
    const char* owner = nullptr;
    if (b.call_method(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                      "org.freedesktop.DBus", "GetNameOwner", error.get(), reply.out(), "s",
                      kPortal) < 0 ||
        b.read(reply.get(), "s", &owner) <= 0) {
      return PortalOutcome::kUnavailable;
    }
    w.portal_owner = owner;
  }
  const char* unique = nullptr;
  if (b.get_unique_name(bus.get(), &unique) < 0) return PortalOutcome::kUnavailable;
  const std::string token = NewToken();
  w.request_path = RequestPath(unique, token);

  // Both subscriptions stand before the request goes out.
  if (!bus.Match(std::string("type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/"
                             "DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                             "arg0='") +
                     kPortal + "'",
                 &OnOwnerChanged, &w) ||
      !bus.Match("type='signal',sender='" + w.portal_owner + "',path='" + w.request_path +
                     "',interface='org.freedesktop.portal.Request',member='Response'",
                 &OnResponse, &w)) {
    return PortalOutcome::kUnavailable;
  }

  const std::vector<PortalFilter> filters = PortalFilters(request.filters);
  Message call(b);
  if (b.new_method_call(bus.get(), call.out(), w.portal_owner.c_str(), kPortalPath, kFileChooser,
                        "OpenFile") < 0 ||
      b.append(call.get(), "ss", ParentWindow(request.attach).c_str(),
               request.has_title ? request.title.c_str() : "") < 0) {
    return PortalOutcome::kUnavailable;
  }
  Options options(b, call.get());
  options.Open();
  options.String("handle_token", token);
  options.Bool("modal", request.attach != 0);
  options.Bool("multiple", request.multiple);
  if (request.directory) options.Bool("directory", true);
  if (!filters.empty()) options.Filters(filters);
  if (request.filter_index >= 1 && request.filter_index <= filters.size()) {
    options.CurrentFilter(filters[request.filter_index - 1]);
  }
  const std::string folder = StartFolder(request);
  if (version >= kCurrentFolderVersion && !folder.empty()) options.Path("current_folder", folder);
  options.Close();
  if (!options.ok()) return PortalOutcome::kUnavailable;

  {
    Error error(b);
    Message reply(b);
    const char* handle = nullptr;
    // A portal that refuses the request leaves the dialog to another.
    if (b.call(bus.get(), call.get(), 0, error.get(), reply.out()) < 0 ||
        b.read(reply.get(), "o", &handle) <= 0) {
      return PortalOutcome::kUnavailable;
    }
    // Portals before the request path was made from the token answer on
    // the handle they return.
    if (handle != w.request_path && !w.ended) {
      w.returned_handle = handle;
      if (!bus.Match("type='signal',sender='" + w.portal_owner + "',path='" + w.returned_handle +
                         "',interface='org.freedesktop.portal.Request',member='Response'",
                     &OnResponse, &w)) {
        return PortalOutcome::kNoChoice;
      }
    }
  }

  // A person is choosing: no time limit; the bus going away ends the wait.
  while (!w.ended) {
    const int r = b.process(bus.get(), nullptr);
    if (r < 0) return PortalOutcome::kNoChoice;
    if (r > 0) continue;
    if (b.wait(bus.get(), UINT64_MAX) < 0) return PortalOutcome::kNoChoice;
  }
  if (!w.answered || w.response != 0) return PortalOutcome::kNoChoice;
  return Choice(w, request, filters, choice) ? PortalOutcome::kChosen : PortalOutcome::kNoChoice;
}

}  // namespace

std::vector<PortalFilter> PortalFilters(const std::vector<FilterPair>& pairs) {
  std::vector<PortalFilter> filters;
  for (const FilterPair& pair : pairs) {
    PortalFilter f;
    std::string_view rest = pair.second;
    while (!rest.empty()) {
      const size_t semicolon = rest.find(';');
      const std::string_view pattern = TrimBlanks(rest.substr(0, semicolon));
      rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
      if (!pattern.empty()) f.globs.emplace_back(pattern == "*.*" ? "*" : pattern);
    }
    f.name = TrimBlanks(pair.first);
    if (f.name.empty()) f.name = pair.second;
    filters.push_back(std::move(f));
  }
  return filters;
}

bool PathOfFileUri(std::string_view uri, std::string* path) {
  if (!uri.starts_with("file://")) return false;
  uri.remove_prefix(7);
  if (uri.starts_with("localhost/")) uri.remove_prefix(9);
  if (!uri.starts_with('/')) return false;
  std::string out;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '?' || uri[i] == '#') return false;
    if (uri[i] != '%') {
      out += uri[i];
      continue;
    }
    if (i + 2 >= uri.size()) return false;
    const int high = HexValue(uri[i + 1]), low = HexValue(uri[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  *path = std::move(out);
  return true;
}

PortalOutcome AskPortal(const ZenityFileRequest& request, PortalChoice* choice) {
  const SdBus* b = LoadSdBus();
  if (b == nullptr) return PortalOutcome::kUnavailable;
  try {
    return Ask(*b, request, choice);
  } catch (const std::bad_alloc&) {
    return PortalOutcome::kNoChoice;
  }
}

}  // namespace dzv::platform
