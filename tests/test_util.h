// Helpers shared by the tests.
#ifndef DZV_TESTS_TEST_UTIL_H_
#define DZV_TESTS_TEST_UTIL_H_

#include <sys/types.h>

#include <functional>
#include <initializer_list>
#include <set>
#include <string>

namespace dzv::testing {

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

// Whole-file helpers for checking what the library wrote.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names in a directory, without "." and ".."; empty when it cannot be
// read.
std::set<std::string> Listing(const std::string& dir);

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
