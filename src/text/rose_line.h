// The lines of Rose model files (the petal text format). A reader of such a
// file calls these once per line: ParseRoseLine tells what the line opens or
// holds by its first word, AdjustParLevel gives the change of parenthesis
// nesting that the line brings and the text it holds between double quotes.
// Reading the file, splitting it into lines and keeping the running level
// are the caller's; nothing is kept between calls.
//
// Lines are bytes: no character rules of the code page apply, and line-end
// bytes left in a line are ordinary bytes that match nothing.
#ifndef DZV_TEXT_ROSE_LINE_H_
#define DZV_TEXT_ROSE_LINE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dzv::text {

// Classification codes of ParseRoseLine.
enum RoseLineCode : int32_t {
  kRoseNothing = 0,
  // Object lines, by type name.
  kRoseClassAttribute = 1,
  kRoseAttribute = 2,
  kRoseOperation = 3,
  kRoseInheritanceRelationship = 4,
  kRoseHasRelationship = 5,
  kRoseUsesRelationship = 6,
  kRoseState = 7,
  kRoseParameter = 8,
  kRoseStateMachine = 9,
  kRoseOtherObject = 10,
  // Property lines, by keyword.
  kRoseDocumentation = 11,
  kRoseExportControl = 12,
  kRoseSpace = 13,
  kRoseResult = 14,
  kRoseQualification = 15,
  kRoseOpExportControl = 16,
  kRosePreCondition = 17,
  kRoseSemantics = 18,
  kRosePostCondition = 19,
  kRoseSupplier = 20,
  kRoseContainment = 21,
  kRoseLabel = 22,
  kRoseSupplierCardinality = 23,
  kRoseClientCardinality = 24,
  kRoseIsNavigable = 25,
  kRoseIsAggregate = 26,
};

// A line whose first 7 bytes are "(object" is an object line: the byte after
// them is skipped whatever it is and the type name follows (empty when the
// line ends first); the code is that of the first object type, in the order
// ClassAttribute, Attribute, Operation, Inheritance_Relationship,
// Has_Relationship, Uses_Relationship, "State " (with its blank), Parameter,
// State_Machine, with which the type name begins; 10 when none. Any other
// line gets the code of the first property keyword, in the order of the
// codes 11 to 26 ("supplier " with its blank), with which the line begins;
// 0 when none. Keywords match with case, whatever follows them; nothing is
// skipped before the line's first byte.
int32_t ParseRoseLine(std::string_view line);

// The most bytes of quoted text that AdjustParLevel copies out; its output
// area takes them and a terminating zero.
inline constexpr size_t kRoseQuotedTextMax = 299;
inline constexpr size_t kRoseOutputSize = kRoseQuotedTextMax + 1;

// The change of nesting level that `line` brings: the "(" bytes before its
// first double quote less the ")" bytes after its last one (over the whole
// line when it has no quote). Writes into `out` the bytes between the first
// and the last quote and a zero byte when the line has two quotes or more
// and at most kRoseQuotedTextMax bytes lie between them; otherwise the empty
// string. A line that begins with "|" (a line of a multi-line text) brings
// no change: the result is 0 and `out` is not written. A null `out` is
// never written; `out` may be the buffer that holds the line.
// REQUIRES: `out` is null or has room for kRoseOutputSize bytes.
int32_t AdjustParLevel(std::string_view line, char* out);

}  // namespace dzv::text

#endif  // DZV_TEXT_ROSE_LINE_H_
