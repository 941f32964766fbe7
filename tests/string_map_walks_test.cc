// The map's fast paths: ForEachReadAhead keeps the enumeration order,
// ForEachUnordered visits every item once, and the Loader fills an empty map
// exactly as setting the pairs in order does.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dictionary/string_map.h"
#include "test_util.h"

namespace dzv::dict {
namespace {

using testing::Items;
using testing::ItemsOf;

TEST(StringMapWalks, ReadAheadFollowsTheEnumerationOrder) {
  CMapStringToString m(platform::ProcessLeadBytes());
  m.SetBucketCount(4000, true);
  auto read_ahead = [&] {
    Items items;
    m.ForEachReadAhead([&](std::string_view k, std::string_view v) { items.emplace_back(k, v); });
    return items;
  };
  // Long chains (several keys a bucket), replaced values, removals that put
  // entries on the free list, and reinsertions that take them again out of
  // order.
  for (int i = 0; i < 30000; ++i) m.Set("key" + std::to_string(i), std::to_string(i % 97));
  for (int i = 0; i < 30000; i += 7) m.Set("key" + std::to_string(i), "again");
  EXPECT_TRUE(read_ahead() == ItemsOf(m));
  for (int i = 0; i < 30000; i += 3) m.Remove("key" + std::to_string(i));
  for (int i = 0; i < 5000; ++i) m.Set("new" + std::to_string(i), std::string(i % 40, 'v'));
  Items ahead = read_ahead(), unordered;
  m.ForEachUnordered([&](std::string_view k, std::string_view v) { unordered.emplace_back(k, v); });
  const Items expected = ItemsOf(m);
  ASSERT_EQ(expected.size(), 25000u);
  EXPECT_TRUE(ahead == expected);
  std::sort(unordered.begin(), unordered.end());
  Items sorted = expected;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_TRUE(unordered == sorted);
}

TEST(StringMapWalks, EmptyMapsVisitNothing) {
  CMapStringToString m(platform::ProcessLeadBytes());
  int visits = 0;
  auto count = [&](std::string_view, std::string_view) { ++visits; };
  m.ForEachReadAhead(count);
  m.ForEachUnordered(count);
  m.SetBucketCount(4000, true);
  m.Set("a", "1");
  m.Remove("a");
  m.ForEachReadAhead(count);
  m.ForEachUnordered(count);
  EXPECT_EQ(visits, 0);
}

// Many repeated keys, keys that equal others only under code page 932 (a
// lone lead byte at the end), long and short strings; the loaded map must
// then keep behaving as the other one does.
TEST(StringMapLoader, FillsAnEmptyMapAsSettingInOrderDoes) {
  const text::LeadByteTable cp932 = testing::Cp932();
  std::mt19937 rng(24);
  std::vector<std::pair<std::string, std::string>> pairs;
  for (int i = 0; i < 20000; ++i) {
    std::string k = "k" + std::to_string(rng() % 5000);
    if (rng() % 4 == 0) k += "\xE0";
    if (rng() % 8 == 0) k += std::string(30, 'x');
    pairs.emplace_back(k, std::string(rng() % 50, static_cast<char>('a' + i % 26)));
  }
  for (size_t stop : {size_t{0}, size_t{1}, size_t{2}, pairs.size()}) {
    CMapStringToString loaded(cp932), set(cp932);
    loaded.SetBucketCount(4000, true);
    set.SetBucketCount(4000, true);
    {
      CMapStringToString::Loader loader(loaded);
      for (size_t i = 0; i < stop; ++i) loader.Add(pairs[i].first, pairs[i].second);
      loader.Finish();
      loader.Add("after", "finish");  // set one by one
    }
    for (size_t i = 0; i < stop; ++i) set.Set(pairs[i].first, pairs[i].second);
    set.Set("after", "finish");
    ASSERT_EQ(loaded.size(), set.size()) << stop;
    ASSERT_TRUE(ItemsOf(loaded) == ItemsOf(set)) << stop;
    for (size_t i = 0; i < stop; i += 3) {
      loaded.Remove(pairs[i].first);
      set.Remove(pairs[i].first);
      loaded.Set(pairs[i].second, "new");
      set.Set(pairs[i].second, "new");
    }
    ASSERT_TRUE(ItemsOf(loaded) == ItemsOf(set)) << stop;
  }
}

}  // namespace
}  // namespace dzv::dict
