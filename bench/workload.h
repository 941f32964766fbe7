// Inputs shared by the benchmarks: random keys of 8 to 40 bytes and values
// of 0 to 64 bytes from fixed seeds, printable and free of '=' and line ends
// so that they survive every file form.
#ifndef DZV_BENCH_WORKLOAD_H_
#define DZV_BENCH_WORKLOAD_H_

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace dzv::bench {

inline std::vector<std::string> RandomStrings(size_t n, size_t min_len, size_t max_len,
                                              uint32_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<size_t> len(min_len, max_len);
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.-/:;,+*";
  std::vector<std::string> out(n);
  for (auto& s : out) {
    s.resize(len(rng));
    for (auto& c : s) c = kAlphabet[rng() % (sizeof kAlphabet - 1)];
  }
  return out;
}

// n distinct keys.
inline std::vector<std::string> Keys(size_t n, uint32_t seed = 1) {
  auto keys = RandomStrings(n, 8, 40, seed);
  for (size_t i = 0; i < n; ++i) {
    // Make every key distinct without changing the length distribution much.
    std::string tag = std::to_string(i);
    if (keys[i].size() < tag.size() + 1) keys[i].resize(tag.size() + 1, 'k');
    keys[i].replace(keys[i].size() - tag.size() - 1, tag.size() + 1, "#" + tag);
  }
  return keys;
}

inline std::vector<std::string> Values(size_t n, uint32_t seed = 2) {
  return RandomStrings(n, 0, 64, seed);
}

}  // namespace dzv::bench

#endif  // DZV_BENCH_WORKLOAD_H_
