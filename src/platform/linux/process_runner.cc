#include "platform/linux/process_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <new>

extern char** environ;

namespace dzv::platform {
namespace {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// Moves a descriptor that landed on 0, 1 or 2 (the caller had closed its
// standard files) above them, so that the program's standard files can be
// set up from it. The result is close-on-exec.
int AboveStandard(int fd) {
  if (fd < 0 || fd > 2) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Milliseconds left before `deadline` (never negative); -1 without one.
int Remaining(int64_t deadline) {
  if (deadline < 0) return -1;
  return static_cast<int>(std::max<int64_t>(0, deadline - NowMs()));
}

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// A null-terminated array of the strings' addresses, as exec takes them.
std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> out;
  out.reserve(strings.size() + 1);
  for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

class SpawnSetup {
 public:
  SpawnSetup() {
    actions_ok_ = posix_spawn_file_actions_init(&actions_) == 0;
    attr_ok_ = posix_spawnattr_init(&attr_) == 0;
  }
  ~SpawnSetup() {
    if (actions_ok_) posix_spawn_file_actions_destroy(&actions_);
    if (attr_ok_) posix_spawnattr_destroy(&attr_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool Prepare(int stdin_fd, int stdout_fd, bool new_session) {
    if (!actions_ok_ || !attr_ok_) return false;
    bool ok = true;
    ok &= (stdin_fd >= 0
               ? posix_spawn_file_actions_adddup2(&actions_, stdin_fd, 0)
               : posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0)) == 0;
    ok &= (stdout_fd >= 0
               ? posix_spawn_file_actions_adddup2(&actions_, stdout_fd, 1)
               : posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0)) == 0;
    ok &= posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors that the caller left inheritable must not reach a helper
    // that stays behind (a lock file kept open would never be released).
    ok &= posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
#endif
    sigset_t mask, defaults;
    sigemptyset(&mask);
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    // The program leads a process group of its own (a session of its own
    // leads one too), so that a timeout ends whatever it started as well.
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    flags |= new_session ? POSIX_SPAWN_SETSID : POSIX_SPAWN_SETPGROUP;
    ok &= posix_spawnattr_setpgroup(&attr_, 0) == 0;
    ok &= posix_spawnattr_setsigmask(&attr_, &mask) == 0;
    ok &= posix_spawnattr_setsigdefault(&attr_, &defaults) == 0;
    ok &= posix_spawnattr_setflags(&attr_, flags) == 0;
    return ok;
  }

  bool Spawn(const std::vector<std::string>& argv, const std::vector<std::string>* environment,
             pid_t* pid) {
    std::vector<char*> args = Pointers(argv);
    if (environment == nullptr) {
      return posix_spawn(pid, args[0], &actions_, &attr_, args.data(), environ) == 0;
    }
    std::vector<char*> env = Pointers(*environment);
    return posix_spawn(pid, args[0], &actions_, &attr_, args.data(), env.data()) == 0;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attr_;
  bool actions_ok_ = false;
  bool attr_ok_ = false;
};

// Kills the program's whole process group, which exists as long as the
// program is not reaped, and reaps the program.
void KillAndReap(pid_t pid) {
  if (kill(-pid, SIGKILL) != 0) kill(pid, SIGKILL);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// Waits for `pid` until `deadline` (-1: as long as it takes). Returns false
// on timeout, with the program still running.
bool Wait(pid_t pid, int64_t deadline, int* exit_code) {
  int pause_ms = 1;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, deadline < 0 ? 0 : WNOHANG);
    if (r == pid) {
      *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return true;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {  // ECHILD: SIGCHLD is ignored and the program was reaped.
      *exit_code = 0;
      return true;
    }
    const int left = Remaining(deadline);
    if (left == 0) return false;
    poll(nullptr, 0, std::min(pause_ms, left));
    pause_ms = std::min(pause_ms * 2, 50);
  }
}

}  // namespace

bool RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options,
                ProcessResult* result) {
  try {
    if (argv.empty()) return false;
    *result = ProcessResult{};
    Fd in_parent, in_child, out_parent, out_child;
    if (options.feed_input) {
      // A socket rather than a pipe: a program that exits without reading
      // its input must not raise SIGPIPE in the caller (MSG_NOSIGNAL).
      int sv[2];
      if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return false;
      in_parent.reset(AboveStandard(sv[0]));
      in_child.reset(AboveStandard(sv[1]));
      if (!in_parent.ok() || !in_child.ok()) return false;
    }
    if (options.capture_output) {
      int p[2];
      if (pipe2(p, O_CLOEXEC) != 0) return false;
      out_parent.reset(AboveStandard(p[0]));
      out_child.reset(AboveStandard(p[1]));
      if (!out_parent.ok() || !out_child.ok()) return false;
    }
    pid_t pid = 0;
    {
      SpawnSetup setup;
      if (!setup.Prepare(in_child.get(), out_child.get(), options.new_session)) return false;
      if (!setup.Spawn(argv, options.environment, &pid)) return false;
    }
    in_child.reset();
    out_child.reset();

    const int64_t deadline = options.timeout_ms < 0 ? -1 : NowMs() + options.timeout_ms;
    std::string_view input = options.input;
    if (in_parent.ok()) {
      SetNonBlocking(in_parent.get());
      if (input.empty()) in_parent.reset();
    }
    if (out_parent.ok()) SetNonBlocking(out_parent.get());
    bool overflow = false;
    while ((in_parent.ok() || out_parent.ok()) && !overflow) {
      pollfd fds[2];
      nfds_t n = 0;
      if (in_parent.ok()) fds[n++] = {in_parent.get(), POLLOUT, 0};
      if (out_parent.ok()) fds[n++] = {out_parent.get(), POLLIN, 0};
      const int wait = Remaining(deadline);
      if (wait == 0) {
        result->timed_out = true;
        break;
      }
      const int r = poll(fds, n, wait);
      if (r < 0 && errno != EINTR) break;
      if (r <= 0) continue;
      for (nfds_t i = 0; i < n; ++i) {
        if (fds[i].revents == 0) continue;
        if (fds[i].fd == in_parent.get()) {
          const ssize_t k =
              send(in_parent.get(), input.data(), std::min<size_t>(input.size(), 1 << 16),
                   MSG_NOSIGNAL | MSG_DONTWAIT);
          if (k > 0) input.remove_prefix(static_cast<size_t>(k));
          if (input.empty() || (k < 0 && errno != EAGAIN && errno != EINTR)) in_parent.reset();
        } else {
          char buffer[16384];
          const ssize_t k = read(out_parent.get(), buffer, sizeof buffer);
          if (k > 0) {
            if (result->output.size() + static_cast<size_t>(k) > options.max_output) {
              overflow = true;
              break;
            }
            result->output.append(buffer, static_cast<size_t>(k));
          } else if (k == 0 || (errno != EAGAIN && errno != EINTR)) {
            out_parent.reset();
          }
        }
      }
    }
    in_parent.reset();
    out_parent.reset();
    if (!result->timed_out && !overflow && Wait(pid, deadline, &result->exit_code)) return true;
    KillAndReap(pid);
    result->timed_out = !overflow;
    result->exit_code = -1;
    return !overflow;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::string FindExecutable(std::string_view name) {
  try {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
      const size_t colon = dirs.find(':');
      const std::string_view dir = dirs.substr(0, colon);
      dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
      // Only absolute directories: a relative PATH entry would run whatever
      // lies in the caller's working directory.
      if (dir.empty() || dir[0] != '/') continue;
      std::string candidate(dir);
      candidate += '/';
      candidate += name;
      struct stat st;
      if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
  } catch (const std::bad_alloc&) {
  }
  return {};
}

}  // namespace dzv::platform
