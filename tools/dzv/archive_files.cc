#include "archive_files.h"

#include "archive_probe.h"
#include "cli.h"
#include "duduzuvez210.h"
#include "file_checks.h"

namespace dzv::cli {
namespace {

std::string Items(uint64_t count) {
  return std::to_string(count) + (count == 1 ? " item" : " items");
}

// Why DictionaryOpen refused the file at path.
std::string ExplainOpenFailure(const std::string& path, int32_t pairs_read) {
  const std::string unreadable = WhyUnreadable(path);
  if (!unreadable.empty()) return path + ": " + unreadable;
  const ArchiveShape shape = ProbeArchive(path);
  if (shape.opened && shape.size == 0) {
    return path +
           ": the file is empty, so it is not a dictionary archive (the archive of an "
           "empty dictionary holds the two bytes 00 00)";
  }
  if (!shape.damage.empty()) {
    std::string message = path + ": truncated, or not a dictionary archive: ";
    if (shape.announced == 0 && shape.size < 2) return message + shape.damage;
    message += "it announces " + Items(shape.announced) + ", but " + shape.damage;
    if (shape.complete > 0) {
      message += " (" + std::to_string(shape.complete) + " complete before it)";
    }
    return message;
  }
  return path + ": the library could not read this archive (" + Items(pairs_read) +
         " read): memory ran out, or a UTF-16 text in it cannot be converted to the code page";
}

}  // namespace

void OpenArchive(int32_t dictionary, const std::string& path, IfMissing if_missing,
                 Purpose purpose) {
  if (if_missing == IfMissing::kEmpty && !Exists(path)) {
    DictionaryClear(dictionary);
    return;
  }
  // The library would wait forever on a FIFO, or read a device without end.
  if (const std::string unreadable = WhyUnreadable(path); !unreadable.empty()) {
    throw Failure(path + ": " + unreadable);
  }
  if (!DictionaryOpen(dictionary, path.c_str())) {
    throw Failure(ExplainOpenFailure(path, DictionaryItemCount(dictionary)));
  }
  const ArchiveShape shape = ProbeArchive(path);
  if (!shape.opened || !shape.damage.empty()) return;  // changed meanwhile: nothing to add
  const uint64_t count = static_cast<uint64_t>(DictionaryItemCount(dictionary));
  if (count < shape.announced) {
    Note("dzv: warning: " + path + " holds " + Items(shape.announced) + " but only " +
         std::to_string(count) + " different keys; the last value of each repeated key counts");
  }
  if (shape.end < shape.size) {
    const std::string trailing = std::to_string(shape.size - shape.end) +
                                 " bytes follow its last"
                                 " item; they are not part of the archive";
    if (purpose == Purpose::kChange) {
      throw Failure(path + ": " + trailing +
                    ", and saving would drop them. The file is left "
                    "as it is.");
    }
    Note("dzv: warning: " + path + ": " + trailing);
  }
}

void RequireArchiveOrNothing(const std::string& path) {
  if (!Exists(path)) return;
  const ArchiveShape shape = ProbeArchive(path);
  if (shape.opened && shape.damage.empty() && shape.end == shape.size) return;
  throw Failure(path + ": exists and is not a dictionary archive; it is not replaced");
}

void RequireNoArchive(const std::string& path) {
  if (!Exists(path)) return;
  const ArchiveShape shape = ProbeArchive(path);
  if (shape.opened && shape.size > 0 && shape.damage.empty() && shape.end == shape.size) {
    throw Failure(path + ": is a dictionary archive; it is not replaced by a text");
  }
}

void SaveArchive(int32_t dictionary, const std::string& path) {
  if (DictionarySave(dictionary, path.c_str())) return;
  std::string reason = WhyUnwritable(path);
  if (reason.empty()) reason = "the disk may be full, or a write failed";
  std::string message = path + ": could not be saved: " + reason;
  if (Exists(path) && SavedByReplacing(path)) message += "; the file keeps its previous content";
  throw Failure(message);
}

}  // namespace dzv::cli
