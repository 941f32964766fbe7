// The dictionary table and item functions, mostly through the exported C
// functions as a client calls them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dictionary/dictionary_table.h"
#include "dictionary/items.h"
#include "dictionary/string_map.h"
#include "duduzuvez210.h"
#include "test_util.h"

namespace {

using dzv::dict::DictionaryTable;
using dzv::testing::Dict;

struct Pair {
  std::string key, value;
  bool operator==(const Pair&) const = default;
};

// Runs the enumeration protocol; returns every item copied.
std::vector<Pair> EnumerateAll(int32_t h) {
  std::vector<Pair> out;
  char key[256], value[256];
  if (!DictionaryItemGetInit(h)) return out;
  int32_t more;
  do {
    more = DictionaryItemGetNext(h, key, value);
    out.push_back({key, value});
  } while (more);
  return out;
}

// Under code page 932 a lone lead byte that ends a key is no character:
// where "k" and "k" 0xE0 share a bucket (a hash of 1 modulo 125 puts them
// there) they are one key.
TEST(DictionaryItems, ALoneLeadByteEndingAKeyIsNoPartOfIt) {
  if (!dzv::testing::InChildProcess({"LC_ALL=ja_JP.SJIS"})) return;
  std::string k;
  for (int i = 0; k.empty() || dzv::dict::CMapStringToString::HashKey(k) % 125 != 1; ++i) {
    k = "k" + std::to_string(i);
  }
  Dict d;
  d.Add(k, "plain");
  d.Add(k + "\xE0", "replaced");
  EXPECT_EQ(DictionaryItemCount(d.h()), 1);
  char value[16];
  EXPECT_EQ(DictionaryLookup(d.h(), k.c_str(), value), 1);
  EXPECT_STREQ(value, "replaced");
}

TEST(DictionaryTable, LowestFreeHandleIsIssuedFirst) {
  DictionaryTable t(dzv::platform::ProcessLeadBytes());
  EXPECT_EQ(t.Create(), 1);
  EXPECT_EQ(t.size(), 2);
  EXPECT_EQ(t.capacity(), 2u);
  EXPECT_EQ(t.Create(), 2);
  EXPECT_EQ(t.Create(), 3);
  EXPECT_TRUE(t.Destroy(1));
  EXPECT_FALSE(t.Destroy(1));
  EXPECT_EQ(t.Create(), 1);
  EXPECT_EQ(t.Create(), 4);
  EXPECT_TRUE(t.Destroy(2));
  EXPECT_TRUE(t.Destroy(3));
  EXPECT_EQ(t.Create(), 2);
  EXPECT_EQ(t.Create(), 3);
  EXPECT_EQ(t.size(), 5);  // never shrinks; one more than the highest handle
}

TEST(DictionaryTable, SlotStorageGrowsInSteps) {
  DictionaryTable t(dzv::platform::ProcessLeadBytes());
  t.Create();
  EXPECT_EQ(t.capacity(), 2u);
  t.Create();  // needs 3 slots: grows by at least 4
  EXPECT_EQ(t.capacity(), 6u);
  for (int i = 0; i < 200; ++i) t.Create();
  // 202 handles: 203 slots; each step adds size / 8 (at least 4).
  EXPECT_EQ(t.size(), 203);
  EXPECT_GE(t.capacity(), 203u);
  EXPECT_LE(t.capacity(), 203u + 203u / 8 + 4);
}

TEST(DictionaryTable, InvalidHandles) {
  DictionaryTable t(dzv::platform::ProcessLeadBytes());
  EXPECT_EQ(t.Get(1), nullptr);  // before any creation
  int32_t h = t.Create();
  EXPECT_NE(t.Get(h), nullptr);
  EXPECT_EQ(t.Get(0), nullptr);
  EXPECT_EQ(t.Get(-1), nullptr);
  EXPECT_EQ(t.Get(INT32_MIN), nullptr);
  EXPECT_EQ(t.Get(h + 1), nullptr);
  t.Destroy(h);
  EXPECT_EQ(t.Get(h), nullptr);
}

TEST(DictionaryItems, FindLookupAddDelete) {
  Dict d;
  char buf[64];
  d.Add("k", "v1");
  d.Add("k", "v2");  // replaces
  EXPECT_EQ(DictionaryItemCount(d.h()), 1);
  ASSERT_EQ(DictionaryLookup(d.h(), "k", buf), 1);
  EXPECT_STREQ(buf, "v2");
  ASSERT_EQ(DictionaryItemAdd(d.h(), "k", nullptr), 1);
  std::strcpy(buf, "junk");
  ASSERT_EQ(DictionaryLookup(d.h(), "k", buf), 1);
  EXPECT_STREQ(buf, "");

  std::strcpy(buf, "kept");
  EXPECT_EQ(DictionaryLookup(d.h(), "absent", buf), 0);
  EXPECT_STREQ(buf, "kept");
  EXPECT_EQ(DictionaryItemFind(d.h(), "absent", buf), 1);
  EXPECT_STREQ(buf, "");

  EXPECT_EQ(DictionaryItemDelete(d.h(), "absent"), 1);
  EXPECT_EQ(DictionaryItemDelete(d.h(), "k"), 1);
  EXPECT_EQ(DictionaryItemCount(d.h()), 0);
  // Keys and values are exact, with case.
  d.Add("Key", "x");
  EXPECT_EQ(DictionaryLookup(d.h(), "key", buf), 0);
}

TEST(DictionaryItems, EveryFunctionRefusesInvalidHandles) {
  Dict live;
  live.Add("x", "1");
  int32_t freed = DictionaryNew(nullptr);
  ASSERT_EQ(DictionaryFree(freed), 1);
  EXPECT_EQ(DictionaryFree(freed), 0);
  ASSERT_EQ(DictionaryItemGetInit(live.h()), 1);
  for (int32_t h : {0, -1, INT32_MIN, INT32_MAX, freed}) {
    char key[16] = "K", value[16] = "V";
    EXPECT_EQ(DictionaryFree(h), 0);
    EXPECT_EQ(DictionaryClear(h), 0);
    EXPECT_EQ(DictionaryItemAdd(h, "k", "v"), 0);
    EXPECT_EQ(DictionaryItemFind(h, "k", value), 0);
    EXPECT_EQ(DictionaryLookup(h, "k", value), 0);
    EXPECT_EQ(DictionaryItemCount(h), 0);
    EXPECT_EQ(DictionaryItemDelete(h, "k"), 0);
    EXPECT_EQ(DictionaryItemGetInit(h), 0);
    EXPECT_EQ(DictionaryItemGetNext(h, key, value), 0);
    EXPECT_STREQ(key, "K");
    EXPECT_STREQ(value, "V");
  }
  // The shared position survived every refused call.
  char key[16], value[16];
  EXPECT_EQ(DictionaryItemGetNext(live.h(), key, value), 0);
  EXPECT_STREQ(key, "x");
}

TEST(DictionaryItems, NullPointersGiveFailureNotCrash) {
  Dict d;
  d.Add("k", "v");
  char buf[16];
  EXPECT_EQ(DictionaryItemAdd(d.h(), nullptr, "v"), 0);
  EXPECT_EQ(DictionaryItemFind(d.h(), nullptr, buf), 0);
  EXPECT_EQ(DictionaryItemFind(d.h(), "k", nullptr), 0);
  EXPECT_EQ(DictionaryLookup(d.h(), "k", nullptr), 0);
  EXPECT_EQ(DictionaryItemDelete(d.h(), nullptr), 0);
  ASSERT_EQ(DictionaryItemGetInit(d.h()), 1);
  EXPECT_EQ(DictionaryItemGetNext(d.h(), nullptr, buf), 0);
  EXPECT_EQ(DictionaryItemCount(d.h()), 1);
}

TEST(DictionaryEnumeration, ProtocolVisitsBucketOrder) {
  Dict d;
  d.Add("vj", "1");
  d.Add("gqh", "2");
  d.Add("a", "3");
  char key[16], value[16];
  ASSERT_EQ(DictionaryItemGetInit(d.h()), 1);
  EXPECT_EQ(DictionaryItemGetNext(d.h(), key, value), 1);
  EXPECT_STREQ(key, "gqh");
  EXPECT_STREQ(value, "2");
  EXPECT_EQ(DictionaryItemGetNext(d.h(), key, value), 1);
  EXPECT_STREQ(key, "vj");
  EXPECT_EQ(DictionaryItemGetNext(d.h(), key, value), 0);
  EXPECT_STREQ(key, "a");
  EXPECT_STREQ(value, "3");
  std::strcpy(key, "same");
  EXPECT_EQ(DictionaryItemGetNext(d.h(), key, value), 0);
  EXPECT_STREQ(key, "same");
}

TEST(DictionaryEnumeration, EmptyDictionaryAndUnstartedPosition) {
  Dict empty, full;
  full.Add("a", "1");
  char key[16] = "K", value[16] = "V";
  EXPECT_EQ(DictionaryItemGetInit(empty.h()), 0);
  EXPECT_EQ(DictionaryItemGetNext(empty.h(), key, value), 0);
  EXPECT_EQ(DictionaryItemGetNext(full.h(), key, value), 0);
  EXPECT_STREQ(key, "K");
  EXPECT_STREQ(value, "V");
}

TEST(DictionaryEnumeration, PositionIsSharedAcrossDictionaries) {
  Dict a, b, empty;
  a.Add("a1", "x");
  a.Add("a2", "y");
  b.Add("b1", "z");
  char key[16], value[16];
  // Before start is not tied to a dictionary: it starts at A's first item.
  ASSERT_EQ(DictionaryItemGetInit(a.h()), 1);
  ASSERT_EQ(DictionaryItemGetInit(b.h()), 1);
  DictionaryItemGetNext(a.h(), key, value);
  EXPECT_EQ(EnumerateAll(a.h()).front().key, key);
  // An empty dictionary's init sets the position to the end.
  ASSERT_EQ(DictionaryItemGetInit(a.h()), 1);
  EXPECT_EQ(DictionaryItemGetInit(empty.h()), 0);
  EXPECT_EQ(DictionaryItemGetNext(a.h(), key, value), 0);
}

TEST(DictionaryEnumeration, StalePositionIsTheEnd) {
  Dict a, other;
  for (const char* k : {"vj", "gqh", "a"}) a.Add(k, k);
  other.Add("vj", "o");
  other.Add("gqh", "o");
  char key[16] = "", value[16] = "";

  // The next item removed other than right after it was copied.
  ASSERT_EQ(DictionaryItemGetInit(a.h()), 1);
  ASSERT_EQ(DictionaryItemGetNext(a.h(), key, value), 1);  // gqh; next is vj
  DictionaryItemDelete(a.h(), "vj");
  std::strcpy(key, "K");
  EXPECT_EQ(DictionaryItemGetNext(a.h(), key, value), 0);
  EXPECT_STREQ(key, "K");

  // Another dictionary named while the position designates an item of A.
  a.Add("vj", "vj");
  ASSERT_EQ(DictionaryItemGetInit(a.h()), 1);
  ASSERT_EQ(DictionaryItemGetNext(a.h(), key, value), 1);
  ASSERT_STREQ(key, "vj");
  EXPECT_EQ(DictionaryItemGetNext(other.h(), key, value), 0);
  EXPECT_STREQ(key, "vj");

  // The dictionary cleared, or freed and its handle issued again.
  ASSERT_EQ(DictionaryItemGetInit(a.h()), 1);
  ASSERT_EQ(DictionaryItemGetNext(a.h(), key, value), 1);
  DictionaryClear(a.h());
  for (const char* k : {"vj", "gqh", "a"}) a.Add(k, k);
  EXPECT_EQ(DictionaryItemGetNext(a.h(), key, value), 0);

  int32_t h = DictionaryNew(nullptr);
  for (const char* k : {"vj", "gqh"}) DictionaryItemAdd(h, k, k);
  ASSERT_EQ(DictionaryItemGetInit(h), 1);
  ASSERT_EQ(DictionaryItemGetNext(h, key, value), 1);
  DictionaryFree(h);
  int32_t again = DictionaryNew(nullptr);
  ASSERT_EQ(again, h);
  for (const char* k : {"vj", "gqh"}) DictionaryItemAdd(again, k, k);
  EXPECT_EQ(DictionaryItemGetNext(again, key, value), 0);
  DictionaryFree(again);
}

TEST(DictionaryEnumeration, DeletingEachItemAfterItWasCopied) {
  Dict d;
  for (int i = 0; i < 3000; ++i) {
    std::string k = "key" + std::to_string(i * 7919);
    d.Add(k.c_str(), "v");
  }
  char key[64], value[16];
  int visited = 0;
  ASSERT_EQ(DictionaryItemGetInit(d.h()), 1);
  int32_t more;
  do {
    more = DictionaryItemGetNext(d.h(), key, value);
    ++visited;
    ASSERT_EQ(DictionaryItemDelete(d.h(), key), 1);
  } while (more);
  EXPECT_EQ(visited, 3000);
  EXPECT_EQ(DictionaryItemCount(d.h()), 0);
}

TEST(DictionaryItems, ClearKeepsHandle) {
  Dict d;
  d.Add("gqh", "1");
  d.Add("vj", "2");
  ASSERT_EQ(DictionaryClear(d.h()), 1);
  EXPECT_EQ(DictionaryItemCount(d.h()), 0);
  d.Add("vj", "3");
  d.Add("gqh", "4");
  EXPECT_EQ(EnumerateAll(d.h()), (std::vector<Pair>{{"gqh", "4"}, {"vj", "3"}}));
}

TEST(DictionaryItems, NamesHaveNoEffect) {
  int32_t a = DictionaryNew("SAME");
  int32_t b = DictionaryNew("SAME");
  ASSERT_NE(a, b);
  DictionaryItemAdd(a, "k", "a");
  EXPECT_EQ(DictionaryItemCount(b), 0);
  DictionaryFree(a);
  DictionaryFree(b);
}

TEST(DictionaryItems, FirstHandlesOfAFreshProcess) {
  if (!dzv::testing::InChildProcess({})) return;
  EXPECT_EQ(DictionaryNew(nullptr), 1);
  EXPECT_EQ(DictionaryNew(nullptr), 2);
  EXPECT_EQ(DictionaryFree(1), 1);
  EXPECT_EQ(DictionaryNew(nullptr), 1);
  EXPECT_EQ(DictionaryNew(nullptr), 3);
}

}  // namespace

namespace {

// The exported enumeration prefetches from a list of the entries it expects
// next. Whatever the caller changes meanwhile, it must visit exactly what a
// plain walk of the map visits under the same changes.
TEST(DictionaryEnumeration, ChangesDuringALargeEnumerationMatchAPlainWalk) {
  dzv::dict::CMapStringToString model(dzv::platform::ProcessLeadBytes());
  model.SetBucketCount(4000, true);
  Dict d;
  for (int i = 0; i < 20000; ++i) {
    const std::string k = "k" + std::to_string(i * 7919 % 100003);
    d.Add(k.c_str(), "v");
    model.Set(k, "v");
  }
  std::vector<std::string> seen_export, seen_model;
  char key[64], value[64];
  auto model_pos = model.Start();
  ASSERT_EQ(DictionaryItemGetInit(d.h()), 1);
  for (int step = 0;; ++step) {
    std::string_view mk, mv;
    const bool model_has = model.Next(model_pos, &mk, &mv);
    const int32_t more = DictionaryItemGetNext(d.h(), key, value);
    ASSERT_EQ(more, model_has && !model_pos.IsEnd() ? 1 : 0) << "step " << step;
    if (model_has) {
      seen_model.emplace_back(mk);
      seen_export.emplace_back(key);
    }
    if (!more) break;
    // Insert keys that land before and after the position, delete the item
    // just copied now and then, and a not yet visited one too.
    if (step % 7 == 0) {
      const std::string k = "new" + std::to_string(step);
      d.Add(k.c_str(), "n");
      model.Set(k, "n");
    }
    if (step % 11 == 0) {
      DictionaryItemDelete(d.h(), key);
      model.Remove(key);
    }
    if (step % 13 == 0) {
      const std::string k = "k" + std::to_string((step * 31) % 100003);
      DictionaryItemDelete(d.h(), k.c_str());
      model.Remove(k);
    }
  }
  EXPECT_GT(seen_model.size(), 15000u);
  EXPECT_EQ(seen_export, seen_model);
}

}  // namespace
