// StrLineGet over arbitrary texts with arbitrary buffer sizes.
//
// Input: a 16-bit buffer size (taken modulo 4096, plus 1), a byte choosing
// where the cursor starts (0 unless the byte is odd, then an offset within
// the text), then the text. The text and the buffer are allocated at their
// exact sizes, so any read or write past them is caught.
// Checks: every call against a line reader written here from the rules
// (line up to "\n", the byte before it dropped, cut to size - 1 bytes with
// the rest skipped), then 0, an empty buffer and an unchanged cursor at the
// end.
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const int32_t buffer_size = 1 + static_cast<int32_t>(in.U16() % 4096);
  const uint8_t start = in.Byte();
  const std::string raw = in.Rest();
  const std::string text = raw.substr(0, raw.find('\0'));
  fuzz::CString c_text(text);
  std::unique_ptr<char[]> buffer(new char[buffer_size]);

  size_t pos = (start & 1) ? (start >> 1) % (text.size() + 1) : 0;
  int32_t cursor = static_cast<int32_t>(pos);
  size_t calls = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    std::string_view line;
    size_t next;
    if (nl == std::string::npos) {
      line = std::string_view(text).substr(pos);
      next = text.size();
    } else {
      const size_t k = nl - pos;
      line = std::string_view(text).substr(pos, k == 0 ? 0 : k - 1);
      next = nl + 1;
    }
    line = line.substr(0, std::min(line.size(), static_cast<size_t>(buffer_size - 1)));
    std::memset(buffer.get(), 0x5A, buffer_size);
    FUZZ_CHECK(StrLineGet(c_text.get(), &cursor, buffer.get(), buffer_size) == 1);
    FUZZ_CHECK(static_cast<size_t>(cursor) == next);
    FUZZ_CHECK(std::memchr(buffer.get(), '\0', buffer_size) != nullptr);
    FUZZ_CHECK(std::string_view(buffer.get()) == line);
    pos = next;
    FUZZ_CHECK(++calls <= text.size());
  }
  std::memset(buffer.get(), 0x5A, buffer_size);
  FUZZ_CHECK(StrLineGet(c_text.get(), &cursor, buffer.get(), buffer_size) == 0);
  FUZZ_CHECK(buffer[0] == '\0');
  FUZZ_CHECK(static_cast<size_t>(cursor) == text.size());
  return 0;
}
