// ParseRoseLine and AdjustParLevel on arbitrary lines.
//
// Input: the line (up to its first zero byte), allocated at its exact size.
// Checks: both results, and the 300-byte output area, against a classifier
// and a parenthesis counter written here from the model-file rules; a line
// that begins with "|" leaves the output area untouched; a null output
// area is not written and does not change the result.
#include <array>

#include "fuzz_util.h"

namespace {

int32_t Classify(std::string_view line) {
  static constexpr std::array<std::pair<const char*, int32_t>, 9> kObjects = {{
      {"ClassAttribute", 1},
      {"Attribute", 2},
      {"Operation", 3},
      {"Inheritance_Relationship", 4},
      {"Has_Relationship", 5},
      {"Uses_Relationship", 6},
      {"State ", 7},
      {"Parameter", 8},
      {"State_Machine", 9},
  }};
  static constexpr std::array<std::pair<const char*, int32_t>, 16> kProperties = {{
      {"documentation", 11},
      {"exportControl", 12},
      {"space", 13},
      {"result", 14},
      {"qualification", 15},
      {"opExportControl", 16},
      {"pre_condition", 17},
      {"semantics", 18},
      {"post_condition", 19},
      {"supplier ", 20},
      {"Containment", 21},
      {"label", 22},
      {"supplier_cardinality", 23},
      {"client_cardinality", 24},
      {"is_navigable", 25},
      {"is_aggregate", 26},
  }};
  if (line.starts_with("(object")) {
    const std::string_view type = line.size() > 8 ? line.substr(8) : std::string_view();
    for (const auto& [word, code] : kObjects) {
      if (type.starts_with(word)) return code;
    }
    return 10;
  }
  for (const auto& [word, code] : kProperties) {
    if (line.starts_with(word)) return code;
  }
  return 0;
}

int32_t Level(std::string_view line, std::string* quoted) {
  const size_t first = line.find('"');
  const size_t last = line.rfind('"');
  int32_t opens = 0, closes = 0;
  for (size_t i = 0; i < (first == std::string_view::npos ? line.size() : first); ++i) {
    opens += line[i] == '(';
  }
  for (size_t i = (last == std::string_view::npos ? 0 : last + 1); i < line.size(); ++i) {
    closes += line[i] == ')';
  }
  quoted->clear();
  if (first != last && last - first - 1 < 300) *quoted = line.substr(first + 1, last - first - 1);
  return opens - closes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string line = raw.substr(0, raw.find('\0'));
  fuzz::CString c_line(line);

  FUZZ_CHECK(ParseRoseLine(c_line.get()) == Classify(line));

  constexpr size_t kArea = 300;
  std::unique_ptr<char[]> area(new char[kArea]);
  std::memset(area.get(), 0x5A, kArea);
  const int32_t level = AdjustParLevel(c_line.get(), area.get());
  FUZZ_CHECK(AdjustParLevel(c_line.get(), nullptr) == level);
  if (!line.empty() && line[0] == '|') {
    FUZZ_CHECK(level == 0);
    for (size_t i = 0; i < kArea; ++i) FUZZ_CHECK(area[i] == 0x5A);
    return 0;
  }
  std::string quoted;
  FUZZ_CHECK(level == Level(line, &quoted));
  FUZZ_CHECK(std::memchr(area.get(), '\0', kArea) != nullptr);
  FUZZ_CHECK(std::string_view(area.get()) == quoted);
  return 0;
}
