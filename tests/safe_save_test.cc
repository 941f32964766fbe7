// Saving and exporting on a machine shared with other users, through the
// real file service: the temporary is the owner's alone while it is written;
// a link that another user planted in a sticky directory open to all does not
// redirect the save; the file keeps its owner, group, extended attributes and
// access control list, or is written in place where they cannot be carried
// over; and a file that may be written but not replaced is written in place.
// The parts that need a second user run as nobody and are skipped where the
// test is not root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "platform/files.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

using platform::File;
using platform::Files;
using platform::FileStatus;
using platform::ScopedService;

// Another user, and one more that exists only as a number.
constexpr uid_t kStranger = 65533;

struct stat LstatOf(const std::string& path) {
  struct stat st = {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

const passwd* Nobody() { return ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr; }

// Records the permission bits of every temporary in `dir` (a name that
// begins with a dot) when it is made and at each write into it.
class TemporaryWatch final : public platform::FilesWrapper {
 public:
  explicit TemporaryWatch(std::string dir)
      : FilesWrapper(&Files::Default()), dir_(std::move(dir)) {}
  std::vector<mode_t> modes;

  FileStatus OpenForSave(const std::string& path,
                         std::unique_ptr<platform::SaveTarget>* save) override {
    const FileStatus status = target()->OpenForSave(path, save);
    if (status == FileStatus::kOk) *save = std::make_unique<Watched>(*this, std::move(*save));
    return status;
  }

 private:
  void Record() {
    for (const std::string& name : Listing(dir_)) {
      if (name[0] == '.') modes.push_back(LstatOf(dir_ + "/" + name).st_mode & 07777);
    }
  }

  class Watched final : public platform::SaveTargetWrapper, public File {
   public:
    Watched(TemporaryWatch& watch, std::unique_ptr<platform::SaveTarget> inner)
        : SaveTargetWrapper(std::move(inner)), watch_(watch) {}
    FileStatus CreateTemporary(File** file) override {
      const FileStatus status = target()->CreateTemporary(&temp_);
      watch_.Record();
      *file = this;
      return status;
    }

    FileStatus Read(void* buffer, size_t n, size_t* got) override {
      return temp_->Read(buffer, n, got);
    }
    FileStatus Write(const void* buffer, size_t n) override {
      watch_.Record();
      return temp_->Write(buffer, n);
    }
    FileStatus Size(uint64_t* size) override { return temp_->Size(size); }
    FileStatus Sync() override { return temp_->Sync(); }
    FileStatus Close() override { return temp_->Close(); }

   private:
    TemporaryWatch& watch_;
    File* temp_ = nullptr;
  };

  std::string dir_;
};

TEST(SafeSave, TheTemporaryIsTheOwnersAloneWhileItIsWritten) {
  Dict d(Items{{"k", std::string(100000, 'v')}});
  TempDir dir;
  const mode_t old_mask = ::umask(022);
  for (const Writer& w : kWriters) {
    const std::string secret = dir.File("secret"), fresh = dir.File("fresh");
    WriteFileBytes(secret, "old");
    ASSERT_EQ(::chmod(secret.c_str(), 0640), 0);
    ::unlink(fresh.c_str());
    TemporaryWatch watch(dir.path());
    {
      ScopedService<Files> use(&watch);
      EXPECT_EQ(w.write(d.h(), secret.c_str()), 1);
      EXPECT_EQ(w.write(d.h(), fresh.c_str()), 1);
    }
    ASSERT_GE(watch.modes.size(), 4u);
    for (mode_t mode : watch.modes) EXPECT_EQ(mode, 0600u);
    EXPECT_EQ(LstatOf(secret).st_mode & 07777, 0640u);
    EXPECT_EQ(LstatOf(fresh).st_mode & 07777, 0644u) << "a new file follows the mask";
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"fresh", "secret"}));
  }
  ::umask(old_mask);
}

// In a sticky directory open to all, a link is followed only when it is the
// saver's own or the directory owner's, as the kernel's protected_symlinks
// rule has it; elsewhere every link is followed.
TEST(SafeSave, ALinkAnotherUserPlantedInASharedDirectoryIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to make links of other users";
  Dict d(Items{{"k", "v"}});
  struct Case {
    mode_t dir_mode;
    uid_t link_owner;  // the directory belongs to kStranger
    bool followed;
  };
  const Case cases[] = {{01777, 65534, false},
                        {01777, kStranger, true},
                        {01777, 0, true},
                        {01775, 65534, true},
                        {0777, 65534, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("directory " + std::to_string(c.dir_mode) + ", link of " +
                 std::to_string(c.link_owner));
    TempDir top;
    const std::string shared = top.File("shared"), victim = top.File("victim");
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::chown(shared.c_str(), kStranger, kStranger), 0);
    ASSERT_EQ(::chmod(shared.c_str(), c.dir_mode), 0);
    const std::string link = shared + "/report.dict";
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_EQ(::lchown(link.c_str(), c.link_owner, c.link_owner), 0);
    // A second hop: the saver's own link to the planted one.
    ASSERT_EQ(::symlink(link.c_str(), top.File("mine").c_str()), 0);
    for (const std::string& path : {link, top.File("mine")}) {
      for (const Writer& w : kWriters) {
        WriteFileBytes(victim, "precious");
        EXPECT_EQ(w.write(d.h(), path.c_str()), c.followed ? 1 : 0) << path;
        if (!c.followed) {
          EXPECT_EQ(ReadFileBytes(victim), "precious");
        }
      }
    }
    if (c.followed) {
      EXPECT_EQ(ReadFileBytes(victim), "k=v\r\n");
    }
    EXPECT_EQ(Listing(shared), std::set<std::string>{"report.dict"});
    EXPECT_TRUE(S_ISLNK(LstatOf(link).st_mode));
    EXPECT_EQ(Listing(top.path()), (std::set<std::string>{"mine", "shared", "victim"}));
  }
}

// A POSIX access control list as the kernel keeps it in an extended
// attribute: a version, then entries of a tag, permissions and an id.
struct AclEntry {
  uint16_t tag;
  uint16_t permissions;
  uint32_t id;
};
std::string AclBytes(std::initializer_list<AclEntry> entries) {
  std::string out = U32(2);
  for (const AclEntry& e : entries) out += U16(e.tag) + U16(e.permissions) + U32(e.id);
  return out;
}
constexpr uint32_t kNoId = 0xFFFFFFFF;

// Every extended attribute of a file, name and value; empty when the file
// system has none.
std::set<std::pair<std::string, std::string>> Attributes(const std::string& path) {
  std::set<std::pair<std::string, std::string>> out;
  char names[4096];
  const ssize_t n = ::llistxattr(path.c_str(), names, sizeof names);
  for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    char value[4096];
    const ssize_t v = ::lgetxattr(path.c_str(), names + at, value, sizeof value);
    out.emplace(names + at, v < 0 ? "?" : std::string(value, static_cast<size_t>(v)));
  }
  return out;
}

// A file's owner, group, mode and extended attributes survive a save; a new
// file in a directory with a default access control list gets what any new
// file gets there.
TEST(SafeSave, AFileKeepsItsGroupAttributesAndAccessList) {
  TempDir dir;
  const std::string path = dir.File("team.dict");
  WriteFileBytes(path, "old");
  if (::setxattr(path.c_str(), "user.dzv.origin", "kept", 4, 0) != 0) {
    GTEST_SKIP() << "the file system of " << dir.path()
                 << " holds no user extended attributes: " << std::strerror(errno);
  }
  // A group other than the saver's own that the saver may give a file.
  gid_t group = ::getegid();
  if (::geteuid() == 0) {
    group = 65534;
  } else {
    gid_t groups[64];
    const int n = ::getgroups(64, groups);
    for (int i = 0; i < n; ++i) {
      if (groups[i] != ::getegid()) group = groups[i];
    }
  }
  ASSERT_EQ(::chown(path.c_str(), static_cast<uid_t>(-1), group), 0);
  // The owner and a named user may read and write; the owning group only
  // read, so that the mask (the mode's group bits) differs from the group.
  const std::string acl = AclBytes(
      {{0x01, 6, kNoId}, {0x02, 6, 65534}, {0x04, 4, kNoId}, {0x10, 6, kNoId}, {0x20, 0, kNoId}});
  const bool have_acl =
      ::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), 65534, static_cast<gid_t>(-1)), 0);
  }
  const struct stat before = LstatOf(path);
  const auto attributes = Attributes(path);
  Dict d(Items{{"k", "v"}});
  for (const Writer& w : kWriters) {
    ASSERT_EQ(w.write(d.h(), path.c_str()), 1);
    const struct stat after = LstatOf(path);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Attributes(path), attributes);
  }
  EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"team.dict"});
  if (!have_acl) GTEST_SKIP() << "no access control lists here: " << std::strerror(errno);

  // A default list: the named user may read and write what is made here,
  // whatever the process's mask.
  const std::string shared = dir.File("shared");
  ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
  const std::string default_acl = AclBytes(
      {{0x01, 7, kNoId}, {0x02, 6, 65534}, {0x04, 5, kNoId}, {0x10, 7, kNoId}, {0x20, 4, kNoId}});
  ASSERT_EQ(::setxattr(shared.c_str(), "system.posix_acl_default", default_acl.data(),
                       default_acl.size(), 0),
            0);
  const mode_t old_mask = ::umask(077);
  const int fd = ::open((shared + "/plain").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_EQ(DictionarySave(d.h(), (shared + "/saved").c_str()), 1);
  ::umask(old_mask);
  EXPECT_EQ(LstatOf(shared + "/saved").st_mode, LstatOf(shared + "/plain").st_mode);
  EXPECT_EQ(Attributes(shared + "/saved"), Attributes(shared + "/plain"));
}

// Saves by nobody of files that belong to others, or to a group nobody is
// not in: replacing them would change who may read them, so they are
// written in place (the same file, its owner and group kept); but not a file
// that a third user may have planted in a sticky directory open to all.
TEST(SafeSave, FilesThatCannotBeReplacedAsTheyAreAreWrittenInPlace) {
  const passwd* nobody = Nobody();
  if (nobody == nullptr) GTEST_SKIP() << "needs root and the user nobody, to save as nobody";
  const uid_t me = nobody->pw_uid;
  const gid_t my_group = nobody->pw_gid;
  struct Case {
    const char* what;
    mode_t dir_mode;
    uid_t dir_owner;
    uid_t file_owner;
    gid_t file_group;
    mode_t file_mode;
    bool written;
  };
  const Case cases[] = {
      {"another user's file in a directory nobody may write", 0777, 0, 0, 0, 0666, true},
      {"nobody's file of a group nobody is not in", 0777, 0, me, 12345, 0640, true},
      {"a file of nobody's group in a sticky team directory", 01770, 0, 0, my_group, 0660, true},
      {"the directory owner's file in a sticky directory open to all", 01777, 0, 0, 0, 0666, true},
      {"a third user's file in a sticky directory open to all", 01777, 0, kStranger, kStranger,
       0666, false},
  };
  Dict d(Items{{"k", "v"}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir top;
    ASSERT_EQ(::chmod(top.path().c_str(), 0755), 0);
    const std::string dir = top.File("d"), path = dir + "/file.dict";
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(::chown(dir.c_str(), c.dir_owner, my_group), 0);
    ASSERT_EQ(::chmod(dir.c_str(), c.dir_mode), 0);
    WriteFileBytes(path, "old");
    ASSERT_EQ(::chown(path.c_str(), c.file_owner, c.file_group), 0);
    ASSERT_EQ(::chmod(path.c_str(), c.file_mode), 0);
    const struct stat before = LstatOf(path);
    for (const Writer& w : kWriters) {
      const int status =
          RunAsUser(me, my_group, [&] { return w.write(d.h(), path.c_str()) == 1 ? 1 : 0; });
      if (status == 126) GTEST_SKIP() << "cannot become nobody here";
      EXPECT_EQ(status, c.written ? 1 : 0);
      const struct stat after = LstatOf(path);
      EXPECT_EQ(after.st_ino, before.st_ino) << "the same file";
      EXPECT_EQ(after.st_uid, before.st_uid);
      EXPECT_EQ(after.st_gid, before.st_gid);
      EXPECT_EQ(after.st_mode, before.st_mode);
    }
    EXPECT_EQ(ReadFileBytes(path), c.written ? "k=v\r\n" : "old");
    EXPECT_EQ(Listing(dir), std::set<std::string>{"file.dict"});
  }
}

// A path so long that the temporary's name would not fit is written in
// place.
TEST(SafeSave, APathWithNoRoomForTheTemporaryIsWrittenInPlace) {
  TempDir top;
  std::string dir = top.path();
  // The path and its zero byte fit; the temporary's longer name does not.
  const size_t length = PATH_MAX - 8;
  while (length - dir.size() - 1 > 160) {
    dir += "/" + std::string(150, 'd');
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0) << std::strerror(errno);
  }
  const std::string path = dir + "/" + std::string(length - dir.size() - 1, 'f');
  ASSERT_EQ(path.size(), length);
  Dict d(Items{{"k", "v"}});
  for (bool exists : {false, true}) {
    ASSERT_EQ(FileExists(path), exists);
    EXPECT_EQ(DictionarySave(d.h(), path.c_str()), 1) << (exists ? "over a file" : "a new file");
    EXPECT_EQ(ReadFileBytes(path), std::string("\x01\x00\x01k\x01v", 6));
    EXPECT_EQ(Listing(dir).size(), 1u);
  }
}

// In a sticky directory open to all, a file or a device that a third user
// put there is not this user's to write or to replace, the administrator's
// saves included: the planted file keeps its bytes and its inode, and no
// one reads what was meant for the saver.
TEST(SafeSave, AFilePlantedInASharedDirectoryIsNotWrittenEvenByRoot) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to plant files of another user";
  Dict d(Items{{"secret", "s3cr3t"}});
  TempDir top;
  const std::string shared = top.File("shared");
  ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  struct Planted {
    const char* name;
    mode_t mode;
  };
  for (const Planted& p : {Planted{"private", S_IFREG | 0600}, Planted{"open", S_IFREG | 0666},
                           Planted{"device", S_IFCHR | 0666}}) {
    const std::string path = shared + "/" + p.name;
    ASSERT_EQ(::mknod(path.c_str(), p.mode, S_ISCHR(p.mode) ? ::makedev(1, 3) : 0), 0) << path;
    ASSERT_EQ(::chown(path.c_str(), kStranger, kStranger), 0);
    const struct stat before = LstatOf(path);
    for (const Writer& w : kWriters) {
      EXPECT_EQ(w.write(d.h(), path.c_str()), 0) << w.name << " " << path;
    }
    const struct stat after = LstatOf(path);
    EXPECT_EQ(after.st_ino, before.st_ino) << path;
    EXPECT_EQ(after.st_uid, kStranger) << path;
    if (S_ISREG(p.mode)) {
      EXPECT_EQ(after.st_size, 0) << path;
    }
  }
  EXPECT_EQ(Listing(shared), (std::set<std::string>{"device", "open", "private"}));
}

// A link that another user planted anywhere on the path, not only as its
// last component, is not followed: the saver's file elsewhere stays as it
// was and nothing is made there.
TEST(SafeSave, ALinkPlantedAsADirectoryOfThePathIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to make links of other users";
  Dict d(Items{{"k", "v"}});
  TempDir top;
  const std::string pub = top.File("pub"), home = top.File("home");
  ASSERT_EQ(::mkdir(pub.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(pub.c_str(), 01777), 0);
  ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  WriteFileBytes(home + "/notes.dict", "precious");
  const std::string reports = pub + "/reports";
  ASSERT_EQ(::symlink(home.c_str(), reports.c_str()), 0);
  ASSERT_EQ(::lchown(reports.c_str(), 65534, 65534), 0);
  for (const char* name : {"notes.dict", "new.dict"}) {
    for (const Writer& w : kWriters) {
      EXPECT_EQ(w.write(d.h(), (reports + "/" + name).c_str()), 0) << w.name << " " << name;
    }
    Dict read;
    EXPECT_EQ(DictionaryOpen(read.h(), (reports + "/" + name).c_str()), 0) << name;
  }
  EXPECT_EQ(ReadFileBytes(home + "/notes.dict"), "precious");
  EXPECT_EQ(Listing(home), std::set<std::string>{"notes.dict"});
}

// Renames `from` to `to` and puts a link to `elsewhere` in its place, at the
// moment a save has made its temporary: what a directory's owner racing the
// saver could do.
class SwapDirectoryMidSave final : public platform::FilesWrapper {
 public:
  SwapDirectoryMidSave(std::string from, std::string to, std::string elsewhere)
      : FilesWrapper(&Files::Default()), from_(from), to_(to), elsewhere_(elsewhere) {}

  FileStatus OpenForSave(const std::string& path,
                         std::unique_ptr<platform::SaveTarget>* save) override {
    const FileStatus status = target()->OpenForSave(path, save);
    if (status == FileStatus::kOk) *save = std::make_unique<Swapping>(*this, std::move(*save));
    return status;
  }

 private:
  class Swapping final : public platform::SaveTargetWrapper {
   public:
    Swapping(SwapDirectoryMidSave& owner, std::unique_ptr<platform::SaveTarget> inner)
        : SaveTargetWrapper(std::move(inner)), owner_(owner) {}
    FileStatus CreateTemporary(File** file) override {
      const FileStatus status = target()->CreateTemporary(file);
      EXPECT_EQ(::rename(owner_.from_.c_str(), owner_.to_.c_str()), 0);
      EXPECT_EQ(::symlink(owner_.elsewhere_.c_str(), owner_.from_.c_str()), 0);
      return status;
    }

   private:
    SwapDirectoryMidSave& owner_;
  };

  std::string from_, to_, elsewhere_;
};

// The save acts on the directory it resolved: a directory swapped for a
// link meanwhile redirects neither the file nor its temporary.
TEST(SafeSave, ADirectorySwappedForALinkMidSaveRedirectsNothing) {
  Dict d(Items{{"k", "v"}});
  for (const Writer& w : kWriters) {
    TempDir top;
    const std::string dir = top.File("d"), moved = top.File("moved"), other = top.File("other");
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(other.c_str(), 0755), 0);
    WriteFileBytes(dir + "/a.dict", "old");
    SwapDirectoryMidSave swap(dir, moved, other);
    {
      ScopedService<Files> use(&swap);
      EXPECT_EQ(w.write(d.h(), (dir + "/a.dict").c_str()), 1) << w.name;
    }
    EXPECT_EQ(Listing(other), std::set<std::string>{}) << w.name;
    EXPECT_EQ(Listing(moved), std::set<std::string>{"a.dict"}) << w.name;
    EXPECT_NE(ReadFileBytes(moved + "/a.dict"), "old") << w.name;
  }
}

// /proc/self/fd/N stands for the file open as N: a save through it writes
// that file while it has a name, and makes nothing (no "... (deleted)")
// once the file is gone.
TEST(SafeSave, ADescriptorLinkToADeletedFileIsNotAName) {
  if (::access("/proc/self/fd/0", F_OK) != 0) GTEST_SKIP() << "no /proc here";
  Dict d(Items{{"k", "v"}});
  TempDir dir;
  const std::string path = dir.File("a.dict");
  for (bool deleted : {false, true}) {
    for (const Writer& w : kWriters) {
      WriteFileBytes(path, "old");
      const int fd = ::open(path.c_str(), O_RDONLY);
      ASSERT_GE(fd, 0);
      if (deleted) {
        ASSERT_EQ(::unlink(path.c_str()), 0);
      }
      const std::string link = "/proc/self/fd/" + std::to_string(fd);
      EXPECT_EQ(w.write(d.h(), link.c_str()), deleted ? 0 : 1) << w.name;
      ::close(fd);
      if (!deleted) {
        EXPECT_NE(ReadFileBytes(path), "old") << w.name;
      }
      EXPECT_EQ(Listing(dir.path()),
                deleted ? std::set<std::string>{} : std::set<std::string>{"a.dict"});
    }
  }
}

}  // namespace
}  // namespace dzv::testing
