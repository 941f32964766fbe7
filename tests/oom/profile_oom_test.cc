// Running out of memory inside DictionaryMerge and the profile functions:
// each operation runs with its 1st, 2nd, 3rd... allocation failing until a
// run meets no failure, and every run must end in the operation's success
// or its declared failure, with nothing left behind.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "dictionary/string_map.h"
#include "duduzuvez210.h"
#include "fault/alloc.h"
#include "library/process.h"

namespace {

// Runs `op` with its 1st, 2nd, 3rd... allocation failing until a run meets
// no failure. `check` judges each run's result, knowing whether a failure
// was injected.
template <class Op, class Check>
void ForEachFailurePoint(Op op, Check check) {
  dzv::testing::ForEachFault([&](int64_t n, bool& met) {
    dzv::testing::FailNthAllocation(n);
    const auto result = op();
    met = dzv::testing::Disarm();
    check(result, met);
  });
}

int32_t NextHandle() {
  const int32_t h = DictionaryNew(nullptr);
  DictionaryFree(h);
  return h;
}

bool Live(int32_t h) { return dzv::library::Dictionaries()->Get(h) != nullptr; }

const std::string S(1, '\x1F');

void Fill(int32_t h, const char* tag) {
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    DictionaryItemAdd(h, ("p." + n).c_str(), (std::string(30, 'v') + tag).c_str());
  }
  DictionaryItemAdd(h, "p.QueryList", (std::string(tag) + S + "shared" + S).c_str());
}

TEST(ProfileOom, MergeSucceedsOrLeavesNoDictionary) {
  const int32_t a = DictionaryNew(nullptr), b = DictionaryNew(nullptr);
  Fill(a, "X");
  Fill(b, "Y");
  const int32_t next = NextHandle();
  ForEachFailurePoint([&] { return DictionaryMerge(a, b, "p."); },
                      [&](int32_t merged, bool injected) {
                        if (merged == 0) {
                          EXPECT_TRUE(injected);
                          EXPECT_FALSE(Live(next));
                          return;
                        }
                        EXPECT_EQ(DictionaryItemCount(merged), 41);
                        char value[128];
                        DictionaryLookup(merged, "p.QueryList", value);
                        EXPECT_EQ(value, "Y" + S + "shared" + S + "X" + S);
                        DictionaryFree(merged);
                      });
  EXPECT_EQ(DictionaryItemCount(a), 41);
  EXPECT_EQ(DictionaryItemCount(b), 41);
}

TEST(ProfileOom, ProfileNewKeepsTheLayerItCreated) {
  bool only_default_created = false;
  ForEachFailurePoint(
      [&] {
        int32_t layers[2] = {-1, -1};
        const int32_t r = _ProfileNew(&layers[0], &layers[1]);
        return std::array<int32_t, 3>{r, layers[0], layers[1]};
      },
      [&](std::array<int32_t, 3> got, bool) {
        const auto [r, user, def] = got;
        EXPECT_EQ(r, user != 0 && def != 0 ? 1 : 0);
        for (int32_t h : {user, def}) {
          if (h != 0) {
            EXPECT_TRUE(Live(h));
            DictionaryFree(h);
          }
        }
        if (user == 0 && def != 0) only_default_created = true;
      });
  // The default layer is created even when the user layer failed.
  EXPECT_TRUE(only_default_created);
}

TEST(ProfileOom, EnumerateAndSectionDeleteFailCleanly) {
  int32_t user = 0, def = 0;
  ASSERT_EQ(_ProfileNew(&user, &def), 1);
  Fill(user, "U");
  Fill(def, "W");
  const int32_t next = NextHandle();
  char expected[2048], buf[2048];
  ASSERT_EQ(_ProfileEntryEnumerate(user, def, "p", expected), 1);
  ForEachFailurePoint(
      [&] {
        std::strcpy(buf, "untouched");
        return _ProfileEntryEnumerate(user, def, "p", buf);
      },
      [&](int32_t r, bool) {
        EXPECT_FALSE(Live(next));
        EXPECT_STREQ(buf, r == 1 ? expected : "untouched");
      });
  ForEachFailurePoint([&] { return _ProfileSectionDelete(user, "p"); },
                      [&](int32_t r, bool) {
                        // Keys are gathered first: all of them go, or none.
                        EXPECT_EQ(DictionaryItemCount(user), r == 1 ? 0 : 41);
                      });
  EXPECT_EQ(_ProfileFree(user, def), 1);
}

}  // namespace
