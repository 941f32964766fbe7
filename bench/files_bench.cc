// Dictionary files at 10^6 items, each next to the plain work it is held to:
//   DictionarySave / DictionaryOpen   against one write / one read of the
//                                     same bytes;
//   DictionaryPack                    against `LC_ALL=C sort` of the lines;
//   DictionaryUnpack                  against a memchr line splitter that
//                                     fills a std::unordered_map.
// All times are wall-clock times (the sort runs in a child process).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "duduzuvez210.h"

namespace {

// 10^6 items, or DZV_BENCH_ITEMS (the quick run of bench/run uses fewer).
const size_t kItems = [] {
  const char* n = std::getenv("DZV_BENCH_ITEMS");
  return n != nullptr && std::atol(n) > 0 ? static_cast<size_t>(std::atol(n)) : size_t{1000000};
}();

std::string RandomString(std::mt19937& rng, size_t min_len, size_t max_len) {
  std::uniform_int_distribution<size_t> len(min_len, max_len);
  std::uniform_int_distribution<int> ch('!', '~');
  std::string s(len(rng), ' ');
  for (auto& c : s) {
    do c = static_cast<char>(ch(rng));
    while (c == '=');
  }
  return s;
}

// One dictionary of kItems random items, its files and its text, made once.
struct Fixture {
  Fixture() {
    char templ[] = "/tmp/dzv-bench-XXXXXX";
    dir = mkdtemp(templ);
    archive = dir + "/items.dic";
    lines = dir + "/items.txt";
    std::mt19937 rng(42);
    handle = DictionaryNew(nullptr);
    for (size_t i = 0; i < kItems; ++i) {
      DictionaryItemAdd(handle, RandomString(rng, 8, 40).c_str(), RandomString(rng, 0, 64).c_str());
    }
    DictionarySave(handle, archive.c_str());
    archive_bytes = ReadAll(archive);
    text.resize(static_cast<size_t>(DictionaryPackSize(handle)));
    DictionaryPack(handle, text.data());
    text.pop_back();  // the final zero byte
    // The same lines with bare LF ends, for sort, in the order the
    // dictionary enumerates them: what DictionaryPack sorts (sort is several
    // times faster on lines that are sorted already).
    std::string plain;
    plain.reserve(text.size());
    char key[64], value[128];
    DictionaryItemGetInit(handle);
    for (bool more = true; more;) {
      more = DictionaryItemGetNext(handle, key, value) != 0;
      plain.append(key).append("=").append(value).append("\n");
    }
    WriteAll(lines, plain);
  }
  ~Fixture() {
    DictionaryFree(handle);
    std::system(("rm -rf " + dir).c_str());
  }

  static std::string ReadAll(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
  }
  static void WriteAll(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  std::string dir, archive, lines;
  int32_t handle = 0;
  std::string archive_bytes;
  std::string text;
};

Fixture& Data() {
  static Fixture fixture;  // removes its directory at exit
  return fixture;
}

void BM_DictionarySave(benchmark::State& state) {
  Fixture& f = Data();
  const std::string path = f.dir + "/save.dic";
  for (auto _ : state) {
    if (DictionarySave(f.handle, path.c_str()) != 1) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.archive_bytes.size()));
}
BENCHMARK(BM_DictionarySave)->Unit(benchmark::kMillisecond)->UseRealTime();

// One write of the archive's bytes to a new file; then also with what a
// durable replacement needs: the file's fsync, the rename, and the fsync of
// its directory.
void RawWrite(benchmark::State& state, bool sync) {
  Fixture& f = Data();
  const std::string path = f.dir + "/raw.dic", temp = f.dir + "/raw.tmp";
  for (auto _ : state) {
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (::write(fd, f.archive_bytes.data(), f.archive_bytes.size()) !=
        static_cast<ssize_t>(f.archive_bytes.size())) {
      state.SkipWithError("write failed");
    }
    if (sync) ::fsync(fd);
    ::close(fd);
    ::rename(temp.c_str(), path.c_str());
    if (sync) {
      const int dir = ::open(f.dir.c_str(), O_RDONLY | O_DIRECTORY);
      ::fsync(dir);
      ::close(dir);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.archive_bytes.size()));
}
void BM_RawWrite(benchmark::State& state) { RawWrite(state, false); }
void BM_RawWriteSyncRename(benchmark::State& state) { RawWrite(state, true); }
BENCHMARK(BM_RawWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawWriteSyncRename)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DictionaryOpen(benchmark::State& state) {
  Fixture& f = Data();
  const int32_t h = DictionaryNew(nullptr);
  for (auto _ : state) {
    if (DictionaryOpen(h, f.archive.c_str()) != 1) state.SkipWithError("open failed");
  }
  DictionaryFree(h);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.archive_bytes.size()));
}
BENCHMARK(BM_DictionaryOpen)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RawRead(benchmark::State& state) {
  Fixture& f = Data();
  std::vector<char> buffer(f.archive_bytes.size());
  for (auto _ : state) {
    int fd = ::open(f.archive.c_str(), O_RDONLY);
    if (::read(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size())) {
      state.SkipWithError("read failed");
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.archive_bytes.size()));
}
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the same bytes and inserting every pair into a std::unordered_map:
// the work DictionaryOpen does, with the standard container.
void BM_RawReadIntoUnorderedMap(benchmark::State& state) {
  Fixture& f = Data();
  std::vector<char> buffer(f.archive_bytes.size());
  for (auto _ : state) {
    int fd = ::open(f.archive.c_str(), O_RDONLY);
    if (::read(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size())) {
      state.SkipWithError("read failed");
    }
    ::close(fd);
    std::unordered_map<std::string, std::string> map;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(buffer.data()) + 6;
    for (size_t i = 0; i < kItems; ++i) {
      const size_t kl = *p++;  // the fixture's strings are all shorter than 255
      std::string_view k(reinterpret_cast<const char*>(p), kl);
      p += kl;
      const size_t vl = *p++;
      map[std::string(k)] = std::string(reinterpret_cast<const char*>(p), vl);
      p += vl;
    }
    benchmark::DoNotOptimize(map.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.archive_bytes.size()));
}
BENCHMARK(BM_RawReadIntoUnorderedMap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DictionaryPack(benchmark::State& state) {
  Fixture& f = Data();
  std::string buffer(f.text.size() + 1, '\0');
  for (auto _ : state) {
    if (DictionaryPack(f.handle, buffer.data()) != 1) state.SkipWithError("pack failed");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_DictionaryPack)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SortCommand(benchmark::State& state) {
  Fixture& f = Data();
  const std::string command = "LC_ALL=C sort " + f.lines + " > /dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("sort failed");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_SortCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DictionaryUnpack(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    const int32_t h = DictionaryNew(nullptr);
    if (DictionaryUnpack(h, f.text.c_str()) != 1) state.SkipWithError("unpack failed");
    DictionaryFree(h);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_DictionaryUnpack)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemchrIntoUnorderedMap(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    std::unordered_map<std::string, std::string> map;
    const char* p = f.text.data();
    const char* const end = p + f.text.size();
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      const size_t k = static_cast<size_t>((nl == nullptr ? end : nl) - p);
      const size_t length = nl == nullptr ? k : (k == 0 ? 0 : k - 1);
      const char* eq = static_cast<const char*>(std::memchr(p, '=', length));
      if (eq != nullptr) map[std::string(p, eq)] = std::string(eq + 1, p + length);
      p = nl == nullptr ? end : nl + 1;
    }
    benchmark::DoNotOptimize(map.size());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kItems));
}
BENCHMARK(BM_MemchrIntoUnorderedMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
