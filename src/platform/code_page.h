// Code page information: the process's ANSI code page and what the platform
// knows of a code page's byte structure (GetACP and GetCPInfo in substance).
#ifndef DZV_PLATFORM_CODE_PAGE_H_
#define DZV_PLATFORM_CODE_PAGE_H_

#include <cstddef>
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

  // Text conversions (WideCharToMultiByte and MultiByteToWideChar in
  // substance). Each replaces `*out` and returns true, or returns false when
  // the code page is unknown or memory runs out. Characters that the target
  // lacks become '?'.
  //
  // UTF-16LE code units to `code_page`; an unpaired surrogate becomes '?',
  // and the text ends at its first zero code unit.
  virtual bool FromUtf16(std::u16string_view text, uint32_t code_page, std::string* out) = 0;
  // `code_page` bytes to UTF-8; a byte sequence invalid in the code page
  // becomes '?'.
  virtual bool ToUtf8(std::string_view text, uint32_t code_page, std::string* out) = 0;
  // UTF-8 to `code_page`; invalid UTF-8 becomes '?'.
  virtual bool FromUtf8(std::string_view text, uint32_t code_page, std::string* out) = 0;

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
  bool FromUtf16(std::u16string_view text, uint32_t code_page, std::string* out) override {
    return target_->FromUtf16(text, code_page, out);
  }
  bool ToUtf8(std::string_view text, uint32_t code_page, std::string* out) override {
    return target_->ToUtf8(text, code_page, out);
  }
  bool FromUtf8(std::string_view text, uint32_t code_page, std::string* out) override {
    return target_->FromUtf8(text, code_page, out);
  }

 private:
  CodePage* target_;
};

// The lead bytes of a code page: the byte values that start a double-byte
// character. In a code page without lead bytes every byte is a character.
//
// Thread-safety: a LeadByteTable is immutable after construction. The
// process's table is fixed when the library is loaded.
class LeadByteTable {
 public:
  // A table without lead bytes (every byte a character).
  LeadByteTable() = default;

  // The table of `code_page`: built-in ranges for 932, 936, 949, 950 and
  // 1361; otherwise what `platform` reports when the code page has
  // characters of up to two bytes; otherwise no lead bytes.
  static LeadByteTable ForCodePage(uint32_t code_page, CodePage& platform);

  bool IsLead(unsigned char byte) const { return lead_[byte]; }
  bool IsLead(char byte) const { return lead_[static_cast<unsigned char>(byte)]; }
  bool HasLeadBytes() const { return any_; }
  uint32_t code_page() const { return code_page_; }

  void SetRange(unsigned char first, unsigned char last);

  // The length of `text` (a byte range without zero bytes) less a lone lead
  // byte at its end, which starts no character.
  size_t WholeCharLength(std::string_view text) const;

 private:
  bool lead_[256] = {};
  bool any_ = false;
  uint32_t code_page_ = 1252;
};

// The process's ANSI code page and its lead bytes, fixed at load. Before the
// library's load-time set-up has run the table has no lead bytes.
const LeadByteTable& ProcessLeadBytes();
// Fills the process's table from `code_page` (the current code page
// service). Called once by the library's load-time set-up.
void InitProcessLeadBytes(CodePage& code_page);
// Replaces the process's table; for tests of code pages other than the
// environment's. Returns the previous table.
LeadByteTable SetProcessLeadBytesForTesting(const LeadByteTable& table);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_CODE_PAGE_H_
