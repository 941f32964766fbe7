// dzv profile: settings by section and entry, in a user layer over a default
// layer, each layer kept in an archive file.
#include <memory>

#include "archive_files.h"
#include "archive_lock.h"
#include "cli.h"
#include "duduzuvez210.h"
#include "escapes.h"

namespace dzv::cli {
namespace {

// The longest key of a setting.
constexpr size_t kLongestKey = 255;

// Both layers of a profile, as the library makes and frees them.
class Profile {
 public:
  Profile() {
    if (!_ProfileNew(&user_, &defaults_)) {
      if (user_ != 0) DictionaryFree(user_);
      if (defaults_ != 0) DictionaryFree(defaults_);
      throw Failure("the library could not create a profile (out of memory)");
    }
  }
  ~Profile() { _ProfileFree(user_, defaults_); }
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  int32_t user() const { return user_; }
  int32_t defaults() const { return defaults_; }
  int32_t layer(bool user) const { return user ? user_ : defaults_; }

 private:
  int32_t user_ = 0;
  int32_t defaults_ = 0;
};

// A buffer size that holds any value or entry name of the layers.
size_t Room(std::initializer_list<int32_t> layers) {
  size_t room = 1;
  for (const int32_t layer : layers) {
    const int32_t size = DictionaryPackSize(layer);
    if (size <= 0) throw Failure("a profile layer is too large: its text form passes 2 GiB");
    room += static_cast<size_t>(size);
  }
  return room;
}

std::string Setting(const std::string& section, const std::string& entry) {
  return "[" + Visible(section) + "] " + Visible(entry);
}

// Refuses a setting whose key the library would not take.
void CheckKeyLength(const std::string& section, const std::string& entry) {
  size_t length = section.size() + 1;
  for (const char c : entry) {
    length += c == ',' ? 7 : c == '.' ? 5 : c == '=' ? 7 : 1;  // <comma> <dot> <equal>
  }
  if (length > kLongestKey) {
    throw Failure(Setting(section, entry) + ": its key would have " + std::to_string(length) +
                  " bytes; a setting's key has at most 255");
  }
}

// The layer that set, delete and delete-section change.
bool WritesUserLayer(const Args& args) {
  const std::string layer = args.Value("--layer", "user");
  if (layer != "user" && layer != "default") {
    throw UsageError("--layer is 'user' or 'default', not '" + layer + "'");
  }
  const bool user = layer == "user";
  if (!args.Has(user ? "--user" : "--default")) {
    throw UsageError(std::string("the ") + layer + " layer is written: give its file with " +
                     (user ? "--user" : "--default") + " FILE");
  }
  return user;
}

std::string LayerName(bool user, const Args& args) {
  return std::string(user ? "user" : "default") + " layer " +
         args.Value(user ? "--user" : "--default");
}

// Fills the layers whose files are given (a missing file is an empty layer).
void OpenLayers(const Profile& profile, const Args& args, Purpose purpose) {
  if (args.Has("--user")) {
    OpenArchive(profile.user(), args.Value("--user"), IfMissing::kEmpty, purpose);
  }
  if (args.Has("--default")) {
    OpenArchive(profile.defaults(), args.Value("--default"), IfMissing::kEmpty, purpose);
  }
}

void RequireSomeLayer(const Args& args) {
  if (!args.Has("--user") && !args.Has("--default")) {
    throw UsageError("give the layers' files: --user FILE, --default FILE, or both");
  }
}

int Get(const Args& args) {
  RequireSomeLayer(args);
  CheckKeyLength(args[0], args[1]);
  Profile profile;
  OpenLayers(profile, args, Purpose::kRead);
  const std::unique_ptr<char[]> value(new char[Room({profile.user(), profile.defaults()})]);
  if (!_ProfileValueGet(profile.user(), profile.defaults(), args[0].c_str(), args[1].c_str(),
                        value.get())) {
    throw Failure(Setting(args[0], args[1]) + ": set in neither layer");
  }
  OutValue(value.get(), args.Has("--raw"));
  return kExitOk;
}

int List(const Args& args) {
  RequireSomeLayer(args);
  Profile profile;
  OpenLayers(profile, args, Purpose::kRead);
  const std::string section = args[0];
  if (section.size() + 1 > kLongestKey) {
    throw Failure("[" + Visible(section) + "]: a section has at most 254 bytes");
  }
  const size_t room = Room({profile.user(), profile.defaults()});
  const std::unique_ptr<char[]> names(new char[room]);
  if (!_ProfileEntryEnumerate(profile.user(), profile.defaults(), section.c_str(), names.get())) {
    throw Failure("[" + Visible(section) + "]: the library could not list it (out of memory)");
  }
  const std::unique_ptr<char[]> value(new char[room]);
  const std::string_view list(names.get());
  for (size_t start = 0, comma; (comma = list.find(',', start)) != list.npos; start = comma + 1) {
    const std::string entry(list.substr(start, comma - start));
    const bool from_user =
        _ProfileValueLookup(profile.user(), section.c_str(), entry.c_str(), value.get());
    if (!from_user) {
      _ProfileValueLookup(profile.defaults(), section.c_str(), entry.c_str(), value.get());
    }
    Out(std::string(from_user ? "user     " : "default  ") + Visible(entry) + "=" +
        Visible(value.get()) + "\n");
  }
  return kExitOk;
}

int Set(const Args& args) {
  const bool user = WritesUserLayer(args);
  CheckKeyLength(args[0], args[1]);
  Profile profile;
  const std::string file = args.Value(user ? "--user" : "--default");
  const ArchiveLock lock(file);
  OpenArchive(profile.layer(user), file, IfMissing::kEmpty, Purpose::kChange);
  if (!_ProfileValueSet(profile.layer(user), args[0].c_str(), args[1].c_str(), args[2].c_str())) {
    throw Failure(Setting(args[0], args[1]) + ": the library could not store it (out of memory)");
  }
  SaveArchive(profile.layer(user), file);
  OutLine(LayerName(user, args) + ": " + Setting(args[0], args[1]) + " = " + Visible(args[2]));
  return kExitOk;
}

// After a setting left a layer, says what the profile reads now.
void ReportWhatShowsThrough(const Profile& profile, const Args& args) {
  if (!args.Has("--user") || !args.Has("--default")) return;
  OpenLayers(profile, args, Purpose::kRead);
  const std::unique_ptr<char[]> value(new char[Room({profile.user(), profile.defaults()})]);
  if (_ProfileValueGet(profile.user(), profile.defaults(), args[0].c_str(), args[1].c_str(),
                       value.get())) {
    Out("the profile now reads " + Visible(value.get()) + " from the default layer\n");
  } else {
    Out("the profile has no such setting now\n");
  }
}

int Delete(const Args& args) {
  const bool user = WritesUserLayer(args);
  CheckKeyLength(args[0], args[1]);
  {
    Profile profile;
    const std::string file = args.Value(user ? "--user" : "--default");
    const ArchiveLock lock(file);
    const int32_t layer = profile.layer(user);
    OpenArchive(layer, file, IfMissing::kEmpty, Purpose::kChange);
    const std::unique_ptr<char[]> value(new char[Room({layer})]);
    if (!_ProfileValueLookup(layer, args[0].c_str(), args[1].c_str(), value.get())) {
      throw Failure(Setting(args[0], args[1]) + ": not set in the " + LayerName(user, args) +
                    "; the file is left as it is");
    }
    _ProfileEntryDelete(layer, args[0].c_str(), args[1].c_str());
    SaveArchive(layer, file);
    OutLine(LayerName(user, args) + ": deleted " + Setting(args[0], args[1]));
  }
  if (user) ReportWhatShowsThrough(Profile(), args);
  return kExitOk;
}

int DeleteSection(const Args& args) {
  const bool user = WritesUserLayer(args);
  if (args[0].size() + 1 > kLongestKey) {
    throw Failure("[" + Visible(args[0]) + "]: a section has at most 254 bytes");
  }
  Profile profile;
  const std::string file = args.Value(user ? "--user" : "--default");
  const ArchiveLock lock(file);
  const int32_t layer = profile.layer(user);
  OpenArchive(layer, file, IfMissing::kEmpty, Purpose::kChange);
  const int32_t before = DictionaryItemCount(layer);
  _ProfileSectionDelete(layer, args[0].c_str());
  const int32_t deleted = before - DictionaryItemCount(layer);
  if (deleted == 0) {
    throw Failure("[" + Visible(args[0]) + "]: no settings in the " + LayerName(user, args) +
                  "; the file is left as it is");
  }
  SaveArchive(layer, file);
  OutLine(LayerName(user, args) + ": deleted " + std::to_string(deleted) + " settings of [" +
          Visible(args[0]) + "]");
  return kExitOk;
}

constexpr Option kReadOptions[] = {
    {"--user", "FILE", "the user layer's archive (missing: an empty layer)"},
    {"--default", "FILE", "the default layer's archive (missing: an empty layer)"},
};
constexpr Option kGetOptions[] = {
    {"--user", "FILE", "the user layer's archive (missing: an empty layer)"},
    {"--default", "FILE", "the default layer's archive (missing: an empty layer)"},
    {"--raw", "", "print the value's bytes exactly, without a line end, also to a terminal"},
};
constexpr Option kWriteOptions[] = {
    {"--user", "FILE", "the user layer's archive (missing: an empty layer)"},
    {"--default", "FILE", "the default layer's archive (missing: an empty layer)"},
    {"--layer", "L", "the layer to change: user (the default) or default"},
};

constexpr Command kCommands[] = {
    {"get", "SECTION ENTRY", 2, 2, "Print a setting: the user layer's, else the default's.",
     "On a terminal, control characters other than tab and line feed print as \\xHH.", kGetOptions,
     &Get},
    {"set", "SECTION ENTRY VALUE", 3, 3, "Store a setting in one layer and save that layer.",
     "The user layer is changed unless --layer default is given.", kWriteOptions, &Set},
    {"delete", "SECTION ENTRY", 2, 2, "Delete a setting from one layer and save that layer.",
     "The user layer is changed unless --layer default is given. With both files given,\n"
     "dzv says what the profile reads afterwards.",
     kWriteOptions, &Delete},
    {"list", "SECTION", 1, 1, "List the section's settings of both layers.",
     "One line per entry: the layer its value comes from, the entry name as its key\n"
     "holds it (',' '.' '=' written <comma> <dot> <equal>), '=' and the value. A\n"
     "deeper section's settings show under the section above it (a.b.c under a).",
     kReadOptions, &List},
    {"delete-section", "SECTION", 1, 1, "Delete a section's settings from one layer.",
     "The settings of deeper sections stay. The user layer is changed unless\n"
     "--layer default is given.",
     kWriteOptions, &DeleteSection},
};

}  // namespace

const Family& ProfileFamily() {
  static const Family family{
      "profile", "Read and change settings of a user layer over a default layer.",
      "Each layer is an archive file (--user FILE, --default FILE); a missing file is\n"
      "an empty layer. A setting is the item SECTION.ENTRY of its layer. Commands that\n"
      "change a layer lock its archive as dzv dict set does (.NAME.lock beside it).",
      kCommands};
  return family;
}

}  // namespace dzv::cli
