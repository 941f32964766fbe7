// dzv: a command-line client of libduduzuvez210, for looking into and
// repairing what the library keeps. It uses the library's public functions
// only, as any client program does.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli.h"
#include "system.h"

namespace dzv::cli {
namespace {

int Run(const std::vector<std::string>& words) {
  if (words.empty()) {
    Note("dzv: a command family is missing");
    Note("Try 'dzv --help'.");
    return kExitUsage;
  }
  if (words[0] == "--help" || words[0] == "-h") {
    Out(OverallHelp());
    return kExitOk;
  }
  if (words[0] == "--version") {
    Out("dzv " DZV_VERSION " (duduzuvez210)\n");
    return kExitOk;
  }
  for (const Family* family : Families()) {
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
  PrepareStandardStreams();
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
