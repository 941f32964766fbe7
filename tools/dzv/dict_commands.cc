// dzv dict: archive files and text forms of dictionaries.
#include <cstring>
#include <fstream>
#include <memory>

#include "archive_files.h"
#include "archive_lock.h"
#include "cli.h"
#include "dictionary.h"
#include "duduzuvez210.h"
#include "escapes.h"
#include "file_checks.h"

namespace dzv::cli {
namespace {

// The longest line that reading a text form takes whole.
constexpr size_t kLongestTextLine = 32257;

std::string Items(int32_t count) {
  return std::to_string(count) + (count == 1 ? " item" : " items");
}

std::string TextOf(const Args& args, const std::string& text) {
  return args.Has("--escapes") ? Unescape(text) : text;
}

// Prints a value as get and attr do: with --raw exactly, with --escapes in
// escapes, else as OutValue does.
void PrintValue(const Args& args, std::string_view value) {
  if (args.Has("--escapes") && !args.Has("--raw")) {
    Out(Visible(value) + "\n");
  } else {
    OutValue(value, args.Has("--raw"));
  }
}

int Show(const Args& args) {
  Dictionary dictionary;
  OpenArchive(dictionary.handle(), args[0], IfMissing::kFail, Purpose::kRead);
  if (args.Has("--text")) {
    const std::unique_ptr<char[]> text(new char[dictionary.LongestText()]);
    if (!DictionaryPack(dictionary.handle(), text.get())) {
      throw Failure(args[0] + ": the library could not make the text form (out of memory)");
    }
    // One line per item, shown like the items themselves.
    const std::string_view lines(text.get(), std::strlen(text.get()));
    for (size_t start = 0, end; (end = lines.find("\r\n", start)) != lines.npos; start = end + 2) {
      Out(Visible(lines.substr(start, end - start)) + "\n");
    }
    return kExitOk;
  }
  dictionary.ForEach([](std::string_view key, std::string_view value) {
    Out(Visible(key, /*escape_equals=*/true) + "=" + Visible(value) + "\n");
  });
  return kExitOk;
}

int Get(const Args& args) {
  Dictionary dictionary;
  OpenArchive(dictionary.handle(), args[0], IfMissing::kFail, Purpose::kRead);
  const std::string key = TextOf(args, args[1]);
  const std::optional<std::string> value = dictionary.Lookup(key);
  if (!value) throw Failure(args[0] + ": no key '" + Visible(key) + "'");
  PrintValue(args, *value);
  return kExitOk;
}

int Set(const Args& args) {
  const ArchiveLock lock(args[0]);
  Dictionary dictionary;
  OpenArchive(dictionary.handle(), args[0], IfMissing::kEmpty, Purpose::kChange);
  const std::string key = TextOf(args, args[1]);
  dictionary.Set(key, TextOf(args, args[2]));
  SaveArchive(dictionary.handle(), args[0]);
  OutLine(args[0] + ": set " + Visible(key) + " (" + Items(dictionary.Count()) + ")");
  return kExitOk;
}

int Delete(const Args& args) {
  const ArchiveLock lock(args[0]);
  Dictionary dictionary;
  OpenArchive(dictionary.handle(), args[0], IfMissing::kFail, Purpose::kChange);
  const std::string key = TextOf(args, args[1]);
  if (!dictionary.Lookup(key)) {
    throw Failure(args[0] + ": no key '" + Visible(key) + "'; the file is left as it is");
  }
  DictionaryItemDelete(dictionary.handle(), key.c_str());
  SaveArchive(dictionary.handle(), args[0]);
  OutLine(args[0] + ": deleted " + Visible(key) + " (" + Items(dictionary.Count()) + " left)");
  return kExitOk;
}

// Warns about the items that the text form cannot carry back as they are.
void WarnAboutLossyItems(const Dictionary& dictionary, const std::string& text_file) {
  int32_t lossy = 0;
  dictionary.ForEach([&](std::string_view key, std::string_view value) {
    const char* why = nullptr;
    if (key.find('=') != key.npos) {
      why = "its key holds '=': the line splits at the first '='";
    } else if (key.find('\n') != key.npos || value.find('\n') != value.npos) {
      why = "it holds a line break, which ends its line";
    } else if (key.size() + 1 + value.size() > kLongestTextLine) {
      why = "its line is longer than 32257 bytes and reads back cut";
    }
    if (why != nullptr && ++lossy <= 5) {
      Note("dzv: warning: " + text_file + ": the item '" + Visible(key) +
           "' will not read back as it is: " + why);
    }
  });
  if (lossy > 5) {
    Note("dzv: warning: " + text_file + ": " + std::to_string(lossy - 5) + " more such items");
  }
}

int Export(const Args& args) {
  Dictionary dictionary;
  OpenArchive(dictionary.handle(), args[0], IfMissing::kFail, Purpose::kRead);
  if (const std::string why = WhyNotAnOutput(args[1]); !why.empty()) {
    throw Failure(args[1] + ": " + why + "; dzv writes texts only to regular files");
  }
  RequireNoArchive(args[1]);
  WarnAboutLossyItems(dictionary, args[1]);
  if (!DictionaryExport(dictionary.handle(), args[1].c_str())) {
    std::string reason = WhyUnwritable(args[1]);
    if (reason.empty()) reason = "the disk may be full, or a write failed";
    throw Failure(args[1] + ": could not be written: " + reason);
  }
  OutLine(args[1] + ": " + Items(dictionary.Count()) + " written as text");
  return kExitOk;
}

// Warns when the text holds a zero byte, where reading it stops.
void WarnAboutZeroByte(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<char> chunk(1 << 16);
  uint64_t offset = 0;
  while (file.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || file.gcount() > 0) {
    const size_t got = static_cast<size_t>(file.gcount());
    const void* zero = std::memchr(chunk.data(), 0, got);
    if (zero != nullptr) {
      offset += static_cast<size_t>(static_cast<const char*>(zero) - chunk.data());
      Note("dzv: warning: " + path + ": a zero byte at offset " + std::to_string(offset) +
           " ends the text; nothing after it is read");
      return;
    }
    offset += got;
  }
}

// Imports the text file into the dictionary, explaining a failure.
void ImportText(int32_t dictionary, const std::string& path) {
  if (const std::string unreadable = WhyUnreadable(path); !unreadable.empty()) {
    throw Failure(path + ": " + unreadable);
  }
  if (DictionaryImport(dictionary, path.c_str())) return;
  const std::string reason = WhyUnreadable(path);
  throw Failure(path + ": " +
                (reason.empty() ? "could not be read whole (out of memory?)" : reason));
}

int Import(const Args& args) {
  const std::string& text_file = args[0];
  const std::string& archive = args[1];
  Dictionary text_items;
  ImportText(text_items.handle(), text_file);
  WarnAboutZeroByte(text_file);
  if (text_items.Count() == 0) {
    throw Failure(text_file + ": holds no items (no line has a '='); " + archive +
                  " is left as it is");
  }
  // Held while the archive is read and saved; replacing it whole holds it
  // too, so that an import never lands inside another command's change.
  const ArchiveLock lock(archive);
  if (!args.Has("--add")) {
    RequireArchiveOrNothing(archive);
    SaveArchive(text_items.handle(), archive);
    OutLine(archive + ": " + Items(text_items.Count()) + " imported from " + text_file);
    return kExitOk;
  }
  Dictionary dictionary;
  OpenArchive(dictionary.handle(), archive, IfMissing::kEmpty, Purpose::kChange);
  ImportText(dictionary.handle(), text_file);
  SaveArchive(dictionary.handle(), archive);
  OutLine(archive + ": " + Items(text_items.Count()) + " added from " + text_file + " (" +
          Items(dictionary.Count()) + " in all)");
  return kExitOk;
}

int Merge(const Args& args) {
  Dictionary first;
  OpenArchive(first.handle(), args[0], IfMissing::kFail, Purpose::kRead);
  Dictionary second;
  OpenArchive(second.handle(), args[1], IfMissing::kFail, Purpose::kRead);
  const std::string prefix = args.Value("--prefix");
  Dictionary merged = Dictionary::Adopt(
      DictionaryMerge(first.handle(), second.handle(), prefix.empty() ? nullptr : prefix.c_str()));
  if (merged.handle() == 0) throw Failure("the library could not merge (out of memory)");
  const ArchiveLock lock(args[2]);
  RequireArchiveOrNothing(args[2]);
  SaveArchive(merged.handle(), args[2]);
  OutLine(args[2] + ": " + Items(merged.Count()) + " merged from " + args[0] + " and " + args[1]);
  return kExitOk;
}

int Attr(const Args& args) {
  Dictionary dictionary;
  OpenArchive(dictionary.handle(), args[0], IfMissing::kFail, Purpose::kRead);
  const std::string key = TextOf(args, args[1]);
  const std::string name = TextOf(args, args[2]);
  const std::unique_ptr<char[]> value(new char[dictionary.LongestText()]);
  if (!DictionaryAttributeGet(dictionary.handle(), key.c_str(), name.c_str(), value.get())) {
    throw Failure(args[0] + ": the key '" + Visible(key) + "' has no attribute '" + Visible(name) +
                  "'");
  }
  PrintValue(args, value.get());
  return kExitOk;
}

constexpr Option kShowOptions[] = {
    {"--text", "", "print the sorted text form instead (export writes it to a file)"},
};
constexpr Option kEscapeOptions[] = {
    {"--escapes", "", "KEY, VALUE and the output use escapes: \\xHH \\t \\r \\n \\\\"},
};
constexpr Option kPrintOptions[] = {
    {"--escapes", "", "KEY, NAME and the output use escapes: \\xHH \\t \\r \\n \\\\"},
    {"--raw", "", "print the value's bytes exactly, without a line end, also to a terminal"},
};
constexpr Option kImportOptions[] = {
    {"--add", "", "add the items to those of ARCHIVE instead of replacing them"},
};
constexpr Option kMergeOptions[] = {
    {"--prefix", "P", "take only the items whose keys begin with P"},
};

constexpr Command kCommands[] = {
    {"show", "FILE", 1, 1, "Print every item of an archive, in the library's order.",
     "Each item is one line KEY=VALUE. Control characters (C0, DEL and the code page's\n"
     "C1 controls) are shown as \\xHH (\\t, \\r, \\n by name), a backslash as \\\\, and\n"
     "a '=' inside a key as \\x3d. The order is the\n"
     "library's enumeration order, the order in which the archive holds the items.",
     kShowOptions, &Show},
    {"get", "FILE KEY", 2, 2, "Print the value of one key.",
     "On a terminal, control characters other than tab and line feed print as \\xHH.",
     kPrintOptions, &Get},
    {"set", "FILE KEY VALUE", 3, 3, "Set one key and save the archive.",
     "A missing FILE is created. The archive is replaced only when it is written whole.",
     kEscapeOptions, &Set},
    {"delete", "FILE KEY", 2, 2, "Delete one key and save the archive.", "", kEscapeOptions,
     &Delete},
    {"export",
     "ARCHIVE TEXTFILE",
     2,
     2,
     "Write an archive's items as a sorted text file.",
     "Each item becomes the line KEY=VALUE and CR LF, sorted by bytes. Items that the\n"
     "text cannot carry back (a key with '=', a line break, a line over 32257 bytes)\n"
     "are named on standard error.",
     {},
     &Export},
    {"import", "TEXTFILE ARCHIVE", 2, 2, "Write the items of a text file to an archive.",
     "Every line with a '=' is an item: the key before the first '=', the value after\n"
     "it. A text without such lines is refused and the archive is not touched.",
     kImportOptions, &Import},
    {"merge", "FIRST SECOND OUT", 3, 3, "Merge two archives into a third.",
     "The items of FIRST, then those of SECOND over them; list values (keys ending in\n"
     "QueryList, UserItemList or OverrideItemList) keep the tokens of both.",
     kMergeOptions, &Merge},
    {"attr", "FILE KEY NAME", 3, 3, "Print one attribute of a structured value.",
     "The attribute NAME inside the value of KEY (NAME, \\x1c, the value, \\x1d); when\n"
     "KEY is absent, the item KEY.NAME (T, L and S stand for Title, Label and\n"
     "Status Text there). On a terminal, control characters other than tab and line\n"
     "feed print as \\xHH.",
     kPrintOptions, &Attr},
};

}  // namespace

const Family& DictFamily() {
  static const Family family{
      "dict", "Look into and repair dictionary archives and text forms.",
      "An archive is the binary file of DictionarySave; a text form has one KEY=VALUE\n"
      "line per item, as DictionaryExport writes it. Commands that save an archive\n"
      "(set, delete, import, merge) hold a lock from reading to saving: flock on\n"
      ".NAME.lock beside the archive (links followed), waiting up to 5 s for another\n"
      "holder. Outputs, like inputs, must be regular files.",
      kCommands};
  return family;
}

}  // namespace dzv::cli
