// Saving and exporting onto a disk that is really full: a small tmpfs of a
// mount namespace of the test's own (skipped where the machine refuses one),
// a file size limit (RLIMIT_FSIZE), and /dev/full. A write that does not fit
// gives 0 and keeps the file that was there, leaves no temporary and takes
// no space; a smaller one then fits again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool WriteProcFile(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

// Gives this process a mount namespace of its own (through a user namespace
// where plain unsharing is refused) in which mounts stay private. Must run
// single-threaded. Empty on success, else the reason.
std::string EnterMountNamespace() {
  if (::unshare(CLONE_NEWNS) != 0) {
    const std::string plain = Errno("unshare(CLONE_NEWNS)");
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
      return plain + "; " + Errno("unshare(CLONE_NEWUSER|CLONE_NEWNS)");
    }
    WriteProcFile("/proc/self/setgroups", "deny");
    if (!WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      return Errno("writing the user namespace's id maps");
    }
  }
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return Errno("making the mounts private");
  }
  return "";
}

constexpr const char kTmpfsOptions[] = "size=65536,mode=0700";

std::string MountSmallTmpfs(const std::string& dir) {
  if (::mount("dzv-full", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, kTmpfsOptions) != 0) {
    return Errno("mounting a 64 KiB tmpfs");
  }
  return "";
}

// Whether a child process may make a mount namespace and a tmpfs in it;
// empty when it may, else the reason.
std::string SmallTmpfsRefusal() {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return Errno("pipe");
  TempDir dir;
  const pid_t pid = ::fork();
  if (pid < 0) return Errno("fork");
  if (pid == 0) {
    ::close(pipe_fds[0]);
    std::string why = EnterMountNamespace();
    if (why.empty()) why = MountSmallTmpfs(dir.path());
    if (why.empty()) ::umount2(dir.path().c_str(), MNT_DETACH);
    if (::write(pipe_fds[1], why.data(), why.size()) < 0) _exit(2);
    _exit(0);
  }
  ::close(pipe_fds[1]);
  std::string why;
  char buffer[256];
  ssize_t n;
  while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) why.append(buffer, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the probing child failed";
  return why;
}

uint64_t FreeBlocks(const std::string& dir) {
  struct statvfs st = {};
  EXPECT_EQ(::statvfs(dir.c_str(), &st), 0);
  return st.f_bfree;
}

void AddItems(int32_t h, int first, int count, size_t length) {
  for (int i = first; i < first + count; ++i) {
    ASSERT_EQ(DictionaryItemAdd(h, ("item" + std::to_string(i)).c_str(),
                                std::string(length, static_cast<char>('a' + i % 26)).c_str()),
              1);
  }
}

// One file that a dictionary is written to again and again as it grows.
struct Target {
  using Call = int32_t (*)(int32_t, const char*);
  Target(const char* n, Call w, Call r, std::string p)
      : name(n), write(w), read(r), path(std::move(p)) {}
  const char* name;
  int32_t (*write)(int32_t, const char*);
  int32_t (*read)(int32_t, const char*);
  std::string path;
  std::string last;  // what the last successful write left
  int32_t last_count = -1;
  bool full = false;
};

TEST(FullDisk, SmallTmpfsFillsUpWithoutLosingAFile) {
  const std::string refusal = SmallTmpfsRefusal();
  if (!refusal.empty()) GTEST_SKIP() << "no small file system can be mounted here: " << refusal;
  if (!InChildProcess({})) return;
  // In a process of its own, which alone sees the mount.
  const std::string why = EnterMountNamespace();
  ASSERT_EQ(why, "");
  TempDir dir;
  ASSERT_EQ(MountSmallTmpfs(dir.path()), "");
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{dir.path()};

  Target targets[] = {
      Target("DictionarySave", &DictionarySave, &DictionaryOpen, dir.File("a.dic")),
      Target("DictionaryExport", &DictionaryExport, &DictionaryImport, dir.File("a.txt"))};
  Dict d;
  int steps = 0;
  for (; steps < 200 && !(targets[0].full && targets[1].full); ++steps) {
    AddItems(d.h(), steps * 8, 8, 500);  // about 4 KB a step
    for (Target& t : targets) {
      if (t.full) continue;
      SCOPED_TRACE(std::string(t.name) + " at " + std::to_string(DictionaryItemCount(d.h())) +
                   " items");
      const uint64_t free_before = FreeBlocks(dir.path());
      if (t.write(d.h(), t.path.c_str()) == 1) {
        t.last = ReadFileBytes(t.path);
        t.last_count = DictionaryItemCount(d.h());
        continue;
      }
      t.full = true;
      EXPECT_EQ(FreeBlocks(dir.path()), free_before) << "the failed write keeps space";
      ASSERT_GE(t.last_count, 0) << "not even the first write fitted";
      EXPECT_EQ(ReadFileBytes(t.path), t.last);
      EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.dic", "a.txt"}));
    }
  }
  ASSERT_TRUE(targets[0].full && targets[1].full) << "64 KiB never filled up";
  std::printf(
      "[ full disk ] the 64 KiB tmpfs was full after %d steps: archive of %zu bytes, "
      "text of %zu bytes kept\n",
      steps, targets[0].last.size(), targets[1].last.size());

  for (Target& t : targets) {
    SCOPED_TRACE(t.name);
    // The files that were kept read back whole.
    Dict back;
    EXPECT_EQ(t.read(back.h(), t.path.c_str()), 1);
    EXPECT_EQ(DictionaryItemCount(back.h()), t.last_count);
  }
  // Nothing of the failed writes holds space: a small dictionary fits again.
  Dict small(Items{{"a", "b"}});
  for (Target& t : targets) EXPECT_EQ(t.write(small.h(), t.path.c_str()), 1) << t.name;
  EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.dic", "a.txt"}));
}

// A file size limit makes every write past it fail (SIGXFSZ ignored): the
// condition of a full disk that every machine allows.
TEST(FullDisk, FileSizeLimitKeepsTheOldFiles) {
  if (!InChildProcess({})) return;
  ASSERT_NE(std::signal(SIGXFSZ, SIG_IGN), SIG_ERR);
  TempDir dir;
  Target targets[] = {
      Target("DictionarySave", &DictionarySave, &DictionaryOpen, dir.File("a.dic")),
      Target("DictionaryExport", &DictionaryExport, &DictionaryImport, dir.File("a.txt"))};
  Dict small(Items{{"k", "v"}});
  for (Target& t : targets) {
    ASSERT_EQ(t.write(small.h(), t.path.c_str()), 1);
    t.last = ReadFileBytes(t.path);
  }
  constexpr rlim_t kLimit = 32 * 1024;
  const struct rlimit limit = {kLimit, kLimit};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);

  Dict large;
  AddItems(large.h(), 0, 100, 1000);  // about 100 KB
  for (Target& t : targets) {
    SCOPED_TRACE(t.name);
    EXPECT_EQ(t.write(large.h(), t.path.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(t.path), t.last);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"a.dic", "a.txt"}));
    Dict back;
    EXPECT_EQ(t.read(back.h(), t.path.c_str()), 1);
    EXPECT_EQ(back.items(), (Items{{"k", "v"}}));
  }
  // Up to the limit writing works.
  Dict fits;
  AddItems(fits.h(), 0, 20, 1000);
  for (Target& t : targets) EXPECT_EQ(t.write(fits.h(), t.path.c_str()), 1) << t.name;
}

// /dev/full is written in place: every write fails, and it stays the same
// device node, also when reached through a link.
TEST(FullDisk, DevFullFailsAndStaysTheDevice) {
  struct stat before;
  if (::stat("/dev/full", &before) != 0 || ::access("/dev/full", W_OK) != 0) {
    GTEST_SKIP() << "no writable /dev/full here";
  }
  TempDir dir;
  const std::string link = dir.File("link");
  ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
  Dict d(Items{{"a", "b"}, {"c", std::string(5000, 'd')}});
  for (auto write : {&DictionarySave, &DictionaryExport}) {
    for (const std::string& path : {std::string("/dev/full"), link}) {
      SCOPED_TRACE(path);
      EXPECT_EQ(write(d.h(), path.c_str()), 0);
      struct stat after;
      ASSERT_EQ(::stat("/dev/full", &after), 0);
      EXPECT_TRUE(S_ISCHR(after.st_mode));
      EXPECT_EQ(after.st_rdev, before.st_rdev);
      EXPECT_EQ(after.st_ino, before.st_ino);
      struct stat through;
      ASSERT_EQ(::lstat(link.c_str(), &through), 0);
      EXPECT_TRUE(S_ISLNK(through.st_mode)) << "the link stays a link";
    }
  }
  EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"link"});
}

}  // namespace
}  // namespace dzv::testing
