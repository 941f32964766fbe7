// A model file read line by line and each line put to the library: what it
// opens or holds (ParseRoseLine), the nesting it changes and the text it
// quotes (AdjustParLevel).
#ifndef DZV_TOOLS_DZV_MODEL_LINES_H_
#define DZV_TOOLS_DZV_MODEL_LINES_H_

#include <cstdint>
#include <functional>
#include <string>

namespace dzv::cli {

struct ModelLine {
  uint64_t number = 0;       // from 1
  int64_t level_before = 0;  // the nesting level the line starts at
  int32_t kind = 0;          // the library's classification code, 0 to 26
  int32_t level_change = 0;
  bool opens_object = false;  // the line opens an object: "(object TYPE ..."
  std::string object_type;    // the TYPE of that object
  std::string quoted;         // the line's quoted text, or empty
};

// The readable name of a classification code ("Operation object", "label").
std::string KindName(int32_t kind);

// Reads the file at path and calls visit for each line, in order. Lines end
// at "\n", and a "\r" before it is dropped. Leading blanks and tabs are
// skipped before a line is classified, and a line whose object opens after
// its property name ("statemachine (object State_Machine ...") is classified
// by that object. Throws Failure naming the file when it cannot be read. A
// progress bar is shown on standard error when `progress` is set.
void ReadModelLines(const std::string& path, bool progress,
                    const std::function<void(const ModelLine& line)>& visit);

}  // namespace dzv::cli

#endif  // DZV_TOOLS_DZV_MODEL_LINES_H_
