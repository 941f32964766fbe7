// Running out of memory in the copy, attribute, string and remaining profile
// functions: every allocation of each call made to fail in turn. Each run
// gives the call's failure result or succeeds, releases everything it took,
// and leaves the dictionaries as the call's contract describes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "duduzuvez210.h"
#include "fault/alloc.h"
#include "oom/oom_state.h"

namespace dzv::testing {
namespace {

const std::string S(1, '\x1F');  // list separator
const std::string US(1, '\x1C'), GS(1, '\x1D');

void Report(const char* what, int64_t attempts) {
  ::testing::Test::RecordProperty(what, static_cast<int>(attempts));
  std::printf("[ attempts ] %s: %lld\n", what, static_cast<long long>(attempts));
}

int32_t NewWith(const State& items) {
  const int32_t h = DictionaryNew(nullptr);
  for (const auto& [k, v] : items) DictionaryItemAdd(h, k.c_str(), v.c_str());
  return h;
}

class CopyOom : public ::testing::Test {
 protected:
  // Slot storage for the handles the tests use, taken before counting.
  void SetUp() override {
    int32_t h[4];
    for (int32_t& x : h) x = DictionaryNew(nullptr);
    for (int32_t x : h) DictionaryFree(x);
  }
};

// The source: plain items, list items (merged with the destination's), and
// items outside the prefix; the destination holds some of the same keys.
State Source() {
  State s;
  for (int i = 0; i < 120; ++i) {
    const std::string n = std::to_string(i);
    s["p." + n] = std::string(i % 4 == 0 ? 60 : 6, static_cast<char>('a' + i % 26));
    s["q." + n] = "outside the prefix";
  }
  s["p.Form.QueryList"] = "c" + S + "a" + S;
  s["p.xUserItemList"] = "new" + S;
  s["p.OverrideItemLists"] = "";
  s["p.QueryList"] = "plain";
  return s;
}
State Destination() {
  return {{"p.3", "replaced"},
          {"p.Form.QueryList", "a" + S + "b" + S},
          {"p.OverrideItemLists", "kept" + S + "tokens" + S},
          {"other", "stays"}};
}

// A failed copy keeps the items stored before the failure: the walk's first
// items, in the source's enumeration order, each with its final value.
TEST_F(CopyOom, CopyKeepsTheItemsStoredBeforeTheFailure) {
  const State source_items = Source(), before = Destination();
  const int32_t source = NewWith(source_items);
  // What a copy without failures stores under each key.
  const int32_t reference = NewWith(before);
  ASSERT_EQ(DictionaryCopy(source, reference, "p."), 1);
  const State complete = StateOf(reference);
  DictionaryFree(reference);
  ASSERT_EQ(complete.at("p.Form.QueryList"), "c" + S + "a" + S + "b" + S);
  // The stores, in the order in which the walk visits the source.
  Stores stores;
  library::Dictionaries()->Get(source)->ForEach([&](std::string_view k, std::string_view) {
    if (k.starts_with("p.")) stores.emplace_back(k, complete.at(std::string(k)));
  });
  int failures = 0;
  const int64_t attempts = ForEachAllocationFailure([&](int64_t n, auto&& run) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    const int64_t baseline = LiveAllocations();
    const int32_t destination = NewWith(before);
    const int32_t r = run([&] { return DictionaryCopy(source, destination, "p."); });
    EXPECT_TRUE(StoppedAfterSomeStores(before, stores, StateOf(destination), r == 1));
    if (r != 1) {
      ++failures;
      EXPECT_EQ(r, 0);
    }
    EXPECT_EQ(StateOf(source), source_items);
    DictionaryFree(destination);
    EXPECT_EQ(LiveAllocations(), baseline);
  });
  EXPECT_GT(failures, 2);
  Report("DictionaryCopy", attempts);

  // Onto itself: every value stays as it was, whatever the result.
  const int64_t baseline = LiveAllocations();
  ForEachAllocationFailure([&](int64_t, auto&& run) {
    run([&] { return DictionaryCopy(source, source, nullptr); });
    EXPECT_EQ(StateOf(source), source_items);
  });
  EXPECT_EQ(LiveAllocations(), baseline);
  DictionaryFree(source);
}

// DictionaryAttributeGet only reads: without memory it gives 0 and the empty
// string, and the dictionary is unchanged.
TEST_F(CopyOom, AttributeGetGivesZeroAndTheEmptyString) {
  const State items = {{"F", "T" + US + "Orders" + GS + "L" + US + "Order list" + GS},
                       {"G.Title", "Fallback"}};
  const int32_t h = NewWith(items);
  struct Case {
    const char* key;
    const char* attribute;
    int32_t result;
    const char* value;
  };
  const Case cases[] = {{"F", "L", 1, "Order list"},
                        {"F", "S", 0, ""},
                        {"G", "T", 1, "Fallback"},
                        {"G", "Label", 0, ""},
                        {"F2", "an attribute with a long name", 1, "found"},
                        {"F2", "an attribute with a longer name", 0, ""},
                        {"Group with a long name", "L", 1, "Fallback 2"},
                        {"Group with a long name", "S", 0, ""}};
  int64_t most = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.attribute);
    const int64_t attempts = ForEachAllocationFailure([&](int64_t n, auto&& run) {
      SCOPED_TRACE("allocation " + std::to_string(n));
      char output[64];
      std::strcpy(output, "untouched");
      const int64_t baseline = LiveAllocations();
      const int32_t r = run([&] { return DictionaryAttributeGet(h, c.key, c.attribute, output); });
      EXPECT_EQ(LiveAllocations(), baseline);
      EXPECT_EQ(StateOf(h), items);
      if (r == 1) {
        EXPECT_EQ(c.result, 1);
        EXPECT_STREQ(output, c.value);
      } else {
        EXPECT_EQ(r, 0);
        EXPECT_STREQ(output, "");
      }
    });
    most = std::max(most, attempts);
  }
  EXPECT_GT(most, 1) << "no call needed memory";
  Report("DictionaryAttributeGet", most);
  DictionaryFree(h);
}

// The remaining profile functions and the calls that only read or release:
// each succeeds as without the failure, or gives its failure result and
// changes nothing but what the contract allows.
TEST_F(CopyOom, ProfileValuesAndEntriesFailCleanly) {
  int32_t user = 0, def = 0;
  ASSERT_EQ(_ProfileNew(&user, &def), 1);
  ASSERT_EQ(_ProfileValueSet(def, "Window", "Left", "10"), 1);
  ASSERT_EQ(_ProfileValueSet(user, "Window", "Top", "20"), 1);
  const std::string long_value(200, 'v');

  // Storing a new entry: stored, absent, or present with the empty value.
  int64_t attempts = ForEachAllocationFailure([&](int64_t, auto&& run) {
    const int64_t baseline = LiveAllocations();
    int32_t layers[2];
    ASSERT_EQ(_ProfileNew(&layers[0], &layers[1]), 1);
    ASSERT_EQ(_ProfileValueSet(layers[0], "Window", "Top", "20"), 1);
    const int32_t r =
        run([&] { return _ProfileValueSet(layers[0], "Window", "a,b.c=d", long_value.c_str()); });
    {
      const State after = StateOf(layers[0]);
      const auto it = after.find("Window.a<comma>b<dot>c<equal>d");
      if (r == 1) {
        ASSERT_NE(it, after.end());
        EXPECT_EQ(it->second, long_value);
      } else {
        EXPECT_EQ(r, 0);
        EXPECT_TRUE(it == after.end() || it->second.empty());
      }
      EXPECT_EQ(after.at("Window.Top"), "20");
    }
    EXPECT_EQ(_ProfileFree(layers[0], layers[1]), 1);
    EXPECT_EQ(LiveAllocations(), baseline);
  });
  Report("_ProfileValueSet", attempts);
  // Replacing a value keeps the old one on failure.
  ForEachAllocationFailure([&](int64_t, auto&& run) {
    ASSERT_EQ(_ProfileValueSet(def, "Window", "Left", "10"), 1);
    const int32_t r =
        run([&] { return _ProfileValueSet(def, "Window", "Left", long_value.c_str()); });
    char value[256];
    ASSERT_EQ(_ProfileValueLookup(def, "Window", "Left", value), 1);
    EXPECT_EQ(std::string(value), r == 1 ? long_value : std::string("10"));
  });
  ASSERT_EQ(_ProfileValueSet(def, "Window", "Left", "10"), 1);

  // Reads and deletions need no memory.
  char value[256];
  const int64_t baseline = LiveAllocations();
  FailNthAllocation(1);
  EXPECT_EQ(_ProfileValueGet(user, def, "Window", "Left", value), 1);
  EXPECT_STREQ(value, "10");
  EXPECT_EQ(_ProfileValueGet(user, def, "Window", "Top", value), 1);
  EXPECT_STREQ(value, "20");
  EXPECT_EQ(_ProfileValueLookup(user, "Window", "Left", value), 0);
  EXPECT_EQ(_ProfileEntryDelete(user, "Window", "Top"), 1);
  EXPECT_EQ(DictionaryItemCount(user), 0);
  EXPECT_EQ(DictionaryClear(def), 1);
  EXPECT_EQ(_ProfileFree(user, def), 1);
  EXPECT_FALSE(Disarm()) << "a read, a deletion or a release allocated";
  EXPECT_LT(LiveAllocations(), baseline);
}

// The string primitives work on the caller's buffers and take no memory.
TEST(StringOom, StringPrimitivesNeedNoMemory) {
  const char text[] = "first line\r\nsecond\r\n";
  const int32_t hash = StrHash("key");
  char line[64];
  FailNthAllocation(1);
  EXPECT_EQ(StrLength(text), 20);
  EXPECT_EQ(StrHash("key"), hash);
  int32_t cursor = 0;
  EXPECT_EQ(StrLineGet(text, &cursor, line, sizeof line), 1);
  EXPECT_STREQ(line, "first line");
  EXPECT_FALSE(Disarm()) << "a string primitive allocated";
}

}  // namespace
}  // namespace dzv::testing
