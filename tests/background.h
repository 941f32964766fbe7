// A program running beside a test, for the tests of the desktop services.
#ifndef DZV_TESTS_BACKGROUND_H_
#define DZV_TESTS_BACKGROUND_H_

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace dzv::testing {

// A program running beside the test in a process group of its own, ended
// with the whole group when the test is done with it; `fd3`, when given,
// becomes its descriptor 3.
class Background {
 public:
  explicit Background(const std::vector<std::string>& argv, int fd3 = -1) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    if (fd3 >= 0) posix_spawn_file_actions_adddup2(&fa, fd3, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &fa, &attr, args.data(), environ) != 0) pid_ = 0;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
  }
  ~Background() { Stop(); }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  bool started() const { return pid_ != 0; }
  pid_t pid() const { return pid_; }
  // Asks the group to end, and kills it when it has not after a while.
  void Stop() {
    if (pid_ == 0) return;
    kill(-pid_, SIGTERM);
    for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) poll(nullptr, 0, 20);
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
};

// A line from `fd` without its line end, or what came before `timeout_ms`
// passed or the descriptor closed.
inline std::string ReadLine(int fd, int timeout_ms) {
  std::string line;
  pollfd p = {fd, POLLIN, 0};
  char c;
  while (poll(&p, 1, timeout_ms) == 1 && read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

}  // namespace dzv::testing

#endif  // DZV_TESTS_BACKGROUND_H_
