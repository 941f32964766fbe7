// A look at an archive file's framing, without its content: the item count
// it announces, how many pairs its bytes hold completely, and where the data
// end. dzv uses it to say what is wrong with a file that the library would
// not open, and to notice bytes after the last item, which the library
// ignores and a save would drop.
#ifndef DZV_TOOLS_DZV_ARCHIVE_PROBE_H_
#define DZV_TOOLS_DZV_ARCHIVE_PROBE_H_

#include <cstdint>
#include <string>

namespace dzv::cli {

struct ArchiveShape {
  bool opened = false;     // the file could be opened for reading
  uint64_t size = 0;       // the file's length in bytes
  uint64_t announced = 0;  // the item count at the start of the file
  uint64_t complete = 0;   // pairs whose bytes are all present
  uint64_t end = 0;        // offset just after the last complete pair
  // Empty when every announced pair is present; otherwise where and how the
  // data end, e.g. "the value of item 3 needs 200 bytes at offset 41 ...".
  std::string damage;
};

// Only a regular file is opened; anything else comes back not `opened`.
ArchiveShape ProbeArchive(const std::string& path);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_ARCHIVE_PROBE_H_
