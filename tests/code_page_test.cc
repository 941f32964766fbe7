// The code page of the process and the character rules built on it.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

#include "dictionary/string_map.h"
#include "duduzuvez210.h"
#if defined(__linux__)
#include "platform/linux/code_page.h"
#endif
#include "test_util.h"
#include "text/mbcs.h"

namespace dzv {
namespace {

using testing::Cp932;
using text::LeadByteTable;

#if defined(__linux__)
using platform::CodePageFromLocaleName;

TEST(CodePageFromLocale, NamedCodesets) {
  struct Case {
    const char* locale;
    uint32_t code_page;
  } cases[] = {
      {"ja_JP.SJIS", 932},
      {"ja_JP.Shift_JIS", 932},
      {"ja_JP.shift-jis", 932},
      {"ja_JP.CP932", 932},
      {"ja_JP.WINDOWS-31J", 932},
      {"zh_CN.GBK", 936},
      {"zh_CN.cp936", 936},
      {"zh_CN.GB2312", 936},
      {"zh_CN.euc-cn", 936},
      {"ko_KR.EUC-KR", 949},
      {"ko_KR.CP949", 949},
      {"ko_KR.UHC", 949},
      {"zh_TW.BIG5", 950},
      {"zh_HK.BIG5-HKSCS", 950},
      {"zh_TW.cp950", 950},
      {"ko_KR.JOHAB", 1361},
      {"ko_KR.CP1361", 1361},
      {"en_US.UTF-8", 65001},
      {"C.utf8", 65001},
      {"de_DE.UTF-8@euro", 65001},
      {"C", 1252},
      {"POSIX", 1252},
      {"en_US", 1252},
      {"", 1252},
      {"en_US.ISO-8859-1", 1252},
      {"fr_FR.latin1", 1252},
      {"en_US.CP1252", 1252},
      {"ru_RU.CP1251", 1251},
      {"pl_PL.windows-1250", 1250},
      {"el_GR.WINDOWS1253", 1253},
      {"de_DE.ISO-8859-15@euro", 28605},
      {"ja_JP.sjis@variant", 932},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodePageFromLocaleName(c.locale), c.code_page) << c.locale;
  }
}

#endif  // __linux__

class FixedCodePage : public platform::CodePageWrapper {
 public:
  explicit FixedCodePage(uint32_t cp) : CodePageWrapper(&platform::CodePage::Default()), cp_(cp) {}
  uint32_t AnsiCodePage() override { return cp_; }
  bool Describe(uint32_t code_page, platform::CodePageInfo* info) override {
    ++describes;
    return platform::CodePage::Default().Describe(code_page, info);
  }
  int describes = 0;

 private:
  uint32_t cp_;
};

TEST(LeadByteTable, BuiltInRangesAreUsedWithoutAskingThePlatform) {
  FixedCodePage platform(932);
  LeadByteTable t932 = LeadByteTable::ForCodePage(932, platform);
  EXPECT_FALSE(t932.IsLead('\x80'));
  EXPECT_TRUE(t932.IsLead('\x81'));
  EXPECT_TRUE(t932.IsLead('\x9F'));
  EXPECT_FALSE(t932.IsLead('\xA0'));
  EXPECT_TRUE(t932.IsLead('\xE0'));
  EXPECT_TRUE(t932.IsLead('\xFC'));
  EXPECT_FALSE(t932.IsLead('\xFD'));
  LeadByteTable t1361 = LeadByteTable::ForCodePage(1361, platform);
  EXPECT_TRUE(t1361.IsLead('\xD3'));
  EXPECT_FALSE(t1361.IsLead('\xD4'));
  EXPECT_TRUE(t1361.IsLead('\xD8'));
  EXPECT_FALSE(t1361.IsLead('\xDF'));
  EXPECT_TRUE(t1361.IsLead('\xF9'));
  for (uint32_t cp : {936u, 949u, 950u}) {
    LeadByteTable t = LeadByteTable::ForCodePage(cp, platform);
    EXPECT_TRUE(t.IsLead('\x81') && t.IsLead('\xFE') && !t.IsLead('\xFF') && !t.IsLead('\x80'));
  }
  EXPECT_EQ(platform.describes, 0);
}

TEST(LeadByteTable, OtherCodePagesAreDescribedByThePlatform) {
  FixedCodePage platform(1252);
  // Single-byte and multi-byte (more than two bytes) code pages: no leads.
  EXPECT_FALSE(LeadByteTable::ForCodePage(1252, platform).HasLeadBytes());
  EXPECT_FALSE(LeadByteTable::ForCodePage(1251, platform).HasLeadBytes());
  EXPECT_FALSE(LeadByteTable::ForCodePage(65001, platform).HasLeadBytes());
  EXPECT_FALSE(LeadByteTable::ForCodePage(99999, platform).HasLeadBytes());  // unknown
#if defined(__linux__)
  // EUC-JP has characters of three bytes (Windows counts it a double-byte
  // code page).
  EXPECT_FALSE(LeadByteTable::ForCodePage(20932, platform).HasLeadBytes());
  EXPECT_EQ(platform.describes, 5);
#else
  EXPECT_EQ(platform.describes, 4);
#endif

  // A double-byte code page outside the built-in five: the reported ranges.
  struct DoubleByte : platform::CodePageWrapper {
    using CodePageWrapper::CodePageWrapper;
    bool Describe(uint32_t, platform::CodePageInfo* info) override {
      *info = {2, {{0xA1, 0xFE}}};
      return true;
    }
  } double_byte(&platform);
  const LeadByteTable t = LeadByteTable::ForCodePage(20932, double_byte);
  EXPECT_TRUE(t.IsLead('\xA1') && t.IsLead('\xFE') && !t.IsLead('\xA0') && !t.IsLead('\x81'));
}

TEST(CharacterRules, DivisionUnderCodePage932) {
  const LeadByteTable t = Cp932();
  EXPECT_EQ(text::CharCount(t, "\x41\x82\x41"), 2u);
  EXPECT_EQ(text::FindChar(t, "\x41\x82\x41", 'A'), 0u);
  EXPECT_EQ(text::FindChar(t, "\x82\x41", 'A'), std::string_view::npos);
  EXPECT_EQ(text::CharCount(t, "ab\x82"), 2u);  // the lone lead byte is no character
  EXPECT_EQ(text::CharLength(t, "ab\x82"), 2u);
  EXPECT_EQ(text::CharLength(t, "\x82\x82"), 2u);  // a whole character
  EXPECT_EQ(text::CharLength(t, "\x82\x82\x82"), 2u);

  const std::string_view s = "\x82\x82\x41";
  EXPECT_EQ(text::StepBack(t, s, 3), 2u);
  EXPECT_EQ(text::StepBack(t, s, 2), 0u);
  EXPECT_EQ(text::StepForward(t, s, 0, 1), 2u);
  EXPECT_EQ(text::StepForward(t, s, 0, 5), 3u);
  EXPECT_EQ(text::CharValueAt(t, s, 0), 0x8282u);
  EXPECT_EQ(text::CharValueAt(t, s, 2), 0x41u);

  EXPECT_EQ(text::FindSubstring(t, "\x82\x41", "A"), std::string_view::npos);
  EXPECT_EQ(text::FindSubstring(t, "x\x82\x41y", "\x82"), 1u);
  EXPECT_EQ(text::FindSubstring(t, "ab\x95\x5C", "\x5C"), std::string_view::npos);
  EXPECT_EQ(text::FindLastChar(t, "a\\b\x95\x5C", '\\'), 1u);

  EXPECT_TRUE(text::StringEqual(t, "ab\x82", "ab"));
  EXPECT_TRUE(text::StringEqual(t, "ab\x82", "ab\x9F"));
  EXPECT_FALSE(text::StringEqual(t, "ab\x82\x41", "ab"));
  EXPECT_FALSE(text::StringEqual(LeadByteTable(), "ab\x82", "ab"));
}

TEST(CharacterRules, SingleByteIsPlainBytes) {
  const LeadByteTable t;
  EXPECT_EQ(text::CharCount(t, "\x41\x82\x41"), 3u);
  EXPECT_EQ(text::FindSubstring(t, "\x82\x41", "A"), 1u);
  EXPECT_EQ(text::StepBack(t, "\x82\x82\x41", 2), 1u);
  EXPECT_EQ(text::FindLastChar(t, "a\\b\x95\x5C", '\\'), 4u);
}

// The process picks its code page up from the locale environment at load,
// whether or not that locale is installed.
TEST(ProcessCodePage, LoadReadsLcAll) {
  if (!testing::InChildProcess({"LC_ALL=ja_JP.SJIS", "LANG=en_US.UTF-8"})) return;
  EXPECT_EQ(platform::ProcessLeadBytes().code_page(), 932u);
  EXPECT_TRUE(platform::ProcessLeadBytes().IsLead('\xE0'));

  // Through the exports: a key with a lone trailing lead byte finds the key
  // without it when both fall in one bucket.
  std::string k;
  for (int i = 0;; ++i) {
    k = "k" + std::to_string(i);
    if (dict::CMapStringToString::HashKey(k) % 125 == 1) break;
  }
  int32_t h = DictionaryNew(nullptr);
  ASSERT_EQ(DictionaryItemAdd(h, k.c_str(), "plain"), 1);
  char value[32] = "";
  ASSERT_EQ(DictionaryLookup(h, (k + "\xE0").c_str(), value), 1);
  EXPECT_STREQ(value, "plain");
  ASSERT_EQ(DictionaryItemAdd(h, (k + "\xE0").c_str(), "again"), 1);
  EXPECT_EQ(DictionaryItemCount(h), 1);
}

// How Linux reads the locale environment.
#if defined(__linux__)
TEST(ProcessCodePage, LcCtypeThenLang) {
  if (!testing::InChildProcess({"LC_ALL=", "LC_CTYPE=", "LANG=zh_TW.Big5"})) return;
  EXPECT_EQ(platform::ProcessLeadBytes().code_page(), 950u);
  EXPECT_TRUE(platform::ProcessLeadBytes().IsLead('\xFE'));
}

// A codeset number that the system cannot convert is an unknown codeset.
TEST(ProcessCodePage, UnconvertibleCodesetIs1252) {
  if (!testing::InChildProcess({"LC_ALL=ja_JP.CP99999"})) return;
  EXPECT_EQ(platform::ProcessLeadBytes().code_page(), 1252u);
}

TEST(ProcessCodePage, Utf8HasNoLeadBytes) {
  if (!testing::InChildProcess({"LC_ALL=", "LC_CTYPE=C.UTF-8", "LANG=ja_JP.SJIS"})) return;
  EXPECT_EQ(platform::ProcessLeadBytes().code_page(), 65001u);
  EXPECT_FALSE(platform::ProcessLeadBytes().HasLeadBytes());
  int32_t h = DictionaryNew(nullptr);
  DictionaryItemAdd(h, "ab", "1");
  DictionaryItemAdd(h, "ab\x82", "2");
  EXPECT_EQ(DictionaryItemCount(h), 2);
}
#endif  // __linux__

}  // namespace
}  // namespace dzv
