#include "text/mbcs.h"

#include <cstring>

namespace dzv::text {

size_t CharCount(const LeadByteTable& t, std::string_view text) {
  if (!t.HasLeadBytes()) return text.size();
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++n) {
    if (t.IsLead(text[i])) {
      if (i + 1 >= text.size()) break;  // lone lead byte: no character
      i += 2;
    } else {
      i += 1;
    }
  }
  return n;
}

size_t CharLength(const LeadByteTable& t, std::string_view text) { return t.WholeCharLength(text); }

size_t StepForward(const LeadByteTable& t, std::string_view text, size_t pos, size_t k) {
  if (pos >= text.size()) return pos;
  if (!t.HasLeadBytes()) return k >= text.size() - pos ? text.size() : pos + k;
  // Only the k characters passed over are read, so that stepping through a
  // text a few characters at a time costs no rescans of it.
  while (k > 0 && pos < text.size()) {
    if (t.IsLead(text[pos])) {
      if (pos + 1 >= text.size()) break;  // lone lead byte: the end
      pos += 2;
    } else {
      pos += 1;
    }
    --k;
  }
  return pos;
}

size_t StepBack(const LeadByteTable& t, std::string_view text, size_t pos) {
  if (pos == 0) return 0;
  if (pos == 1) return 0;
  if (t.IsLead(text[pos - 1])) return pos - 2;
  // Count the unbroken run of lead bytes before text[pos - 1].
  size_t run = 0;
  size_t i = pos - 1;
  while (i > 0 && t.IsLead(text[i - 1])) {
    ++run;
    --i;
  }
  return (run % 2 == 1) ? pos - 2 : pos - 1;
}

uint32_t CharValueAt(const LeadByteTable& t, std::string_view text, size_t pos) {
  unsigned char b = static_cast<unsigned char>(text[pos]);
  if (t.IsLead(b) && pos + 1 < text.size()) {
    return b * 256u + static_cast<unsigned char>(text[pos + 1]);
  }
  return b;
}

bool StringEqual(const LeadByteTable& t, std::string_view a, std::string_view b) {
  if (a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0))
    return true;
  if (!t.HasLeadBytes()) return false;
  a = a.substr(0, CharLength(t, a));
  b = b.substr(0, CharLength(t, b));
  return a == b;
}

size_t FindSubstring(const LeadByteTable& t, std::string_view text, std::string_view pattern) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  if (!t.HasLeadBytes()) return text.find(pattern);
  const size_t last = text.size() - pattern.size();
  for (size_t i = 0; i <= last;) {
    if (text.compare(i, pattern.size(), pattern) == 0) return i;
    i += t.IsLead(text[i]) ? 2 : 1;
  }
  return std::string_view::npos;
}

size_t FindChar(const LeadByteTable& t, std::string_view text, char byte) {
  if (!t.HasLeadBytes()) return text.find(byte);
  const size_t end = CharLength(t, text);
  for (size_t i = 0; i < end;) {
    if (t.IsLead(text[i])) {
      i += 2;
      continue;
    }
    if (text[i] == byte) return i;
    ++i;
  }
  return std::string_view::npos;
}

size_t FindLastChar(const LeadByteTable& t, std::string_view text, char byte) {
  if (!t.HasLeadBytes()) return text.rfind(byte);
  const size_t end = CharLength(t, text);
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < end;) {
    if (t.IsLead(text[i])) {
      i += 2;
      continue;
    }
    if (text[i] == byte) found = i;
    ++i;
  }
  return found;
}

}  // namespace dzv::text
