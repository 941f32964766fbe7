// UTF-8 encoding and decoding shared by the code page backends.
#ifndef DZV_PLATFORM_UTF8_H_
#define DZV_PLATFORM_UTF8_H_

#include <string>
#include <string_view>

namespace dzv::platform {

// Appends the UTF-8 form of code point `c` (at most U+10FFFF).
void AppendUtf8(char32_t c, std::string* out);
// Decodes UTF-8 into code points; every invalid or incomplete sequence (an
// overlong form, an encoded surrogate, a value past U+10FFFF, a cut-off
// sequence) gives one '?'. Throws std::bad_alloc when memory runs out.
std::u32string DecodeUtf8(std::string_view s);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_UTF8_H_
