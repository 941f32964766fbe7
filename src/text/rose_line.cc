#include "text/rose_line.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace dzv::text {
namespace {

struct Keyword {
  std::string_view text;
  int32_t code;
};

// No keyword of a table begins another of the same table: the blanks after
// "State" and "supplier" keep them apart from State_Machine and
// supplier_cardinality.
constexpr Keyword kObjectTypes[] = {
    {"ClassAttribute", kRoseClassAttribute},
    {"Attribute", kRoseAttribute},
    {"Operation", kRoseOperation},
    {"Inheritance_Relationship", kRoseInheritanceRelationship},
    {"Has_Relationship", kRoseHasRelationship},
    {"Uses_Relationship", kRoseUsesRelationship},
    {"State ", kRoseState},
    {"Parameter", kRoseParameter},
    {"State_Machine", kRoseStateMachine},
};

constexpr Keyword kProperties[] = {
    {"documentation", kRoseDocumentation},
    {"exportControl", kRoseExportControl},
    {"space", kRoseSpace},
    {"result", kRoseResult},
    {"qualification", kRoseQualification},
    {"opExportControl", kRoseOpExportControl},
    {"pre_condition", kRosePreCondition},
    {"semantics", kRoseSemantics},
    {"post_condition", kRosePostCondition},
    {"supplier ", kRoseSupplier},
    {"Containment", kRoseContainment},
    {"label", kRoseLabel},
    {"supplier_cardinality", kRoseSupplierCardinality},
    {"client_cardinality", kRoseClientCardinality},
    {"is_navigable", kRoseIsNavigable},
    {"is_aggregate", kRoseIsAggregate},
};

constexpr std::string_view kObjectOpen = "(object";

template <size_t N>
int32_t Classify(std::string_view text, const Keyword (&table)[N], int32_t none) {
  for (const Keyword& k : table) {
    if (text.starts_with(k.text)) return k.code;
  }
  return none;
}

int64_t CountByte(std::string_view bytes, char byte) {
  return std::count(bytes.begin(), bytes.end(), byte);
}

}  // namespace

int32_t ParseRoseLine(std::string_view line) {
  if (line.starts_with(kObjectOpen)) {
    const size_t type_at = kObjectOpen.size() + 1;  // one byte skipped
    const std::string_view type = line.size() > type_at ? line.substr(type_at) : std::string_view();
    return Classify(type, kObjectTypes, kRoseOtherObject);
  }
  return Classify(line, kProperties, kRoseNothing);
}

int32_t AdjustParLevel(std::string_view line, char* out) {
  if (line.starts_with('|')) return 0;

  const size_t first = line.find('"');
  const size_t last = line.rfind('"');
  std::string_view opens_in = line;
  std::string_view closes_in = line;
  if (first != std::string_view::npos) {
    opens_in = line.substr(0, first);
    closes_in = line.substr(last + 1);
  }

  // Counted in 64 bits: only a line of gigabytes could leave the result
  // range, and then the change is held at the range's limit. Counted before
  // the copy, which may overwrite the line when `out` is the line's buffer.
  const int64_t change = CountByte(opens_in, '(') - CountByte(closes_in, ')');

  if (out != nullptr) {
    size_t copied = 0;
    if (first != last && last - first - 1 <= kRoseQuotedTextMax) {
      copied = last - first - 1;
      std::memmove(out, line.data() + first + 1, copied);
    }
    out[copied] = '\0';
  }
  return static_cast<int32_t>(std::clamp<int64_t>(change, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace dzv::text
