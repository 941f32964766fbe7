#include "text/charset_search.h"

#include <algorithm>
#include <limits>

namespace dzv::text {
namespace {

// True when the character at `pos` of `text`, a whole character, is one of
// the characters of `set`.
bool IsMember(const LeadByteTable& t, std::string_view text, size_t pos, std::string_view set) {
  const uint32_t value = CharValueAt(t, text, pos);
  if (value < 256) {
    // A single-byte character: never equal to either byte of a double-byte
    // member, which the character search steps over.
    return FindChar(t, set, static_cast<char>(value)) != std::string_view::npos;
  }
  // A double-byte character: its lead byte matches only at a character start
  // of the set, where it begins a double-byte member; both bytes present
  // means that member is whole.
  return FindSubstring(t, set, text.substr(pos, 2)) != std::string_view::npos;
}

int32_t Find(const LeadByteTable& t, std::string_view text, int32_t start, std::string_view set,
             int32_t step, bool want_member) {
  // Indexes are kept in 64 bits so that start + step never overflows; an
  // index beyond the 32-bit result range ends the search like the end of
  // the text.
  const int64_t n = static_cast<int64_t>(CharCount(t, text));
  const int64_t last = std::min<int64_t>(n - 1, std::numeric_limits<int32_t>::max());
  if (step == 0) step = 1;
  if (start < 0 || start > last) return -1;

  int64_t i = start;
  size_t pos = StepForward(t, text, 0, static_cast<size_t>(start));
  for (;;) {
    if (IsMember(t, text, pos, set) == want_member) return static_cast<int32_t>(i);
    const int64_t next = i + step;
    if (next < 0 || next > last) return -1;
    // Every character passed over lies within the text, so the position
    // reaches the character at `next` exactly.
    if (step > 0) {
      pos = StepForward(t, text, pos, static_cast<size_t>(step));
    } else {
      for (int64_t k = step; k < 0; ++k) pos = StepBack(t, text, pos);
    }
    i = next;
  }
}

}  // namespace

int32_t FindFirstIn(const LeadByteTable& t, std::string_view text, int32_t start,
                    std::string_view set, int32_t step) {
  return Find(t, text, start, set, step, true);
}

int32_t FindFirstNotIn(const LeadByteTable& t, std::string_view text, int32_t start,
                       std::string_view set, int32_t step) {
  return Find(t, text, start, set, step, false);
}

}  // namespace dzv::text
