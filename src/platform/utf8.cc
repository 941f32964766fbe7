#include "platform/utf8.h"

namespace dzv::platform {

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    char32_t c = 0;
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      c = b & 0x07;
    }
    size_t k = 1;
    while (len != 0 && k < len && i + k < s.size() &&
           (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80) {
      c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
      ++k;
    }
    const bool valid = len != 0 && k == len && !(len == 3 && c < 0x800) &&
                       !(len == 4 && (c < 0x10000 || c > 0x10FFFF)) &&
                       !(c >= 0xD800 && c <= 0xDFFF);
    out.push_back(valid ? c : U'?');
    i += valid ? len : (k > 1 ? k : 1);
  }
  return out;
}

}  // namespace dzv::platform
