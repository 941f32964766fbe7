// Runs a helper program of the desktop (a clipboard tool, a dialog) and
// waits for it, on the caller's thread. The program is started directly
// from its argument vector, never through a shell; it inherits the
// environment but none of the caller's open files beyond the three
// standard ones, which are the input given here (or /dev/null), an output
// pipe (or /dev/null) and /dev/null for errors. Signal dispositions and
// the signal mask are reset to their defaults in the program, which leads a
// process group of its own.
#ifndef DZV_PLATFORM_LINUX_PROCESS_RUNNER_H_
#define DZV_PLATFORM_LINUX_PROCESS_RUNNER_H_

#include <string>
#include <string_view>
#include <vector>

namespace dzv::platform {

struct ProcessOptions {
  // When set, `input` is written to the program's standard input, which
  // is then closed; otherwise standard input is /dev/null.
  bool feed_input = false;
  std::string_view input;
  // When set, the program's standard output is collected.
  bool capture_output = false;
  // The longest time the program may run, in milliseconds; after it the
  // program is killed. Negative: no limit.
  int timeout_ms = -1;
  // The program's environment ("NAME=value" entries); null: the caller's.
  const std::vector<std::string>* environment = nullptr;
  // The most output taken; more counts as a failure to run.
  size_t max_output = size_t{256} << 20;
  // Starts the program in a session of its own, so that it outlives
  // signals sent to the caller's terminal (for helpers that stay behind to
  // serve the desktop's clipboard).
  bool new_session = false;
};

struct ProcessResult {
  bool timed_out = false;
  // The exit status; -1 when the program was ended by a signal. When the
  // caller's process has SIGCHLD ignored, the status cannot be learnt and
  // is taken to be 0.
  int exit_code = -1;
  // Standard output, when captured.
  std::string output;
};

// Runs `argv` (argv[0] is the program's path) and waits for it to end.
// Returns false when it cannot be started or memory runs out; otherwise
// fills `*result`. A program that outlives the timeout is killed with its
// whole process group (what it started and left in it) and reaped; a
// program that ends in time leaves what it started running (a copy
// helper's server). Output beyond options.max_output counts as a failure to
// run; the program is then killed at once.
bool RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options,
                ProcessResult* result);

// The full path of the executable `name` in a directory of PATH; empty
// when there is none.
std::string FindExecutable(std::string_view name);

}  // namespace dzv::platform

#endif  // DZV_PLATFORM_LINUX_PROCESS_RUNNER_H_
