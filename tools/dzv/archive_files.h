// Opening and saving dictionary archive files through the library, with the
// reasons the library does not give: every failure becomes a Failure whose
// message names the file and what is wrong with it.
#ifndef DZV_TOOLS_DZV_ARCHIVE_FILES_H_
#define DZV_TOOLS_DZV_ARCHIVE_FILES_H_

#include <cstdint>
#include <string>

namespace dzv::cli {

enum class IfMissing {
  kFail,   // a missing file is an error
  kEmpty,  // a missing file reads as an empty dictionary
};

enum class Purpose {
  kRead,    // bytes after the last item are only reported
  kChange,  // the file is to be saved again: such bytes make it an error,
            // since saving would drop them
};

// Fills the dictionary from the archive at path (DictionaryOpen). Keys that
// the file holds more than once are reported on standard error: the library
// keeps the last value of each.
void OpenArchive(int32_t dictionary, const std::string& path, IfMissing if_missing,
                 Purpose purpose);

// Writes the dictionary to path (DictionarySave, which replaces the file
// only when every byte is written).
void SaveArchive(int32_t dictionary, const std::string& path);

// Guards against arguments given in the wrong order: throws Failure when a
// file exists at path and is not a whole dictionary archive, so that a new
// archive never replaces a text or any other file.
void RequireArchiveOrNothing(const std::string& path);
// The same for a text file about to be written: throws Failure when path
// holds a whole dictionary archive.
void RequireNoArchive(const std::string& path);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_ARCHIVE_FILES_H_
