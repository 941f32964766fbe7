// Saving and exporting never lose the file that was there: every failure of
// the platform, injected one call at a time, leaves the old file as it was,
// no temporary behind and no file open (failures of memory: the files tests
// of the out-of-memory binary). Also the targets that are written in place
// (devices), the ones never written (pipes, sockets) and the ones reached
// through links.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <string>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "fault/files.h"
#include "fault/for_each_fault.h"
#include "memory_dir.h"
#include "platform/files.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

using platform::FileStatus;
using platform::ScopedService;

// A Unix socket bound to `path`: its descriptor, or -1.
int BoundUnixSocket(const std::string& path) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

struct stat StatOf(const std::string& path) {
  struct stat st = {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

// Runs `write` with the n-th platform call failing, for n = 1, 2, ... until
// a run meets no fault. Each failed run must leave the directory exactly as
// it was; each successful one must leave the new file.
void FailEachCallInTurn(const Writer& w, bool file_exists, FileStatus status) {
  SCOPED_TRACE(std::string(w.name) + (file_exists ? " over a file" : " to a new file"));
  Dict d(Items{{"vj", "1"}, {"gqh", "2"}, {"a", std::string(3000, 'x')}});
  MemoryDir dir;
  const std::string path = dir.File("target");
  ASSERT_EQ(w.write(d.h(), path.c_str()), 1);
  const std::string expected = dir.Read(path);
  const int64_t runs = ForEachFault(
      [&](int64_t n, bool& met) {
        dir.files().Remove(path);
        if (file_exists) dir.Write(path, "the old content");
        const std::set<std::string> before = dir.Listing();
        FaultyFiles files;
        files.FailNth(static_cast<int>(n), status);
        int32_t result;
        {
          ScopedService<platform::Files> use(&files);
          result = w.write(d.h(), path.c_str());
        }
        EXPECT_EQ(files.open_files(), 0);
        met = files.injected() != FileOp::kNone;
        if (!met) {
          EXPECT_EQ(result, 1);
          EXPECT_EQ(dir.Read(path), expected);
          return;
        }
        EXPECT_EQ(result, 0) << "failed call kind " << static_cast<int>(files.injected());
        EXPECT_EQ(dir.Listing(), before);
        if (file_exists) {
          EXPECT_EQ(dir.Read(path), "the old content");
        }
      },
      100);
  // Resolve, temporary, write, sync, metadata, close, commit.
  EXPECT_GE(runs - 1, 7);
}

TEST(SafeReplace, EveryFailedCallLeavesTheOldFile) {
  for (const Writer& w : kWriters) {
    for (bool exists : {true, false}) {
      FailEachCallInTurn(w, exists, FileStatus::kError);
      FailEachCallInTurn(w, exists, FileStatus::kNoSpace);
    }
  }
}

TEST(SafeReplace, FullDiskFailedSyncOrRenameKeepTheOldFile) {
  Dict d(Items{{"k", std::string(5000, 'v')}});
  for (const Writer& w : kWriters) {
    for (FileOp op : {FileOp::kNone, FileOp::kSync, FileOp::kClose, FileOp::kCommit}) {
      MemoryDir dir(op == FileOp::kNone ? 1000 : UINT64_MAX);
      const std::string path = dir.File("target");
      dir.Write(path, "old");
      FaultyFiles files;
      files.FailAlways(op, FileStatus::kNoSpace);
      ScopedService<platform::Files> use(&files);
      EXPECT_EQ(w.write(d.h(), path.c_str()), 0) << w.name << " " << static_cast<int>(op);
      EXPECT_EQ(dir.Read(path), "old");
      EXPECT_EQ(dir.Listing(), std::set<std::string>{"target"});
      EXPECT_EQ(dir.files().stored(), 3u);
    }
    uint64_t size;
    {
      MemoryDir sized;
      ASSERT_EQ(w.write(d.h(), sized.File("t").c_str()), 1);
      size = sized.Read(sized.File("t")).size();
    }
    for (uint64_t room : {size - 1, size}) {
      MemoryDir dir(3 + room);
      const std::string path = dir.File("target");
      dir.Write(path, "old");
      EXPECT_EQ(w.write(d.h(), path.c_str()), room == size ? 1 : 0) << w.name << " " << room;
      EXPECT_EQ(dir.Listing(), std::set<std::string>{"target"});
      EXPECT_EQ(dir.Read(path).size(), room == size ? size : 3);
    }
  }
}

TEST(SafeReplace, KeepsPermissionBitsAndNewFilesFollowTheMask) {
  Dict d(Items{{"k", "v"}});
  TempDir dir;
  const std::string path = dir.File("target");
  WriteFileBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  EXPECT_EQ(DictionarySave(d.h(), path.c_str()), 1);
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0604u);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  EXPECT_EQ(DictionaryExport(d.h(), path.c_str()), 1);
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0640u);

  const mode_t old_mask = ::umask(027);
  const std::string fresh = dir.File("fresh");
  EXPECT_EQ(DictionarySave(d.h(), fresh.c_str()), 1);
  ::umask(old_mask);
  EXPECT_EQ(StatOf(fresh).st_mode & 07777, 0640u);
}

TEST(SafeReplace, ALinkKeepsPointingAtTheReplacedFile) {
  Dict d(Items{{"a", "b"}});
  const std::string archive(
      "\x01\x00\x01"
      "a\x01"
      "b",
      6);
  MemoryDir dir;
  platform::InMemoryFiles& files = dir.files();
  ASSERT_EQ(files.MakeDirectory(dir.File("real")), FileStatus::kOk);
  const std::string real = dir.File("real/file");
  dir.Write(real, "old");
  // link2 -> link1 -> real/file, the second one relative.
  ASSERT_EQ(files.MakeLink(dir.File("link1"), "real/file"), FileStatus::kOk);
  ASSERT_EQ(files.MakeLink(dir.File("link2"), dir.File("link1")), FileStatus::kOk);
  EXPECT_EQ(DictionarySave(d.h(), dir.File("link2").c_str()), 1);
  EXPECT_EQ(dir.Read(real), archive);
  EXPECT_EQ(dir.Listing(dir.File("real")), std::set<std::string>{"file"});
  dir.Write(real, "changed");
  EXPECT_EQ(dir.Read(dir.File("link1")), "changed") << "still a link";
  EXPECT_EQ(dir.Read(dir.File("link2")), "changed") << "still a link";

  // A link to a file not there yet makes that file.
  ASSERT_EQ(files.MakeLink(dir.File("dangling"), "real/new"), FileStatus::kOk);
  EXPECT_EQ(DictionaryExport(d.h(), dir.File("dangling").c_str()), 1);
  EXPECT_EQ(dir.Read(dir.File("real/new")), "a=b\r\n");

  // A loop of links is not written.
  ASSERT_EQ(files.MakeLink(dir.File("loop1"), "loop2"), FileStatus::kOk);
  ASSERT_EQ(files.MakeLink(dir.File("loop2"), "loop1"), FileStatus::kOk);
  EXPECT_EQ(DictionarySave(d.h(), dir.File("loop1").c_str()), 0);
}

// Where the platform refuses a step of the replacement for a reason of the
// file's own (its directory takes no temporary, its owner or attributes
// cannot be given to a new file, it may be written but not replaced, its
// temporary's name is too long), the file is written in place: the same
// file, rewritten, with no temporary left. Not through a link for the last
// two; and any other failure keeps the old file.
TEST(SafeReplace, WritesInPlaceWhereTheFileCannotBeReplaced) {
  struct Case {
    FileOp op;
    FileStatus status;
    bool through_link;
    bool in_place;
  };
  const Case cases[] = {
      {FileOp::kCreateTemporary, FileStatus::kDenied, true, true},
      {FileOp::kCreateTemporary, FileStatus::kNotPermitted, true, true},
      {FileOp::kCreateTemporary, FileStatus::kNameTooLong, false, true},
      {FileOp::kCreateTemporary, FileStatus::kNameTooLong, true, false},
      {FileOp::kCreateTemporary, FileStatus::kNoSpace, false, false},
      {FileOp::kMatchMetadata, FileStatus::kNotPermitted, true, true},
      {FileOp::kMatchMetadata, FileStatus::kUnsupported, false, true},
      {FileOp::kMatchMetadata, FileStatus::kDenied, false, true},
      {FileOp::kMatchMetadata, FileStatus::kError, false, false},
      {FileOp::kCommit, FileStatus::kNotPermitted, false, true},
      {FileOp::kCommit, FileStatus::kNameTooLong, false, true},
      {FileOp::kCommit, FileStatus::kNotPermitted, true, false},
      {FileOp::kCommit, FileStatus::kDenied, false, false},
  };
  Dict d(Items{{"a", "b"}});
  for (const Case& c : cases) {
    SCOPED_TRACE("call " + std::to_string(static_cast<int>(c.op)) + " fails with " +
                 std::to_string(static_cast<int>(c.status)) +
                 (c.through_link ? " via a link" : ""));
    TempDir dir;
    const std::string path = dir.File("target");
    WriteFileBytes(path, std::string(100, 'o'));
    ASSERT_EQ(::symlink("target", dir.File("link").c_str()), 0);
    const ino_t inode = StatOf(path).st_ino;
    FaultyFiles files;
    files.FailAlways(c.op, c.status);
    {
      ScopedService<platform::Files> use(&files);
      EXPECT_EQ(DictionaryExport(d.h(), dir.File(c.through_link ? "link" : "target").c_str()),
                c.in_place ? 1 : 0);
    }
    EXPECT_EQ(ReadFileBytes(path), c.in_place ? "a=b\r\n" : std::string(100, 'o'));
    EXPECT_EQ(StatOf(path).st_ino, inode) << "the same file";
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"link", "target"}));
    EXPECT_EQ(files.open_files(), 0);
  }
}

TEST(SafeReplace, AFileThatMayNotBeWrittenIsNotReplaced) {
  Dict d(Items{{"a", "b"}});
  MemoryDir dir;
  const std::string path = dir.File("target");
  dir.Write(path, "old");
  FaultyFiles files;
  files.ReportReadOnly();
  ScopedService<platform::Files> use(&files);
  EXPECT_EQ(DictionarySave(d.h(), path.c_str()), 0);
  EXPECT_EQ(DictionaryExport(d.h(), path.c_str()), 0);
  EXPECT_EQ(dir.Read(path), "old");
  EXPECT_EQ(dir.Listing(), std::set<std::string>{"target"});
}

// A device takes the bytes, or reports itself full, and stays the device.
TEST(SafeReplace, DevicesAreWrittenAndNeverReplaced) {
  Dict d(Items{{"a", "b"}});
  for (const Writer& w : kWriters) {
    for (bool full : {false, true}) {
      MemoryDir dir(full ? 0 : UINT64_MAX);
      const std::string device = dir.File("device");
      ASSERT_EQ(dir.files().MakeDevice(device), FileStatus::kOk);
      EXPECT_EQ(w.write(d.h(), device.c_str()), full ? 0 : 1) << w.name;
      EXPECT_EQ(dir.files().stored(), full ? 0u : w.write == &DictionarySave ? 6u : 5u);
      std::unique_ptr<platform::SaveTarget> target;
      ASSERT_EQ(dir.files().OpenForSave(device, &target), FileStatus::kOk);
      EXPECT_EQ(target->kind(), platform::TargetKind::kDevice) << "still the device";
      EXPECT_EQ(dir.Listing(), std::set<std::string>{"device"});
    }
  }
}

// A pipe or a socket is neither written nor read, and no call waits for its
// other end: with a reader there, it receives nothing; with none, the call
// fails at once instead of waiting for one.
TEST(SafeReplace, PipesAndSocketsAreRefusedAtOnce) {
  Dict d(Items{{"a", "b"}});
  TempDir dir;
  const std::string fifo = dir.File("pipe"), socket_path = dir.File("socket");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int sock = BoundUnixSocket(socket_path);
  ASSERT_GE(sock, 0);
  const auto ends_soon = [](const std::function<int32_t()>& call) {
    auto result = std::async(std::launch::async, call);
    if (result.wait_for(std::chrono::seconds(20)) == std::future_status::ready) return result.get();
    ADD_FAILURE() << "the call waits for the other end of the pipe";
    return int32_t{-1};
  };
  for (const std::string& path : {fifo, socket_path}) {
    for (bool with_reader : {false, true}) {
      const int reader = with_reader ? ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
      for (const Writer& w : kWriters) {
        EXPECT_EQ(ends_soon([&] { return w.write(d.h(), path.c_str()); }), 0) << w.name << path;
      }
      Dict read;
      EXPECT_EQ(ends_soon([&] { return DictionaryOpen(read.h(), path.c_str()); }), 0) << path;
      EXPECT_EQ(ends_soon([&] { return DictionaryImport(read.h(), path.c_str()); }), 0) << path;
      if (reader >= 0) {
        char byte;
        EXPECT_LE(::read(reader, &byte, 1), 0) << "the pipe received nothing";
        ::close(reader);
      }
    }
    struct stat st;
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_FALSE(S_ISREG(st.st_mode)) << "still what it was";
  }
  ::close(sock);
  EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"pipe", "socket"}));
}

// Reading: every failed call gives 0 with no file left open. DictionaryOpen
// keeps the pairs read before the failure; DictionaryImport adds nothing.
TEST(FileReading, EveryFailedCallIsAFailure) {
  Dict source(Items{{"vj", "1"}, {"gqh", "2"}, {"a", std::string(300, 'x')}});
  MemoryDir dir;
  const std::string archive = dir.File("a.dic"), text = dir.File("a.txt");
  ASSERT_EQ(DictionarySave(source.h(), archive.c_str()), 1);
  ASSERT_EQ(DictionaryExport(source.h(), text.c_str()), 1);
  for (int which = 0; which < 2; ++which) {
    ForEachFault(
        [&](int64_t n, bool& met) {
          Dict d;
          FaultyFiles files;
          files.FailNth(static_cast<int>(n));
          int32_t result;
          {
            ScopedService<platform::Files> use(&files);
            result = which == 0 ? DictionaryOpen(d.h(), archive.c_str())
                                : DictionaryImport(d.h(), text.c_str());
          }
          EXPECT_EQ(files.open_files(), 0);
          met = files.injected() != FileOp::kNone;
          // Only a failed size query may pass: the archive is then read
          // without knowing its size.
          if (!met || (files.injected() == FileOp::kSize && which == 0)) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(DictionaryItemCount(d.h()), 3);
          } else {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(DictionaryItemCount(d.h()), 0);
          }
        },
        50);
  }
}

TEST(FileReading, ShortReadsAreTruncatedFiles) {
  Dict source(Items{{"vj", "1"}, {"gqh", "2"}});
  MemoryDir dir;
  const std::string archive = dir.File("a.dic"), text = dir.File("a.txt");
  ASSERT_EQ(DictionarySave(source.h(), archive.c_str()), 1);
  ASSERT_EQ(DictionaryExport(source.h(), text.c_str()), 1);
  FaultyFiles files;
  files.CutReadsAt(9);
  ScopedService<platform::Files> use(&files);
  Dict d;
  EXPECT_EQ(DictionaryOpen(d.h(), archive.c_str()), 0);
  EXPECT_EQ(d.items(), (Items{{"gqh", "2"}}));
  Dict t;
  EXPECT_EQ(DictionaryImport(t.h(), text.c_str()), 0);
  EXPECT_EQ(DictionaryItemCount(t.h()), 0);
}

}  // namespace
}  // namespace dzv::testing
