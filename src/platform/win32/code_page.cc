// Win32 backend of the code page service: GetACP and GetCPInfo, and the
// conversions through MultiByteToWideChar and WideCharToMultiByte. The
// system's own replacements (best-fit characters, U+FFFD, a code page's
// default character) never reach a result: each character that the target
// lacks, and each invalid sequence, becomes '?'.
#include "platform/code_page.h"

#include <windows.h>

#include <new>
#include <string>

#include "platform/utf8.h"

namespace dzv::platform {
namespace {

constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kGb18030 = 54936;

// Appends `c` as UTF-16; code points outside the Basic Multilingual Plane
// become '?' unless `supplementary`.
void AppendUtf16(char32_t c, bool supplementary, std::u16string* out) {
  if (c < 0x10000) {
    out->push_back(static_cast<char16_t>(c));
  } else if (!supplementary) {
    out->push_back(u'?');
  } else {
    c -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

// Only UTF-8 and GB18030 among the ANSI code pages hold characters beyond
// the Basic Multilingual Plane.
bool HoldsSupplementary(uint32_t code_page) { return code_page == kUtf8 || code_page == kGb18030; }

// Encodes well-formed UTF-16 (no unpaired surrogates) in `code_page`.
bool EncodeUtf16(const std::u16string& text, uint32_t code_page, std::string* out) {
  CPINFO info;
  if (!GetCPInfo(code_page, &info)) return false;
  out->clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  // UTF-8 and GB18030 take no flags and no default character; every other
  // code page maps what it lacks to '?' rather than to a look-alike.
  const bool plain = code_page == kUtf8 || code_page == kGb18030;
  const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* default_char = plain ? nullptr : "?";
  int size = WideCharToMultiByte(code_page, flags, wide, length, nullptr, 0, default_char, nullptr);
  if (size <= 0) return false;
  out->resize(static_cast<size_t>(size));
  size =
      WideCharToMultiByte(code_page, flags, wide, length, out->data(), size, default_char, nullptr);
  if (size <= 0) return false;
  out->resize(static_cast<size_t>(size));
  return true;
}

// Decodes `text` in `code_page` to UTF-16, or false when the system rejects
// some of it (MB_ERR_INVALID_CHARS).
bool DecodeStrict(std::string_view text, uint32_t code_page, std::u16string* out) {
  out->clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  int size = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (size <= 0) return false;
  out->resize(static_cast<size_t>(size));
  size = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length,
                             reinterpret_cast<wchar_t*>(out->data()), size);
  if (size <= 0) return false;
  out->resize(static_cast<size_t>(size));
  return true;
}

class Win32CodePage final : public CodePage {
 public:
  uint32_t AnsiCodePage() override { return GetACP(); }

  bool Describe(uint32_t code_page, CodePageInfo* info) override {
    CPINFO system;
    if (!GetCPInfo(code_page, &system)) return false;
    try {
      *info = CodePageInfo{};
      info->max_char_size = system.MaxCharSize;
      for (int i = 0; i + 1 < MAX_LEADBYTES && system.LeadByte[i] != 0; i += 2) {
        info->lead_byte_ranges.emplace_back(system.LeadByte[i], system.LeadByte[i + 1]);
      }
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  bool FromUtf16(std::u16string_view text, uint32_t code_page, std::string* out) override {
    try {
      const bool supplementary = HoldsSupplementary(code_page);
      std::u16string clean;
      clean.reserve(text.size());
      for (size_t i = 0; i < text.size() && text[i] != 0; ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
          AppendUtf16(
              0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00),
              supplementary, &clean);
          ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
          clean.push_back(u'?');
        } else {
          clean.push_back(u);
        }
      }
      return EncodeUtf16(clean, code_page, out);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  bool ToUtf8(std::string_view text, uint32_t code_page, std::string* out) override {
    try {
      std::u32string points;
      if (code_page == kUtf8) {
        points = DecodeUtf8(text);
      } else if (!Decode(text, code_page, &points)) {
        return false;
      }
      out->clear();
      for (char32_t c : points) AppendUtf8(c, out);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  bool FromUtf8(std::string_view text, uint32_t code_page, std::string* out) override {
    try {
      const bool supplementary = HoldsSupplementary(code_page);
      std::u16string wide;
      for (char32_t c : DecodeUtf8(text)) AppendUtf16(c, supplementary, &wide);
      return EncodeUtf16(wide, code_page, out);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

 private:
  // Decodes text of a code page other than UTF-8. Text that the system takes
  // whole is converted in one call; otherwise character by character, by the
  // code page's lead bytes, each rejected character giving one '?'.
  static bool Decode(std::string_view text, uint32_t code_page, std::u32string* points) {
    CPINFO info;
    if (!GetCPInfo(code_page, &info)) return false;
    std::u16string wide;
    if (!DecodeStrict(text, code_page, &wide)) {
      wide.clear();
      std::u16string one;
      for (size_t i = 0; i < text.size();) {
        size_t length = IsDBCSLeadByteEx(code_page, static_cast<BYTE>(text[i])) ? 2 : 1;
        if (i + length > text.size()) length = text.size() - i;
        if (DecodeStrict(text.substr(i, length), code_page, &one)) {
          wide += one;
        } else {
          wide.push_back(u'?');
        }
        i += length;
      }
    }
    points->clear();
    for (size_t i = 0; i < wide.size(); ++i) {
      const char16_t u = wide[i];
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
          wide[i + 1] <= 0xDFFF) {
        points->push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                          (wide[i + 1] - 0xDC00));
        ++i;
      } else {
        points->push_back(u >= 0xD800 && u <= 0xDFFF ? U'?' : u);
      }
    }
    return true;
  }
};

}  // namespace

CodePage& CodePage::Default() {
  static NoDestructor<Win32CodePage> instance;
  return *instance.get();
}

}  // namespace dzv::platform
