#include "escapes.h"

#include "cli.h"

namespace dzv::cli {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string Visible(std::string_view bytes, bool escape_equals) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      shown += "\\\\";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (byte < 0x20 || byte == 0x7F || (escape_equals && c == '=')) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string Unescape(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (++i == text.size()) throw UsageError("a lone '\\' ends the text");
    switch (text[i]) {
      case '\\': bytes += '\\'; break;
      case 't': bytes += '\t'; break;
      case 'r': bytes += '\r'; break;
      case 'n': bytes += '\n'; break;
      case 'x': {
        const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) throw UsageError("'\\x' needs two hexadecimal digits");
        if (high == 0 && low == 0) throw UsageError("'\\x00' cannot stand in a text");
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        throw UsageError(std::string("unknown escape '\\") + text[i] + "'");
    }
  }
  return bytes;
}

}  // namespace dzv::cli
