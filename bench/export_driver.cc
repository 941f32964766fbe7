// Runs one exported function on a fixed workload, for profiling under
// valgrind: `dzv_export_driver save|open|pack|export|items N DIR [R]` fills
// a dictionary with N items of bench/workload.h (or, for open, reads the
// archive that `save` left in DIR) and calls the export once. With
// `--toggle-collect=Dictionary*` callgrind counts the export alone. With R,
// the export (not for items) runs R times and the least thread CPU time of
// one call is printed: on a busy machine a steadier measure than wall time.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "workload.h"

namespace {

double CpuMs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Runs `call` `repeat` times (at least once); prints the least CPU time.
template <class Fn>
int Timed(int repeat, Fn&& call) {
  double best = 1e300;
  int result = 0;
  for (int i = 0; i < std::max(repeat, 1); ++i) {
    const double start = CpuMs();
    result = call();
    best = std::min(best, CpuMs() - start);
  }
  if (repeat > 0) std::printf("%.2f ms\n", best);
  return result == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s save|open|pack|export|items N DIR [R]\n", argv[0]);
    return 2;
  }
  const std::string what = argv[1], dir = argv[3];
  const size_t n = static_cast<size_t>(std::atol(argv[2]));
  const int repeat = argc == 5 ? std::atoi(argv[4]) : 0;
  const std::string archive = dir + "/driver.dic";
  const int32_t h = DictionaryNew(nullptr);
  if (what == "open") return Timed(repeat, [&] { return DictionaryOpen(h, archive.c_str()); });
  const std::vector<std::string> keys = dzv::bench::Keys(n, 1), values = dzv::bench::Values(n, 2);
  if (what == "items") {
    // Adds the keys, then looks up each of them and an absent key as often.
    char buf[128];
    for (size_t i = 0; i < n; ++i) DictionaryItemAdd(h, keys[i].c_str(), values[i].c_str());
    size_t found = 0;
    for (const auto& k : keys) found += static_cast<size_t>(DictionaryLookup(h, k.c_str(), buf));
    for (const auto& k : keys) {
      found += static_cast<size_t>(DictionaryLookup(h, (k + "~").c_str(), buf));
    }
    return found == n ? 0 : 1;
  }
  for (size_t i = 0; i < n; ++i) DictionaryItemAdd(h, keys[i].c_str(), values[i].c_str());
  if (what == "save") return Timed(repeat, [&] { return DictionarySave(h, archive.c_str()); });
  const std::string text_path = dir + "/driver.txt";
  if (what == "export")
    return Timed(repeat, [&] { return DictionaryExport(h, text_path.c_str()); });
  if (what == "pack") {
    std::string text(static_cast<size_t>(DictionaryPackSize(h)), '\0');
    return Timed(repeat, [&] { return DictionaryPack(h, text.data()); });
  }
  return 2;
}
