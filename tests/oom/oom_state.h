// What the out-of-memory tests check after a call that may have stopped
// part-way: the items of a dictionary, and whether they are what a run of
// stores leaves when it stops at its first failure.
#ifndef DZV_TESTS_OOM_OOM_STATE_H_
#define DZV_TESTS_OOM_OOM_STATE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dictionary/string_map.h"
#include "library/process.h"

namespace dzv::testing {

using State = std::map<std::string, std::string>;
using Stores = std::vector<std::pair<std::string, std::string>>;

// The items of dictionary `h`, read without touching the shared enumeration
// position (whose read-ahead keeps memory between calls).
inline State StateOf(int32_t h) {
  State out;
  library::Dictionaries()->Get(h)->ForEach(
      [&](std::string_view k, std::string_view v) { out.emplace(k, v); });
  return out;
}

// True when `after` is `before` with the first k of `stores` applied in
// order, for some k, and the (k+1)-th either not applied or, when its key was
// new, present with the empty value (its key stored, its value not).
// `complete` demands k == stores.size().
inline ::testing::AssertionResult StoppedAfterSomeStores(const State& before, const Stores& stores,
                                                         const State& after, bool complete) {
  State state = before;
  for (size_t k = 0;; ++k) {
    if (!complete || k == stores.size()) {
      if (after == state) return ::testing::AssertionSuccess();
      if (!complete && k < stores.size() && state.count(stores[k].first) == 0) {
        State with_key = state;
        with_key.emplace(stores[k].first, "");
        if (after == with_key) return ::testing::AssertionSuccess();
      }
    }
    if (k == stores.size()) break;
    state[stores[k].first] = stores[k].second;
  }
  return ::testing::AssertionFailure()
         << "the dictionary (" << after.size() << " items) is not what "
         << (complete ? "all " : "a first part of ") << stores.size()
         << " stores in order leave on " << before.size() << " items";
}

}  // namespace dzv::testing

#endif  // DZV_TESTS_OOM_OOM_STATE_H_
