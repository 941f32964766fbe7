// The loop of every fault test: fail the first call, then the second, the
// third... until a run meets no fault. Each run sets up afresh, arms its
// fault at call n, makes the call, accepts only success or the call's
// declared failure, checks that nothing was lost or left behind, and tells
// whether the fault was met.
//
//   ForEachFault([&](int64_t n, bool& met) {
//     FaultyFiles files;
//     files.FailNth(n);
//     ... the call through `files` and its checks ...
//     met = files.injected() != FileOp::kNone;
//   });
#ifndef DZV_TESTS_FAULT_FOR_EACH_FAULT_H_
#define DZV_TESTS_FAULT_FOR_EACH_FAULT_H_

#include <gtest/gtest.h>

#include <cstdint>

namespace dzv::testing {

// Runs `run(n, met)` for n = 1, 2, 3, ... until a run leaves `met` false or
// a fatal failure stops the test; a run may use ASSERT_*. Returns the number
// of runs made, the last (clean) one included. A fault still met after
// `limit` runs fails the test: the call never gets past its faults.
//
// A run's failures are followed by one that names its n. (No SCOPED_TRACE:
// GoogleTest's trace stack, made at its first use, would count as blocks a
// run left behind.)
template <class Run>
int64_t ForEachFault(Run&& run, int64_t limit = 100000) {
  const ::testing::TestResult& result =
      *::testing::UnitTest::GetInstance()->current_test_info()->result();
  for (int64_t n = 1; n <= limit; ++n) {
    const int parts = result.total_part_count();
    bool met = false;
    run(n, met);
    if (result.total_part_count() != parts) {
      ADD_FAILURE() << "the failures above come from the run failing call " << n;
    }
    if (!met || ::testing::Test::HasFatalFailure()) return n;
  }
  ADD_FAILURE() << "a fault is still met after " << limit << " runs";
  return limit;
}

}  // namespace dzv::testing

#endif  // DZV_TESTS_FAULT_FOR_EACH_FAULT_H_
