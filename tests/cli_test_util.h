// What the tests of dzv share: the built program run as a user runs it, in
// a child process, with its registry and session clipboard in a directory
// of the test's own and no desktop; its exit code, messages and output.
#ifndef DZV_TESTS_CLI_TEST_UTIL_H_
#define DZV_TESTS_CLI_TEST_UTIL_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "test_util.h"

namespace dzv::cli_test {

using ::dzv::testing::FileExists;
using ::dzv::testing::ReadFileBytes;
using ::dzv::testing::SharedDataDir;
using ::dzv::testing::TempDir;
using ::dzv::testing::WriteFileBytes;
using ::testing::HasSubstr;
using ::testing::Not;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class DzvTest : public ::testing::Test {
 protected:
  DzvTest() {
    std::filesystem::create_directory(dir_.File("runtime"));
    env_["XDG_CONFIG_HOME"] = dir_.File("config");
    env_["XDG_RUNTIME_DIR"] = dir_.File("runtime");
    env_["DISPLAY"] = std::nullopt;
    env_["WAYLAND_DISPLAY"] = std::nullopt;
  }

  // Runs dzv with the arguments in dir_, with input on its standard input.
  Result Dzv(const std::vector<std::string>& args, const std::string& input = "") {
    return Finish(Start(args, input));
  }

#ifndef _WIN32
  // Runs dzv as Dzv does, with its standard output and standard error a
  // terminal, and returns in out what the terminal received (the terminal
  // passes bytes unchanged).
  Result DzvOnTerminal(const std::vector<std::string>& args) {
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(terminal, 0);
    if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) return {};
    const std::string device = ptsname(terminal);
    const int slave = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    Result result = Finish(Start(args, "", "", device));
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) {
      result.out.append(buffer, static_cast<size_t>(got));
    }
    close(slave);
    close(terminal);
    return result;
  }
#endif

  // Starts dzv in dir_; tag tells apart the files of runs at the same time.
  // Its standard output and error go to the files of the run, or both to
  // terminal.
  struct Run {
    std::shared_ptr<::dzv::testing::ChildProcess> child;
    std::string out, err;  // empty when the output went to a terminal
  };
  Run Start(const std::vector<std::string>& args, const std::string& input = "",
            const std::string& tag = "", const std::string& terminal = "") {
    Run run;
    const std::string in = dir_.File(".in" + tag);
    run.out = terminal.empty() ? dir_.File(".out" + tag) : "";
    run.err = terminal.empty() ? dir_.File(".err" + tag) : "";
    WriteFileBytes(in, input);
    std::vector<std::string> words = {DZV_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    run.child = std::make_shared<::dzv::testing::ChildProcess>(
        words, ::dzv::testing::EnvironmentWith(env_), dir_.path(), in,
        terminal.empty() ? run.out : terminal, terminal.empty() ? run.err : terminal);
    if (!run.child->started()) ADD_FAILURE() << "cannot start " << DZV_CLI_PATH;
    return run;
  }

  // Waits for a run that Start began.
  Result Finish(const Run& run) {
    Result result;
    if (!run.child->started()) return result;
    const ::dzv::testing::ChildProcess::End end = run.child->Wait();
    EXPECT_TRUE(end.crashed.empty() && !end.hung) << "dzv did not exit normally: " << end.crashed;
    result.status = end.status;
    if (!run.out.empty()) result.out = ReadFileBytes(run.out);
    if (!run.err.empty()) result.err = ReadFileBytes(run.err);
    return result;
  }

  std::string File(const std::string& name) const { return dir_.File(name); }
  std::string Read(const std::string& name) const { return ReadFileBytes(File(name)); }
  void Write(const std::string& name, const std::string& bytes) {
    WriteFileBytes(File(name), bytes);
  }

  TempDir dir_;
  std::map<std::string, std::optional<std::string>> env_;
};

// A path of the build machine as dzv names it: on Windows (under Wine) a
// path from the root of the Unix files is on drive Z:, while dzv runs in a
// folder on another drive.
inline std::string HostPath(const std::string& path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') return "Z:" + path;
#endif
  return path;
}

// An archive of the items, in the order given (a count below 255, short
// strings).
inline std::string Archive(const std::vector<std::pair<std::string, std::string>>& items) {
  std::string bytes = {static_cast<char>(items.size()), '\0'};
  for (const auto& [key, value] : items) {
    bytes += static_cast<char>(key.size()) + key;
    bytes += static_cast<char>(value.size()) + value;
  }
  return bytes;
}

}  // namespace dzv::cli_test

#endif  // DZV_TESTS_CLI_TEST_UTIL_H_
