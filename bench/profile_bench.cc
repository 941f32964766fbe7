// _ProfileEntryEnumerate over two layers of n settings each, and
// DictionaryCopy of long list values. Both should grow linearly: ten times
// the items at most twelve times the time.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "duduzuvez210.h"

namespace {

struct Layers {
  int32_t user = 0, def = 0;
  size_t list_bytes = 0;  // what the listing of section "S" writes
};

// Layers of n settings each, built once per n. In the default layer every
// `stride`-th setting is in section "S", the rest in section "T"; the user
// layer overrides the first half of those and adds as many of its own.
const Layers& LayersOf(size_t n, size_t stride) {
  static std::map<std::pair<size_t, size_t>, Layers> built;
  Layers& l = built[{n, stride}];
  if (l.user != 0) return l;
  _ProfileNew(&l.user, &l.def);
  size_t listed = 0;
  for (size_t i = 0; i < n; ++i) {
    const char* section = i % stride == 0 ? "S" : "T";
    const std::string entry = "entry" + std::to_string(i);
    _ProfileValueSet(l.def, section, entry.c_str(), "default value");
    const std::string own = i < n / 2 ? entry : "user" + std::to_string(i);
    _ProfileValueSet(l.user, section, own.c_str(), "user value");
    if (i % stride == 0) listed += entry.size() + 1 + (i < n / 2 ? 0 : own.size() + 1);
  }
  l.list_bytes = listed;
  return l;
}

void BM_ProfileEntryEnumerate(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const size_t stride = static_cast<size_t>(state.range(1));
  const Layers& l = LayersOf(n, stride);
  std::vector<char> buffer(l.list_bytes + 1);
  for (auto _ : state) {
    if (_ProfileEntryEnumerate(l.user, l.def, "S", buffer.data()) != 1) {
      state.SkipWithError("enumeration failed");
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * 2 * n));
}
// Every setting in the section, then one in a hundred.
BENCHMARK(BM_ProfileEntryEnumerate)
    ->ArgsProduct({{10000, 100000, 1000000}, {1, 100}})
    ->Unit(benchmark::kMillisecond);

// Two list values of n tokens each, half of the destination's tokens
// missing from the source.
void BM_DictionaryCopyListMerge(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::string sep(1, '\x1F');
  std::string v, d;
  for (size_t i = 0; i < n; ++i) v += "item" + std::to_string(2 * i) + sep;
  for (size_t i = 0; i < n; ++i) {
    d += (i % 2 == 0 ? "item" : "new") + std::to_string(i) + sep;
  }
  const int32_t from = DictionaryNew(nullptr);
  DictionaryItemAdd(from, "F.QueryList", v.c_str());
  for (auto _ : state) {
    state.PauseTiming();
    const int32_t to = DictionaryNew(nullptr);
    DictionaryItemAdd(to, "F.QueryList", d.c_str());
    state.ResumeTiming();
    if (DictionaryCopy(from, to, "F.") != 1) state.SkipWithError("copy failed");
    state.PauseTiming();
    DictionaryFree(to);
    state.ResumeTiming();
  }
  DictionaryFree(from);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * 2 * n));
}
BENCHMARK(BM_DictionaryCopyListMerge)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
