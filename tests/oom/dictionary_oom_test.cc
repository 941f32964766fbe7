// Every allocation of the dictionary table and item functions made to fail
// in turn: each call gives its failure result or succeeds, leaves the state
// described for it, and leaks nothing.
#include <gtest/gtest.h>

#include <string>

#include "duduzuvez210.h"
#include "fault/alloc.h"

namespace {

using dzv::testing::ForEachAllocationFailure;
using dzv::testing::LiveAllocations;

const std::string kLongKey(100, 'k');
const std::string kLongValue(300, 'v');

// The table's slot storage grows with the highest handle and is kept until
// unload; take it before counting allocations.
class DictionaryOom : public ::testing::Test {
 protected:
  void SetUp() override { DictionaryFree(DictionaryNew(nullptr)); }
};

int32_t Filled(int items) {
  int32_t h = DictionaryNew(nullptr);
  for (int i = 0; i < items; ++i) {
    DictionaryItemAdd(h, ("item" + std::to_string(i)).c_str(), std::string(30, 'x').c_str());
  }
  return h;
}

TEST_F(DictionaryOom, NewLeavesNoDictionaryBehind) {
  const int32_t keep = DictionaryNew(nullptr);  // the table exists already
  const int64_t baseline = LiveAllocations();
  int64_t attempts = ForEachAllocationFailure([&](int64_t, auto&& run) {
    const int32_t h = run([] { return DictionaryNew("X"); });
    if (h == 0) {
      EXPECT_EQ(LiveAllocations(), baseline);
      return;
    }
    EXPECT_EQ(h, keep + 1);
    EXPECT_EQ(DictionaryItemCount(h), 0);
    EXPECT_EQ(DictionaryItemAdd(h, "k", "v"), 1);
    EXPECT_EQ(DictionaryFree(h), 1);
  });
  EXPECT_GT(attempts, 1);
  DictionaryFree(keep);
}

TEST_F(DictionaryOom, AddOfNewKeyIsAllOrKeyWithEmptyValue) {
  for (int prefill : {0, 1, 11, 12, 1999, 2000, 3071, 3072}) {
    SCOPED_TRACE(prefill);
    ForEachAllocationFailure([&](int64_t, auto&& run) {
      const int64_t baseline = LiveAllocations();
      const int32_t h = Filled(prefill);
      const int32_t r =
          run([&] { return DictionaryItemAdd(h, kLongKey.c_str(), kLongValue.c_str()); });
      char value[400] = "untouched";
      const int32_t present = DictionaryLookup(h, kLongKey.c_str(), value);
      if (r == 1) {
        EXPECT_EQ(present, 1);
        EXPECT_EQ(value, kLongValue);
        EXPECT_EQ(DictionaryItemCount(h), prefill + 1);
      } else {
        EXPECT_EQ(r, 0);
        if (present) {
          EXPECT_STREQ(value, "");  // only the value could not be stored
          EXPECT_EQ(DictionaryItemCount(h), prefill + 1);
        } else {
          EXPECT_EQ(DictionaryItemCount(h), prefill);
        }
      }
      // The other items are intact and the dictionary keeps working.
      char other[64];
      if (prefill > 0) {
        EXPECT_EQ(DictionaryLookup(h, "item0", other), 1);
        EXPECT_EQ(std::string(other), std::string(30, 'x'));
      }
      EXPECT_EQ(DictionaryItemAdd(h, "after", "works"), 1);
      DictionaryFree(h);
      EXPECT_EQ(LiveAllocations(), baseline);
    });
  }
}

TEST_F(DictionaryOom, ReplacingAValueKeepsTheOldOneOnFailure) {
  ForEachAllocationFailure([&](int64_t, auto&& run) {
    const int64_t baseline = LiveAllocations();
    const int32_t h = Filled(5);
    ASSERT_EQ(DictionaryItemAdd(h, "item3", "old value"), 1);
    const int32_t r = run([&] { return DictionaryItemAdd(h, "item3", kLongValue.c_str()); });
    char value[400];
    ASSERT_EQ(DictionaryLookup(h, "item3", value), 1);
    EXPECT_EQ(std::string(value), r == 1 ? kLongValue : std::string("old value"));
    EXPECT_EQ(DictionaryItemCount(h), 5);
    DictionaryFree(h);
    EXPECT_EQ(LiveAllocations(), baseline);
  });
}

TEST_F(DictionaryOom, ReadsAndDeletesNeverFail) {
  const int32_t h = Filled(50);
  char value[64];
  dzv::testing::FailNthAllocation(1);
  EXPECT_EQ(DictionaryLookup(h, "item7", value), 1);
  EXPECT_EQ(DictionaryItemFind(h, "absent", value), 1);
  EXPECT_EQ(DictionaryItemCount(h), 50);
  EXPECT_EQ(DictionaryItemDelete(h, "item7"), 1);
  EXPECT_FALSE(dzv::testing::Disarm());
  // The enumeration's read-ahead may want memory; without it the
  // enumeration still visits every item.
  for (int64_t n = 1; n <= 3; ++n) {
    dzv::testing::FailNthAllocation(n);
    char key[64];
    int visited = 0;
    ASSERT_EQ(DictionaryItemGetInit(h), 1);
    int32_t more;
    do {
      more = DictionaryItemGetNext(h, key, value);
      ++visited;
    } while (more);
    dzv::testing::Disarm();
    EXPECT_EQ(visited, 49);
  }
  EXPECT_EQ(DictionaryClear(h), 1);
  EXPECT_EQ(DictionaryFree(h), 1);
}

}  // namespace
