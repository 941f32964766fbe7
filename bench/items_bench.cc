// Item operations and enumeration through the exported functions, against
// what a user would reach for instead: std::unordered_map, and a map that
// keeps the library's order by walking the 4000 bucket chains.
#include <benchmark/benchmark.h>

#include <cstring>
#include <forward_list>
#include <string>
#include <unordered_map>
#include <vector>

#include "duduzuvez210.h"
#include "workload.h"

namespace {

using dzv::bench::Keys;
using dzv::bench::Values;

struct Inputs {
  std::vector<std::string> keys, values, absent;
  explicit Inputs(size_t n) : keys(Keys(n, 1)), values(Values(n, 2)), absent(Keys(n, 3)) {
    for (auto& k : absent) k += "~";  // never one of `keys`
  }
};

const Inputs& InputsFor(size_t n) {
  static size_t cached_n = 0;
  static Inputs* cached = nullptr;
  if (cached_n != n) {
    delete cached;
    cached = new Inputs(n);
    cached_n = n;
  }
  return *cached;
}

// Add n new keys, then look up all of them and n absent keys.
void BM_Items_Ours(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<size_t>(state.range(0)));
  char buf[128];
  for (auto _ : state) {
    int32_t h = DictionaryNew(nullptr);
    for (size_t i = 0; i < in.keys.size(); ++i) {
      DictionaryItemAdd(h, in.keys[i].c_str(), in.values[i].c_str());
    }
    int64_t found = 0;
    for (const auto& k : in.keys) found += DictionaryLookup(h, k.c_str(), buf);
    for (const auto& k : in.absent) found += DictionaryLookup(h, k.c_str(), buf);
    if (found != static_cast<int64_t>(in.keys.size())) state.SkipWithError("lookup mismatch");
    DictionaryFree(h);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Items_UnorderedMap(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<size_t>(state.range(0)));
  char buf[128];
  for (auto _ : state) {
    std::unordered_map<std::string, std::string> m;
    for (size_t i = 0; i < in.keys.size(); ++i) m[in.keys[i]] = in.values[i];
    int64_t found = 0;
    for (const auto* list : {&in.keys, &in.absent}) {
      for (const auto& k : *list) {
        auto it = m.find(k);
        if (it == m.end()) continue;
        std::memcpy(buf, it->second.c_str(), it->second.size() + 1);
        ++found;
      }
    }
    benchmark::DoNotOptimize(buf);
    if (found != static_cast<int64_t>(in.keys.size())) state.SkipWithError("lookup mismatch");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Lookups alone in a dictionary of n items, made once: of the n present
// keys (a hit reads the index slot, then the entry) or of n absent ones.
void Lookups(benchmark::State& state, bool present) {
  const Inputs& in = InputsFor(static_cast<size_t>(state.range(0)));
  const int32_t h = DictionaryNew(nullptr);
  for (size_t i = 0; i < in.keys.size(); ++i) {
    DictionaryItemAdd(h, in.keys[i].c_str(), in.values[i].c_str());
  }
  const std::vector<std::string>& keys = present ? in.keys : in.absent;
  char buf[128];
  for (auto _ : state) {
    int64_t found = 0;
    for (const auto& k : keys) found += DictionaryLookup(h, k.c_str(), buf);
    if (found != (present ? static_cast<int64_t>(keys.size()) : 0)) {
      state.SkipWithError("lookup mismatch");
    }
  }
  DictionaryFree(h);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
void BM_Lookup_Hits(benchmark::State& state) { Lookups(state, true); }
void BM_Lookup_Misses(benchmark::State& state) { Lookups(state, false); }

// The straightforward reading of the order: 4000 chains, each walked to
// find a key, new keys at the head.
class ChainMap {
 public:
  std::string* Find(const std::string& key) {
    for (auto& item : chains_[Bucket(key)]) {
      if (item.first == key) return &item.second;
    }
    return nullptr;
  }
  void Set(const std::string& key, const std::string& value) {
    if (std::string* v = Find(key)) {
      *v = value;
      return;
    }
    chains_[Bucket(key)].emplace_front(key, value);
  }

 private:
  static uint32_t Bucket(const std::string& key) {
    uint32_t h = 0;
    for (char c : key)
      h = h * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    return h % 4000;
  }
  std::vector<std::forward_list<std::pair<std::string, std::string>>> chains_ =
      std::vector<std::forward_list<std::pair<std::string, std::string>>>(4000);
};

void BM_Items_ChainWalk(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<size_t>(state.range(0)));
  char buf[128];
  for (auto _ : state) {
    ChainMap m;
    for (size_t i = 0; i < in.keys.size(); ++i) m.Set(in.keys[i], in.values[i]);
    int64_t found = 0;
    for (const auto* list : {&in.keys, &in.absent}) {
      for (const auto& k : *list) {
        if (std::string* v = m.Find(k)) {
          std::memcpy(buf, v->c_str(), v->size() + 1);
          ++found;
        }
      }
    }
    benchmark::DoNotOptimize(buf);
    if (found != static_cast<int64_t>(in.keys.size())) state.SkipWithError("lookup mismatch");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The enumeration protocol, copying every key and value into buffers.
void BM_Enumerate_Ours(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<size_t>(state.range(0)));
  int32_t h = DictionaryNew(nullptr);
  for (size_t i = 0; i < in.keys.size(); ++i) {
    DictionaryItemAdd(h, in.keys[i].c_str(), in.values[i].c_str());
  }
  char key[128], value[128];
  for (auto _ : state) {
    int64_t n = 0;
    if (DictionaryItemGetInit(h)) {
      int32_t more;
      do {
        more = DictionaryItemGetNext(h, key, value);
        ++n;
      } while (more);
    }
    benchmark::DoNotOptimize(key);
    if (n != state.range(0)) state.SkipWithError("count mismatch");
  }
  DictionaryFree(h);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Enumerate_UnorderedMap(benchmark::State& state) {
  const Inputs& in = InputsFor(static_cast<size_t>(state.range(0)));
  std::unordered_map<std::string, std::string> m;
  for (size_t i = 0; i < in.keys.size(); ++i) m[in.keys[i]] = in.values[i];
  char key[128], value[128];
  for (auto _ : state) {
    int64_t n = 0;
    for (const auto& [k, v] : m) {
      std::memcpy(key, k.c_str(), k.size() + 1);
      std::memcpy(value, v.c_str(), v.size() + 1);
      benchmark::ClobberMemory();
      ++n;
    }
    if (n != state.range(0)) state.SkipWithError("count mismatch");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_Items_Ours)
    ->RangeMultiplier(10)
    ->Range(10000, 10000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Items_UnorderedMap)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Items_ChainWalk)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lookup_Hits)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lookup_Misses)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Enumerate_Ours)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Enumerate_UnorderedMap)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
