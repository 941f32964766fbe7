// Code page information: the process's ANSI code page and what the platform
// knows of a code page's byte structure (GetACP and GetCPInfo in substance).
#ifndef DZV_PLATFORM_CODE_PAGE_H_
#define DZV_PLATFORM_CODE_PAGE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/service.h"

namespace dzv::platform {

// What the platform reports of one code page.
struct CodePageInfo {
  // The longest character in bytes (1 for single-byte code pages).
  uint32_t max_char_size = 1;
  // Inclusive ranges of lead-byte values; meaningful when max_char_size is 2.
  std::vector<std::pair<uint8_t, uint8_t>> lead_byte_ranges;
};

class CodePage {
 public:
  virtual ~CodePage() = default;

  // The process's ANSI code page.
  virtual uint32_t AnsiCodePage() = 0;
  // Describes `code_page`. Returns false when the platform cannot.
  virtual bool Describe(uint32_t code_page, CodePageInfo* info) = 0;

  static CodePage& Default();
  static CodePage& Current() { return ServiceSlot<CodePage>::Current(); }
};

// Forwards every call to another instance; tests override what they change.
class CodePageWrapper : public CodePage {
 public:
  explicit CodePageWrapper(CodePage* target) : target_(target) {}
  uint32_t AnsiCodePage() override { return target_->AnsiCodePage(); }
  bool Describe(uint32_t code_page, CodePageInfo* info) override {
    return target_->Describe(code_page, info);
  }

 private:
  CodePage* target_;
};

// The ANSI code page that a locale name such as "ja_JP.SJIS" or
// "de_DE.UTF-8@euro" stands for. Names without a codeset, "C" and "POSIX"
// give 1252; unknown codesets give 1252 as well.
uint32_t CodePageFromLocaleName(std::string_view locale_name);

// The iconv name of a code page ("CP932", "UTF-8", ...).
std::string IconvNameOfCodePage(uint32_t code_page);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_CODE_PAGE_H_
