#include "dictionary/string_map.h"

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "test_util.h"

namespace dzv::dict {
namespace {

using testing::Items;
using testing::ItemsOf;

// Unless a test says otherwise, maps use a code page without lead bytes.
const text::LeadByteTable kSingleByte;

CMapStringToString& Dictionary(CMapStringToString& m) {
  m.SetBucketCount(4000, true);
  return m;
}

TEST(KeyHash, BucketsOfKnownKeys) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  EXPECT_EQ(CMapStringToString::HashKey("abc"), 108966u);
  EXPECT_EQ(m.BucketOfForTesting("abc"), 966u);
  EXPECT_EQ(m.BucketOfForTesting("a"), 97u);
  EXPECT_EQ(CMapStringToString::HashKey(""), 0u);
  EXPECT_EQ(m.BucketOfForTesting(""), 0u);
  // A high byte counts as negative.
  EXPECT_EQ(CMapStringToString::HashKey("\xE9"), 4294967273u);
  EXPECT_EQ(m.BucketOfForTesting("\xE9"), 3273u);
  EXPECT_EQ(CMapStringToString::HashKey("vj"), 4000u);
  EXPECT_EQ(CMapStringToString::HashKey("gqh"), 116000u);
}

TEST(StringMapOrder, NewestFirstWithinBucketAndReplaceKeepsPlace) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  m.Set("vj", "1");
  m.Set("gqh", "2");
  m.Set("a", "3");
  EXPECT_EQ(ItemsOf(m), (Items{{"gqh", "2"}, {"vj", "1"}, {"a", "3"}}));
  m.Set("vj", "changed");
  EXPECT_EQ(m.Count(), 3);
  EXPECT_EQ(ItemsOf(m), (Items{{"gqh", "2"}, {"vj", "changed"}, {"a", "3"}}));
  m.Set("", nullptr);
  EXPECT_EQ(ItemsOf(m).front(), (std::pair<std::string, std::string>{"", ""}));
}

TEST(StringMap, RemovingEverythingThenInsertingAgain) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  for (const char* k : {"vj", "gqh", "a"}) m.Set(k, k);
  EXPECT_FALSE(m.Remove("absent"));
  for (const char* k : {"a", "vj", "gqh"}) EXPECT_TRUE(m.Remove(k));
  EXPECT_EQ(m.Count(), 0);
  EXPECT_EQ(m.bucket_count(), 4000u);
  EXPECT_EQ(m.Start().IsEnd(), true);
  m.Set("abc", "again");
  EXPECT_EQ(m.BucketOfForTesting("abc"), 966u);
  EXPECT_EQ(ItemsOf(m), (Items{{"abc", "again"}}));
}

TEST(StringMap, FindLeavesOutputAloneWhenAbsent) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  std::string out = "kept";
  EXPECT_FALSE(m.Find("x", &out));
  EXPECT_EQ(out, "kept");
  m.Set("x", std::string(100, 'v'));
  EXPECT_TRUE(m.Find("x", &out));
  EXPECT_EQ(out, std::string(100, 'v'));
}

TEST(StringMapEnumeration, NextOnSingleEntryAndEmptyMap) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  auto pos = CMapStringToString::Position::BeforeStart();
  std::string_view k, v;
  EXPECT_FALSE(m.Next(pos, &k, &v));
  EXPECT_TRUE(pos.IsEnd());
  m.Set("only", "one");
  pos = m.Start();
  ASSERT_TRUE(m.Next(pos, &k, &v));
  EXPECT_EQ(k, "only");
  EXPECT_TRUE(pos.IsEnd());
}

TEST(StringMapEnumeration, RemovingEachEntryRightAfterNextVisitsAll) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  for (int i = 0; i < 5000; ++i)
    m.Set("k" + std::to_string(i % 1700) + "/" + std::to_string(i), "v");
  const size_t total = m.size();
  size_t seen = 0;
  auto pos = m.Start();
  std::string_view k, v;
  while (m.Next(pos, &k, &v)) {
    std::string key(k);
    ASSERT_TRUE(m.Remove(key));
    ++seen;
  }
  EXPECT_EQ(seen, total);
  EXPECT_EQ(m.Count(), 0);
}

TEST(StringMapEnumeration, InsertedKeysAreVisitedOnlyInLaterBuckets) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  m.Set("a", "1");    // bucket 97
  m.Set("abc", "2");  // bucket 966
  auto pos = m.Start();
  std::string_view k, v;
  ASSERT_TRUE(m.Next(pos, &k, &v));
  EXPECT_EQ(k, "a");  // the position now designates "abc"
  m.Set("vj", "earlier bucket");
  m.Set("\xE9", "later bucket");  // bucket 3273
  std::vector<std::string> rest;
  while (m.Next(pos, &k, &v)) rest.emplace_back(k);
  EXPECT_EQ(rest, (std::vector<std::string>{"abc", "\xE9"}));
}

TEST(StringMapEnumeration, StalePositionsActAsEnd) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  for (const char* key : {"vj", "gqh", "a"}) m.Set(key, key);
  std::string_view k, v;

  auto pos = m.Start();
  ASSERT_TRUE(m.Next(pos, &k, &v));  // "gqh"; the position designates "vj"
  m.Remove("vj");
  EXPECT_FALSE(m.Next(pos, &k, &v));
  EXPECT_TRUE(pos.IsEnd());

  // Removed and its entry reused by a new key: still stale.
  m.Set("vj", "back");
  pos = m.Start();
  ASSERT_TRUE(m.Next(pos, &k, &v));
  ASSERT_EQ(k, "vj");  // newest in bucket 0; the position designates "gqh"
  m.Remove("gqh");
  m.Set("zz", "reuses the entry");
  EXPECT_FALSE(m.Next(pos, &k, &v));

  // A position of another map.
  CMapStringToString other(kSingleByte);
  Dictionary(other);
  other.Set("vj", "x");
  other.Set("gqh", "y");
  pos = other.Start();
  ASSERT_TRUE(other.Next(pos, &k, &v));
  EXPECT_FALSE(m.Next(pos, &k, &v));

  // A cleared map.
  pos = m.Start();
  ASSERT_TRUE(m.Next(pos, &k, &v));
  m.Clear();
  m.Set("gqh", "new");
  m.Set("vj", "new");
  EXPECT_FALSE(m.Next(pos, &k, &v));
}

TEST(StringMap, LongValuesAndSelfAssignment) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  std::string big(100000, 'x');
  m.Set("k", big);
  const ByteString* v = m.FindValue("k");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->view(), big);
  // Assigning a value from the map's own storage.
  m.Set("k", v->view().substr(10, 30));
  EXPECT_EQ(m.FindValue("k")->view(), std::string(30, 'x'));
  m.Set("k", m.FindValue("k")->view().substr(1, 5));
  EXPECT_EQ(m.FindValue("k")->view(), "xxxxx");
}

// A straightforward model of the order: 4000 lists, new keys at the front.
class OrderModel {
 public:
  void Set(const std::string& k, const std::string& v) {
    auto& chain = buckets_[CMapStringToString::HashKey(k) % 4000];
    for (auto& item : chain) {
      if (item.first == k) {
        item.second = v;
        return;
      }
    }
    chain.emplace_front(k, v);
  }
  void Remove(const std::string& k) {
    buckets_[CMapStringToString::HashKey(k) % 4000].remove_if(
        [&](const auto& item) { return item.first == k; });
  }
  void Clear() { buckets_.clear(); }
  Items Enumerate() const {
    Items out;
    for (const auto& [bucket, chain] : buckets_) out.insert(out.end(), chain.begin(), chain.end());
    return out;
  }

 private:
  std::map<uint32_t, std::list<std::pair<std::string, std::string>>> buckets_;
};

TEST(StringMapOrder, RandomOperationsMatchTheModel) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 4; ++round) {
    CMapStringToString m(kSingleByte);
    Dictionary(m);
    OrderModel model;
    // Few distinct short keys, so that buckets hold several keys and keys
    // come back after removal.
    auto key = [&] {
      std::string k;
      int len = std::uniform_int_distribution<int>(0, 3)(rng);
      for (int i = 0; i < len; ++i) k.push_back("abgjqvz\xE9"[rng() % 8]);
      return k;
    };
    for (int op = 0; op < 20000; ++op) {
      int what = static_cast<int>(rng() % 100);
      std::string k = key();
      if (what < 60) {
        std::string v = std::to_string(op) + std::string(rng() % 40, 'v');
        m.Set(k, v);
        model.Set(k, v);
      } else if (what < 95) {
        m.Remove(k);
        model.Remove(k);
      } else if (what < 96) {
        m.Clear();
        model.Clear();
      }
      if (op % 500 == 0) {
        ASSERT_EQ(ItemsOf(m), model.Enumerate()) << "op " << op;
      }
    }
    ASSERT_EQ(ItemsOf(m), model.Enumerate());
    ASSERT_EQ(m.size(), model.Enumerate().size());
  }
}

TEST(StringMap, ManyKeysStayFindable) {
  CMapStringToString m(kSingleByte);
  Dictionary(m);
  const int n = 200000;
  for (int i = 0; i < n; ++i) m.Set("key" + std::to_string(i), std::to_string(i));
  for (int i = 0; i < n; i += 2) ASSERT_TRUE(m.Remove("key" + std::to_string(i)));
  for (int i = 0; i < n; ++i) {
    const ByteString* v = m.FindValue("key" + std::to_string(i));
    if (i % 2 == 0) {
      ASSERT_EQ(v, nullptr) << i;
    } else {
      ASSERT_NE(v, nullptr) << i;
      ASSERT_EQ(v->view(), std::to_string(i));
    }
  }
  EXPECT_EQ(m.Count(), n / 2);
}

// Under code page 932 a lone lead byte at the end of a key is no character,
// so "K" + 0xE0 equals "K". Keys whose hash is 1 modulo 125 put both in the
// same bucket (32 * h + (0xE0 - 256) is then a multiple of 4000).
std::string KeySharingBucketWithLeadByteSuffix() {
  for (int i = 0;; ++i) {
    std::string k = "k" + std::to_string(i);
    if (CMapStringToString::HashKey(k) % 125 == 1) return k;
  }
}

TEST(StringMapCodePage, LoneTrailingLeadByteComparesEqualInSameBucket) {
  const text::LeadByteTable cp932 = testing::Cp932();
  CMapStringToString m(cp932);
  Dictionary(m);
  const std::string k = KeySharingBucketWithLeadByteSuffix();
  const std::string k_lead = k + "\xE0";
  ASSERT_EQ(m.BucketOfForTesting(k), m.BucketOfForTesting(k_lead));
  m.Set(k, "plain");
  ASSERT_NE(m.FindValue(k_lead), nullptr);
  EXPECT_EQ(m.FindValue(k_lead)->view(), "plain");
  m.Set(k_lead, "replaced");  // replaces, does not insert
  EXPECT_EQ(m.Count(), 1);
  EXPECT_EQ(ItemsOf(m), (Items{{k, "replaced"}}));
  EXPECT_TRUE(m.Remove(k_lead));
  EXPECT_EQ(m.Count(), 0);

  // In other buckets both keys can be present.
  m.Set("ab", "1");
  m.Set("ab\x82", "2");
  EXPECT_EQ(m.Count(), 2);
  EXPECT_EQ(m.FindValue("ab")->view(), "1");
  EXPECT_EQ(m.FindValue("ab\x82")->view(), "2");

  // Without lead bytes the keys differ.
  CMapStringToString plain(kSingleByte);
  Dictionary(plain);
  plain.Set(k, "plain");
  EXPECT_EQ(plain.FindValue(k_lead), nullptr);
}

}  // namespace
}  // namespace dzv::dict
