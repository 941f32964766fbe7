// The model-line functions over real model files, and the character-set
// search over long double-byte texts.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "text/charset_search.h"

namespace {

struct ModelLines {
  std::vector<std::string> lines;
  size_t bytes = 0;
};

// Every line of the model files in the shared data, read once; none when
// the data is absent. DZV_SHARED_DATA_DIR in the environment overrides the
// built-in place.
const ModelLines& LoadModelLines() {
  static const ModelLines loaded = [] {
    ModelLines m;
    const char* env = std::getenv("DZV_SHARED_DATA_DIR");
    const std::filesystem::path dir =
        std::filesystem::path(env != nullptr && *env != '\0' ? env : DZV_SHARED_DATA_DIR) / "rose";
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return m;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() != ".mdl") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
      m.bytes += bytes.size();
      for (size_t from = 0; from < bytes.size();) {
        size_t lf = bytes.find('\n', from);
        if (lf == std::string::npos) lf = bytes.size();
        m.lines.push_back(bytes.substr(from, lf - from));
        from = lf + 1;
      }
    }
    return m;
  }();
  return loaded;
}

// A reader's loop: the running level and the kind of every line, its
// leading blanks skipped.
void BM_ModelFileLines(benchmark::State& state) {
  const ModelLines& m = LoadModelLines();
  if (m.lines.empty()) {
    state.SkipWithError("no model files in the shared data");
    return;
  }
  char text[300];
  for (auto _ : state) {
    int32_t level = 0;
    int64_t kinds = 0;
    for (const std::string& line : m.lines) {
      level += AdjustParLevel(line.c_str(), text);
      const char* p = line.c_str();
      while (*p == ' ' || *p == '\t') ++p;
      kinds += ParseRoseLine(p);
    }
    benchmark::DoNotOptimize(level);
    benchmark::DoNotOptimize(kinds);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * m.bytes));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * m.lines.size()));
}
BENCHMARK(BM_ModelFileLines)->Unit(benchmark::kMillisecond);

dzv::text::LeadByteTable Cp932() {
  dzv::text::LeadByteTable t;
  t.SetRange(0x81, 0x9F);
  t.SetRange(0xE0, 0xFC);
  return t;
}

// Double-byte characters whose second bytes are lead bytes too, ending in a
// lone lead byte: the text where finding character boundaries costs most.
std::string LeadHeavyText(size_t chars) {
  std::string s;
  for (size_t i = 0; i < chars; ++i) s += (i % 7 == 0) ? "A" : "\x88\x9F";
  return s + "\x82";
}

// Every character examined, forwards: linear in the text's length.
void BM_FindFirstNotInForward(benchmark::State& state) {
  const auto t = Cp932();
  const std::string text = LeadHeavyText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(dzv::text::FindFirstNotIn(t, text, 0, "A\x88\x9F", 1));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FindFirstNotInForward)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);

// Every character examined, backwards from the last.
void BM_FindFirstNotInBackward(benchmark::State& state) {
  const auto t = Cp932();
  const std::string text = LeadHeavyText(static_cast<size_t>(state.range(0)));
  const auto last = static_cast<int32_t>(state.range(0) - 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(dzv::text::FindFirstNotIn(t, text, last, "A\x88\x9F", -1));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FindFirstNotInBackward)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
