// A global allocator for the out-of-memory tests: while armed, the Nth
// allocation through operator new fails (throws std::bad_alloc, or returns
// null for the nothrow forms). It also counts live allocations, so a test can
// tell that a failed call released everything it had taken.
#ifndef DZV_TESTS_OOM_FAILING_ALLOCATOR_H_
#define DZV_TESTS_OOM_FAILING_ALLOCATOR_H_

#include <cstdint>

namespace dzv::testing {

// Makes the nth allocation from now fail (n >= 1) and every later one succeed.
void FailNthAllocation(int64_t n);
// Stops failing allocations; returns whether an injected failure happened
// since FailNthAllocation.
bool Disarm();
// Number of blocks allocated through operator new and not yet released.
int64_t LiveAllocations();

// Runs `attempt(n)` for n = 1, 2, 3, ... with the nth allocation failing,
// until an attempt completes without meeting an injected failure. `attempt`
// does its own set-up, the call and its checks; it receives n and whether
// the failure it armed actually happened. Returns the number of attempts.
template <class Attempt>
int64_t ForEachAllocationFailure(Attempt&& attempt, int64_t limit = 100000) {
  for (int64_t n = 1; n <= limit; ++n) {
    bool injected = false;
    attempt(n, [&](auto&& call) {
      FailNthAllocation(n);
      auto result = call();
      injected = Disarm();
      return result;
    });
    if (!injected) return n;
  }
  return limit;
}

}  // namespace dzv::testing

#endif  // DZV_TESTS_OOM_FAILING_ALLOCATOR_H_
