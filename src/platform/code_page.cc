#include "platform/code_page.h"

namespace dzv::platform {
namespace {

LeadByteTable process_table;

struct BuiltinRanges {
  uint32_t code_page;
  unsigned char ranges[3][2];
  int count;
};

constexpr BuiltinRanges kBuiltin[] = {
    {932, {{0x81, 0x9F}, {0xE0, 0xFC}}, 2},
    {936, {{0x81, 0xFE}}, 1},
    {949, {{0x81, 0xFE}}, 1},
    {950, {{0x81, 0xFE}}, 1},
    {1361, {{0x81, 0xD3}, {0xD8, 0xDE}, {0xE0, 0xF9}}, 3},
};

}  // namespace

void LeadByteTable::SetRange(unsigned char first, unsigned char last) {
  for (unsigned b = first; b <= last; ++b) {
    if (b == 0) continue;
    lead_[b] = true;
    any_ = true;
  }
}

LeadByteTable LeadByteTable::ForCodePage(uint32_t code_page, CodePage& platform) {
  LeadByteTable table;
  table.code_page_ = code_page;
  for (const BuiltinRanges& b : kBuiltin) {
    if (b.code_page != code_page) continue;
    for (int i = 0; i < b.count; ++i) table.SetRange(b.ranges[i][0], b.ranges[i][1]);
    return table;
  }
  CodePageInfo info;
  if (platform.Describe(code_page, &info) && info.max_char_size == 2) {
    for (const auto& [first, last] : info.lead_byte_ranges) table.SetRange(first, last);
  }
  return table;
}

size_t LeadByteTable::WholeCharLength(std::string_view text) const {
  if (!any_ || text.empty() || !IsLead(text.back())) return text.size();
  size_t i = 0;
  while (i < text.size()) {
    if (IsLead(text[i])) {
      if (i + 1 >= text.size()) return i;
      i += 2;
    } else {
      i += 1;
    }
  }
  return text.size();
}

const LeadByteTable& ProcessLeadBytes() { return process_table; }

void InitProcessLeadBytes(CodePage& code_page) {
  process_table = LeadByteTable::ForCodePage(code_page.AnsiCodePage(), code_page);
}

LeadByteTable SetProcessLeadBytesForTesting(const LeadByteTable& table) {
  LeadByteTable previous = process_table;
  process_table = table;
  return previous;
}

}  // namespace dzv::platform
