#include "model_lines.h"

#include <fstream>

#include "cli.h"
#include "duduzuvez210.h"
#include "file_checks.h"
#include "progress.h"

namespace dzv::cli {
namespace {

constexpr std::string_view kObject = "(object";

// Where the line opens an object: at its first word, or after a property
// name, but never inside a quoted text or a text continuation line ("|").
size_t ObjectStart(const std::string& line, size_t first_word) {
  if (line.compare(first_word, 1, "|") == 0) return std::string::npos;
  const size_t object = line.find(kObject, first_word);
  if (object == std::string::npos || object > line.find('"')) return std::string::npos;
  return object;
}

std::string ObjectType(const std::string& line, size_t object) {
  const size_t start = object + kObject.size() + 1;
  if (start >= line.size()) return {};
  const size_t end = line.find_first_of(" \t()\"", start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

std::string KindName(int32_t kind) {
  static constexpr const char* kNames[] = {
      "other line",
      "ClassAttribute object",
      "Attribute object",
      "Operation object",
      "Inheritance_Relationship object",
      "Has_Relationship object",
      "Uses_Relationship object",
      "State object",
      "Parameter object",
      "State_Machine object",
      "other object",
      "documentation",
      "exportControl",
      "space",
      "result",
      "qualification",
      "opExportControl",
      "pre_condition",
      "semantics",
      "post_condition",
      "supplier",
      "Containment",
      "label",
      "supplier_cardinality",
      "client_cardinality",
      "is_navigable",
      "is_aggregate",
  };
  if (kind < 0 || kind >= static_cast<int32_t>(std::size(kNames))) {
    return "code " + std::to_string(kind);
  }
  return kNames[kind];
}

void ReadModelLines(const std::string& path, bool progress,
                    const std::function<void(const ModelLine& line)>& visit) {
  const std::string unreadable = WhyUnreadable(path);
  if (!unreadable.empty()) throw Failure(path + ": " + unreadable);
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) throw Failure(path + ": cannot be opened");
  const std::streamoff size = file.tellg();
  file.seekg(0);
  Progress bar(path.substr(path.rfind('/') + 1), size > 0 ? static_cast<uint64_t>(size) : 0,
               progress && size > 0);

  ModelLine facts;
  std::string line;
  uint64_t offset = 0;
  char quoted[300];
  while (std::getline(file, line)) {
    offset += line.size() + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    facts.number++;
    facts.level_before += facts.level_change;

    const size_t word = std::min(line.find_first_not_of(" \t"), line.size());
    const size_t object = ObjectStart(line, word);
    facts.kind = ParseRoseLine(line.c_str() + word);
    if (facts.kind == 0 && object != std::string::npos) {
      facts.kind = ParseRoseLine(line.c_str() + object);
    }
    quoted[0] = '\0';
    facts.level_change = AdjustParLevel(line.c_str(), quoted);
    facts.quoted = quoted;
    facts.opens_object = object != std::string::npos;
    facts.object_type = facts.opens_object ? ObjectType(line, object) : std::string();
    visit(facts);
    bar.Update(offset);
  }
  if (file.bad()) throw Failure(path + ": a read failed part-way");
}

}  // namespace dzv::cli
