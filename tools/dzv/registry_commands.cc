// dzv registry: values of the registry, named by a key path such as
// HKCU\Software\Vendor\App.
#include <strings.h>

#include <vector>

#include "cli.h"
#include "duduzuvez210.h"
#include "escapes.h"
#include "system.h"

namespace dzv::cli {
namespace {

// Value names are at most 255 bytes and a listable key has at most 999
// values: this holds any value list with its zero byte.
constexpr int32_t kLongestValueList = 256 * 1000;

struct Root {
  const char* abbreviation;
  const char* name;
  DZV_HKEY key;
};

const Root kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", DZV_HKEY_CLASSES_ROOT},
    {"HKCU", "HKEY_CURRENT_USER", DZV_HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", DZV_HKEY_LOCAL_MACHINE},
    {"HKU", "HKEY_USERS", DZV_HKEY_USERS},
    {"HKCC", "HKEY_CURRENT_CONFIG", DZV_HKEY_CURRENT_CONFIG},
};

// A key as the command line names it: a root and the path below it.
struct KeyPath {
  DZV_HKEY root;
  std::string path;   // empty for the root itself
  std::string shown;  // as the user wrote it
};

KeyPath ParseKeyPath(const std::string& text) {
  const size_t slash = text.find('\\');
  const std::string root = text.substr(0, slash);
  for (const Root& candidate : kRoots) {
    if (strcasecmp(root.c_str(), candidate.abbreviation) == 0 ||
        strcasecmp(root.c_str(), candidate.name) == 0) {
      std::string path = slash == std::string::npos ? "" : text.substr(slash + 1);
      while (!path.empty() && path.back() == '\\') path.pop_back();
      return {candidate.key, path, text};
    }
  }
  throw UsageError("'" + text +
                   "' does not begin with a root key: HKCU, HKLM, HKCR, HKU, "
                   "HKCC or their full names (HKEY_CURRENT_USER, ...)");
}

// "the registry (PATH) cannot be opened", with the reason when dzv finds it.
std::string CannotOpen() {
  const std::string problem = RegistryPlaceProblem();
  return RegistryShown() + " cannot be opened" +
         (problem.empty() ? "" : ": " + problem + "; only a place of the user's own is used");
}

// Throws when another process holds the registry locked.
void RequireNotLocked() {
  if (std::string locked = RegistryLockedMessage(); !locked.empty()) throw Failure(locked);
}

bool Lists(DZV_HKEY root, const std::string& path) {
  std::vector<char> names(kLongestValueList + 1);
  return _ProfileRegistryEnumValues(root, path.c_str(), names.data(), kLongestValueList) != 0;
}

// Throws when the registry itself cannot be used, or the key is missing.
void RequireKey(const KeyPath& key) {
  RequireNotLocked();
  if (!Lists(key.root, "")) {
    throw Failure(CannotOpen());
  }
  if (!Lists(key.root, key.path)) throw Failure(key.shown + ": no such registry key");
}

int Read(const Args& args) {
  const KeyPath key = ParseKeyPath(args[0]);
  const std::string& name = args[1];
  std::vector<char> data;
  for (int attempt = 0;; ++attempt) {
    uint32_t size = 0;
    if (!_ProfileRegistryRead(key.root, key.path.c_str(), name.c_str(), nullptr, &size)) break;
    data.resize(size);
    if (_ProfileRegistryRead(key.root, key.path.c_str(), name.c_str(), data.data(), &size)) {
      data.resize(size);
      const std::string_view bytes(data.data(), data.size());
      if (args.Has("--raw")) {
        Out(bytes);
      } else if (!bytes.empty() && bytes.find('\0') == bytes.size() - 1) {
        OutValue(bytes.substr(0, bytes.size() - 1), false);  // a text as written
      } else {
        Out(Visible(bytes) + "\n");
      }
      return kExitOk;
    }
    if (attempt == 3) throw Failure(key.shown + ": the value '" + name + "' keeps changing");
  }
  RequireKey(key);
  throw Failure(key.shown + ": no value '" + name + "'");
}

int Write(const Args& args) {
  const KeyPath key = ParseKeyPath(args[0]);
  const std::string text = args.Has("--escapes") ? Unescape(args[2]) : args[2];
  if (!_ProfileRegistryWrite(key.root, key.path.c_str(), args[1].c_str(), text.c_str())) {
    RequireNotLocked();
    if (!RegistryPlaceProblem().empty()) {
      throw Failure(key.shown + ": could not write the value: " + CannotOpen());
    }
    if (const std::string why = WhyKeyUnwritable(key.root, key.path); !why.empty()) {
      throw Failure(key.shown + ": could not write the value '" + args[1] + "': " + why);
    }
    const std::string file = RegistryFile();
    throw Failure(key.shown + ": could not write the value '" + args[1] + "' (the registry " +
                  (file.empty() ? "" : file + " ") + "cannot be opened or written)");
  }
  OutLine(key.shown + ": " + args[1] + " = " + Visible(text));
  return kExitOk;
}

int Delete(const Args& args) {
  const KeyPath key = ParseKeyPath(args[0]);
  if (_ProfileRegistryDeleteValue(key.root, key.path.c_str(), args[1].c_str())) {
    OutLine(key.shown + ": deleted the value " + args[1]);
    return kExitOk;
  }
  RequireKey(key);
  throw Failure(key.shown + ": no value '" + args[1] + "'");
}

int DeleteKey(const Args& args) {
  const KeyPath key = ParseKeyPath(args[0]);
  if (key.path.empty()) throw UsageError("a root key cannot be deleted; name a key below it");
  if (_ProfileRegistryDeleteKey(key.root, key.path.c_str())) {
    OutLine(key.shown + ": deleted, with every key below it");
    return kExitOk;
  }
  RequireKey(key);
  throw Failure(key.shown + ": could not be deleted whole; the keys not reached stay");
}

int List(const Args& args) {
  const KeyPath key = ParseKeyPath(args[0]);
  std::vector<char> names(kLongestValueList + 1);
  if (!_ProfileRegistryEnumValues(key.root, key.path.c_str(), names.data(), kLongestValueList)) {
    RequireNotLocked();
    if (!Lists(key.root, "")) {
      throw Failure(CannotOpen());
    }
    throw Failure(key.shown +
                  ": no such registry key, or its values cannot be listed (a key "
                  "with 1000 values or more, a name over 255 bytes or data over 32000 bytes)");
  }
  const std::string_view list(names.data());
  for (size_t start = 0, bar; (bar = list.find('|', start)) != list.npos; start = bar + 1) {
    Out(Visible(list.substr(start, bar - start)) + "\n");
  }
  return kExitOk;
}

constexpr Option kReadOptions[] = {
    {"--raw", "", "write the data exactly as stored, its zero byte included"},
};
constexpr Option kWriteOptions[] = {
    {"--escapes", "", "TEXT uses escapes: \\xHH \\t \\r \\n \\\\"},
};

constexpr Command kCommands[] = {
    {"read", "KEY NAME", 2, 2, "Print a value's data.",
     "A text value prints as its text (on a terminal with its control characters other\n"
     "than tab and line feed as \\xHH); other data print with control bytes as \\xHH.",
     kReadOptions, &Read},
    {"write", "KEY NAME TEXT", 3, 3, "Store a text value, creating the key when missing.", "",
     kWriteOptions, &Write},
    {"delete", "KEY NAME", 2, 2, "Delete one value of a key.", "", {}, &Delete},
    {"delete-key", "KEY", 1, 1, "Delete a key and every key below it.", "", {}, &DeleteKey},
    {"list",
     "KEY",
     1,
     1,
     "List the names of a key's values, in the registry's order.",
     "A name holding '|' cannot be told apart from two names.",
     {},
     &List},
};

}  // namespace

const Family& RegistryFamily() {
  static const Family family{
      "registry", "Read and change registry values.",
      "KEY is a root (HKCU, HKLM, HKCR, HKU, HKCC or its full name, HKEY_CURRENT_USER\n"
      "...) and a path below it: 'HKCU\\Software\\Vendor\\App'. On Linux the registry\n"
      "is a database of the user's: $XDG_CONFIG_HOME/duduzuvez210/registry.db. A call\n"
      "waits up to 10 s for another process that holds it locked; then dzv says so.",
      kCommands};
  return family;
}

}  // namespace dzv::cli
