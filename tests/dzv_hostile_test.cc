// dzv given malformed and unusual inputs, all made here at run time:
// archives cut at every length, absurd counts and length prefixes, UTF-16
// strings that do not add up, random bytes, odd texts and model files,
// directories, FIFOs, devices, links that lead nowhere, and files the user
// may not read. Whatever the input, dzv must end by itself (no signal, no
// hang) with 0 or 1, and a failure must be explained on standard error with
// the name of the file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "test_util.h"

#ifndef _WIN32
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#else
#include <windows.h>
// The users of POSIX, which only the Linux tests change.
using uid_t = int;
using gid_t = int;
#endif

namespace {

using ::dzv::testing::ReadFileBytes;
using ::dzv::testing::TempDir;
using ::dzv::testing::WriteFileBytes;

// Long enough for a sanitizer build on a busy machine; a run that takes it is
// a hang.
constexpr auto kHang = std::chrono::seconds(20);

struct Outcome {
  bool hung = false;
  std::string crashed;  // how dzv was ended when it did not exit (a signal)
  int status = -1;
  std::string err;
};

class HostileInputs : public ::testing::Test {
 protected:
  HostileInputs() {
    std::filesystem::create_directory(dir_.File("runtime"));
    WriteFileBytes(dir_.File("good.dict"), GoodArchive());
  }

  // Runs dzv in the test's directory, with nothing on its standard input,
  // as `uid` when that is not -1.
  Outcome Run(const std::vector<std::string>& args, uid_t uid = static_cast<uid_t>(-1),
              gid_t gid = 0) {
    std::vector<std::string> words = {DZV_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::map<std::string, std::optional<std::string>> changes = {
        {"XDG_CONFIG_HOME", dir_.File("config")},
        {"XDG_RUNTIME_DIR", dir_.File("runtime")},
        {"DISPLAY", std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt}};
    const std::string in = dir_.File(".in"), out = dir_.File(".out"), err = dir_.File(".err");
    WriteFileBytes(in, "");
    Outcome outcome;
    const auto run = [&] {
      ::dzv::testing::ChildProcess child(words, ::dzv::testing::EnvironmentWith(changes),
                                         dir_.path(), in, out, err);
      if (!child.started()) return 127;
      const ::dzv::testing::ChildProcess::End end = child.Wait(kHang);
      outcome.hung = end.hung;
      outcome.crashed = end.crashed;
      return end.status;
    };
#ifndef _WIN32
    if (uid != static_cast<uid_t>(-1)) {
      // As that user, in a child of its own; what ended dzv comes back as
      // its status: 124 a hang, 125 a signal.
      std::remove(err.c_str());
      const int status = ::dzv::testing::RunAsUser(uid, gid, [&] {
        const int ended = run();
        return outcome.hung ? 124 : !outcome.crashed.empty() ? 125 : ended;
      });
      outcome.hung = status == 124;
      if (status == 125) outcome.crashed = "a signal";
      outcome.status = status == 124 || status == 125 ? -1 : status;
      outcome.err = ReadFileBytes(err);
      return outcome;
    }
#else
    static_cast<void>(uid), static_cast<void>(gid);
#endif
    outcome.status = run();
    if (outcome.status == 127 && !outcome.hung) ADD_FAILURE() << "cannot start " << words[0];
    outcome.err = ReadFileBytes(err);
    return outcome;
  }

  // Runs every command on `input` and records what was wrong; the first few
  // problems are reported in full, and the test fails if there was any.
  void RunAll(const std::string& input, const std::vector<std::vector<std::string>>& commands,
              uid_t uid = static_cast<uid_t>(-1), gid_t gid = 0) {
    for (std::vector<std::string> command : commands) {
      for (std::string& word : command) {
        if (word == "@") word = input;
      }
      std::filesystem::remove(dir_.File("o.dict"));
      std::filesystem::remove(dir_.File("o.txt"));
      const Outcome r = Run(command, uid, gid);
      std::string line = ::testing::PrintToString(command) + ": ";
      std::string problem;
      if (r.hung) {
        problem = "did not end within the time limit";
      } else if (!r.crashed.empty()) {
        problem = "ended by " + r.crashed;
      } else if (r.status != 0 && r.status != 1) {
        problem = "exit status " + std::to_string(r.status);
      } else if (r.status == 1 && r.err.find(input) == std::string::npos) {
        problem = "failed without naming the file";
      }
      if (problem.empty() && (r.err.find("Sanitizer") != std::string::npos ||
                              r.err.find("runtime error") != std::string::npos)) {
        problem = "a sanitizer reported a fault";
      }
      ++runs_;
      if (!problem.empty() && ++problems_ <= 10) {
        ADD_FAILURE() << line << problem << "\nstderr: " << r.err.substr(0, 2000);
      }
    }
  }

  void TearDown() override {
    EXPECT_EQ(problems_, 0) << problems_ << " of " << runs_ << " runs went wrong";
    std::printf("%d runs of dzv\n", runs_);
  }

  std::string Make(const std::string& name, const std::string& bytes) {
    WriteFileBytes(dir_.File(name), bytes);
    return name;
  }

  // A valid archive of four items that uses every form of length: short,
  // the long 16-bit form, and a UTF-16 key.
  static std::string GoodArchive() {
    std::string bytes("\x04\x00", 2);
    bytes += std::string("\x01k\x02v1", 5);
    bytes += "\x0cWindow.Title";
    bytes += std::string("\x0a") + "T\x1cHello\x1d" + "..";
    bytes += std::string(
        "\xff\xfe\xff\x03"
        "a\0b\0c\0",
        10);
    bytes += std::string(
        "\xff\x05\x00"
        "hello",
        8);
    bytes += "\x05S.one\x03val";
    return bytes;
  }

  TempDir dir_;
  int runs_ = 0;
  int problems_ = 0;
};

const std::vector<std::vector<std::string>> kArchiveCommands = {
    {"dict", "show", "@"},
    {"dict", "show", "--text", "@"},
    {"dict", "get", "@", "k"},
    {"dict", "export", "@", "o.txt"},
    {"dict", "merge", "@", "good.dict", "o.dict"},
    {"dict", "merge", "good.dict", "@", "o.dict"},
    {"dict", "attr", "@", "Window", "Title"},
    {"profile", "list", "--user", "@", "S"},
    {"profile", "list", "--default", "@", "S"},
};
const std::vector<std::vector<std::string>> kTextCommands = {
    {"dict", "import", "@", "o.dict"},
    {"dict", "import", "--add", "@", "good.dict"},
};
const std::vector<std::vector<std::string>> kModelCommands = {
    {"model", "stats", "@"},
    {"model", "outline", "--line-numbers", "@"},
};

std::vector<std::vector<std::string>> EveryCommand() {
  std::vector<std::vector<std::string>> all = kArchiveCommands;
  all.insert(all.end(), kTextCommands.begin(), kTextCommands.end());
  all.insert(all.end(), kModelCommands.begin(), kModelCommands.end());
  return all;
}

std::string RandomBytes(size_t n, std::mt19937& random) {
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

TEST_F(HostileInputs, ArchivesCutAtEveryLength) {
  const std::string good = GoodArchive();
  // The whole archive first: every command works on it.
  for (const auto& command : kArchiveCommands) {
    std::vector<std::string> words = command;
    for (std::string& word : words) {
      if (word == "@") word = "good.dict";
    }
    const Outcome r = Run(words);
    EXPECT_EQ(r.status, 0) << ::testing::PrintToString(words) << r.err;
  }
  for (size_t length = 0; length < good.size(); ++length) {
    RunAll(Make("cut-" + std::to_string(length) + ".dict", good.substr(0, length)),
           {kArchiveCommands[0], kArchiveCommands[2], kArchiveCommands[4], kArchiveCommands[6],
            kArchiveCommands[7]});
  }
}

TEST_F(HostileInputs, ArchivesWithAbsurdCountsAndLengths) {
  const std::string item = Bytes({1, 'k', 1, 'v'});
  std::string many_empty = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F});
  for (int i = 0; i < 200000; ++i) many_empty += std::string(2, '\0');
  const std::vector<std::pair<std::string, std::string>> files = {
      {"count-ffffffff", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) + item},
      {"count-ends-in-long-form", Bytes({0xFF, 0xFF, 0x01})},
      {"count-fffe", Bytes({0xFE, 0xFF}) + item},
      {"count-7fffffff-many-empty", many_empty},
      {"length-ends-after-ff", Bytes({1, 0, 0xFF})},
      {"length-ends-in-16-bits", Bytes({1, 0, 0xFF, 0x10})},
      {"length-ffffffff", Bytes({1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) + "abc"},
      {"length-7fffffff", Bytes({1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}) + "abc"},
      {"length-fffd", Bytes({1, 0, 0xFF, 0xFD, 0xFF}) + "abc"},
      {"value-length-ffffffff", Bytes({1, 0, 1, 'k', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {"wide-odd-bytes", Bytes({1, 0, 0xFF, 0xFE, 0xFF, 3, 'a', 0, 'b'})},
      {"wide-length-ffffffff",
       Bytes({1, 0, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0})},
      {"wide-length-7fffffff",
       Bytes({1, 0, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0})},
      {"wide-marker-twice", Bytes({1, 0, 0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 1, 'a', 0, 1, 'v'})},
      {"wide-marker-at-end", Bytes({1, 0, 0xFF, 0xFE, 0xFF})},
      {"wide-lone-surrogate", Bytes({1, 0, 0xFF, 0xFE, 0xFF, 1, 0x00, 0xD8, 1, 'v'})},
      {"wide-reversed-pair", Bytes({1, 0, 0xFF, 0xFE, 0xFF, 2, 0x00, 0xDC, 0x00, 0xD8, 1, 'v'})},
      {"wide-zero-character", Bytes({1, 0, 0xFF, 0xFE, 0xFF, 3, 'a', 0, 0, 0, 'b', 0, 1, 'v'})},
      {"wide-value-noncharacter", Bytes({1, 0, 1, 'k', 0xFF, 0xFE, 0xFF, 1, 0xFF, 0xFF})},
      {"bytes-after-the-last-item", GoodArchive() + std::string(100, '\xFF')},
      {"zero-bytes-in-strings", Bytes({1, 0, 3, 'a', 0, 'b', 3, 0, 0, 0})},
  };
  for (const auto& [name, bytes] : files) RunAll(Make(name + ".dict", bytes), EveryCommand());
}

TEST_F(HostileInputs, RandomBytes) {
  std::mt19937 random(20261208);
  for (int i = 0; i < 12; ++i) {
    const size_t size = i < 4 ? static_cast<size_t>(i + 1) : (random() % 8192) + 1;
    std::string bytes = RandomBytes(size, random);
    if (i % 3 == 0 && bytes.size() >= 2) bytes[0] = 3, bytes[1] = 0;  // a plausible count
    RunAll(Make("random-" + std::to_string(i), bytes), EveryCommand());
  }
}

TEST_F(HostileInputs, OddTextForms) {
  std::mt19937 random(7);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"nul-inside.txt", std::string("a=1\r\nb\0=2\r\nc=3\r\n", 16)},
      {"no-final-newline.txt", "a=1\r\nb=2"},
      {"long-line.txt", "k=" + std::string(200000, 'x') + "\r\n"},
      {"long-key.txt", std::string(100000, 'k') + "=v\r\n"},
      {"only-equals.txt", "=\r\n=\r\n="},
      {"no-equals.txt", "hello\nworld\n"},
      {"cr-only.txt", "a=1\rb=2\r"},
      {"empty.txt", ""},
      {"binary.txt", RandomBytes(4096, random)},
      {"many-short-lines.txt",
       [] {
         std::string text;
         for (int i = 0; i < 50000; ++i) text += "k" + std::to_string(i) + "=\n";
         return text;
       }()},
  };
  for (const auto& [name, bytes] : files) {
    RunAll(Make(name, bytes),
           {kTextCommands[0], kTextCommands[1], kArchiveCommands[0], kModelCommands[0]});
  }
}

TEST_F(HostileInputs, OddModelFiles) {
  std::mt19937 random(11);
  std::string opened, closed;
  for (int i = 0; i < 2000; ++i) opened += "(object Class \"C" + std::to_string(i) + "\"\n";
  for (int i = 0; i < 2000; ++i) closed += "))\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"never-closed.mdl", opened},
      {"closed-too-often.mdl", closed},
      {"nul-bytes.mdl", std::string("(object Class \"a\0b\"\n\0\0)\n", 24)},
      {"one-megabyte-line.mdl", std::string(1 << 20, '(')},
      {"one-megabyte-name.mdl", "(object Class \"" + std::string(1 << 20, 'a') + "\"\n)\n"},
      {"long-name.mdl", "(object Class \"" + std::string(1000, 'n') + "\" (object Attribute \"" +
                            std::string(400, 'm') + "\"))\n"},
      {"unterminated-quote.mdl", "(object Class \"abc\n  documentation \"x\n)\n"},
      {"continuation-lines.mdl", "(object Class \"a\"\n|(((((\n|\"\n)\n"},
      {"crlf-and-tabs.mdl", "\t(object\tClass\t\"a\"\r\n\t)\r\n"},
      {"binary.mdl", RandomBytes(65536, random)},
      {"empty.mdl", ""},
  };
  for (const auto& [name, bytes] : files) {
    RunAll(Make(name, bytes), {kModelCommands[0], kModelCommands[1], kArchiveCommands[0]});
  }
}

#ifdef _WIN32
TEST_F(HostileInputs, DirectoriesDevicesAndPipes) {
  std::filesystem::create_directory(dir_.File("a-directory"));
  // A pipe of this process's that nobody reads or writes.
  const std::string pipe = "\\\\.\\pipe\\dzv-hostile-" + std::to_string(GetCurrentProcessId());
  const HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                         PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  for (const std::string& input :
       std::vector<std::string>{"a-directory", "no-such-directory\\x.dict", "NUL", "CON", pipe}) {
    RunAll(input, EveryCommand());
  }
  CloseHandle(server);
}
#endif

TEST_F(HostileInputs, DirectoriesDevicesFifosAndLinks) {
  DZV_LINUX_ONLY("FIFOs, sockets, symbolic links and /dev; Windows: DirectoriesDevicesAndPipes");
#ifndef _WIN32
  mkdir(dir_.File("a-directory").c_str(), 0700);
  ASSERT_EQ(mkfifo(dir_.File("a-fifo").c_str(), 0600), 0);
  symlink("nowhere", dir_.File("dangling-link").c_str());
  symlink("loop-b", dir_.File("loop-a").c_str());
  symlink("loop-a", dir_.File("loop-b").c_str());
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = dir_.File("a-socket");
  bool have_socket = false;
  if (sock >= 0 && socket_path.size() < sizeof address.sun_path) {
    std::strcpy(address.sun_path, socket_path.c_str());
    have_socket = bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  std::vector<std::string> inputs = {
      "a-directory", "a-fifo",   "dangling-link", "loop-a", "no-such-directory/x.dict",
      "/dev/null",   "/dev/zero"};
  if (have_socket) inputs.push_back("a-socket");
  for (const std::string& input : inputs) RunAll(input, EveryCommand());
  if (sock >= 0) close(sock);
#endif
}

TEST_F(HostileInputs, FilesTheUserMayNotRead) {
  DZV_LINUX_ONLY("users and permission bits of POSIX");
#ifndef _WIN32
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root, to run dzv as nobody";
  // nobody may enter the directory and write there, but not read the files.
  ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
  const std::string archive = Make("secret.dict", GoodArchive());
  const std::string text = Make("secret.txt", "a=1\r\n");
  const std::string model = Make("secret.mdl", "(object Class \"a\"\n)\n");
  for (const std::string& name : {archive, text, model, std::string("good.dict")}) {
    ASSERT_EQ(chmod(dir_.File(name).c_str(), name == "good.dict" ? 0644 : 0), 0);
  }
  const Outcome probe = Run({"dict", "show", "good.dict"}, nobody->pw_uid, nobody->pw_gid);
  if (probe.status == 126 || probe.status == 127) {
    GTEST_SKIP() << "cannot run dzv as nobody here";
  }
  ASSERT_EQ(probe.status, 0) << "nobody can read an ordinary file: " << probe.err;
  for (const std::string& input : {archive, text, model}) {
    RunAll(input, EveryCommand(), nobody->pw_uid, nobody->pw_gid);
    const Outcome r = Run({"dict", "show", input}, nobody->pw_uid, nobody->pw_gid);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
  }
#endif
}

}  // namespace
