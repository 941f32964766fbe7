// dzv as a user runs it: the command line, the help, and how output reaches
// a terminal, a file or a full disk. Each family's commands have a file of
// their own (cli_*_test.cc).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli_test_util.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dzv::cli_test {
namespace {

// ---- Usage and help ----------------------------------------------------

TEST_F(DzvTest, WrongUsageExitsWithTwoAndSaysWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{}, "missing"},
      {{"nosuch"}, "unknown command family 'nosuch'"},
      {{"dict"}, "a command is missing"},
      {{"dict", "nosuch"}, "unknown command 'nosuch'"},
      {{"dict", "get", "a.dict"}, "too few arguments"},
      {{"dict", "get", "a.dict", "k", "extra"}, "unexpected argument 'extra'"},
      {{"dict", "show", "--bogus", "a.dict"}, "unknown option '--bogus'"},
      {{"dict", "merge", "a", "b", "c", "--prefix"}, "--prefix needs a value"},
      {{"dict", "show", "--text=yes", "a.dict"}, "--text takes no value"},
      {{"dict", "set", "--escapes", "a.dict", "k", "\\q"}, "unknown escape"},
      {{"dict", "set", "--escapes", "a.dict", "k", "a\\x00"}, "\\x00"},
      {{"profile", "get", "S", "E"}, "--user FILE, --default FILE"},
      {{"profile", "set", "--layer", "default", "--user", "u", "S", "E", "V"}, "--default FILE"},
      {{"profile", "set", "--layer", "both", "--user", "u", "S", "E", "V"}, "'user' or 'default'"},
      {{"registry", "list", "HKXY\\Software"}, "does not begin with a root key"},
      {{"registry", "delete-key", "HKCU"}, "a root key cannot be deleted"},
      {{"dialog", "open", "--index", "x"}, "--index takes a number"},
  };
  for (const auto& c : cases) {
    const Result r = Dzv(c.args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(c.args);
    EXPECT_THAT(r.err, HasSubstr(c.says)) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(FileExists(File("a.dict"))) << "a usage error must not touch files";
}

TEST_F(DzvTest, EveryFamilyAndCommandHasHelp) {
  const Result top = Dzv({"--help"});
  ASSERT_EQ(top.status, 0);
  std::istringstream families(top.out.substr(top.out.find("Families:")));
  std::string line;
  int commands_seen = 0;
  while (std::getline(families, line) && line != "") {
    if (line.rfind("  ", 0) != 0) continue;
    const std::string family = line.substr(2, line.find(' ', 2) - 2);
    const Result help = Dzv({family, "--help"});
    ASSERT_EQ(help.status, 0) << family;
    std::istringstream commands(help.out.substr(help.out.find("Commands:")));
    std::getline(commands, line);
    while (std::getline(commands, line) && line != "") {
      const std::string command = line.substr(2, line.find(' ', 2) - 2);
      const Result one = Dzv({family, command, "--help"});
      EXPECT_EQ(one.status, 0) << family << " " << command;
      EXPECT_THAT(one.out, HasSubstr("Usage: dzv " + family + " " + command)) << one.out;
      // After an argument "--help" is no request for help: a value that
      // looks like an option is never taken for one, and nothing is done.
      for (const char* late : {"--help", "-h"}) {
        const Result value = Dzv({family, command, "x", late});
        EXPECT_EQ(value.status, 2) << family << " " << command << " x " << late;
        EXPECT_EQ(value.out, "") << family << " " << command << " x " << late;
      }
      ++commands_seen;
    }
  }
  EXPECT_GE(commands_seen, 20);
  EXPECT_FALSE(FileExists(File("x"))) << "a command given a late --help did its work";
  const Result version = Dzv({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_THAT(version.out, HasSubstr("dzv " DZV_VERSION));
}

TEST_F(DzvTest, AValueThatLooksLikeAnOptionIsStoredOnlyAfterTheEndOfOptions) {
  for (const std::vector<std::string>& args : {
           std::vector<std::string>{"dict", "set", "o.dict", "k", "--help"},
           std::vector<std::string>{"dict", "set", "o.dict", "--help", "v"},
           std::vector<std::string>{"profile", "set", "--user", "o.dict", "S", "E", "-h"},
           std::vector<std::string>{"registry", "write", "HKCU\\Software\\T", "v", "--help"},
       }) {
    const Result r = Dzv(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_THAT(r.err, HasSubstr("after the arguments")) << ::testing::PrintToString(args);
    EXPECT_EQ(r.out, "") << ::testing::PrintToString(args);
  }
  EXPECT_FALSE(FileExists(File("o.dict")));
  EXPECT_EQ(Dzv({"registry", "read", "HKCU\\Software\\T", "v"}).status, 1);
  ASSERT_EQ(Dzv({"dict", "set", "o.dict", "k", "--", "--help"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "o.dict", "k"}).out, "--help\n");
  // Before the arguments it still asks for the help, and does nothing else.
  const Result help = Dzv({"dict", "set", "--help", "o.dict", "k", "v"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("Usage: dzv dict set"));
  EXPECT_EQ(Dzv({"dict", "get", "o.dict", "k"}).out, "--help\n");
}

TEST_F(DzvTest, FileNamesPrintedToATerminalCannotDriveIt) {
  DZV_LINUX_ONLY("a pseudo-terminal; Windows: ConsoleOutput.*");
#ifndef _WIN32
  env_["LC_ALL"] = "C.UTF-8";
  const std::string name = "evil\x1b]2;PWNED\a\x1b[2J\xc2\x9b.dict";
  const std::string shown = "evil\\x1b]2;PWNED\\x07\\x1b[2J\\xc2\\x9b.dict";
  // A message on standard error...
  const Result missing = DzvOnTerminal({"dict", "show", name});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "dzv: " + shown + ": no such file\n");
  // ... a line of success on standard output...
  const Result set = DzvOnTerminal({"dict", "set", name, "k", "v"});
  EXPECT_EQ(set.status, 0);
  EXPECT_EQ(set.out, shown + ": set k (1 item)\n");
  // ... and a word of a wrong command line are escaped alike.
  const Result usage = DzvOnTerminal({"dict", "nosuch\x1b[2J"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_THAT(usage.out, HasSubstr("unknown command 'nosuch\\x1b[2J'"));
  // To a file the name goes as it is, for scripts.
  const Result to_file = Dzv({"dict", "set", name, "k", "w"});
  EXPECT_EQ(to_file.out, name + ": set k (1 item)\n");
  EXPECT_EQ(Dzv({"dict", "show", "nosuch\x1b.dict"}).err, "dzv: nosuch\x1b.dict: no such file\n");
#endif
}

TEST_F(DzvTest, ValuesPrintedToATerminalCannotDriveIt) {
  DZV_LINUX_ONLY("a pseudo-terminal; Windows: ConsoleOutput.*");
#ifndef _WIN32
  env_["LC_ALL"] = "C.UTF-8";
  const std::string value =
      "a\x1b[2J\xc2\x9b"
      "1m\x9b\x7f\tz\xc3\xa9\r";
  const std::string escaped = "a\\x1b[2J\\xc2\\x9b1m\\x9b\\x7f\tz\xc3\xa9\\r\n";
  Write("a.dict", Archive({{"S.E", value}}));
  ASSERT_EQ(Dzv({"registry", "write", "HKCU\\Software\\T", "v", value}).status, 0);
  ASSERT_EQ(Dzv({"clipboard", "set", value}).status, 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"dict", "get", "a.dict", "S.E"},
        std::vector<std::string>{"profile", "get", "--user", "a.dict", "S", "E"},
        std::vector<std::string>{"registry", "read", "HKCU\\Software\\T", "v"},
        std::vector<std::string>{"clipboard", "get"}}) {
    EXPECT_EQ(DzvOnTerminal(args).out, escaped) << ::testing::PrintToString(args);
    // To a file the bytes go as they are; --raw gives them to a terminal.
    EXPECT_EQ(Dzv(args).out, value + "\n") << ::testing::PrintToString(args);
  }
  EXPECT_EQ(DzvOnTerminal({"dict", "get", "--raw", "a.dict", "S.E"}).out, value);
  EXPECT_EQ(DzvOnTerminal({"clipboard", "get", "--raw"}).out, value);
  // show escapes the C1 controls wherever it writes.
  EXPECT_EQ(Dzv({"dict", "show", "a.dict"}).out,
            "S.E=a\\x1b[2J\\xc2\\x9b1m\\x9b\\x7f\\tz\xc3\xa9\\r\n");
  // Under Shift_JIS the bytes 9B 40 are one character and pass; 9B alone
  // is escaped.
  env_["LC_ALL"] = "ja_JP.SJIS";
  Write("j.dict", Archive({{"k", "\x9b\x40\x9b"}}));
  EXPECT_EQ(DzvOnTerminal({"dict", "get", "j.dict", "k"}).out, "\x9b\x40\\x9b\n");
#endif
}

TEST_F(DzvTest, AFullStandardOutputIsAFailure) {
  DZV_LINUX_ONLY("/dev/full");
#ifndef _WIN32
  Write("a.dict", Archive({{"k", "v"}}));
  const std::string command =
      std::string(DZV_CLI_PATH) + " dict show " + File("a.dict") + " > /dev/full 2> " + File("err");
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_THAT(ReadFileBytes(File("err")), HasSubstr("could not write to standard output"));
#endif
}

}  // namespace
}  // namespace dzv::cli_test
