// The helpers of test_util.h that use POSIX: child processes, users,
// temporary directories, a process holding SQLite locks.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "test_util.h"

extern char** environ;

namespace dzv::testing {

namespace {
constexpr const char kChildMarker[] = "DZV_TEST_CHILD";
}

bool InChildProcess(std::initializer_list<const char*> environment) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(info->test_suite_name()) + "." + info->name();
  const char* marker = std::getenv(kChildMarker);
  if (marker != nullptr && name == marker) return true;

  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool replaced = entry.rfind(std::string(kChildMarker) + "=", 0) == 0;
    for (const char* add : environment) {
      std::string var(add, std::string(add).find('=') + 1);
      if (entry.rfind(var, 0) == 0) replaced = true;
    }
    if (!replaced) env.push_back(entry);
  }
  for (const char* add : environment) env.emplace_back(add);
  env.push_back(std::string(kChildMarker) + "=" + name);

  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string filter = "--gtest_filter=" + name;
  std::string self = std::filesystem::read_symlink("/proc/self/exe");
  std::vector<char*> argv = {self.data(), filter.data(), nullptr};
  pid_t pid;
  int rc = posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), envp.data());
  EXPECT_EQ(rc, 0) << "cannot start the child process";
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the test failed in its child process (" << name << ")";
  return false;
}

int RunAsUser(uid_t uid, gid_t gid, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 ||
        setresuid(uid, uid, uid) != 0) {
      _exit(126);
    }
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return 127;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}

ScopedEnvironment::~ScopedEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->second) {
      setenv(it->first.c_str(), it->second->c_str(), 1);
    } else {
      unsetenv(it->first.c_str());
    }
  }
}

void ScopedEnvironment::Set(const std::string& name, const std::optional<std::string>& value) {
  const char* old = std::getenv(name.c_str());
  saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
}

WithoutDesktop::WithoutDesktop() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) environment_.Set(name, std::nullopt);
}

bool WithLibrarySearchPath(const std::string& dir) {
  const std::string setting = "LD_LIBRARY_PATH=" + dir;
  return InChildProcess({setting.c_str()});
}

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "dzv-test-XXXXXX").string();
  char* made = mkdtemp(templ.data());
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = made;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

SqliteLockHolder::SqliteLockHolder(const std::string& path, const std::string& sql) {
  int ready[2], release[2];
  if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(release, O_CLOEXEC) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(ready[0]);
    close(release[1]);
    sqlite3* db = nullptr;
    char answer = 'E';
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) {
      answer = 'R';
    }
    if (write(ready[1], &answer, 1) != 1) _exit(1);
    char byte;
    while (read(release[0], &byte, 1) > 0) {
    }
    _exit(0);  // the locks go with the process
  }
  close(ready[1]);
  close(release[0]);
  release_ = release[1];
  char answer = 0;
  holding_ = read(ready[0], &answer, 1) == 1 && answer == 'R';
  close(ready[0]);
}

SqliteLockHolder::~SqliteLockHolder() {
  if (release_ >= 0) close(release_);
  if (pid_ > 0) waitpid(pid_, nullptr, 0);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment,
                           const std::string& directory, const std::string& in,
                           const std::string& out, const std::string& err) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOCTTY,
                                   0600);
  if (err == out) {
    posix_spawn_file_actions_adddup2(&files, 1, 2);
  } else {
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  posix_spawn_file_actions_addchdir_np(&files, directory.c_str());
  std::vector<std::string> words = argv, entries = environment;
  std::vector<char*> args, envp;
  for (std::string& word : words) args.push_back(word.data());
  args.push_back(nullptr);
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &files, nullptr, args.data(), envp.data()) == 0) id_ = pid;
  posix_spawn_file_actions_destroy(&files);
}

ChildProcess::~ChildProcess() {
  if (id_ == -1) return;
  kill(static_cast<pid_t>(id_), SIGKILL);
  waitpid(static_cast<pid_t>(id_), nullptr, 0);
}

ChildProcess::End ChildProcess::Wait(std::chrono::milliseconds limit) {
  End end;
  if (id_ == -1) return end;
  const pid_t pid = static_cast<pid_t>(id_);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      end.hung = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  id_ = -1;
  if (end.hung) return end;
  if (WIFEXITED(status)) end.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) {
    end.crashed =
        "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  }
  return end;
}

std::vector<std::string> EnvironmentWith(
    const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (changes.count(entry.substr(0, entry.find('='))) == 0) environment.push_back(entry);
  }
  for (const auto& [name, value] : changes) {
    if (value) environment.push_back(name + "=" + *value);
  }
  return environment;
}

}  // namespace dzv::testing
