// Helper programs run without a shell, with their input, output and time
// under control, and without the caller's descriptors.
#include "platform/linux/process_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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
