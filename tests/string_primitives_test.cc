// StrLength, StrHash and StrLineGet through the exported functions, and the
// byte scans beneath them.
#include "text/string_primitives.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "duduzuvez210.h"

namespace {

TEST(StrLength, CountsBytesBeforeTheZero) {
  EXPECT_EQ(StrLength(""), 0);
  EXPECT_EQ(StrLength("abc"), 3);
  EXPECT_EQ(StrLength("\x82\xA0x"), 3);  // bytes, not characters
  EXPECT_EQ(StrLength(nullptr), 0);
}

// The scans the Windows DLL does itself, 16 bytes a step: every length and
// every place of the byte around a step's edges, from every alignment.
TEST(ByteScans, FindTheFirstByteAndTheLengthAtEveryPlace) {
  alignas(16) char buffer[96];
  for (size_t start = 0; start < 16; ++start) {
    for (size_t n = 0; n + start < 64; ++n) {
      std::memset(buffer, 'x', sizeof buffer);
      char* p = buffer + start;
      EXPECT_EQ(dzv::text::FindByte(p, n, '='), nullptr) << start << " " << n;
      p[n] = '\0';
      EXPECT_EQ(dzv::text::TextLength(p), n) << start;
      for (size_t at = 0; at < n; ++at) {
        p[at] = '=';
        if (at + 1 < n) p[at + 1] = '=';
        EXPECT_EQ(dzv::text::FindByte(p, n, '='), p + at) << start << " " << n << " " << at;
        p[at] = 'x';
        if (at + 1 < n) p[at + 1] = 'x';
      }
      p[n] = '=';  // just past the end: not found
      EXPECT_EQ(dzv::text::FindByte(p, n, '='), nullptr) << start << " " << n;
    }
  }
}

TEST(StrHash, WeighsSignedBytesByPosition) {
  EXPECT_EQ(StrHash(""), 0);
  EXPECT_EQ(StrHash("abc"), 590);
  EXPECT_EQ(StrHash("\xFF"), -1);
  EXPECT_EQ(StrHash("ba"), 292);
  EXPECT_EQ(StrHash("ab"), 293);
  EXPECT_EQ(StrHash("a\x80"), 97 - 2 * 128);
  EXPECT_EQ(StrHash(nullptr), 0);
}

TEST(StrHash, WrapsAroundIn32Bits) {
  // 70000 bytes of 0x7F: 127 * 70000 * 70001 / 2 = 311154445000, which is
  // 1916799688 modulo 2^32.
  const std::string text(70000, '\x7F');
  EXPECT_EQ(StrHash(text.c_str()), 1916799688);
}

// Every line that StrLineGet returns, with the cursor after each call.
struct Read {
  std::string line;
  int32_t cursor;
  bool operator==(const Read&) const = default;
};
std::vector<Read> ReadAll(const char* text, int32_t size = 256) {
  std::vector<Read> out;
  std::vector<char> buffer(static_cast<size_t>(size), 'X');
  int32_t cursor = 0;
  while (StrLineGet(text, &cursor, buffer.data(), size) == 1) {
    out.push_back({buffer.data(), cursor});
    if (out.size() > 100) break;  // a cursor that does not move
  }
  EXPECT_EQ(buffer[0], '\0') << "the final call leaves the empty string";
  return out;
}

TEST(StrLineGet, DropsTheByteBeforeEachLineFeed) {
  EXPECT_EQ(ReadAll("a=1\r\nb=2\r\n"), (std::vector<Read>{{"a=1", 5}, {"b=2", 10}}));
  EXPECT_EQ(ReadAll("x\r\ny"), (std::vector<Read>{{"x", 3}, {"y", 4}}));
  EXPECT_EQ(ReadAll("abc\n"), (std::vector<Read>{{"ab", 4}}));
  EXPECT_EQ(ReadAll("\nabc"), (std::vector<Read>{{"", 1}, {"abc", 4}}));
  EXPECT_EQ(ReadAll("\r\n\r\nz"), (std::vector<Read>{{"", 2}, {"", 4}, {"z", 5}}));
  EXPECT_EQ(ReadAll(""), std::vector<Read>{});
}

TEST(StrLineGet, CutsLongLinesAndSkipsTheirRest) {
  EXPECT_EQ(ReadAll("abcdef\r\nxy\r\n", 4), (std::vector<Read>{{"abc", 8}, {"xy", 12}}));
  EXPECT_EQ(ReadAll("abcdef", 4), (std::vector<Read>{{"abc", 6}}));
  // Size 1 leaves room for the zero byte only.
  EXPECT_EQ(ReadAll("ab\r\ncd", 1), (std::vector<Read>{{"", 4}, {"", 6}}));
  // A line exactly as long as the room is not cut.
  EXPECT_EQ(ReadAll("abc\r\n", 4), (std::vector<Read>{{"abc", 5}}));
}

TEST(StrLineGet, AtTheEndLeavesTheCursorAndEmptiesTheBuffer) {
  const char* text = "a\r\n";
  char buffer[8] = "junk";
  int32_t cursor = 3;
  EXPECT_EQ(StrLineGet(text, &cursor, buffer, sizeof buffer), 0);
  EXPECT_EQ(cursor, 3);
  EXPECT_STREQ(buffer, "");
}

TEST(StrLineGet, RefusesArgumentsItCannotUse) {
  char buffer[4] = "abc";
  int32_t cursor = 0;
  EXPECT_EQ(StrLineGet("line", &cursor, buffer, 0), 0);
  EXPECT_EQ(StrLineGet("line", &cursor, buffer, -5), 0);
  EXPECT_STREQ(buffer, "abc");  // nothing written without room
  EXPECT_EQ(StrLineGet("line", nullptr, buffer, 4), 0);
  EXPECT_EQ(StrLineGet(nullptr, &cursor, buffer, 4), 0);
  cursor = -1;
  EXPECT_EQ(StrLineGet("line", &cursor, buffer, 4), 0);
  EXPECT_EQ(cursor, -1);
}

}  // namespace
