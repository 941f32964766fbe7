// Linux backend of the code page service: the ANSI code page comes from the
// locale environment, read without setlocale; other code pages are described
// through glibc's iconv.
#include "platform/code_page.h"

#include <errno.h>
#include <iconv.h>

#include <cctype>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/linux/code_page.h"
#include "platform/utf8.h"

namespace dzv::platform {
namespace {

// Upper case, with '-' and '_' removed: "Shift_JIS" -> "SHIFTJIS".
std::string NormalizeCodeset(std::string_view codeset) {
  std::string out;
  for (char c : codeset) {
    if (c == '-' || c == '_') continue;
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return out;
}

// Parses the digits after `prefix`; 0 when `name` is not prefix + digits.
uint32_t NumberAfter(const std::string& name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return 0;
  uint32_t n = 0;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 100000) return 0;
    n = n * 10 + static_cast<uint32_t>(name[i] - '0');
  }
  return n;
}

struct NamedCodePage {
  const char* codeset;  // normalized
  uint32_t code_page;
};

constexpr NamedCodePage kNamedCodePages[] = {
    {"SJIS", 932},      {"SHIFTJIS", 932},  {"CP932", 932},   {"WINDOWS31J", 932},
    {"GBK", 936},       {"CP936", 936},     {"GB2312", 936},  {"EUCCN", 936},
    {"EUCKR", 949},     {"CP949", 949},     {"UHC", 949},     {"BIG5", 950},
    {"BIG5HKSCS", 950}, {"CP950", 950},     {"JOHAB", 1361},  {"CP1361", 1361},
    {"UTF8", 65001},    {"C", 1252},        {"POSIX", 1252},  {"ISO88591", 1252},
    {"LATIN1", 1252},   {"CP1252", 1252},   {"KOI8R", 20866}, {"KOI8U", 21866},
    {"EUCJP", 20932},   {"GB18030", 54936}, {"EUCTW", 51950},
};

// Converts with iconv, turning every sequence that the conversion rejects
// into '?'. `unit` is the width of one input character for skipping (1 for
// byte code pages, 4 for UCS-4). Returns false when iconv cannot convert
// between the two at all.
bool ConvertWithIconv(const char* from, const char* to, std::string_view in, size_t unit,
                      std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->clear();
  char* inp = const_cast<char*>(in.data());
  size_t inleft = in.size();
  char buf[4096];
  while (inleft > 0) {
    char* outp = buf;
    size_t outleft = sizeof buf;
    size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
    const int err = errno;
    out->append(buf, static_cast<size_t>(outp - buf));
    if (r != static_cast<size_t>(-1)) continue;
    if (err == E2BIG) continue;
    // EILSEQ: an invalid or unconvertible character; EINVAL: an incomplete
    // one at the end. Either way one '?' stands for it.
    out->push_back('?');
    if (err == EINVAL) break;
    const size_t skip = inleft < unit ? inleft : unit;
    inp += skip;
    inleft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* outp = buf;
  size_t outleft = sizeof buf;
  iconv(cd, nullptr, nullptr, &outp, &outleft);  // flush a shift state
  out->append(buf, static_cast<size_t>(outp - buf));
  iconv_close(cd);
  return true;
}

// Encodes code points in `code_page`.
bool EncodeCodePoints(const std::u32string& text, uint32_t code_page, std::string* out) {
  if (code_page == 65001) {
    out->clear();
    for (char32_t c : text) AppendUtf8(c, out);
    return true;
  }
  std::string ucs4;
  ucs4.reserve(text.size() * 4);
  for (char32_t c : text) {
    for (int i = 0; i < 4; ++i) ucs4.push_back(static_cast<char>((c >> (8 * i)) & 0xFF));
  }
  return ConvertWithIconv("UCS-4LE", IconvNameOfCodePage(code_page).c_str(), ucs4, 4, out);
}

class LinuxCodePage final : public CodePage {
 public:
  bool FromUtf16(std::u16string_view text, uint32_t code_page, std::string* out) override {
    try {
      std::u32string points;
      points.reserve(text.size());
      for (size_t i = 0; i < text.size() && text[i] != 0; ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
          points.push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                           (text[i + 1] - 0xDC00));
          ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
          points.push_back(U'?');
        } else {
          points.push_back(u);
        }
      }
      return EncodeCodePoints(points, code_page, out);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  bool ToUtf8(std::string_view text, uint32_t code_page, std::string* out) override {
    try {
      if (code_page == 65001) return EncodeCodePoints(DecodeUtf8(text), 65001, out);
      return ConvertWithIconv(IconvNameOfCodePage(code_page).c_str(), "UTF-8", text, 1, out);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  bool FromUtf8(std::string_view text, uint32_t code_page, std::string* out) override {
    try {
      return EncodeCodePoints(DecodeUtf8(text), code_page, out);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  // A code page that iconv does not know (a locale naming "CP99999", say)
  // counts as an unknown codeset: 1252, which every conversion can use.
  uint32_t AnsiCodePage() override {
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
      const char* value = std::getenv(var);
      if (value == nullptr || *value == '\0') continue;
      const uint32_t code_page = CodePageFromLocaleName(value);
      iconv_t cd = iconv_open("UTF-8", IconvNameOfCodePage(code_page).c_str());
      if (cd == reinterpret_cast<iconv_t>(-1)) return 1252;
      iconv_close(cd);
      return code_page;
    }
    return 1252;
  }

  bool Describe(uint32_t code_page, CodePageInfo* info) override {
    iconv_t cd = iconv_open("UTF-16LE", IconvNameOfCodePage(code_page).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    *info = CodePageInfo{};
    bool longer_than_two = false;
    bool lead[256] = {};
    for (int b = 1; b < 256; ++b) {
      if (Incomplete(cd, static_cast<char>(b), 0)) lead[b] = true;
    }
    for (int b = 1; b < 256 && !longer_than_two; ++b) {
      if (!lead[b]) continue;
      for (int t = 1; t < 256; ++t) {
        if (Incomplete(cd, static_cast<char>(b), static_cast<char>(t))) {
          longer_than_two = true;
          break;
        }
      }
    }
    iconv_close(cd);
    if (longer_than_two) {
      info->max_char_size = 3;
      return true;
    }
    for (int b = 1; b < 256; ++b) {
      if (!lead[b]) continue;
      info->max_char_size = 2;
      int e = b;
      while (e + 1 < 256 && lead[e + 1]) ++e;
      info->lead_byte_ranges.emplace_back(static_cast<uint8_t>(b), static_cast<uint8_t>(e));
      b = e;
    }
    return true;
  }

 private:
  // True when iconv reports the one- or two-byte input as the start of an
  // incomplete multibyte sequence.
  static bool Incomplete(iconv_t cd, char first, char second) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[2] = {first, second};
    char out[16];
    char* inp = in;
    size_t inleft = second == 0 ? 1 : 2;
    char* outp = out;
    size_t outleft = sizeof out;
    size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
    return r == static_cast<size_t>(-1) && errno == EINVAL;
  }
};

}  // namespace

uint32_t CodePageFromLocaleName(std::string_view locale_name) {
  size_t dot = locale_name.find('.');
  if (dot == std::string_view::npos) {
    return 1252;  // no codeset: "C", "POSIX", "en_US"
  }
  std::string_view codeset = locale_name.substr(dot + 1);
  codeset = codeset.substr(0, codeset.find('@'));
  std::string name = NormalizeCodeset(codeset);
  if (name.empty()) return 1252;
  for (const NamedCodePage& named : kNamedCodePages) {
    if (name == named.codeset) return named.code_page;
  }
  if (uint32_t n = NumberAfter(name, "CP"); n != 0) return n;
  if (uint32_t n = NumberAfter(name, "WINDOWS"); n != 0) return n;
  if (uint32_t n = NumberAfter(name, "ISO8859"); n >= 2 && n <= 16) return 28590 + n;
  return 1252;
}

std::string IconvNameOfCodePage(uint32_t code_page) {
  switch (code_page) {
    case 1361:
      return "JOHAB";
    case 65001:
      return "UTF-8";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 20932:
      return "EUC-JP";
    case 54936:
      return "GB18030";
    case 51950:
      return "EUC-TW";
    default:
      break;
  }
  if (code_page > 28590 && code_page <= 28606) {
    return "ISO-8859-" + std::to_string(code_page - 28590);
  }
  return "CP" + std::to_string(code_page);
}

CodePage& CodePage::Default() {
  static NoDestructor<LinuxCodePage> instance;
  return *instance.get();
}

}  // namespace dzv::platform
