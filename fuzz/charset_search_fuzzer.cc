// _PalStrFindFirstIn and _PalStrFindFirstNotIn under code pages 1252 and
// 932, with arbitrary texts, sets, start indexes and steps.
//
// Input: a mode byte (bit 0: code page 932; bit 1: the Not-In function;
// bit 2: start and step as full 32-bit values, else small ones), the start
// and the step, the set ended by a zero byte, then the text.
// Checks: the result against a naive search written here: the text and the
// set divided into characters (a lead byte and the byte after it are one
// character; a lead byte at the end is none), then the characters at
// start, start + step, ... examined while the index lies within the text.
#include "fuzz_util.h"

namespace {

std::vector<uint32_t> CharValues(uint32_t code_page, std::string_view s) {
  std::vector<uint32_t> values;
  for (size_t start : fuzz::CharStarts(code_page, s)) {
    const unsigned char b = static_cast<unsigned char>(s[start]);
    values.push_back(fuzz::IsLead(code_page, s[start])
                         ? b * 256u + static_cast<unsigned char>(s[start + 1])
                         : b);
  }
  return values;
}

int32_t NaiveSearch(uint32_t code_page, std::string_view text, int32_t start, std::string_view set,
                    int32_t step, bool want_member) {
  const std::vector<uint32_t> chars = CharValues(code_page, text);
  const std::vector<uint32_t> members = CharValues(code_page, set);
  const int64_t n = static_cast<int64_t>(chars.size());
  const int64_t by = step == 0 ? 1 : step;
  for (int64_t i = start; i >= 0 && i < n; i += by) {
    bool member = false;
    for (uint32_t m : members) member = member || m == chars[i];
    if (member == want_member) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.Byte();
  const uint32_t code_page = (mode & 1) ? 932 : 1252;
  const bool not_in = mode & 2;
  int32_t start, step;
  if (mode & 4) {
    start = static_cast<int32_t>(in.U32());
    step = static_cast<int32_t>(in.U32());
  } else {
    start = static_cast<int8_t>(in.Byte());
    step = static_cast<int8_t>(in.Byte());
  }
  fuzz::UseCodePage(code_page);
  const std::string set = in.Until('\0');
  const std::string raw = in.Rest();
  const std::string text = raw.substr(0, raw.find('\0'));
  fuzz::CString c_text(text), c_set(set);

  const int32_t got = not_in ? _PalStrFindFirstNotIn(c_text.get(), start, c_set.get(), step)
                             : _PalStrFindFirstIn(c_text.get(), start, c_set.get(), step);
  FUZZ_CHECK(got == NaiveSearch(code_page, text, start, set, step, !not_in));
  return 0;
}
