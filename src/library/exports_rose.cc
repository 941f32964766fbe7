// Exports of the model-file line functions.
#include "duduzuvez210.h"
#include "library/guard.h"
#include "text/rose_line.h"

using dzv::library::Guard;

extern "C" {

int32_t DZV_CALL ParseRoseLine(const char* line) {
  return Guard(0, [&] { return line == nullptr ? 0 : dzv::text::ParseRoseLine(line); });
}

int32_t DZV_CALL AdjustParLevel(const char* line, char* text) {
  return Guard(0, [&] { return line == nullptr ? 0 : dzv::text::AdjustParLevel(line, text); });
}

}  // extern "C"
