#include "escapes.h"

#include <cctype>

#include "cli.h"
#include "system.h"

namespace dzv::cli {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// How the code page forms characters from bytes 0x80 and up.
enum class Form {
  kSingleByte,  // each byte a character; 0x80-0x9F are the C1 controls
  kUtf8,
  kShiftJis,  // 932
  kWideLead,  // 936, 949, 950, GB18030: lead bytes 0x81-0xFE
  kJohab,     // 1361
  kEuc,       // EUC-JP, EUC-TW: lead bytes 0x8E, 0x8F, 0xA1-0xFE
};

// The form of the code page the library uses.
Form CodePageForm() {
  static const Form form = [] {
    const std::string codeset = CodePageName();
    std::string name;
    for (const char c : codeset) {
      if (c != '-' && c != '_')
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (name == "UTF8" || name == "CP65001") return Form::kUtf8;
    for (const char* sjis : {"SJIS", "SHIFTJIS", "CP932", "WINDOWS31J"}) {
      if (name == sjis) return Form::kShiftJis;
    }
    for (const char* wide : {"GBK", "CP936", "GB2312", "EUCCN", "EUCKR", "CP949", "UHC", "BIG5",
                             "BIG5HKSCS", "CP950", "GB18030"}) {
      if (name == wide) return Form::kWideLead;
    }
    if (name == "JOHAB" || name == "CP1361") return Form::kJohab;
    if (name == "EUCJP" || name == "EUCTW") return Form::kEuc;
    return Form::kSingleByte;
  }();
  return form;
}

bool Within(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// The length of the double-byte character at the start of bytes, or 0 when
// its first byte does not begin one.
size_t DoubleByteLength(Form form, std::string_view bytes) {
  if (bytes.size() < 2) return 0;
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const auto trail = static_cast<unsigned char>(bytes[1]);
  switch (form) {
    case Form::kShiftJis:
      return (Within(lead, 0x81, 0x9F) || Within(lead, 0xE0, 0xFC)) && Within(trail, 0x40, 0xFC) &&
                     trail != 0x7F
                 ? 2
                 : 0;
    case Form::kWideLead:  // GB18030's four-byte characters have digits second
      return Within(lead, 0x81, 0xFE) && (Within(trail, 0x40, 0xFE) || Within(trail, 0x30, 0x39)) &&
                     trail != 0x7F
                 ? 2
                 : 0;
    case Form::kJohab:
      return (Within(lead, 0x84, 0xD3) || Within(lead, 0xD8, 0xDE) || Within(lead, 0xE0, 0xF9)) &&
                     (Within(trail, 0x31, 0x7E) || Within(trail, 0x81, 0xFE))
                 ? 2
                 : 0;
    case Form::kEuc:
      return (lead == 0x8E || lead == 0x8F || Within(lead, 0xA1, 0xFE)) && Within(trail, 0xA1, 0xFE)
                 ? 2
                 : 0;
    default:
      return 0;
  }
}

// The length of the valid UTF-8 sequence at the start of bytes, or 0.
size_t Utf8Length(std::string_view bytes, char32_t* code_point) {
  const auto first = static_cast<unsigned char>(bytes[0]);
  size_t length;
  char32_t c;
  if (Within(first, 0xC2, 0xDF)) {
    length = 2, c = first & 0x1F;
  } else if (Within(first, 0xE0, 0xEF)) {
    length = 3, c = first & 0x0F;
  } else if (Within(first, 0xF0, 0xF4)) {
    length = 4, c = first & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(bytes[i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
      (c >= 0xD800 && c <= 0xDFFF)) {
    return 0;
  }
  *code_point = c;
  return length;
}

void AppendHex(unsigned char byte, std::string* shown) {
  static constexpr char kHex[] = "0123456789abcdef";
  *shown += "\\x";
  *shown += kHex[byte >> 4];
  *shown += kHex[byte & 0xF];
}

struct Rules {
  bool escape_backslash;
  bool escape_equals;
  bool pass_tab_and_line_feed;
};

std::string Escaped(std::string_view bytes, const Rules& rules) {
  const Form form = CodePageForm();
  std::string shown;
  shown.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const char c = bytes[i];
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      ++i;
      if ((c == '\t' || c == '\n') && rules.pass_tab_and_line_feed) {
        shown += c;
      } else if (c == '\\' && rules.escape_backslash) {
        shown += "\\\\";
      } else if (c == '\t') {
        shown += "\\t";
      } else if (c == '\r') {
        shown += "\\r";
      } else if (c == '\n') {
        shown += "\\n";
      } else if (byte < 0x20 || byte == 0x7F || (c == '=' && rules.escape_equals)) {
        AppendHex(byte, &shown);
      } else {
        shown += c;
      }
      continue;
    }
    const std::string_view rest = bytes.substr(i);
    size_t length = 0;
    bool control = false;
    if (form == Form::kUtf8) {
      char32_t code_point = 0;
      length = Utf8Length(rest, &code_point);
      control = length == 0 || code_point <= 0x9F;
      if (length == 0) length = 1;
    } else {
      length = DoubleByteLength(form, rest);
      if (length == 0) {
        length = 1;
        control = byte <= 0x9F;
      }
    }
    for (size_t k = 0; k < length; ++k) {
      if (control) {
        AppendHex(static_cast<unsigned char>(rest[k]), &shown);
      } else {
        shown += rest[k];
      }
    }
    i += length;
  }
  return shown;
}

}  // namespace

std::string Visible(std::string_view bytes, bool escape_equals) {
  return Escaped(
      bytes,
      {.escape_backslash = true, .escape_equals = escape_equals, .pass_tab_and_line_feed = false});
}

std::string Harmless(std::string_view bytes) {
  return Escaped(
      bytes, {.escape_backslash = false, .escape_equals = false, .pass_tab_and_line_feed = true});
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
      case '\\':
        bytes += '\\';
        break;
      case 't':
        bytes += '\t';
        break;
      case 'r':
        bytes += '\r';
        break;
      case 'n':
        bytes += '\n';
        break;
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
