// What the Linux code page backend derives from the locale environment.
#ifndef DZV_PLATFORM_LINUX_CODE_PAGE_H_
#define DZV_PLATFORM_LINUX_CODE_PAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace dzv::platform {

// The ANSI code page that a locale name such as "ja_JP.SJIS" or
// "de_DE.UTF-8@euro" stands for. Names without a codeset, "C" and "POSIX"
// give 1252; unknown codesets give 1252 as well.
uint32_t CodePageFromLocaleName(std::string_view locale_name);

// The iconv name of a code page ("CP932", "UTF-8", ...).
std::string IconvNameOfCodePage(uint32_t code_page);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_CODE_PAGE_H_
