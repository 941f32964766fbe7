#include "platform/unique_suffix.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>

namespace dzv::platform {
namespace {

uint64_t Seed() {
  try {
    std::random_device device;
    return (static_cast<uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    return 0x2545F4914F6CDD1DULL;  // the clock and the counter still differ
  }
}

uint64_t Mix(uint64_t x) {
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ULL;
  x ^= x >> 29;
  x *= 0x94D049BB133111EBULL;
  return x ^ (x >> 32);
}

}  // namespace

std::string UniqueSuffix() {
  static const uint64_t seed = Seed();
  static std::atomic<uint64_t> counter{0};
  const uint64_t now =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  uint64_t x = Mix(seed ^ Mix(now) ^
                   (counter.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ULL));
  static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string out(12, 'x');
  for (char& c : out) {
    c = kDigits[x % 36];
    x = x / 36 ^ Mix(x);
  }
  return out;
}

}  // namespace dzv::platform
