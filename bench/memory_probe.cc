// Resident memory added by n items of 16-byte keys and 16-byte values:
// `dzv_memory_probe ours|unordered_map N` prints the growth in bytes. Each
// measurement runs in a process of its own.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "duduzuvez210.h"

namespace {

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages_total = 0, pages_resident = 0;
  statm >> pages_total >> pages_resident;
  return pages_resident * sysconf(_SC_PAGESIZE);
}

std::string Fixed16(size_t i, char tag) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%c%015zu", tag, i);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ours|unordered_map N\n", argv[0]);
    return 2;
  }
  const std::string which = argv[1];
  const size_t n = std::strtoull(argv[2], nullptr, 10);
  // Keys and values are formatted one at a time, so the inputs themselves
  // add nothing to the measured growth.
  const long before = ResidentBytes();
  if (which == "ours") {
    int32_t h = DictionaryNew(nullptr);
    for (size_t i = 0; i < n; ++i) {
      DictionaryItemAdd(h, Fixed16(i, 'k').c_str(), Fixed16(i, 'v').c_str());
    }
    std::printf("%ld\n", ResidentBytes() - before);
    DictionaryFree(h);
  } else if (which == "unordered_map") {
    auto* m = new std::unordered_map<std::string, std::string>;
    for (size_t i = 0; i < n; ++i) (*m)[Fixed16(i, 'k')] = Fixed16(i, 'v');
    std::printf("%ld\n", ResidentBytes() - before);
    delete m;
  } else {
    return 2;
  }
  return 0;
}
