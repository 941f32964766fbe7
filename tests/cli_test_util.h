// What the tests of dzv share: the built program run as a user runs it, in
// a child process, with its registry and session clipboard in a directory
// of the test's own and no desktop; its exit code, messages and output.
#ifndef DZV_TESTS_CLI_TEST_UTIL_H_
#define DZV_TESTS_CLI_TEST_UTIL_H_

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

extern char** environ;

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
    mkdir(dir_.File("runtime").c_str(), 0700);
    env_["XDG_CONFIG_HOME"] = dir_.File("config");
    env_["XDG_RUNTIME_DIR"] = dir_.File("runtime");
    env_["DISPLAY"] = std::nullopt;
    env_["WAYLAND_DISPLAY"] = std::nullopt;
  }

  // Runs dzv with the arguments in dir_, with input on its standard input.
  Result Dzv(const std::vector<std::string>& args, const std::string& input = "") {
    return Finish(Start(args, input));
  }

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

  // Starts dzv in dir_; tag tells apart the files of runs at the same time.
  // Its standard output and error go to the files of the run, or both to
  // terminal.
  struct Run {
    pid_t pid = -1;
    std::string out, err;  // empty when the output went to a terminal
  };
  Run Start(const std::vector<std::string>& args, const std::string& input = "",
            const std::string& tag = "", const std::string& terminal = "") {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (env_.count(entry.substr(0, entry.find('='))) == 0) environment.push_back(entry);
    }
    for (const auto& [name, value] : env_) {
      if (value) environment.push_back(name + "=" + *value);
    }
    Run run;
    const std::string in = dir_.File(".in" + tag);
    run.out = terminal.empty() ? dir_.File(".out" + tag) : "";
    run.err = terminal.empty() ? dir_.File(".err" + tag) : "";
    WriteFileBytes(in, input);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
    if (terminal.empty()) {
      posix_spawn_file_actions_addopen(&files, 1, run.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0600);
    } else {
      posix_spawn_file_actions_addopen(&files, 1, terminal.c_str(), O_RDWR | O_NOCTTY, 0);
    }
    if (terminal.empty()) {
      posix_spawn_file_actions_addopen(&files, 2, run.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0600);
    } else {
      posix_spawn_file_actions_adddup2(&files, 1, 2);
    }
    std::vector<std::string> words = {DZV_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string here = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    const int spawned =
        posix_spawn(&run.pid, DZV_CLI_PATH, &files, nullptr, argv.data(), envp.data());
    std::filesystem::current_path(here);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << DZV_CLI_PATH;
      run.pid = -1;
    }
    return run;
  }

  // Waits for a run that Start began.
  Result Finish(const Run& run) {
    Result result;
    if (run.pid < 0) return result;
    int status = 0;
    waitpid(run.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "dzv did not exit normally (signal?)";
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
