// Watches the allocations that go through operator new while a watch lives
// (the test binary replaces the global operator new for this): counts them,
// records the largest request, and can make the n-th one throw
// std::bad_alloc, so that tests drive out-of-memory paths one by one.
// Not thread-safe: one watch at a time, on the test's own thread.
#ifndef DZV_TESTS_ALLOC_WATCH_H_
#define DZV_TESTS_ALLOC_WATCH_H_

#include <cstddef>
#include <cstdint>

namespace dzv::testing {

class AllocationWatch {
 public:
  AllocationWatch();
  ~AllocationWatch();
  AllocationWatch(const AllocationWatch&) = delete;
  AllocationWatch& operator=(const AllocationWatch&) = delete;

  // Makes the n-th allocation counted from now (1 is the next) fail.
  void FailNth(int64_t n) { fail_at_ = count_ + n; }

  int64_t count() const { return count_; }
  size_t largest() const { return largest_; }
  bool failed() const { return failed_; }

  // Called by operator new: false when this allocation is to fail.
  bool Allow(size_t n);

 private:
  AllocationWatch* previous_;
  int64_t count_ = 0;
  int64_t fail_at_ = -1;
  size_t largest_ = 0;
  bool failed_ = false;
};

}  // namespace dzv::testing

#endif  // DZV_TESTS_ALLOC_WATCH_H_
