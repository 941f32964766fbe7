// Item operations through the exported functions against
// std::unordered_map<std::string, std::string> doing the same work.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "duduzuvez210.h"

namespace {

std::vector<std::string> RandomStrings(size_t n, size_t min_len, size_t max_len, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<size_t> len(min_len, max_len);
  std::uniform_int_distribution<int> ch('!', '~');
  std::vector<std::string> out(n);
  for (auto& s : out) {
    s.resize(len(rng));
    for (auto& c : s) c = static_cast<char>(ch(rng));
  }
  return out;
}

void BM_AddThenLookup(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  auto keys = RandomStrings(n, 8, 40, 1);
  auto values = RandomStrings(n, 0, 64, 2);
  char buf[128];
  for (auto _ : state) {
    int32_t h = DictionaryNew(nullptr);
    for (size_t i = 0; i < n; ++i) DictionaryItemAdd(h, keys[i].c_str(), values[i].c_str());
    int64_t found = 0;
    for (size_t i = 0; i < n; ++i) found += DictionaryLookup(h, keys[i].c_str(), buf);
    benchmark::DoNotOptimize(found);
    DictionaryFree(h);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_AddThenLookup)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_UnorderedMapAddThenLookup(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  auto keys = RandomStrings(n, 8, 40, 1);
  auto values = RandomStrings(n, 0, 64, 2);
  char buf[128];
  for (auto _ : state) {
    std::unordered_map<std::string, std::string> m;
    for (size_t i = 0; i < n; ++i) m[keys[i]] = values[i];
    int64_t found = 0;
    for (size_t i = 0; i < n; ++i) {
      auto it = m.find(keys[i]);
      if (it != m.end()) {
        it->second.copy(buf, it->second.size());
        ++found;
      }
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_UnorderedMapAddThenLookup)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
