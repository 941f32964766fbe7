// What every code page backend must do, whatever system lies under it. Each
// backend of the build is instantiated at the end of this file.
#include <gtest/gtest.h>

#include <bitset>
#include <string>
#include <utility>
#include <vector>

#include "platform/code_page.h"

namespace dzv::platform {
namespace {

struct CodePageBackend {
  const char* name;
  CodePage& (*get)();
};

class CodePageContract : public ::testing::TestWithParam<CodePageBackend> {
 protected:
  CodePage& cp_ = GetParam().get();
  std::string out_;
};

using Ranges = std::vector<std::pair<uint8_t, uint8_t>>;

std::bitset<256> Bytes(const Ranges& ranges) {
  std::bitset<256> bytes;
  for (auto [first, last] : ranges) {
    for (unsigned b = first; b <= last; ++b) bytes.set(b);
  }
  return bytes;
}

TEST_P(CodePageContract, DescribesCodePagesByTheirLeadBytes) {
  // The lead bytes reported are at least `must` and at most `may`: systems
  // differ on whether the bytes of user-defined areas are lead bytes.
  const struct {
    uint32_t code_page;
    uint32_t max_char_size;
    Ranges must, may;
  } cases[] = {
      {932, 2, {{0x81, 0x9F}, {0xE0, 0xFC}}, {{0x81, 0x9F}, {0xE0, 0xFC}}},
      {936, 2, {{0x81, 0xFE}}, {{0x81, 0xFE}}},
      {949, 2, {{0x81, 0xC8}, {0xCA, 0xFD}}, {{0x81, 0xFE}}},
      {950, 2, {{0xA1, 0xF9}}, {{0x81, 0xFE}}},
      {1252, 1, {}, {}},
  };
  CodePageInfo info;
  for (const auto& c : cases) {
    ASSERT_TRUE(cp_.Describe(c.code_page, &info)) << c.code_page;
    EXPECT_EQ(info.max_char_size, c.max_char_size) << c.code_page;
    const std::bitset<256> leads = Bytes(info.lead_byte_ranges);
    EXPECT_TRUE((Bytes(c.must) & ~leads).none()) << c.code_page;
    EXPECT_TRUE((leads & ~Bytes(c.may)).none()) << c.code_page;
  }
  // UTF-8 has characters longer than two bytes, so it is no lead-byte code
  // page (the lead-byte table treats only a size of 2 as one).
  ASSERT_TRUE(cp_.Describe(65001, &info));
  EXPECT_GT(info.max_char_size, 2u);
  EXPECT_FALSE(cp_.Describe(12345, &info));

  // The process's ANSI code page is one that the backend knows.
  const uint32_t ansi = cp_.AnsiCodePage();
  EXPECT_EQ(cp_.AnsiCodePage(), ansi);
  EXPECT_TRUE(cp_.Describe(ansi, &info)) << ansi;
  ASSERT_TRUE(cp_.FromUtf16(u"Az", ansi, &out_)) << ansi;
  EXPECT_EQ(out_, "Az");
}

TEST_P(CodePageContract, Utf16ToCodePages) {
  // "Aé€" then a zero unit that ends the text.
  const std::u16string text = {u'A', 0x00E9, 0x20AC, 0, u'B'};
  ASSERT_TRUE(cp_.FromUtf16(text, 1252, &out_));
  EXPECT_EQ(out_, "A\xE9\x80");
  ASSERT_TRUE(cp_.FromUtf16(text, 65001, &out_));
  EXPECT_EQ(out_, "A\xC3\xA9\xE2\x82\xAC");
  // Characters that the code page lacks, and unpaired surrogates, become '?'.
  const std::u16string other = {0x3042, u'x', 0xD800, u'y', 0xDC00, 0xD83D, 0xDE00};
  ASSERT_TRUE(cp_.FromUtf16(other, 1252, &out_));
  EXPECT_EQ(out_, "?x?y??");
  ASSERT_TRUE(cp_.FromUtf16(other, 932, &out_));
  EXPECT_EQ(out_, "\x82\xA0x?y??");
  ASSERT_TRUE(cp_.FromUtf16(other, 65001, &out_));
  EXPECT_EQ(out_, "\xE3\x81\x82x?y?\xF0\x9F\x98\x80");
  // A high surrogate never pairs across the end of the text.
  ASSERT_TRUE(cp_.FromUtf16(std::u16string{u'a', 0xD83D}, 65001, &out_));
  EXPECT_EQ(out_, "a?");
  ASSERT_TRUE(cp_.FromUtf16(std::u16string{0xD83D, 0, 0xDE00}, 65001, &out_));
  EXPECT_EQ(out_, "?");
  EXPECT_FALSE(cp_.FromUtf16(other, 12345, &out_));
}

TEST_P(CodePageContract, Utf8BothWays) {
  // Each code page's own characters go there and back unchanged; 932 has a
  // double-byte character whose second byte is '\' and single-byte katakana.
  const std::pair<uint32_t, const char*> samples[] = {
      {1252, "caf\xC3\xA9 \xE2\x82\xAC"},  {932, "\xE3\x81\x82\xE8\xA1\xA8\xEF\xBD\xB1"},  // あ表ｱ
      {936, "\xE6\xB1\x89\xE5\xAD\x97"},                                                   // 汉字
      {949, "\xED\x95\x9C\xEA\xB5\xAD"},                                                   // 한국
      {950, "\xE6\xBC\xA2\xE5\xAD\x97"},                                                   // 漢字
      {65001, "\xF0\x9F\x98\x80\xC3\xA9"},
  };
  for (const auto& [code_page, utf8] : samples) {
    std::string back;
    ASSERT_TRUE(cp_.FromUtf8(utf8, code_page, &out_)) << code_page;
    ASSERT_TRUE(cp_.ToUtf8(out_, code_page, &back)) << code_page;
    EXPECT_EQ(back, utf8) << code_page;
  }
  ASSERT_TRUE(cp_.FromUtf8("\xE3\x81\x82\xE8\xA1\xA8\xEF\xBD\xB1", 932, &out_));
  EXPECT_EQ(out_, "\x82\xA0\x95\x5C\xB1");
  ASSERT_TRUE(cp_.ToUtf8("caf\xE9", 1252, &out_));
  EXPECT_EQ(out_, "caf\xC3\xA9");

  // What the target lacks, and invalid sequences, become '?'.
  ASSERT_TRUE(cp_.ToUtf8("\x82\xA0\x82", 932, &out_));  // the last byte is cut off
  EXPECT_EQ(out_, "\xE3\x81\x82?");
  ASSERT_TRUE(cp_.FromUtf8("caf\xC3\xA9 \xE3\x81\x82", 1252, &out_));
  EXPECT_EQ(out_, "caf\xE9 ?");
  ASSERT_TRUE(cp_.FromUtf8("ok\xFFok\xE3\x81", 65001, &out_));
  EXPECT_EQ(out_, "ok?ok?");
  // An encoded surrogate and an overlong form are invalid UTF-8, and never
  // pass into the result (how many '?' stand for them is the backend's).
  const auto only_marks_between = [this] {
    return out_.size() > 2 && out_.front() == 'a' && out_.back() == 'z' &&
           out_.find_first_not_of('?', 1) == out_.size() - 1;
  };
  for (const char* bad : {"a\xED\xA0\x80z", "a\xC0\xAFz"}) {
    ASSERT_TRUE(cp_.FromUtf8(bad, 65001, &out_));
    EXPECT_TRUE(only_marks_between()) << out_;
    ASSERT_TRUE(cp_.FromUtf8(bad, 1252, &out_));
    EXPECT_TRUE(only_marks_between()) << out_;
    ASSERT_TRUE(cp_.ToUtf8(bad, 65001, &out_));
    EXPECT_TRUE(only_marks_between()) << out_;
  }
  EXPECT_FALSE(cp_.ToUtf8("a", 12345, &out_));
  EXPECT_FALSE(cp_.FromUtf8("a", 12345, &out_));
}

void PrintTo(const CodePageBackend& backend, std::ostream* os) { *os << backend.name; }

std::string BackendName(const ::testing::TestParamInfo<CodePageBackend>& info) {
  return info.param.name;
}

#if defined(__linux__)
INSTANTIATE_TEST_SUITE_P(Backends, CodePageContract,
                         ::testing::Values(CodePageBackend{"Linux", &CodePage::Default}),
                         BackendName);
#elif defined(_WIN32)
INSTANTIATE_TEST_SUITE_P(Backends, CodePageContract,
                         ::testing::Values(CodePageBackend{"Win32", &CodePage::Default}),
                         BackendName);
#endif

}  // namespace
}  // namespace dzv::platform
