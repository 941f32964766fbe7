// Runs one exported function on a fixed workload, for profiling under
// valgrind and for comparing builds for different systems:
//
//   dzv_export_driver WHAT N DIR [R]
//
// fills a dictionary with N items of bench/workload.h (for open, reads the
// archive that `save` left in DIR instead) and runs WHAT once: save, open,
// pack, unpack, export, enumerate, items (add N keys, then look up each of
// them and as many absent keys) or free (DictionaryFree of the N items).
// With `--toggle-collect=Dictionary*` callgrind counts the export alone.
// With R, WHAT runs R times and the least thread CPU time of one run is
// printed: on a busy machine a steadier measure than wall time, and one
// that Wine gives as Linux does. The program needs no benchmark library, so
// that the Windows build has it too.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "workload.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace {

double CpuMs() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e4;  // 100 ns ticks
#else
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
#endif
}

struct Items {
  std::vector<std::string> keys, values;
};

int32_t Filled(const Items& in) {
  const int32_t h = DictionaryNew(nullptr);
  for (size_t i = 0; i < in.keys.size(); ++i) {
    DictionaryItemAdd(h, in.keys[i].c_str(), in.values[i].c_str());
  }
  return h;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s WHAT N DIR [R]\n", argv[0]);
    return 2;
  }
  const std::string what = argv[1], dir = argv[3];
  const size_t n = static_cast<size_t>(std::atol(argv[2]));
  const int repeat = argc == 5 ? std::atoi(argv[4]) : 0;
  const std::string archive = dir + "/driver.dic", text_path = dir + "/driver.txt";
  Items in;
  if (what != "open") in = {dzv::bench::Keys(n, 1), dzv::bench::Values(n, 2)};
  std::vector<std::string> absent;
  if (what == "items") {
    absent = dzv::bench::Keys(n, 3);
    for (auto& k : absent) k += "~";
  }
  const bool fresh = what == "items" || what == "unpack" || what == "free";
  const int32_t h = fresh ? 0 : what == "open" ? DictionaryNew(nullptr) : Filled(in);
  std::string text;
  if (what == "pack" || what == "unpack") {
    const int32_t source = fresh ? Filled(in) : h;
    text.assign(static_cast<size_t>(DictionaryPackSize(source)), '\0');
    DictionaryPack(source, text.data());
    if (fresh) DictionaryFree(source);
  }
  std::vector<char> key(64 << 10), value(64 << 10);

  auto run = [&]() -> bool {
    if (what == "save") return DictionarySave(h, archive.c_str()) == 1;
    if (what == "open") return DictionaryOpen(h, archive.c_str()) == 1;
    if (what == "pack") return DictionaryPack(h, text.data()) == 1;
    if (what == "export") return DictionaryExport(h, text_path.c_str()) == 1;
    if (what == "enumerate") {
      size_t seen = 0;
      if (DictionaryItemGetInit(h)) {
        do ++seen;
        while (DictionaryItemGetNext(h, key.data(), value.data()));
      }
      return seen == n;
    }
    if (what == "unpack") {
      const int32_t d = DictionaryNew(nullptr);
      const bool ok = DictionaryUnpack(d, text.c_str()) == 1;
      DictionaryFree(d);
      return ok;
    }
    if (what == "items") {
      const int32_t d = Filled(in);
      size_t found = 0;
      for (const auto& k : in.keys) found += DictionaryLookup(d, k.c_str(), value.data()) == 1;
      for (const auto& k : absent) found += DictionaryLookup(d, k.c_str(), value.data()) == 1;
      DictionaryFree(d);
      return found == n;
    }
    return false;
  };

  double best = 1e300;
  bool ok = true;
  for (int i = 0; i < std::max(repeat, 1); ++i) {
    if (what == "free") {
      const int32_t d = Filled(in);
      const double start = CpuMs();
      DictionaryFree(d);
      best = std::min(best, CpuMs() - start);
      continue;
    }
    const double start = CpuMs();
    ok = run() && ok;
    best = std::min(best, CpuMs() - start);
  }
  if (repeat > 0) std::printf("%s %zu: %.2f ms\n", what.c_str(), n, best);
  return ok ? 0 : 1;
}
