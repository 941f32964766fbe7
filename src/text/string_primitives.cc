#include "text/string_primitives.h"

#include <climits>

namespace dzv::text {

int32_t StrLength(const char* text) {
  if (text == nullptr) return 0;
  const size_t n = TextLength(text);
  return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
}

int32_t StrHash(const char* text) {
  if (text == nullptr) return 0;
  uint32_t sum = 0;
  uint32_t position = 1;
  for (const char* p = text; *p != '\0'; ++p, ++position) {
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p))) * position;
  }
  return static_cast<int32_t>(sum);
}

int32_t StrLineGet(const char* text, int32_t* cursor, char* buffer, int32_t size) {
  if (text == nullptr || cursor == nullptr || buffer == nullptr || size < 1 || *cursor < 0) {
    return 0;
  }
  const char* p = text + *cursor;
  // The line and its "\n", if it has one: everything up to the first "\n"
  // or the terminating zero.
  const size_t n = std::strcspn(p, "\n");
  const LineSpan line = SplitLine(std::string_view(p, p[n] == '\n' ? n + 1 : n));
  if (line.advance == 0 || line.advance > static_cast<size_t>(INT32_MAX - *cursor)) {
    // The end of the text, or one that a 32-bit cursor cannot pass.
    buffer[0] = '\0';
    return 0;
  }
  const size_t room = static_cast<size_t>(size) - 1;
  const size_t length = line.length < room ? line.length : room;
  std::memcpy(buffer, p, length);
  buffer[length] = '\0';
  *cursor += static_cast<int32_t>(line.advance);
  return 1;
}

}  // namespace dzv::text
