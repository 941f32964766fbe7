// DictionaryCopy and DictionaryMerge: prefix selection, list keys, the list
// merge (checked against an independent model), and copies that alias.
#include "dictionary/copy_merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dictionary/list_merge.h"
#include "dictionary/substring_index.h"
#include "duduzuvez210.h"
#include "library/process.h"
#include "test_util.h"

namespace dzv::dict {
namespace {

using testing::Cp932;
using testing::Items;
using testing::ItemsOf;

const text::LeadByteTable kSingleByte;

std::string Value(int32_t h, const std::string& key) {
  const CMapStringToString* map = library::Dictionaries()->Get(h);
  const ByteString* v = map == nullptr ? nullptr : map->FindValue(key);
  return v == nullptr ? "<absent>" : std::string(v->view());
}

int32_t NewWith(const Items& items) {
  const int32_t h = DictionaryNew("TEST");
  for (const auto& [k, v] : items) EXPECT_EQ(DictionaryItemAdd(h, k.c_str(), v.c_str()), 1);
  return h;
}

// The handle that the next DictionaryNew will issue.
int32_t NextHandle() {
  const int32_t h = DictionaryNew(nullptr);
  DictionaryFree(h);
  return h;
}

// ---- List keys and the list merge ----------------------------------------

TEST(ListKey, WindowIsOneByteLongerThanTheWord) {
  for (const char* key :
       {"Form.QueryList", "xQueryList", "QueryLists", "a.UserItemList", "UserItemList2",
        "xOverrideItemList", "OverrideItemLists", "Form.QueryList\x82"}) {
    EXPECT_TRUE(IsListKey(kSingleByte, key)) << key;
  }
  for (const char* key : {"QueryList", "UserItemList", "OverrideItemList", "QueryListXY",
                          "Form.querylist", "Form.QueryLis", "", "List"}) {
    EXPECT_FALSE(IsListKey(kSingleByte, key)) << key;
  }
}

TEST(ListKey, WordMustStartACharacterOfTheWindow) {
  const text::LeadByteTable sjis = Cp932();
  // 0x82 takes the 'Q' as its second byte: the word is no word of the window.
  EXPECT_TRUE(IsListKey(kSingleByte, "\x82QueryList"));
  EXPECT_FALSE(IsListKey(sjis, "\x82QueryList"));
  EXPECT_FALSE(IsListKey(sjis, "ab\x82QueryList"));
  // The window is divided from its own first byte, not from the key's.
  EXPECT_TRUE(IsListKey(sjis, "\x82QueryLists"));
  EXPECT_TRUE(IsListKey(sjis,
                        "\x82"
                        "AxQueryList"));
}

const std::string S(1, kListSeparator);

TEST(MergeList, SourceFirstThenMissingDestinationTokens) {
  struct Case {
    std::string v, d, merged;
  };
  const Case cases[] = {
      {"c" + S + "a" + S, "a" + S + "b" + S, "c" + S + "a" + S + "b" + S},
      // No separator is put between V and the first appended token.
      {"c", "a" + S, "ca" + S},
      // Found inside a longer token.
      {"abc" + S, "b" + S + "d" + S, "abc" + S + "d" + S},
      // An empty source keeps every token; empty runs are no tokens.
      {"", "a" + S + S + "a" + S, "a" + S + "a" + S},
      // The destination's last token needs no final separator.
      {"x" + S, "a" + S + "b", "x" + S + "a" + S + "b" + S},
      // Tokens hold no separator, so none is found spanning two of V's.
      {"a" + S + "b" + S, "ab" + S + "b" + S, "a" + S + "b" + S + "ab" + S},
      // Searched in V only: a repeated missing token is appended each time.
      {"x" + S, "q" + S + "q" + S + "x", "x" + S + "q" + S + "q" + S},
      {"ab", "b", "ab"},
      {S + S, S + "q", S + S + "q" + S},
      {"a" + S, "", "a" + S},
      {"a" + S, S + S, "a" + S},
  };
  for (const Case& c : cases) {
    for (size_t budget : {kListScanBudget, size_t{0}}) {
      EXPECT_EQ(MergeList(kSingleByte, c.v, c.d, budget), c.merged)
          << "v=" << c.v << " d=" << c.d << " budget=" << budget;
    }
  }
}

TEST(MergeList, DoubleByteSearchMatchesOnlyAtCharacterStarts) {
  const text::LeadByteTable sjis = Cp932();
  const std::string v =
      "\x82"
      "A" +
      S + "Z" + S;
  for (size_t budget : {kListScanBudget, size_t{0}}) {
    // 'A' is the second byte of a double-byte character of V.
    EXPECT_EQ(MergeList(sjis, v, "A" + S + "Z" + S, budget), v + "A" + S);
    EXPECT_EQ(MergeList(kSingleByte, v, "A" + S + "Z" + S, budget), v);
    // A pattern may end inside a character.
    EXPECT_EQ(MergeList(sjis, v, "\x82" + S, budget), v);
  }
}

// The merge as defined, written independently: tokens by a byte walk, and a
// token present when its bytes follow at one of V's character starts.
std::string ModelMerge(const text::LeadByteTable& t, const std::string& v, const std::string& d) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < v.size(); i += t.IsLead(v[i]) ? 2 : 1) starts.push_back(i);
  auto present = [&](const std::string& token) {
    for (size_t s : starts) {
      if (s + token.size() <= v.size() && v.compare(s, token.size(), token) == 0) return true;
    }
    return false;
  };
  std::string merged = v, token;
  for (size_t i = 0; i <= d.size(); ++i) {
    if (i < d.size() && d[i] != kListSeparator) {
      token += d[i];
      continue;
    }
    if (!token.empty() && !present(token)) merged += token + S;
    token.clear();
  }
  return merged;
}

std::string RandomBytes(std::mt19937& rng, size_t max_len, std::string_view alphabet) {
  std::uniform_int_distribution<size_t> len(0, max_len);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::string s(len(rng), ' ');
  for (char& c : s) c = alphabet[pick(rng)];
  return s;
}

TEST(MergeList, AgreesWithModelOnRandomLists) {
  std::mt19937 rng(20240611);
  const text::LeadByteTable sjis = Cp932();
  // Few distinct bytes, so that tokens overlap, repeat and straddle
  // double-byte characters.
  const std::string alphabet = "ab\x82" + S + S;
  for (int round = 0; round < 3000; ++round) {
    const text::LeadByteTable& t = round % 2 == 0 ? kSingleByte : sjis;
    const size_t max_len = round % 100 == 0 ? 3000 : 24;
    const std::string v = RandomBytes(rng, max_len, alphabet);
    const std::string d = RandomBytes(rng, max_len, alphabet);
    const std::string expected = ModelMerge(t, v, d);
    ASSERT_EQ(MergeList(t, v, d), expected) << "round " << round;
    ASSERT_EQ(MergeList(t, v, d, 0), expected) << "round " << round << " (indexed)";
    ASSERT_EQ(MergeList(t, v, d, SIZE_MAX), expected) << "round " << round << " (scanned)";
  }
}

TEST(SubstringIndex, AgreesWithTheSearchItReplaces) {
  std::mt19937 rng(7);
  const text::LeadByteTable sjis = Cp932();
  for (int round = 0; round < 300; ++round) {
    const text::LeadByteTable& t = round % 2 == 0 ? kSingleByte : sjis;
    // A periodic text makes every doubling round count.
    const std::string text = round % 10 == 0 ? std::string(500, 'a') + "b" + std::string(500, 'a')
                                             : RandomBytes(rng, 400, "ab\x82\xE0");
    const SubstringIndex index(t, text);
    for (int q = 0; q < 40; ++q) {
      std::string pattern = RandomBytes(rng, 6, "ab\x82\xE0");
      if (q % 2 == 0 && !text.empty()) {  // a piece of the text, found or not
        std::uniform_int_distribution<size_t> at(0, text.size() - 1);
        pattern = text.substr(at(rng), 1 + q % 5);
      }
      if (pattern.empty()) pattern = "a";
      ASSERT_EQ(index.Contains(pattern),
                text::FindSubstring(t, text, pattern) != std::string_view::npos)
          << "round " << round << " pattern " << pattern;
    }
  }
}

// ---- DictionaryCopy -------------------------------------------------------

TEST(DictionaryCopy, PrefixSelectsKeysWithCase) {
  const Items source = {{"A.x", "1"}, {"A.", "2"}, {"a.x", "3"}, {"B.A.x", "4"}, {"A", "5"}};
  for (const char* prefix : {static_cast<const char*>(nullptr), ""}) {
    const int32_t from = NewWith(source), to = DictionaryNew(nullptr);
    EXPECT_EQ(::DictionaryCopy(from, to, prefix), 1);
    EXPECT_EQ(DictionaryItemCount(to), 5);
    DictionaryFree(from);
    DictionaryFree(to);
  }
  const int32_t from = NewWith(source), to = NewWith({{"A.x", "old"}, {"keep", "k"}});
  EXPECT_EQ(::DictionaryCopy(from, to, "A."), 1);
  EXPECT_EQ(ItemsOf(to).size(), 3u);
  EXPECT_EQ(Value(to, "A.x"), "1");
  EXPECT_EQ(Value(to, "A."), "2");
  EXPECT_EQ(Value(to, "keep"), "k");
  EXPECT_EQ(Value(to, "a.x"), "<absent>");
  // The prefix is kept on the copied keys, and the source is unchanged.
  EXPECT_EQ(ItemsOf(from).size(), 5u);
  DictionaryFree(from);
  DictionaryFree(to);
}

TEST(DictionaryCopy, ListKeysMergeAndOtherKeysReplace) {
  const int32_t from = NewWith({{"F.QueryList", "c" + S + "a" + S},
                                {"QueryList", "c" + S},
                                {"F.QueryLists", "c" + S},
                                {"F.UserItemList", "n" + S},
                                {"F.OverrideItemList", ""}});
  const int32_t to = NewWith({{"F.QueryList", "a" + S + "b" + S},
                              {"QueryList", "a" + S},
                              {"F.QueryLists", "a" + S},
                              {"F.OverrideItemList", "o" + S}});
  EXPECT_EQ(::DictionaryCopy(from, to, nullptr), 1);
  EXPECT_EQ(Value(to, "F.QueryList"), "c" + S + "a" + S + "b" + S);
  EXPECT_EQ(Value(to, "QueryList"), "c" + S);  // the bare word: replaced
  EXPECT_EQ(Value(to, "F.QueryLists"), "c" + S + "a" + S);
  EXPECT_EQ(Value(to, "F.UserItemList"), "n" + S);      // absent before: as it came
  EXPECT_EQ(Value(to, "F.OverrideItemList"), "o" + S);  // not emptied
  DictionaryFree(from);
  DictionaryFree(to);
}

TEST(DictionaryCopy, InvalidHandlesCopyNothing) {
  const int32_t from = NewWith({{"k", "v"}}), to = NewWith({});
  const int32_t gone = NextHandle();
  EXPECT_EQ(::DictionaryCopy(from, 0, nullptr), 0);
  EXPECT_EQ(::DictionaryCopy(0, to, nullptr), 0);
  EXPECT_EQ(::DictionaryCopy(gone, to, nullptr), 0);
  EXPECT_EQ(::DictionaryCopy(from, -1, nullptr), 0);
  EXPECT_EQ(DictionaryItemCount(to), 0);
  DictionaryFree(from);
  DictionaryFree(to);
}

TEST(DictionaryCopy, OntoItselfKeepsEveryItem) {
  // Long values live on the heap and list values are merged with
  // themselves: the views the walk holds point into the dictionary written.
  Items items;
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i);
    items.emplace_back("k" + n, std::string(i % 50, 'v') + n);
    if (i % 7 == 0) {
      items.emplace_back("L" + n + ".QueryList",
                         "tok" + n + S + std::string(40, 'x') + S + "q" + S + "q" + S);
    }
  }
  const int32_t h = NewWith(items);
  const Items before = ItemsOf(h);
  EXPECT_EQ(::DictionaryCopy(h, h, nullptr), 1);
  EXPECT_EQ(ItemsOf(h), before);
  EXPECT_EQ(::DictionaryCopy(h, h, "L1"), 1);
  EXPECT_EQ(ItemsOf(h), before);
  DictionaryFree(h);
}

TEST(DictionaryCopy, LongListsAreMergedWhole) {
  std::string v, d, missing;
  for (int i = 0; i < 6000; ++i) v += "item" + std::to_string(i) + S;
  for (int i = 0; i < 6000; i += 3) d += "item" + std::to_string(i) + S;  // present
  for (int i = 0; i < 4000; ++i) {
    const std::string token = "new" + std::to_string(i) + S;
    d += token;
    missing += token;
  }
  ASSERT_GT(v.size(), 32000u);
  const int32_t from = NewWith({{"F.QueryList", v}}), to = NewWith({{"F.QueryList", d}});
  EXPECT_EQ(::DictionaryCopy(from, to, "F."), 1);
  EXPECT_EQ(Value(to, "F.QueryList"), v + missing);
  DictionaryFree(from);
  DictionaryFree(to);
}

// ---- DictionaryMerge ------------------------------------------------------

TEST(DictionaryMerge, SecondOverFirstWithinThePrefix) {
  // Outside the prefix: other case, the prefix inside, a part of it.
  const int32_t first = NewWith({{"A.x", "1"},
                                 {"A.q", "f"},
                                 {"A.QueryList", "a" + S + "b" + S},
                                 {"B.y", "out"},
                                 {"a.x", "out"},
                                 {"B.A.x", "out"},
                                 {"A", "out"}});
  const int32_t second = NewWith({{"A.x", "2"}, {"A.QueryList", "c" + S + "a" + S}, {"A.z", "s"}});
  const Items first_before = ItemsOf(first), second_before = ItemsOf(second);
  const int32_t m = ::DictionaryMerge(first, second, "A.");
  ASSERT_NE(m, 0);
  EXPECT_NE(m, first);
  EXPECT_NE(m, second);
  EXPECT_EQ(ItemsOf(m).size(), 4u);
  EXPECT_EQ(Value(m, "A.x"), "2");
  EXPECT_EQ(Value(m, "A.q"), "f");
  EXPECT_EQ(Value(m, "A.z"), "s");
  EXPECT_EQ(Value(m, "A.QueryList"), "c" + S + "a" + S + "b" + S);
  EXPECT_EQ(ItemsOf(first), first_before);
  EXPECT_EQ(ItemsOf(second), second_before);
  DictionaryFree(m);
  DictionaryFree(first);
  DictionaryFree(second);
}

TEST(DictionaryMerge, FirstIsInsertedBeforeSecond) {
  // 'vj' and 'gqh' share bucket 0, where the newer key comes first.
  const int32_t a = NewWith({{"vj", "1"}}), b = NewWith({{"gqh", "2"}});
  const int32_t ab = ::DictionaryMerge(a, b, nullptr), ba = ::DictionaryMerge(b, a, nullptr);
  EXPECT_EQ(ItemsOf(ab), (Items{{"gqh", "2"}, {"vj", "1"}}));
  EXPECT_EQ(ItemsOf(ba), (Items{{"vj", "1"}, {"gqh", "2"}}));
  for (int32_t h : {a, b, ab, ba}) DictionaryFree(h);
}

TEST(DictionaryMerge, OfOneDictionaryWithItself) {
  const int32_t h = NewWith({{"p.a", "1"}, {"p.QueryList", "x" + S + "x" + S}, {"q", "2"}});
  const int32_t m = ::DictionaryMerge(h, h, "p.");
  Items merged = ItemsOf(m);
  std::sort(merged.begin(), merged.end());
  EXPECT_EQ(merged, (Items{{"p.QueryList", "x" + S + "x" + S}, {"p.a", "1"}}));
  DictionaryFree(m);
  DictionaryFree(h);
}

TEST(DictionaryMerge, FailureLeavesNoDictionaryBehind) {
  const int32_t a = NewWith({{"k", "v"}});
  const int32_t free_handle = NextHandle();
  EXPECT_EQ(::DictionaryMerge(a, 0, nullptr), 0);
  EXPECT_EQ(::DictionaryMerge(123456, a, nullptr), 0);
  // A freed handle is the one a new dictionary would get: it still names no
  // dictionary, and the merge must not take its own result for it.
  EXPECT_EQ(::DictionaryMerge(free_handle, a, nullptr), 0);
  EXPECT_EQ(::DictionaryMerge(a, free_handle, nullptr), 0);
  EXPECT_EQ(::DictionaryMerge(free_handle, free_handle, nullptr), 0);
  EXPECT_EQ(DictionaryNew(nullptr), free_handle);
  DictionaryFree(free_handle);
  DictionaryFree(a);
}

}  // namespace
}  // namespace dzv::dict
