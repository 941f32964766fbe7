// The registry functions through the exports, on a registry in a fresh
// temporary directory. Every write is one durable transaction, so writes
// measure the disk's sync; reads and listings measure the store itself.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "duduzuvez210.h"

namespace {

const DZV_HKEY kRoot = DZV_HKEY_CURRENT_USER;

void BM_Write(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    const std::string name = "v" + std::to_string(i++ % 100);
    benchmark::DoNotOptimize(_ProfileRegistryWrite(kRoot, "Bench\\Write", name.c_str(), "text"));
  }
}
BENCHMARK(BM_Write)->Unit(benchmark::kMicrosecond);

void BM_Read(benchmark::State& state) {
  _ProfileRegistryWrite(kRoot, "Bench\\Read", "Value", "some text of a setting");
  char buffer[64];
  for (auto _ : state) {
    uint32_t size = sizeof buffer;
    benchmark::DoNotOptimize(_ProfileRegistryRead(kRoot, "Bench\\Read", "Value", buffer, &size));
  }
}
BENCHMARK(BM_Read)->Unit(benchmark::kMicrosecond);

// Lists a key of n values.
void BM_EnumValues(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::string path = "Bench\\Enum" + std::to_string(n);
  for (int i = 0; i < n; ++i) {
    _ProfileRegistryWrite(kRoot, path.c_str(), ("value" + std::to_string(i)).c_str(), "x");
  }
  std::string buffer(n * 16 + 1, '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        _ProfileRegistryEnumValues(kRoot, path.c_str(), buffer.data(), n * 16));
  }
}
BENCHMARK(BM_EnumValues)->Arg(10)->Arg(999)->Unit(benchmark::kMicrosecond);

// A fresh registry location, set before the first registry call (the
// library opens its database on first use) and removed at exit.
struct BenchRegistryHome {
  BenchRegistryHome() {
    dir = (std::filesystem::temp_directory_path() / "dzv-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) std::abort();
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  ~BenchRegistryHome() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir;
} bench_registry_home;

}  // namespace

BENCHMARK_MAIN();
