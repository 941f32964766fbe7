// Writes dzv's manual, every help text that its command tables give (the
// same text as `dzv --help`, `dzv FAMILY --help` and `dzv FAMILY COMMAND
// --help`), to the file named by its argument. It is built for the machine
// that builds, from dzv's own sources, and runs no command.
#include <cstdio>
#include <string>

#include "cli.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dzv_manual FILE\n");
    return 2;
  }
  const std::string manual = dzv::cli::Manual();
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) return 1;
  const bool written = std::fwrite(manual.data(), 1, manual.size(), file) == manual.size();
  return std::fclose(file) == 0 && written ? 0 : 1;
}
