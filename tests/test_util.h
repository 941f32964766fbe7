// Helpers shared by the tests.
#ifndef DZV_TESTS_TEST_UTIL_H_
#define DZV_TESTS_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionary/string_map.h"
#include "duduzuvez210.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"

// Skips a test that applies to Linux only, saying why, when it runs against
// dzv.exe on Windows; the code after it is Linux's.
#ifdef _WIN32
#define DZV_LINUX_ONLY(why) GTEST_SKIP() << "Linux only: " << why
#else
#define DZV_LINUX_ONLY(why) static_cast<void>(0)
#endif

namespace dzv::testing {

// Items as (key, value) pairs, in the order a test states or reads them.
using Items = std::vector<std::pair<std::string, std::string>>;

// Every item of `map`, in its enumeration order.
Items ItemsOf(const dict::CMapStringToString& map);
// Every item of the dictionary `h`, in its enumeration order (without
// touching its shared enumeration position); empty for an invalid handle.
Items ItemsOf(int32_t h);

// A dictionary created for one test and freed after it.
class Dict {
 public:
  Dict() : h_(DictionaryNew("TEST")) {}
  explicit Dict(const Items& items) : Dict() {
    for (const auto& [k, v] : items) Add(k, v);
  }
  ~Dict() { DictionaryFree(h_); }
  Dict(const Dict&) = delete;
  Dict& operator=(const Dict&) = delete;

  int32_t h() const { return h_; }
  void Add(const std::string& k, const std::string& v) {
    ASSERT_EQ(DictionaryItemAdd(h_, k.c_str(), v.c_str()), 1);
  }
  const dict::CMapStringToString& map() const;
  // Every item, in enumeration order.
  Items items() const { return ItemsOf(map()); }

 private:
  int32_t h_;
};

// The lead bytes of code page 932 (Shift JIS), written out here rather than
// taken from the library: 0x81 to 0x9F and 0xE0 to 0xFC.
platform::LeadByteTable Cp932();

// The folder of the data shared with other projects (real model files and
// the like): the environment's DZV_SHARED_DATA_DIR when set and not empty,
// else the one beside the checkout. It may not exist; tests that need it
// skip then.
std::filesystem::path SharedDataDir();

// Runs the current test again in a fresh process of this binary, with the
// given environment settings ("NAME=value") added, so that the library's
// load-time set-up sees them. Returns true in that child process, where the
// caller goes on with the test's body; in the parent it waits for the child,
// records a failure unless the child's test passed, and returns false.
//
//   TEST(CodePage, Sjis) {
//     if (!dzv::testing::InChildProcess({"LC_ALL=ja_JP.SJIS"})) return;
//     ... assertions that run under code page 932 ...
//   }
bool InChildProcess(std::initializer_list<const char*> environment);

#if !defined(_WIN32)
// Runs `body` in a forked child process as the user `uid` with the group
// `gid` and no other groups, and returns the child's exit status: what
// `body` returned (keep it within 0..125), 126 when the process could not
// become that user (it is not root), 127 when the child died. `body` reports
// through its result, not through test assertions.
int RunAsUser(uid_t uid, gid_t gid, const std::function<int()>& body);

// Environment variables set for a while: each is restored at destruction
// to what it was before the first Set, in reverse order.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  // Sets `name` to `value`, or unsets it for std::nullopt.
  void Set(const std::string& name, const std::optional<std::string>& value);

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// While it lives, the process sees no desktop: DISPLAY and WAYLAND_DISPLAY
// are unset, and restored at destruction.
class WithoutDesktop {
 public:
  WithoutDesktop();

 private:
  ScopedEnvironment environment_;
};
#endif

// InChildProcess with the platform's library search path set to `dir` alone,
// so that a library named without a directory is looked for there.
bool WithLibrarySearchPath(const std::string& dir);

// A fresh empty directory, removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A program started as a user starts it: in `directory`, with exactly
// `environment` ("NAME=value" entries), its standard input read from the
// file `in` and its standard output and error written to the files `out` and
// `err` (made or emptied first). When out and err name the same file (a
// terminal, say), it is opened once and shared.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& directory, const std::string& in, const std::string& out,
               const std::string& err);
  ~ChildProcess();  // kills and reaps a program still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return id_ != -1; }

  struct End {
    int status = -1;      // the exit status when the program exited by itself
    bool hung = false;    // still running after the limit, then killed
    std::string crashed;  // how it was ended otherwise (a signal, an exception)
  };
  // Waits for the program's end, at most `limit`.
  End Wait(std::chrono::milliseconds limit = std::chrono::minutes(5));

 private:
  intptr_t id_ = -1;  // the process id, or on Windows its handle
};

// This process's environment with `changes` made: a name given a value is
// set, a name given std::nullopt removed.
std::vector<std::string> EnvironmentWith(
    const std::map<std::string, std::optional<std::string>>& changes);

// Whole-file helpers for checking what the library wrote.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names in a directory, without "." and ".."; empty when it cannot be
// read.
std::set<std::string> Listing(const std::string& dir);

// Puts `bytes` as the data of `format` on the open clipboard `c`, in a new
// block; false, with the block freed, when the clipboard refuses it.
bool PutClipboardData(platform::Clipboard& c, uint32_t format, std::string_view bytes);
// The bytes of `format` on the open clipboard `c`; "<none>" when it holds
// none.
std::string ClipboardBytes(platform::Clipboard& c, uint32_t format);

#if !defined(_WIN32)
// Another process with its own SQLite connection to the database at path,
// which runs sql and then holds whatever locks that left it until the object
// is destroyed.
class SqliteLockHolder {
 public:
  SqliteLockHolder(const std::string& path, const std::string& sql);
  ~SqliteLockHolder();
  SqliteLockHolder(const SqliteLockHolder&) = delete;
  SqliteLockHolder& operator=(const SqliteLockHolder&) = delete;
  // True when the SQL ran and the process now holds its locks.
  bool holding() const { return holding_; }
  // The end of the pipe whose closing releases the process: a process forked
  // meanwhile must close its copy.
  int release_fd() const { return release_; }

 private:
  int pid_ = -1;
  int release_ = -1;
  bool holding_ = false;
};
#endif

}  // namespace dzv::testing

#endif  // DZV_TESTS_TEST_UTIL_H_
