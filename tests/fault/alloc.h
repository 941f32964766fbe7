// The test binaries' replacement of the global operator new: it counts the
// allocations, keeps the number of blocks not yet released (so a test can
// tell that a failed call gave back everything it took), records the
// largest request, and can make the n-th allocation fail (std::bad_alloc,
// or null from the nothrow forms). Link it into a binary of its own where
// failing allocations would disturb other tests.
// Arming and reading are for the test's own thread; allocations of other
// threads are counted too.
#ifndef DZV_TESTS_FAULT_ALLOC_H_
#define DZV_TESTS_FAULT_ALLOC_H_

#include <cstddef>
#include <cstdint>

#include "fault/for_each_fault.h"

namespace dzv::testing {

// Makes the n-th allocation from now fail (n >= 1) and every later one
// succeed.
void FailNthAllocation(int64_t n);
// Stops failing allocations; returns whether an injected failure happened
// since FailNthAllocation.
bool Disarm();
// Number of blocks allocated through operator new and not yet released.
int64_t LiveAllocations();

// Watches the allocations made while it lives: how many, the largest
// request, and whether the one FailNth chose failed. Disarms at the end.
class AllocationWatch {
 public:
  AllocationWatch();
  ~AllocationWatch();
  AllocationWatch(const AllocationWatch&) = delete;
  AllocationWatch& operator=(const AllocationWatch&) = delete;

  // Makes the n-th allocation counted from now (1 is the next) fail.
  void FailNth(int64_t n) { FailNthAllocation(n); }
  int64_t count() const;
  size_t largest() const;
  bool failed() const;

 private:
  int64_t start_;
};

// ForEachFault over allocations: `attempt(n, call)` sets up, then makes its
// call as `call(fn)`, which runs fn with the n-th allocation in it failing
// and returns fn's result; then it checks. Returns the number of runs.
template <class Attempt>
int64_t ForEachAllocationFailure(Attempt&& attempt, int64_t limit = 100000) {
  return ForEachFault(
      [&](int64_t n, bool& met) {
        attempt(n, [&](auto&& fn) {
          FailNthAllocation(n);
          auto result = fn();
          met = Disarm();
          return result;
        });
      },
      limit);
}

}  // namespace dzv::testing

#endif  // DZV_TESTS_FAULT_ALLOC_H_
