// The map's fast walks: ForEachReadAhead keeps the enumeration order,
// ForEachUnordered visits every item once.
#include <gtest/gtest.h>

#include <algorithm>
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
  // Long chains (several keys a bucket), removals that put entries on the
  // free list, and reinsertions that take them again out of order.
  for (int i = 0; i < 30000; ++i) m.Set("key" + std::to_string(i), std::to_string(i % 97));
  for (int i = 0; i < 30000; i += 3) m.Remove("key" + std::to_string(i));
  for (int i = 0; i < 5000; ++i) m.Set("new" + std::to_string(i), std::string(i % 40, 'v'));
  Items ahead, unordered;
  m.ForEachReadAhead([&](std::string_view k, std::string_view v) { ahead.emplace_back(k, v); });
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

}  // namespace
}  // namespace dzv::dict
