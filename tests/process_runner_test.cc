// Helper programs run without a shell, with their input, output and time
// under control, and without the caller's descriptors.
#include "platform/linux/process_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace dzv::platform {
namespace {

TEST(RunProcess, ArgumentsReachTheProgramAsTheyAre) {
  ProcessOptions options;
  options.capture_output = true;
  ProcessResult result;
  ASSERT_TRUE(RunProcess({"/bin/echo", "a  b", "$HOME;`id`"}, options, &result));
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "a  b $HOME;`id`\n");

  ASSERT_TRUE(RunProcess({"/bin/false"}, options, &result));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_FALSE(RunProcess({"/nonexistent/program"}, options, &result));
}

TEST(RunProcess, InputAndOutputTravelWhole) {
  std::string input(300000, 'x');
  input[7] = '\0';
  ProcessOptions options;
  options.feed_input = true;
  options.input = input;
  options.capture_output = true;
  ProcessResult result;
  ASSERT_TRUE(RunProcess({"/bin/cat"}, options, &result));
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, input);

  // A program that ends without reading its input raises no SIGPIPE here.
  ASSERT_TRUE(RunProcess({"/bin/true"}, options, &result));
  EXPECT_EQ(result.exit_code, 0);
}

TEST(RunProcess, TimeoutKillsTheProgram) {
  ProcessOptions options;
  options.timeout_ms = 50;
  ProcessResult result;
  ASSERT_TRUE(RunProcess({"/bin/sleep", "30"}, options, &result));
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(result.exit_code, -1);
}

// True once process `pid` has ended (gone, or a zombie that its new parent
// has not reaped yet), waiting up to five seconds for it.
bool Ended(pid_t pid) {
  for (int i = 0; i < 500; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string skip, state;
    if (!(stat >> skip >> skip >> state) || state == "Z" || state == "X") return true;
    usleep(10000);
  }
  return false;
}

TEST(RunProcess, ATimeoutEndsWhatTheProgramStartedAndSuccessLeavesIt) {
  ProcessOptions options;
  options.capture_output = true;
  options.timeout_ms = 200;
  ProcessResult result;
  ASSERT_TRUE(
      RunProcess({"/bin/sh", "-c", "sleep 300 & echo $!; exec sleep 300"}, options, &result));
  EXPECT_TRUE(result.timed_out);
  const pid_t left = static_cast<pid_t>(std::atoi(result.output.c_str()));
  ASSERT_GT(left, 0) << result.output;
  EXPECT_TRUE(Ended(left)) << "the program's own child outlived the timeout";

  // A program that ends in time leaves what it started (a copy helper's
  // server) running.
  options.timeout_ms = 5000;
  ASSERT_TRUE(RunProcess({"/bin/sh", "-c", "sleep 300 >/dev/null & echo $!"}, options, &result));
  EXPECT_FALSE(result.timed_out);
  const pid_t server = static_cast<pid_t>(std::atoi(result.output.c_str()));
  ASSERT_GT(server, 0) << result.output;
  EXPECT_EQ(kill(server, 0), 0);
  kill(server, SIGKILL);
}

TEST(RunProcess, CallersDescriptorsAndEnvironmentStayBehind) {
  const int inheritable = open("/dev/null", O_RDONLY);  // no close-on-exec
  ASSERT_GE(inheritable, 3);
  ProcessOptions options;
  options.capture_output = true;
  ProcessResult result;
  ASSERT_TRUE(RunProcess({"/bin/ls", "/proc/self/fd"}, options, &result));
  close(inheritable);
  // ls sees its three standard files and the directory it lists.
  EXPECT_EQ(result.output, "0\n1\n2\n3\n");

  const std::vector<std::string> environment = {"ONLY=this"};
  options.environment = &environment;
  ASSERT_TRUE(RunProcess({"/usr/bin/env"}, options, &result));
  EXPECT_EQ(result.output, "ONLY=this\n");
}

TEST(FindExecutable, SearchesOnlyAbsoluteDirectoriesOfPath) {
  EXPECT_EQ(FindExecutable("sh").front(), '/');
  EXPECT_EQ(FindExecutable("dzv-no-such-program"), "");
  const std::string saved = std::getenv("PATH");
  setenv("PATH", ".:bin", 1);
  EXPECT_EQ(FindExecutable("sh"), "");
  setenv("PATH", saved.c_str(), 1);
}

}  // namespace
}  // namespace dzv::platform
