// The character-set search, in a code page without lead bytes and in 932.
#include "text/charset_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "test_util.h"

namespace dzv::text {
namespace {

using platform::ProcessLeadBytes;
using platform::SetProcessLeadBytesForTesting;
using testing::Cp932;

// The forward step that the search moves by: it stops at a lone lead byte
// that ends the text, however many characters are asked for.
TEST(CharacterRules, StepForwardStopsAtTheEnd) {
  const LeadByteTable t = Cp932();
  EXPECT_EQ(StepForward(t, "\x82\x82\x82", 0, 1), 2u);
  EXPECT_EQ(StepForward(t, "\x82\x82\x82", 0, 5), 2u);
  EXPECT_EQ(StepForward(t, "\x82\x82\x82", 2, 1), 2u);
  EXPECT_EQ(StepForward(t,
                        "a\x82\x41"
                        "b\xE0",
                        1, 1),
            3u);
  EXPECT_EQ(StepForward(t,
                        "a\x82\x41"
                        "b\xE0",
                        0, 3),
            4u);
  EXPECT_EQ(StepForward(t, "ab", 2, 1), 2u);
  EXPECT_EQ(StepForward(LeadByteTable(), "ab\x82", 1, 5), 3u);
  EXPECT_EQ(StepForward(LeadByteTable(), "ab\x82", 0, 0), 0u);
}

struct Search {
  const char* text;
  int32_t start;
  const char* set;
  int32_t step;
  int32_t in;      // FindFirstIn
  int32_t not_in;  // FindFirstNotIn
};

void ExpectSearches(const LeadByteTable& t, std::initializer_list<Search> cases) {
  for (const Search& c : cases) {
    SCOPED_TRACE(::testing::Message() << "text '" << c.text << "' start " << c.start << " set '"
                                      << c.set << "' step " << c.step);
    EXPECT_EQ(FindFirstIn(t, c.text, c.start, c.set, c.step), c.in);
    EXPECT_EQ(FindFirstNotIn(t, c.text, c.start, c.set, c.step), c.not_in);
  }
}

TEST(CharsetSearch, SingleByteSteps) {
  ExpectSearches(LeadByteTable(),
                 {
                     {"abc", 0, "c", 1, 2, 0},
                     {"abc", 0, "ab", 1, 0, 2},
                     {"abc", 0, "ab", 0, 0, 2},  // step 0 is step 1
                     {"abc", 2, "a", -1, 0, 2},
                     {"abc", 2, "bc", -1, 2, 0},
                     {"abcd", 0, "d", 2, -1, 0},  // only indexes 0 and 2
                     {"abcd", 1, "d", 2, 3, 1},
                     {"abcdefg", 6, "a", -3, 0, 6},
                     {"abcdefg", 6, "b", -3, -1, 6},
                     {"abcdefg", 5, "c", -3, 2, 5},
                     {"aaaab", 0, "a", 1, 0, 4},
                     {"aaaab", 0, "a", 3, 0, -1},  // 0 and 3 only
                     {"abab", 3, "b", -2, 3, -1},
                     {"abab", 3, "b", INT32_MIN, 3, -1},
                     {"abab", 0, "a", INT32_MAX, 0, -1},
                     {"ab\xE9", 0, "\xE9", 1, 2, 0},  // high bytes are characters here
                 });
}

TEST(CharsetSearch, OutOfRangeAndEmpty) {
  ExpectSearches(LeadByteTable(), {
                                      {"abc", 3, "abc", 1, -1, -1},
                                      {"abc", 4, "", -1, -1, -1},
                                      {"abc", -1, "abc", 1, -1, -1},
                                      {"abc", INT32_MIN, "", 1, -1, -1},
                                      {"abc", INT32_MAX, "", -1, -1, -1},
                                      {"", 0, "a", 1, -1, -1},
                                      {"", 0, "", 1, -1, -1},
                                      {"abc", 1, "", 1, -1, 1},  // nothing is in the empty set
                                      {"abc", 2, "", -5, -1, 2},
                                      {"abc", 2, "abcabc", 1, 2, -1},
                                  });
  // Indexes near the top of the range do not wrap around into the text.
  EXPECT_EQ(FindFirstIn(LeadByteTable(), "abc", 2, "x", INT32_MAX), -1);
}

TEST(CharsetSearch, DoubleByteCharactersCountAsOne) {
  const LeadByteTable t = Cp932();
  ExpectSearches(t, {
                        // 'A', then the double-byte 0x82 0x41: two characters.
                        {"\x41\x82\x41", 0, "A", 1, 0, 1},
                        {"\x41\x82\x41", 1, "A", 1, -1, 1},  // its second byte is not 'A'
                        {"\x41\x82\x41", 0, "\x82\x41", 1, 1, 0},
                        {"\x41\x82\x41", 1, "\x82\x41", -1, 1, 0},
                        {"\x41\x82\x41", 2, "A", -1, -1,
                         -1},  // index 2 is past the end
                               // A set member's second byte is no member of its own.
                        {"A\\", 0, "\x82\x41\x95\x5C", 1, -1, 0},
                        // A double-byte character never equals a single-byte one.
                        {"x\x95\x5C", 0, "\x5C", 1, -1, 0},
                        {"x\x95\x5Cy\x95\x5D", 0, "y\x95\x5D", 1, 2, 0},
                        // Set bytes that straddle two of its characters are no member.
                        {"\x82\x41", 0, "\x82\x82\x41", 1, -1, 0},
                        {"x\x95\x5Cy\x95\x5D", 3, "\x95\x5C", -2, 1, 3},
                    });
}

TEST(CharsetSearch, WalksBackOverDoubleByteCharacters) {
  const LeadByteTable t = Cp932();
  // Characters: 0x82 0x82, then 'A'. Walking back from 'A' lands on the
  // first byte of the double-byte character, never on its second.
  ExpectSearches(t, {
                        {"\x82\x82\x41", 1, "\x82\x82", -1, 0, 1},
                        {"\x82\x82\x41", 1, "A", -1, 1, 0},
                        {"\x82\x82\x41", 1, "\x82\x41", -1, -1, 1},
                    });
  // A run of lead-range bytes: 0xE0 0x81 | 0x81 0xE0 | 'B' | 0x9F 0x40 | 'C'.
  const char* text =
      "\xE0\x81\x81\xE0"
      "B\x9F\x40"
      "C";
  ExpectSearches(t, {
                        {text, 4, "\xE0\x81", -1, 0, 4},
                        {text, 4, "\x81\xE0", -1, 1, 4},
                        {text, 4, "\xE0\x81", -3, -1, 4},
                        {text, 4, "\xE0\x81", -2, 0, 4},
                        {text, 3, "B", -1, 2, 3},
                        {text, 4, "\x40", -1, -1, 4},
                    });
}

TEST(CharsetSearch, LoneLeadByteEndsTextAndSet) {
  const LeadByteTable t = Cp932();
  ExpectSearches(t, {
                        // "ab" and a lone 0x82: two characters; the lone byte
                        // is never examined.
                        {"ab\x82", 2, "\x82", 1, -1, -1},
                        {"ab\x82", 0, "ab", 1, 0, -1},
                        {"ab\x82", 1, "ab", -1, 1, -1},
                        {"\x82", 0, "", 1, -1, -1},
                        // A lone lead byte that ends the set is no member.
                        {"ab\x82", 0, "x\x82", 1, -1, 0},
                        {"\x82\x41", 0, "x\x82", 1, -1, 0},
                        {"\x82\x41", 0, "\x82", 1, -1, 0},
                        {"\x82\x82\x82", 0, "\x82\x82\x82", 1, 0, -1},
                    });
}

// The character values of a text, divided left to right.
std::vector<uint32_t> Characters(const LeadByteTable& t, const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (!t.IsLead(b)) {
      out.push_back(b);
      i += 1;
    } else if (i + 1 < s.size()) {
      out.push_back(b * 256u + static_cast<unsigned char>(s[i + 1]));
      i += 2;
    } else {
      break;
    }
  }
  return out;
}

// Searches by index over the divided characters.
int32_t ReferenceSearch(const LeadByteTable& t, const std::string& text, int32_t start,
                        const std::string& set, int32_t step, bool want_member) {
  const std::vector<uint32_t> chars = Characters(t, text);
  const std::vector<uint32_t> members = Characters(t, set);
  if (step == 0) step = 1;
  for (int64_t i = start; i >= 0 && i < static_cast<int64_t>(chars.size()); i += step) {
    bool member = std::find(members.begin(), members.end(), chars[i]) != members.end();
    if (member == want_member) return static_cast<int32_t>(i);
  }
  return -1;
}

TEST(CharsetSearch, AgreesWithSearchOverDividedCharacters) {
  const LeadByteTable tables[] = {LeadByteTable(), Cp932()};
  const char alphabet[] = {'A',    'B',    '\\',   '\x41', '\x5C', '\x81', '\x82',
                           '\x9F', '\xA0', '\xE0', '\xFC', '\xFD', '@'};
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto random_text = [&](int max_len) {
    std::string s(pick(0, max_len), ' ');
    for (char& c : s) c = alphabet[pick(0, sizeof(alphabet) - 1)];
    return s;
  };
  for (const LeadByteTable& t : tables) {
    for (int n = 0; n < 5000; ++n) {
      const std::string text = random_text(14);
      const std::string set = random_text(5);
      const int32_t start = pick(-2, 15);
      const int32_t step = pick(-4, 4);
      SCOPED_TRACE(::testing::Message() << "case " << n << " start " << start << " step " << step);
      ASSERT_EQ(FindFirstIn(t, text, start, set, step),
                ReferenceSearch(t, text, start, set, step, true));
      ASSERT_EQ(FindFirstNotIn(t, text, start, set, step),
                ReferenceSearch(t, text, start, set, step, false));
    }
  }
}

// Through the exports, with the process's table replaced for the test.
class CharsetSearchExport : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = SetProcessLeadBytesForTesting(LeadByteTable()); }
  void TearDown() override { SetProcessLeadBytesForTesting(saved_); }

 private:
  LeadByteTable saved_;
};

TEST_F(CharsetSearchExport, NullArgumentsGiveMinusOne) {
  EXPECT_EQ(_PalStrFindFirstIn(nullptr, 0, "a", 1), -1);
  EXPECT_EQ(_PalStrFindFirstIn("a", 0, nullptr, 1), -1);
  EXPECT_EQ(_PalStrFindFirstNotIn(nullptr, 0, "", 1), -1);
  EXPECT_EQ(_PalStrFindFirstNotIn("a", 0, nullptr, 1), -1);
  EXPECT_EQ(_PalStrFindFirstIn("abc", 2, "a", -1), 0);
  EXPECT_EQ(_PalStrFindFirstNotIn("abc", 0, "ab", 0), 2);
}

TEST_F(CharsetSearchExport, UsesTheProcessTable) {
  EXPECT_EQ(_PalStrFindFirstIn("\x41\x82\x41", 1, "A", 1), 2);
  SetProcessLeadBytesForTesting(Cp932());
  EXPECT_EQ(_PalStrFindFirstIn("\x41\x82\x41", 1, "A", 1), -1);
}

// A process whose code page is 932 from its locale environment at load.
TEST(CharsetSearchProcess, ShiftJisLocale) {
  if (!testing::InChildProcess({"LC_ALL=ja_JP.SJIS"})) return;
  ASSERT_EQ(ProcessLeadBytes().code_page(), 932u);
  EXPECT_EQ(_PalStrFindFirstIn("\x41\x82\x41", 0, "A", 1), 0);
  EXPECT_EQ(_PalStrFindFirstIn("\x41\x82\x41", 1, "A", 1), -1);
  EXPECT_EQ(_PalStrFindFirstIn("\x41\x82\x41", 0, "\x82\x41", 1), 1);
  EXPECT_EQ(_PalStrFindFirstNotIn("\x41\x82\x41", 0, "A\x82\x41", 1), -1);
  EXPECT_EQ(_PalStrFindFirstIn("\x82\x82\x41", 1, "\x82\x82", -1), 0);
  EXPECT_EQ(_PalStrFindFirstNotIn("\x82\x82\x41", 1, "A", -1), 0);
  EXPECT_EQ(_PalStrFindFirstNotIn("ab\x82", 0, "ab", 1), -1);
  EXPECT_EQ(_PalStrFindFirstIn("ab\x82", 2, "\x82", -1), -1);
}

}  // namespace
}  // namespace dzv::text
