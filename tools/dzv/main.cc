// dzv: a command-line client of libduduzuvez210, for looking into and
// repairing what the library keeps. It uses the library's public functions
// only, as any client program does.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli.h"

namespace dzv::cli {
namespace {

const Family* const kFamilies[] = {
    &DictFamily(),      &ProfileFamily(), &ModelFamily(),       &RegistryFamily(),
    &ClipboardFamily(), &DialogFamily(),  &CredentialsFamily(),
};

void PrintHelp() {
  std::string text =
      "Usage: dzv FAMILY COMMAND [ARGUMENTS]\n\n"
      "A command-line client of libduduzuvez210: look into and repair dictionary\n"
      "archives and text forms, profile layers, registry values and model files.\n\n"
      "Families:\n";
  for (const Family* family : kFamilies) {
    std::string name = "  " + std::string(family->name);
    name.resize(15, ' ');
    text += name + std::string(family->summary) + "\n";
  }
  text +=
      "\nRun 'dzv FAMILY --help' for its commands, 'dzv FAMILY COMMAND --help' for one.\n"
      "Exit status: 0 done, 1 the operation failed, 2 wrong usage.\n";
  Out(text);
}

int Run(const std::vector<std::string>& words) {
  if (words.empty()) {
    Note("dzv: a command family is missing");
    Note("Try 'dzv --help'.");
    return kExitUsage;
  }
  if (words[0] == "--help" || words[0] == "-h") {
    PrintHelp();
    return kExitOk;
  }
  if (words[0] == "--version") {
    Out("dzv " DZV_VERSION " (duduzuvez210)\n");
    return kExitOk;
  }
  for (const Family* family : kFamilies) {
    if (family->name == words[0]) {
      return RunFamily(*family, std::span<const std::string>(words).subspan(1));
    }
  }
  Note("dzv: unknown command family '" + words[0] + "'");
  Note("Try 'dzv --help'.");
  return kExitUsage;
}

}  // namespace
}  // namespace dzv::cli

int main(int argc, char** argv) {
  using namespace dzv::cli;
  int status;
  try {
    status = Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const Failure& failure) {
    Note(std::string("dzv: ") + failure.what());
    status = kExitFailed;
  } catch (const std::bad_alloc&) {
    Note("dzv: out of memory");
    status = kExitFailed;
  } catch (const std::exception& error) {
    Note(std::string("dzv: ") + error.what());
    status = kExitFailed;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    Note("dzv: could not write to standard output");
    if (status == kExitOk) status = kExitFailed;
  }
  return status;
}
