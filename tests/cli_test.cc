// dzv as a user runs it: the built program in a child process, with its
// registry and session clipboard in a directory of the test's own and no
// desktop. Checks exit codes, messages, and what ends up in the files.
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
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

extern char** environ;

namespace {

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

  // Runs dzv as Dzv does, with its standard output a terminal, and returns
  // what the terminal received (the terminal passes bytes unchanged).
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
  // Its standard output goes to the file of the run, or to terminal.
  struct Run {
    pid_t pid = -1;
    std::string out, err;  // out empty when the output went to a terminal
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
    run.err = dir_.File(".err" + tag);
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
    posix_spawn_file_actions_addopen(&files, 2, run.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
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
    result.err = ReadFileBytes(run.err);
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
std::string Archive(const std::vector<std::pair<std::string, std::string>>& items) {
  std::string bytes = {static_cast<char>(items.size()), '\0'};
  for (const auto& [key, value] : items) {
    bytes += static_cast<char>(key.size()) + key;
    bytes += static_cast<char>(value.size()) + value;
  }
  return bytes;
}

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
      ++commands_seen;
    }
  }
  EXPECT_GE(commands_seen, 20);
  const Result version = Dzv({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_THAT(version.out, HasSubstr("dzv " DZV_VERSION));
}

// ---- Dictionary archives -------------------------------------------------

TEST_F(DzvTest, SetGetDeleteRoundTripThroughTheArchive) {
  EXPECT_EQ(Dzv({"dict", "set", "a.dict", "Window.Left", "120"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "set", "a.dict", "Window.Top", "80"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "set", "a.dict", "Window.Left", "130"}).status, 0);
  const Result get = Dzv({"dict", "get", "a.dict", "Window.Left"});
  EXPECT_EQ(get.status, 0);
  EXPECT_EQ(get.out, "130\n");
  // The file is the library's archive: two items, each key and value
  // length-prefixed.
  const std::string bytes = Read("a.dict");
  EXPECT_EQ(bytes.substr(0, 2), std::string("\x02\x00", 2));
  EXPECT_EQ(bytes.size(), 2u + 1 + 11 + 1 + 3 + 1 + 10 + 1 + 2);

  const Result deleted = Dzv({"dict", "delete", "a.dict", "Window.Left"});
  EXPECT_EQ(deleted.status, 0);
  EXPECT_THAT(deleted.out, HasSubstr("1 item left"));
  const Result gone = Dzv({"dict", "get", "a.dict", "Window.Left"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, HasSubstr("a.dict: no key 'Window.Left'"));

  const std::string before = Read("a.dict");
  const Result absent = Dzv({"dict", "delete", "a.dict", "Window.Left"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(Read("a.dict"), before);
}

TEST_F(DzvTest, ShowListsEveryItemInArchiveOrderWithControlBytesVisible) {
  Write("a.dict", Archive({{"z", "last"},
                           {"list", std::string("a\x1f"
                                                "b\x1f")},
                           {"k=ey", "back\\slash\ttab"},
                           {"a", "first"}}));
  const Result shown = Dzv({"dict", "show", "a.dict"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  // Distinct buckets: the library enumerates by bucket; the file's order
  // does not decide it, so compare as a set of lines and check the form.
  EXPECT_THAT(shown.out, HasSubstr("list=a\\x1fb\\x1f\n"));
  EXPECT_THAT(shown.out, HasSubstr("k\\x3dey=back\\\\slash\\ttab\n"));
  EXPECT_THAT(shown.out, HasSubstr("z=last\n"));
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 4);

  const Result text = Dzv({"dict", "show", "--text", "a.dict"});
  EXPECT_EQ(text.out, "a=first\nk=ey=back\\\\slash\\ttab\nlist=a\\x1fb\\x1f\nz=last\n");

  // The escapes read back: get and set with --escapes.
  const Result get = Dzv({"dict", "get", "--escapes", "a.dict", "list"});
  EXPECT_EQ(get.out, "a\\x1fb\\x1f\n");
  EXPECT_EQ(Dzv({"dict", "set", "--escapes", "a.dict", "tab\\tkey", "v\\x1c1\\x1d"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "a.dict", "tab\tkey"}).out,
            "v\x1c"
            "1\x1d\n");
}

TEST_F(DzvTest, UnreadableArchivesAreNamedExplainedAndNeverChanged) {
  const std::string whole = Archive({{"alpha", "1"}, {"beta", "22"}, {"gamma", "333"}});
  Write("cut.dict", whole.substr(0, whole.size() - 2));
  Write("empty.dict", "");
  Write("text.dict", "a=1\r\nb=2\r\n");
  mkdir(File("folder.dict").c_str(), 0700);
  const struct {
    const char* file;
    const char* says;
  } cases[] = {
      {"missing.dict", "missing.dict: no such file"},
      {"cut.dict", "cut.dict: truncated, or not a dictionary archive: it announces 3 items"},
      {"empty.dict", "empty.dict: the file is empty"},
      {"text.dict", "text.dict: truncated, or not a dictionary archive"},
      {"folder.dict", "folder.dict: is a directory"},
  };
  for (const auto& c : cases) {
    const std::string before = FileExists(File(c.file)) ? Read(c.file) : "";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dict", "show", c.file},
          std::vector<std::string>{"dict", "delete", c.file, "alpha"},
          std::vector<std::string>{"dict", "export", c.file, "out.txt"},
          std::vector<std::string>{"profile", "set", "--user", c.file, "S", "E", "V"}}) {
      if (std::string(c.file) == "missing.dict" && args[1] == "set") continue;  // creates it
      const Result r = Dzv(args);
      EXPECT_EQ(r.status, 1) << c.file << " " << args[1];
      EXPECT_THAT(r.err, HasSubstr(c.says)) << args[1];
      EXPECT_EQ(r.out, "");
    }
    if (std::string(c.file) != "folder.dict") {
      EXPECT_EQ(FileExists(File(c.file)) ? Read(c.file) : "", before) << c.file;
    }
  }
  EXPECT_THAT(Dzv({"dict", "show", "cut.dict"}).err, HasSubstr("(2 complete before it)"));
  EXPECT_FALSE(FileExists(File("out.txt")));
}

TEST_F(DzvTest, BytesAfterTheLastItemAreReportedAndNeverDroppedBySaving) {
  const std::string bytes = Archive({{"k", "v"}}) + "trailing";
  Write("a.dict", bytes);
  const Result shown = Dzv({"dict", "show", "a.dict"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, "k=v\n");
  EXPECT_THAT(shown.err, HasSubstr("warning: a.dict: 8 bytes follow its last item"));
  const Result set = Dzv({"dict", "set", "a.dict", "k", "w"});
  EXPECT_EQ(set.status, 1);
  EXPECT_THAT(set.err, HasSubstr("saving would drop them"));
  EXPECT_EQ(Read("a.dict"), bytes);
}

TEST_F(DzvTest, RepeatedKeysAreReportedWithTheLastValueKept) {
  Write("a.dict", Archive({{"k", "first"}, {"k", "second"}}));
  const Result shown = Dzv({"dict", "show", "a.dict"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, "k=second\n");
  EXPECT_THAT(shown.err, HasSubstr("holds 2 items but only 1 different keys"));
}

TEST_F(DzvTest, ASaveThatCannotBeDoneIsReported) {
  const Result r = Dzv({"dict", "set", "nodir/a.dict", "k", "v"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("nodir/a.dict: could not be saved: the directory 'nodir' does "
                               "not exist"));
}

// ---- Edits at the same time, outputs that are no files ----------------------

TEST_F(DzvTest, EditsOfOneArchiveAtTheSameTimeAreAllKept) {
  Write("a.dict", Archive({{"base", "1"}}));
  ASSERT_EQ(chmod(File("a.dict").c_str(), 0640), 0);
  std::vector<Run> runs;
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i);
    runs.push_back(Start({"dict", "set", "a.dict", "k" + n, "v"}, "", "d" + n));
    runs.push_back(Start({"profile", "set", "--user", "a.dict", "S", "E" + n, "v"}, "", "p" + n));
  }
  for (const Run& run : runs) {
    const Result r = Finish(run);
    EXPECT_EQ(r.status, 0) << r.err;
  }
  const Result shown = Dzv({"dict", "show", "--text", "a.dict"});
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 21) << shown.out;
  // The lock file stays beside the archive, empty, with the archive's bits.
  struct stat lock {};
  ASSERT_EQ(stat(File(".a.dict.lock").c_str(), &lock), 0);
  EXPECT_EQ(lock.st_size, 0);
  EXPECT_EQ(lock.st_mode & 07777, 0640u);
}

TEST_F(DzvTest, AnEditLocksBesideTheLinkedFileAndGivesUpOnAHeldLock) {
  mkdir(File("real").c_str(), 0700);
  Write("real/a.dict", Archive({{"k", "v"}}));
  ASSERT_EQ(symlink("real/a.dict", File("link.dict").c_str()), 0);
  const std::string before = Read("real/a.dict");
  char* real = realpath(File("real").c_str(), nullptr);
  const std::string lock = std::string(real) + "/.a.dict.lock";
  std::free(real);
  const int held = open(lock.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const Result waited = Dzv({"dict", "set", "link.dict", "k", "w"});
  EXPECT_EQ(waited.status, 1);
  EXPECT_THAT(waited.err, HasSubstr(lock + ": another process has held the lock of link.dict"));
  EXPECT_EQ(Read("real/a.dict"), before);
  close(held);
  EXPECT_EQ(Dzv({"dict", "set", "link.dict", "k", "w"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "real/a.dict", "k"}).out, "w\n");

  // A link planted where a lock file goes is not followed.
  ASSERT_EQ(symlink(File("elsewhere").c_str(), File(".b.dict.lock").c_str()), 0);
  const Result planted = Dzv({"profile", "set", "--user", "b.dict", "S", "E", "V"});
  EXPECT_EQ(planted.status, 1);
  EXPECT_THAT(planted.err, HasSubstr(".b.dict.lock: the lock file of b.dict cannot be used: "
                                     "it is a symbolic link"));
  EXPECT_FALSE(FileExists(File("elsewhere")));
  EXPECT_FALSE(FileExists(File("b.dict")));
}

TEST_F(DzvTest, OutputsThatAreNotRegularFilesAreRefused) {
  Write("a.dict", Archive({{"k", "v"}}));
  Write("a.txt", "x=1\r\n");
  ASSERT_EQ(mkfifo(File("fifo").c_str(), 0600), 0);
  // A reader on the FIFO, so that a run writing into it does not wait.
  const int reader = open(File("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"dict", "export", "a.dict", "fifo"},
      {"dict", "import", "a.txt", "fifo"},
      {"dict", "merge", "a.dict", "a.dict", "fifo"},
      {"dict", "set", "fifo", "k", "v"},
      {"profile", "set", "--user", "fifo", "S", "E", "V"},
      {"dict", "export", "a.dict", "/dev/null"},
  };
  for (const auto& args : commands) {
    const Result r = Dzv(args);
    EXPECT_EQ(r.status, 1) << ::testing::PrintToString(args);
    EXPECT_THAT(r.err, ::testing::AnyOf(HasSubstr("fifo: is a FIFO (named pipe), not a regular"),
                                        HasSubstr("/dev/null: is a device, not a regular")))
        << ::testing::PrintToString(args);
  }
  char byte;
  EXPECT_LE(read(reader, &byte, 1), 0) << "something was written into the FIFO";
  close(reader);
}

TEST_F(DzvTest, ValuesPrintedToATerminalCannotDriveIt) {
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
}

// ---- Text forms ------------------------------------------------------------

TEST_F(DzvTest, ExportAndImportRoundTripTheItems) {
  Write("a.dict", Archive({{"b", "2"}, {"a", "1"}, {"list", "x\x1fy\x1f"}}));
  const Result exported = Dzv({"dict", "export", "a.dict", "a.txt"});
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(Read("a.txt"), "a=1\r\nb=2\r\nlist=x\x1fy\x1f\r\n");
  EXPECT_EQ(Dzv({"dict", "import", "a.txt", "b.dict"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "--text", "b.dict"}).out,
            Dzv({"dict", "show", "--text", "a.dict"}).out);

  // --add keeps the archive's other items; without it the text replaces them.
  Write("more.txt", "c=3\r\na=10\r\n");
  EXPECT_EQ(Dzv({"dict", "import", "--add", "more.txt", "b.dict"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "--text", "b.dict"}).out, "a=10\nb=2\nc=3\nlist=x\\x1fy\\x1f\n");
  EXPECT_EQ(Dzv({"dict", "import", "more.txt", "b.dict"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "--text", "b.dict"}).out, "a=10\nc=3\n");
}

TEST_F(DzvTest, ImportRefusesTextsWithoutItemsAndWarnsAtAZeroByte) {
  Write("a.dict", Archive({{"keep", "me"}}));
  const std::string before = Read("a.dict");
  Write("notes.txt", "no items here\r\njust words\r\n");
  const Result none = Dzv({"dict", "import", "notes.txt", "a.dict"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("notes.txt: holds no items"));
  EXPECT_EQ(Read("a.dict"), before);
  const Result missing = Dzv({"dict", "import", "absent.txt", "a.dict"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("absent.txt: no such file"));

  Write("zero.txt", std::string("a=1\r\nb=2\0c=3\r\n", 14));
  const Result zero = Dzv({"dict", "import", "zero.txt", "z.dict"});
  EXPECT_EQ(zero.status, 0);
  EXPECT_THAT(zero.err, HasSubstr("a zero byte at offset 8"));
  EXPECT_EQ(Dzv({"dict", "show", "--text", "z.dict"}).out, "a=1\nb=2\n");
}

TEST_F(DzvTest, ArgumentsInTheWrongOrderNeverReplaceAFile) {
  Write("a.dict", Archive({{"k", "v"}}));
  Write("a.txt", "x=1\r\n");
  const std::string archive = Read("a.dict");
  const Result export_over_archive = Dzv({"dict", "export", "a.dict", "a.dict"});
  EXPECT_EQ(export_over_archive.status, 1);
  EXPECT_THAT(export_over_archive.err, HasSubstr("a.dict: is a dictionary archive"));
  const Result import_over_text = Dzv({"dict", "import", "a.txt", "a.txt"});
  EXPECT_EQ(import_over_text.status, 1);
  EXPECT_THAT(import_over_text.err, HasSubstr("a.txt: exists and is not a dictionary archive"));
  const Result merge_over_text = Dzv({"dict", "merge", "a.dict", "a.dict", "a.txt"});
  EXPECT_EQ(merge_over_text.status, 1);
  EXPECT_EQ(Read("a.dict"), archive);
  EXPECT_EQ(Read("a.txt"), "x=1\r\n");
  // Replacing an archive with an archive is what import and merge are for.
  EXPECT_EQ(Dzv({"dict", "import", "a.txt", "a.dict"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "a.dict"}).out, "x=1\n");
}

TEST_F(DzvTest, ExportNamesItemsThatWillNotReadBack) {
  Write("a.dict", Archive({{"a=b", "c"}, {"line", "one\ntwo"}, {"fine", "x"}}));
  const Result r = Dzv({"dict", "export", "a.dict", "a.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.err, HasSubstr("the item 'a=b' will not read back"));
  EXPECT_THAT(r.err, HasSubstr("the item 'line' will not read back"));
  EXPECT_THAT(r.err, Not(HasSubstr("'fine'")));
}

// ---- Merge and attributes ----------------------------------------------

TEST_F(DzvTest, MergeTakesThePrefixedItemsAndMergesLists) {
  Write("first.dict", Archive({{"App.QueryList",
                                "a\x1f"
                                "b\x1f"},
                               {"App.X", "1"},
                               {"Other", "o"}}));
  Write("second.dict", Archive({{"App.QueryList",
                                 "c\x1f"
                                 "a\x1f"},
                                {"App.X", "2"}}));
  const Result r =
      Dzv({"dict", "merge", "--prefix", "App.", "first.dict", "second.dict", "out.dict"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Dzv({"dict", "show", "--text", "out.dict"}).out,
            "App.QueryList=c\\x1fa\\x1fb\\x1f\nApp.X=2\n");
  const Result missing = Dzv({"dict", "merge", "first.dict", "nope.dict", "out2.dict"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("nope.dict: no such file"));
  EXPECT_FALSE(FileExists(File("out2.dict")));
}

TEST_F(DzvTest, AttrReadsStructuredValuesAndTheAttributeItems) {
  Write("a.dict", Archive({{"F",
                            "Title\x1c"
                            "Customer\x1dLabel\x1c"
                            "Cust.\x1d"},
                           {"G.Status Text", "help"}}));
  EXPECT_EQ(Dzv({"dict", "attr", "a.dict", "F", "Label"}).out, "Cust.\n");
  EXPECT_EQ(Dzv({"dict", "attr", "a.dict", "G", "S"}).out, "help\n");
  const Result none = Dzv({"dict", "attr", "a.dict", "F", "Width"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("the key 'F' has no attribute 'Width'"));
}

// ---- Profiles ------------------------------------------------------------

TEST_F(DzvTest, ProfileLayersAreReadInOrderAndWrittenOneAtATime) {
  EXPECT_EQ(
      Dzv({"profile", "set", "--layer", "default", "--default", "d.dict", "Win", "Left", "100"})
          .status,
      0);
  EXPECT_EQ(Dzv({"profile", "set", "--layer", "default", "--default", "d.dict", "Win", "Top", "50"})
                .status,
            0);
  const Result set = Dzv({"profile", "set", "--user", "u.dict", "Win", "Left", "120"});
  EXPECT_EQ(set.status, 0);
  EXPECT_THAT(set.out, HasSubstr("user layer u.dict"));
  // Each layer is an archive of its own: "section.entry" items.
  EXPECT_EQ(Dzv({"dict", "get", "u.dict", "Win.Left"}).out, "120\n");
  EXPECT_EQ(Dzv({"dict", "show", "--text", "d.dict"}).out, "Win.Left=100\nWin.Top=50\n");

  const std::vector<std::string> layers = {"--user", "u.dict", "--default", "d.dict"};
  auto profile = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 2, layers.begin(), layers.end());
    return Dzv(args);
  };
  EXPECT_EQ(profile({"profile", "get", "Win", "Left"}).out, "120\n");
  EXPECT_EQ(profile({"profile", "get", "Win", "Top"}).out, "50\n");
  const Result list = profile({"profile", "list", "Win"});
  EXPECT_THAT(list.out, HasSubstr("user     Left=120\n"));
  EXPECT_THAT(list.out, HasSubstr("default  Top=50\n"));
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2);

  const Result deleted = profile({"profile", "delete", "Win", "Left"});
  EXPECT_EQ(deleted.status, 0);
  EXPECT_THAT(deleted.out, HasSubstr("now reads 100 from the default layer"));
  EXPECT_EQ(profile({"profile", "get", "Win", "Left"}).out, "100\n");

  const std::string user_before = Read("u.dict");
  const Result again = profile({"profile", "delete", "Win", "Left"});
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.err, HasSubstr("not set in the user layer u.dict"));
  EXPECT_EQ(Read("u.dict"), user_before);

  const Result nowhere = profile({"profile", "get", "Win", "Width"});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_THAT(nowhere.err, HasSubstr("[Win] Width: set in neither layer"));

  const Result section =
      Dzv({"profile", "delete-section", "--layer", "default", "--default", "d.dict", "Win"});
  EXPECT_EQ(section.status, 0);
  EXPECT_THAT(section.out, HasSubstr("deleted 2 settings"));
  EXPECT_EQ(Dzv({"dict", "show", "d.dict"}).out, "");
}

TEST_F(DzvTest, ProfileEntriesKeepTheirEscapesAndLongKeysAreRefused) {
  EXPECT_EQ(Dzv({"profile", "set", "--user", "u.dict", "S", "a,b.c=d", "v"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "u.dict", "S.a<comma>b<dot>c<equal>d"}).out, "v\n");
  EXPECT_EQ(Dzv({"profile", "list", "--user", "u.dict", "S"}).out,
            "user     a<comma>b<dot>c<equal>d=v\n");
  EXPECT_EQ(Dzv({"profile", "get", "--user", "u.dict", "S", "a<comma>b<dot>c<equal>d"}).out, "v\n");
  // 250 bytes of section, "." and five "," escaped to 35 bytes: 286.
  const Result longer =
      Dzv({"profile", "set", "--user", "u.dict", std::string(250, 's'), ",,,,,", "v"});
  EXPECT_EQ(longer.status, 1);
  EXPECT_THAT(longer.err, HasSubstr("its key would have 286 bytes"));
}

// ---- Model files -----------------------------------------------------------

TEST_F(DzvTest, ModelStatsCountsKindsNestingAndTheFinalLevel) {
  const Result r = Dzv({"model", "stats", DZV_SOURCE_DIR "/examples/data/orders.mdl"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("final level: 0\n"));
  EXPECT_THAT(r.out, HasSubstr("State_Machine object                 9         1\n"));
  EXPECT_THAT(r.out, HasSubstr("Operation object                     3         6\n"));

  // A file cut short is left open; one with a stray ")" falls below 0.
  Write("open.mdl", "(object Petal\n    version \t47\n(object Design \"x\"\n    a (list b)\n");
  const Result open = Dzv({"model", "stats", "open.mdl"});
  EXPECT_THAT(open.out, HasSubstr("4 lines\n"));
  EXPECT_THAT(open.out, HasSubstr("deepest nesting: 2\n"));
  EXPECT_THAT(open.out, HasSubstr("final level: 2 (unbalanced: 2 left open)\n"));
  Write("closed.mdl", "(a)\r\n)\r\n(b\r\n");
  const Result closed = Dzv({"model", "stats", "closed.mdl"});
  EXPECT_THAT(closed.out, HasSubstr("final level: 0\n"));
  EXPECT_THAT(closed.out, HasSubstr("the level first falls below 0 at line 2\n"));

  const Result missing = Dzv({"model", "stats", "absent.mdl"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("absent.mdl: no such file"));
}

TEST_F(DzvTest, ModelOutlineIndentsObjectsByLevel) {
  Write("m.mdl",
        "(object Petal\n"
        "    version \t47)\n"
        "(object Design \"Logical View\"\n"
        "    root \t(object Class_Category \"Top\"\n"
        "\tdocumentation \t\"not (object x\"\n"
        "|(object Text \"in a text\"\n"
        "\titems \t(list x\n"
        "\t    (object Class \"A\")))\n"
        "    machine \t(object State_Machine \"Life\"))\n");
  const Result r = Dzv({"model", "outline", "--line-numbers", "m.mdl"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "1: Petal\n"
            "3: Design \"Logical View\"\n"
            "4:   Class_Category \"Top\"\n"
            "8:       Class \"A\"\n"
            "9:   State_Machine \"Life\"\n");
}

TEST_F(DzvTest, ModelProgressGoesToStandardErrorOnly) {
  const std::string file = DZV_SOURCE_DIR "/examples/data/orders.mdl";
  const Result quiet = Dzv({"model", "stats", file});
  const Result bar = Dzv({"model", "stats", "--progress", file});
  EXPECT_EQ(bar.out, quiet.out);
  EXPECT_EQ(quiet.err, "");
  EXPECT_THAT(bar.err, HasSubstr("100%"));
}

TEST_F(DzvTest, RealModelFilesBalanceAndEveryLineIsCounted) {
  const std::filesystem::path dir = SharedDataDir() / "rose";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no model files in " << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".mdl") continue;
    const std::string bytes = ReadFileBytes(entry.path());
    const Result r = Dzv({"model", "stats", entry.path()});
    ASSERT_EQ(r.status, 0) << entry.path();
    const auto lines = std::count(bytes.begin(), bytes.end(), '\n');
    EXPECT_THAT(r.out, HasSubstr(": " + std::to_string(lines) + " lines\n")) << entry.path();
    EXPECT_THAT(r.out, HasSubstr("final level: 0\n")) << entry.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

// ---- Registry ----------------------------------------------------------------

TEST_F(DzvTest, RegistryValuesRoundTripAndMissingKeysAreNamed) {
  const std::string key = "HKCU\\Software\\Acme\\Orders";
  EXPECT_EQ(Dzv({"registry", "write", key, "Server", "db1"}).status, 0);
  EXPECT_EQ(Dzv({"registry", "write", "HKEY_CURRENT_USER\\Software\\Acme\\Orders", "Port", "1521"})
                .status,
            0);
  EXPECT_EQ(Dzv({"registry", "list", key}).out, "Server\nPort\n");
  EXPECT_EQ(Dzv({"registry", "read", "hkcu\\software\\acme\\orders", "server"}).out, "db1\n");
  EXPECT_EQ(Dzv({"registry", "read", "--raw", key, "Port"}).out, std::string("1521\0", 5));
  // The roots are separate trees.
  EXPECT_EQ(Dzv({"registry", "read", "HKLM\\Software\\Acme\\Orders", "Server"}).status, 1);

  const Result no_value = Dzv({"registry", "read", key, "Nope"});
  EXPECT_EQ(no_value.status, 1);
  EXPECT_THAT(no_value.err, HasSubstr(key + ": no value 'Nope'"));
  const Result no_key = Dzv({"registry", "read", key + "\\Deeper", "Server"});
  EXPECT_EQ(no_key.status, 1);
  EXPECT_THAT(no_key.err, HasSubstr(key + "\\Deeper: no such registry key"));

  EXPECT_EQ(Dzv({"registry", "delete", key, "Port"}).status, 0);
  EXPECT_EQ(Dzv({"registry", "list", key}).out, "Server\n");
  EXPECT_EQ(Dzv({"registry", "delete", key, "Port"}).status, 1);
  EXPECT_EQ(Dzv({"registry", "delete-key", "HKCU\\Software\\Acme"}).status, 0);
  const Result gone = Dzv({"registry", "list", key});
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, HasSubstr("no such registry key"));
  EXPECT_EQ(Dzv({"registry", "delete-key", "HKCU\\Software\\Acme"}).status, 1);
}

TEST_F(DzvTest, ARegistryThatCannotBeOpenedIsSaidSo) {
  Write("config", "a file where the registry's directory should be");
  const Result r = Dzv({"registry", "read", "HKCU\\Software", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("the registry (" + File("config") +
                               "/duduzuvez210/registry.db) cannot be opened"));
  EXPECT_EQ(Dzv({"registry", "write", "HKCU\\Software", "x", "y"}).status, 1);

  // A place that is not the user's own alone: the path and the reason.
  const std::string dir = File("config") + "/duduzuvez210";
  ASSERT_EQ(unlink(File("config").c_str()), 0);
  ASSERT_EQ(mkdir(File("config").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  const struct {
    std::function<void()> make;
    std::string reason;
  } places[] = {
      {[&] { EXPECT_EQ(chmod(dir.c_str(), 0777), 0); }, dir + " may be written by other users"},
      {[&] {
         EXPECT_EQ(chmod(dir.c_str(), 0700), 0);
         EXPECT_EQ(symlink(File("elsewhere.db").c_str(), (dir + "/registry.db").c_str()), 0);
       },
       dir + "/registry.db is a symbolic link"},
  };
  for (const auto& place : places) {
    place.make();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"registry", "write", "HKCU\\Software", "x", "y"},
          {"registry", "read", "HKCU\\Software", "x"}}) {
      const Result r = Dzv(args);
      EXPECT_EQ(r.status, 1) << args[1];
      EXPECT_THAT(r.err, HasSubstr(place.reason)) << args[1];
    }
  }
  EXPECT_FALSE(dzv::testing::FileExists(File("elsewhere.db"))) << "the link was followed";
}

TEST_F(DzvTest, ARegistryLockedByAnotherProcessIsSaidSo) {
  const std::string key = "HKCU\\Software\\Acme";
  ASSERT_EQ(Dzv({"registry", "write", key, "v", "1"}).status, 0);
  const std::string database = File("config") + "/duduzuvez210/registry.db";
  {
    // Another process's write transaction: reads go on, writes wait the
    // library's 10 s and fail.
    dzv::testing::SqliteLockHolder writer(database,
                                          "BEGIN IMMEDIATE; DELETE FROM reg_value "
                                          "WHERE 0");
    ASSERT_TRUE(writer.holding());
    const Run deleting = Start({"registry", "delete", key, "v"}, "", "1");
    const Run writing = Start({"registry", "write", key, "w", "2"}, "", "2");
    EXPECT_EQ(Dzv({"registry", "read", key, "v"}).out, "1\n");
    for (const Run& run : {deleting, writing}) {
      const Result r = Finish(run);
      EXPECT_EQ(r.status, 1);
      EXPECT_THAT(r.err, HasSubstr("the registry (" + database + ") is locked by another process"));
    }
  }
  EXPECT_EQ(Dzv({"registry", "delete", key, "v"}).status, 0);
}

// ---- Desktop and credentials ---------------------------------------------

TEST_F(DzvTest, ClipboardTextRoundTripsFromArgumentsAndInput) {
  EXPECT_EQ(Dzv({"clipboard", "set", "Order 4711"}).status, 0);
  EXPECT_EQ(Dzv({"clipboard", "get"}).out, "Order 4711\n");
  EXPECT_EQ(Dzv({"clipboard", "set"}, "two\nlines").status, 0);
  EXPECT_EQ(Dzv({"clipboard", "get", "--raw"}).out, "two\nlines");
  EXPECT_EQ(Dzv({"clipboard", "set", ""}).status, 0);
  EXPECT_EQ(Dzv({"clipboard", "get"}).out, "\n");
}

TEST_F(DzvTest, AClipboardHeldByAnotherProcessIsReportedAsAFailure) {
  const std::string store = File("runtime") + "/duduzuvez210";
  ASSERT_EQ(Dzv({"clipboard", "set", "before"}).status, 0);  // makes the store
  const std::string command =
      std::string(DZV_CLIPBOARD_HOLDER) + " " + store + " hold > " + File("held");
  std::FILE* holder = popen(command.c_str(), "w");
  ASSERT_NE(holder, nullptr);
  for (int i = 0; i < 500 && ReadFileBytes(File("held")) != "held\n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(ReadFileBytes(File("held")), "held\n");
  const Result set = Dzv({"clipboard", "set", "after"});
  const Result get = Dzv({"clipboard", "get"});
  pclose(holder);
  EXPECT_EQ(set.status, 1);
  EXPECT_THAT(set.err, HasSubstr("the clipboard refused the text"));
  EXPECT_EQ(get.status, 1);
  EXPECT_EQ(Dzv({"clipboard", "get"}).out, "before\n");
}

TEST_F(DzvTest, DialogsWithoutADesktopSayWhy) {
  for (const char* dialog : {"open", "folder"}) {
    const Result r = Dzv({"dialog", dialog, "--title", "Pick"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("there is no desktop"));
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(DzvTest, CredentialsStatusFollowsTheLibrarySearchPath) {
  env_["LD_LIBRARY_PATH"] = DZV_FAKES_DIR "/none";
  const Result none = Dzv({"credentials", "status"});
  EXPECT_EQ(none.status, 0);
  EXPECT_THAT(none.out, HasSubstr("devidoz.dll):    not found"));
  EXPECT_THAT(none.out, HasSubstr("Oci.dll):     not found"));
  env_["LD_LIBRARY_PATH"] = DZV_FAKES_DIR "/sibling:" DZV_FAKES_DIR "/oci";
  const Result both = Dzv({"credentials", "status"});
  EXPECT_THAT(both.out, HasSubstr("devidoz.dll):    available"));
  EXPECT_THAT(both.out, HasSubstr("Oci.dll):     available"));
}

TEST_F(DzvTest, AFullStandardOutputIsAFailure) {
  Write("a.dict", Archive({{"k", "v"}}));
  const std::string command =
      std::string(DZV_CLI_PATH) + " dict show " + File("a.dict") + " > /dev/full 2> " + File("err");
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_THAT(ReadFileBytes(File("err")), HasSubstr("could not write to standard output"));
}

}  // namespace
