// The Linux registry when its database is not simply there for it: locked by
// another process for longer than a call waits, unreadable for the user,
// damaged, or another program's database. Every call must then fail with a
// code (0 through the exported functions), never crash, and never write into
// a file that is not a registry. Opening a registry to read must neither
// write to it nor wait for another process's writer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "duduzuvez210.h"
#include "platform/linux/registry_store.h"
#include "test_util.h"

namespace dzv::platform {
namespace {

using dzv::testing::ReadFileBytes;
using dzv::testing::TempDir;
using dzv::testing::WriteFileBytes;
using std::chrono::milliseconds;
using OtherProcess = dzv::testing::SqliteLockHolder;

const RegKey kHkcu = DZV_HKEY_CURRENT_USER;

// Runs SQL on a connection of its own; the first error's message, or "".
std::string RunSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string error;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    error = "cannot open " + path;
  } else {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      error = message != nullptr ? message : "error";
    }
    sqlite3_free(message);
  }
  sqlite3_close(db);
  return error;
}

// Makes a registry at `path` holding Software\App with the value "v" = "data".
void MakeRegistry(const std::string& path) {
  SqliteRegistry reg(path, nullptr);
  RegKey key = nullptr;
  ASSERT_EQ(reg.CreateKey(kHkcu, "Software\\App", kKeyAllAccess, &key), kErrorSuccess);
  ASSERT_EQ(reg.SetValue(key, "v", kRegSz, reinterpret_cast<const uint8_t*>("data"), 5),
            kErrorSuccess);
  ASSERT_EQ(reg.CloseKey(key), kErrorSuccess);
}

// A file's bytes and modification time, to show that nothing wrote to it.
struct Snapshot {
  std::string bytes;
  timespec mtime{};
  explicit Snapshot(const std::string& path) : bytes(ReadFileBytes(path)) {
    struct stat st {};
    stat(path.c_str(), &st);
    mtime = st.st_mtim;
  }
  bool operator==(const Snapshot& o) const {
    return bytes == o.bytes && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

// Every call of the registry, each expected to fail; the names of those that
// succeeded instead.
std::string CallsThatSucceeded(SqliteRegistry& reg) {
  std::string succeeded;
  RegKey key = nullptr;
  char name[256];
  uint8_t data[64];
  uint32_t size = sizeof data;
  uint32_t name_size = sizeof name;
  if (reg.CreateKey(kHkcu, "Software\\New", kKeyAllAccess, &key) == kErrorSuccess) {
    succeeded += "CreateKey ";
    reg.CloseKey(key);
  }
  if (reg.OpenKey(kHkcu, "Software\\App", kKeyRead, &key) == kErrorSuccess) {
    succeeded += "OpenKey ";
    reg.CloseKey(key);
  }
  if (reg.SetValue(kHkcu, "x", kRegSz, reinterpret_cast<const uint8_t*>("y"), 2) == kErrorSuccess) {
    succeeded += "SetValue ";
  }
  if (reg.QueryValue(kHkcu, "x", nullptr, data, &size) == kErrorSuccess) succeeded += "QueryValue ";
  if (reg.DeleteValue(kHkcu, "x") == kErrorSuccess) succeeded += "DeleteValue ";
  if (reg.EnumKey(kHkcu, 0, name, &name_size) == kErrorSuccess) succeeded += "EnumKey ";
  name_size = sizeof name;
  if (reg.EnumValue(kHkcu, 0, name, &name_size, nullptr, nullptr, nullptr) == kErrorSuccess) {
    succeeded += "EnumValue ";
  }
  if (reg.DeleteKey(kHkcu, "Software\\App") == kErrorSuccess) succeeded += "DeleteKey ";
  return succeeded;
}

// The five exported functions on the registry installed for the test; the
// names of those that returned anything but 0.
std::string ExportsThatSucceeded(SqliteRegistry& reg) {
  ScopedService<Registry> installed(&reg);
  std::string succeeded;
  char buffer[64] = "untouched";
  uint32_t size = sizeof buffer;
  if (_ProfileRegistryWrite(kHkcu, "Software\\App", "w", "text") != 0) succeeded += "Write ";
  if (_ProfileRegistryRead(kHkcu, "Software\\App", "v", buffer, &size) != 0) succeeded += "Read ";
  if (_ProfileRegistryDeleteValue(kHkcu, "Software\\App", "v") != 0) succeeded += "DeleteValue ";
  if (_ProfileRegistryEnumValues(kHkcu, "Software\\App", buffer, 60) != 0) {
    succeeded += "EnumValues ";
  }
  if (_ProfileRegistryDeleteKey(kHkcu, "Software\\App") != 0) succeeded += "DeleteKey ";
  if (std::strcmp(buffer, "untouched") != 0) succeeded += "(buffer written) ";
  return succeeded;
}

// ---- Locks held by another process -----------------------------------------

TEST(RegistryFaults, AWriterHeldPastTheTimeoutFailsWritesButNotReads) {
  TempDir dir;
  const std::string path = dir.File("registry.db");
  MakeRegistry(path);
  SqliteRegistry reg(path, nullptr);
  reg.SetBusyTimeoutForTesting(milliseconds(200));
  {
    OtherProcess writer(path,
                        "BEGIN IMMEDIATE; INSERT INTO reg_value(key, name, fold, type, data) "
                        "VALUES(2, 'pending', 'PENDING', 1, x'00')");
    ASSERT_TRUE(writer.holding());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(reg.SetValue(kHkcu, "w", kRegSz, reinterpret_cast<const uint8_t*>("x"), 2),
              kErrorBusy);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(200)) << "a writer waits for the other one first";
    EXPECT_LT(waited, milliseconds(5000)) << "and only as long as it was told";

    RegKey key = nullptr;
    ASSERT_EQ(reg.OpenKey(kHkcu, "Software\\App", kKeyRead, &key), kErrorSuccess)
        << "opening to read takes no write lock";
    char data[16];
    uint32_t size = sizeof data;
    EXPECT_EQ(reg.QueryValue(key, "v", nullptr, reinterpret_cast<uint8_t*>(data), &size),
              kErrorSuccess);
    EXPECT_STREQ(data, "data");
    size = sizeof data;
    EXPECT_EQ(reg.QueryValue(kHkcu, "pending", nullptr, reinterpret_cast<uint8_t*>(data), &size),
              kErrorFileNotFound)
        << "another process's uncommitted value is not seen";
    EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);

    ScopedService<Registry> installed(&reg);
    EXPECT_EQ(_ProfileRegistryWrite(kHkcu, "Software\\App", "w", "text"), 0);
    EXPECT_EQ(_ProfileRegistryDeleteValue(kHkcu, "Software\\App", "v"), 0);
    uint32_t read_size = sizeof data;
    EXPECT_EQ(_ProfileRegistryRead(kHkcu, "Software\\App", "v", data, &read_size), 1);
  }
  EXPECT_EQ(reg.SetValue(kHkcu, "w", kRegSz, reinterpret_cast<const uint8_t*>("x"), 2),
            kErrorSuccess)
      << "once the other process has gone, writing works again";
}

TEST(RegistryFaults, AnExclusiveLockPastTheTimeoutFailsEveryCall) {
  TempDir dir;
  const std::string path = dir.File("registry.db");
  MakeRegistry(path);
  const Snapshot before(path);
  SqliteRegistry reg(path, nullptr);
  reg.SetBusyTimeoutForTesting(milliseconds(100));
  {
    OtherProcess holder(path, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE");
    ASSERT_TRUE(holder.holding());
    EXPECT_EQ(CallsThatSucceeded(reg), "");
    EXPECT_EQ(ExportsThatSucceeded(reg), "");
    uint32_t size = 0;
    EXPECT_EQ(reg.QueryValue(kHkcu, "v", nullptr, nullptr, &size), kErrorBusy);
  }
  EXPECT_EQ(Snapshot(path), before);
  RegKey key = nullptr;
  EXPECT_EQ(reg.OpenKey(kHkcu, "Software\\App", kKeyRead, &key), kErrorSuccess)
      << "the registry is usable again once the lock is gone";
  reg.CloseKey(key);
}

// ---- A fork while another thread is inside a call ---------------------------

// Waits up to `bound` for `pid`; its exit status, or -1 (killed) when it
// did not end in time.
int WaitBounded(pid_t pid, milliseconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    usleep(10000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RegistryFaults, AForkDuringAnotherThreadsCallLeavesBothProcessesAWorkingRegistry) {
  TempDir dir;
  const std::string path = dir.File("registry.db");
  MakeRegistry(path);
  SqliteRegistry reg(path, nullptr);
  RegKey key = nullptr;
  ASSERT_EQ(reg.OpenKey(kHkcu, "Software\\App", kKeyAllAccess, &key), kErrorSuccess);
  const auto set = [&](const char* name, const char* text) {
    return reg.SetValue(key, name, kRegSz, reinterpret_cast<const uint8_t*>(text),
                        static_cast<uint32_t>(std::strlen(text) + 1));
  };
  const auto get = [&](const char* name) {
    char data[32] = "";
    uint32_t size = sizeof data;
    reg.QueryValue(key, name, nullptr, reinterpret_cast<uint8_t*>(data), &size);
    return std::string(data);
  };

  // A thread's write waits for another process's writer, inside the call,
  // until a third thread makes that writer go.
  auto writer = std::make_unique<OtherProcess>(path, "BEGIN IMMEDIATE");
  ASSERT_TRUE(writer->holding());
  const int release_fd = writer->release_fd();
  std::thread inside([&] { EXPECT_EQ(set("thread", "t"), kErrorSuccess); });
  std::this_thread::sleep_for(milliseconds(300));
  std::thread release([&] {
    std::this_thread::sleep_for(milliseconds(300));
    writer.reset();
  });
  const pid_t pid = fork();
  if (pid == 0) {
    close(release_fd);
    _exit(set("child", "c") == kErrorSuccess && get("child") == "c" && get("thread") == "t" ? 0
                                                                                            : 1);
  }
  inside.join();
  release.join();
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitBounded(pid, milliseconds(20000)), 0)
      << "the child's registry calls failed (1) or never ended (-1)";
  EXPECT_EQ(get("child"), "c");
  EXPECT_EQ(set("parent", "p"), kErrorSuccess);
  EXPECT_EQ(get("parent"), "p");
  EXPECT_TRUE(dzv::testing::FileExists(path + "-wal")) << "the child took the parent's log";
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
}

// ---- Reading writes nothing --------------------------------------------------

TEST(RegistryFaults, ReadingAnExistingRegistryLeavesItsFileAsItWas) {
  TempDir dir;
  const std::string path = dir.File("registry.db");
  MakeRegistry(path);
  const Snapshot before(path);
  {
    SqliteRegistry reg(path, nullptr);
    RegKey key = nullptr;
    ASSERT_EQ(reg.OpenKey(kHkcu, "Software\\App", kKeyRead, &key), kErrorSuccess);
    char name[32];
    uint32_t size = sizeof name;
    EXPECT_EQ(reg.EnumValue(key, 0, name, &size, nullptr, nullptr, nullptr), kErrorSuccess);
    size = sizeof name;
    EXPECT_EQ(reg.EnumKey(kHkcu, 0, name, &size), kErrorSuccess);
    size = sizeof name;
    EXPECT_EQ(reg.QueryValue(key, "v", nullptr, reinterpret_cast<uint8_t*>(name), &size),
              kErrorSuccess);
    EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
  }
  EXPECT_EQ(Snapshot(path), before) << "a reader wrote to the registry";
}

// ---- Files that are not a registry -------------------------------------------

struct Damage {
  const char* what;
  std::function<void(const std::string& path)> make;
};

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::vector<Damage> Damages() {
  return {
      {"random bytes", [](const std::string& p) { WriteFileBytes(p, RandomBytes(8192, 1)); }},
      {"an SQLite header over random pages",
       [](const std::string& p) {
         WriteFileBytes(p, std::string("SQLite format 3\0", 16) + RandomBytes(8176, 2));
       }},
      {"a short text file", [](const std::string& p) { WriteFileBytes(p, "registry\n"); }},
      {"a registry cut to 100 bytes",
       [](const std::string& p) {
         MakeRegistry(p);
         ASSERT_EQ(truncate(p.c_str(), 100), 0);
       }},
      {"a registry cut after its first page",
       [](const std::string& p) {
         MakeRegistry(p);
         ASSERT_EQ(truncate(p.c_str(), 4096), 0);
       }},
      {"a registry whose schema page is overwritten",
       [](const std::string& p) {
         MakeRegistry(p);
         std::string bytes = ReadFileBytes(p);
         for (size_t i = 100; i < 4096 && i < bytes.size(); ++i) bytes[i] = '\xA5';
         WriteFileBytes(p, bytes);
       }},
      {"another program's database",
       [](const std::string& p) {
         ASSERT_EQ(RunSql(p,
                          "CREATE TABLE notes(id INTEGER PRIMARY KEY, body TEXT);"
                          "INSERT INTO notes(body) VALUES('keep me')"),
                   "");
       }},
      {"another program's database in WAL mode with the same schema version",
       [](const std::string& p) {
         ASSERT_EQ(RunSql(p,
                          "PRAGMA journal_mode=WAL; CREATE TABLE t(x);"
                          "INSERT INTO t VALUES(1); PRAGMA user_version=1"),
                   "");
       }},
      {"a registry with a table of someone else's added",
       [](const std::string& p) {
         MakeRegistry(p);
         ASSERT_EQ(RunSql(p, "CREATE TABLE extra(x)"), "");
       }},
      {"an empty database of a later schema version",
       [](const std::string& p) { ASSERT_EQ(RunSql(p, "PRAGMA user_version=2"), ""); }},
      {"tables named as the registry's, of another shape",
       [](const std::string& p) {
         ASSERT_EQ(RunSql(p,
                          "CREATE TABLE reg_key(a); CREATE TABLE reg_value(b);"
                          "PRAGMA user_version=1"),
                   "");
       }},
      {"the registry's tables and index by name, with other columns",
       [](const std::string& p) {
         ASSERT_EQ(RunSql(p,
                          "CREATE TABLE reg_key(id INTEGER PRIMARY KEY AUTOINCREMENT, parent, "
                          "name, fold, UNIQUE(parent, fold));"
                          "CREATE TABLE reg_value(id INTEGER PRIMARY KEY AUTOINCREMENT, key, "
                          "name, fold, type, data, note, UNIQUE(key, fold));"
                          "CREATE INDEX reg_value_order ON reg_value(key, id);"
                          "PRAGMA user_version=1"),
                   "");
       }},
      {"a registry with a trigger named as SQLite's own",
       [](const std::string& p) {
         MakeRegistry(p);
         ASSERT_EQ(RunSql(p,
                          "PRAGMA writable_schema=ON;"
                          "INSERT INTO sqlite_master(type, name, tbl_name, rootpage, sql) "
                          "VALUES('trigger', 'sqlite_planted', 'reg_value', 0, "
                          "'CREATE TRIGGER sqlite_planted AFTER INSERT ON reg_value BEGIN "
                          "UPDATE reg_value SET data = ''planted''; END')"),
                   "");
       }},
      {"a registry whose root is the child of its own descendant",
       [](const std::string& p) {
         MakeRegistry(p);
         ASSERT_EQ(RunSql(p,
                          "INSERT INTO reg_key(parent, name, fold) SELECT id, 'Loop', 'LOOP' "
                          "FROM reg_key WHERE fold = 'SOFTWARE';"
                          "UPDATE reg_key SET parent = last_insert_rowid() WHERE id = 2"),
                   "");
       }},
  };
}

TEST(RegistryFaults, DamagedAndForeignFilesFailEveryCallAndAreNeverWritten) {
  TempDir dir;
  int n = 0;
  for (const Damage& damage : Damages()) {
    SCOPED_TRACE(damage.what);
    const std::string path = dir.File("case" + std::to_string(++n) + ".db");
    damage.make(path);
    // The registry's own files beside it must not be taken for the file's:
    // whatever a made registry left behind is gone.
    unlink((path + "-wal").c_str());
    unlink((path + "-shm").c_str());
    const Snapshot before(path);
    ASSERT_FALSE(before.bytes.empty());
    SqliteRegistry reg(path, nullptr);
    reg.SetBusyTimeoutForTesting(milliseconds(100));
    EXPECT_EQ(CallsThatSucceeded(reg), "");
    EXPECT_EQ(ExportsThatSucceeded(reg), "");
    reg.Close(false);
    EXPECT_TRUE(Snapshot(path) == before) << "the file was written";
  }
}

TEST(RegistryFaults, AnEmptyFileBecomesANewRegistry) {
  TempDir dir;
  const std::string path = dir.File("registry.db");
  WriteFileBytes(path, "");
  SqliteRegistry reg(path, nullptr);
  ScopedService<Registry> installed(&reg);
  EXPECT_EQ(_ProfileRegistryWrite(kHkcu, "Software\\App", "v", "text"), 1);
  char data[16];
  uint32_t size = sizeof data;
  EXPECT_EQ(_ProfileRegistryRead(kHkcu, "Software\\App", "v", data, &size), 1);
  EXPECT_STREQ(data, "text");
}

// ---- A file the user may not read ----------------------------------------------

// Runs `body` in a child process that has become the user "nobody"; its exit
// code, 77 when the change of user is impossible here, or -1 on a signal.
int AsNobody(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) {
      _exit(77);
    }
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RegistryFaults, AFileTheUserMayNotReadFailsEveryCall) {
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || nobody == nullptr) {
    GTEST_SKIP() << "needs root, to run a part as the user nobody";
  }
  TempDir top;
  // The user owns the directory and the file, whose mode alone refuses access.
  const std::string dir = top.File("nobody");
  ASSERT_EQ(chmod(top.path().c_str(), 0711), 0);
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  const std::string locked = dir + "/locked.db";
  MakeRegistry(locked);
  unlink((locked + "-wal").c_str());
  unlink((locked + "-shm").c_str());
  ASSERT_EQ(chown(dir.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  ASSERT_EQ(chown(locked.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  const Snapshot before(locked);

  const int status = AsNobody([&] {
    // The same user can make and use a registry beside it: the refusal below
    // is the file's mode, nothing else.
    SqliteRegistry usable(dir + "/usable.db", nullptr);
    RegKey key = nullptr;
    if (usable.CreateKey(kHkcu, "K", kKeyAllAccess, &key) != kErrorSuccess) return 10;
    usable.CloseKey(key);
    SqliteRegistry reg(locked, nullptr);
    reg.SetBusyTimeoutForTesting(milliseconds(100));
    if (!CallsThatSucceeded(reg).empty()) return 11;
    if (!ExportsThatSucceeded(reg).empty()) return 12;
    uint32_t size = 0;
    if (reg.QueryValue(kHkcu, "v", nullptr, nullptr, &size) != kErrorCantOpen) return 13;
    return 0;
  });
  if (status == 77) GTEST_SKIP() << "cannot become the user nobody here";
  EXPECT_EQ(status, 0) << "10: the user cannot use a registry at all; 11: a registry call "
                          "succeeded; 12: an exported function succeeded; 13: not kErrorCantOpen";
  EXPECT_TRUE(Snapshot(locked) == before);
}

// ---- Places that are not the user's own ------------------------------------------

// The user whose registry it is and another user, who plants what he can
// where the registry is looked for (a user that exists only as a number).
constexpr uid_t kUser = 65534;
constexpr uid_t kOther = 4242;

void Make(const std::string& path, uid_t owner, mode_t mode, bool directory) {
  if (directory) {
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path;
  } else {
    WriteFileBytes(path, "");
  }
  ASSERT_EQ(chown(path.c_str(), owner, owner), 0) << path;
  ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

void Link(const std::string& target, const std::string& path, uid_t owner) {
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
  ASSERT_EQ(lchown(path.c_str(), owner, owner), 0) << path;
}

struct Place {
  const char* what;
  // Makes `home`, the configuration directory, and what is planted in it or
  // in `outside`, a directory anyone may write.
  std::function<void(const std::string& home, const std::string& outside)> plant;
  bool usable;
  uid_t user = kUser;
};

std::vector<Place> Places() {
  const auto own_home = [](const std::string& home) { Make(home, kUser, 0700, true); };
  const auto own_dir = [own_home](const std::string& home) {
    own_home(home);
    Make(home + "/duduzuvez210", kUser, 0700, true);
  };
  std::vector<Place> places = {
      {"the user's own place, made by the call", [=](auto& h, auto&) { own_home(h); }, true},
      {"a new directory in a sticky directory anyone may write",
       [](auto& h, auto&) { Make(h, 0, 01777, true); }, true},
      {"the configuration directory through a link of the user's",
       [=](auto& h, auto& o) {
         own_home(o + "/real");
         Link(o + "/real", h, kUser);
       },
       true},
      {"the registry's directory belongs to another user",
       [=](auto& h, auto&) {
         own_home(h);
         Make(h + "/duduzuvez210", kOther, 0777, true);
       },
       false},
      {"the registry's directory may be written by its group",
       [=](auto& h, auto&) {
         own_home(h);
         Make(h + "/duduzuvez210", kUser, 0770, true);
       },
       false},
      {"a directory above belongs to another user",
       [](auto& h, auto&) {
         Make(h, kOther, 0755, true);
         Make(h + "/duduzuvez210", kUser, 0700, true);
       },
       false},
      {"the configuration directory is a link of another user's",
       [=](auto& h, auto& o) {
         own_home(o + "/real");
         Link(o + "/real", h, kOther);
       },
       false},
      {"the database is a link to a file not yet made",
       [=](auto& h, auto& o) {
         own_dir(h);
         Link(o + "/made.db", h + "/duduzuvez210/registry.db", kOther);
       },
       false},
      {"root's database is a link another user planted",
       [](auto& h, auto& o) {
         Make(h, 0, 0755, true);
         Make(h + "/duduzuvez210", 0, 0700, true);
         Link(o + "/made.db", h + "/duduzuvez210/registry.db", kOther);
       },
       false, 0},
      {"the database is another user's file",
       [=](auto& h, auto&) {
         own_dir(h);
         Make(h + "/duduzuvez210/registry.db", kOther, 0666, false);
       },
       false},
      {"the database has a second name",
       [=](auto& h, auto& o) {
         own_dir(h);
         Make(h + "/duduzuvez210/registry.db", kUser, 0600, false);
         ASSERT_EQ(link((h + "/duduzuvez210/registry.db").c_str(), (o + "/copy.db").c_str()), 0);
       },
       false},
      {"the database is a FIFO",
       [=](auto& h, auto&) {
         own_dir(h);
         ASSERT_EQ(mkfifo((h + "/duduzuvez210/registry.db").c_str(), 0600), 0);
         ASSERT_EQ(chown((h + "/duduzuvez210/registry.db").c_str(), kUser, kUser), 0);
       },
       false},
      {"SQLite's log is a link to a file not yet made",
       [=](auto& h, auto& o) {
         own_dir(h);
         Link(o + "/made.db", h + "/duduzuvez210/registry.db-wal", kUser);
       },
       false},
  };
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    places.push_back({"SQLite's file beside the database belongs to another user",
                      [=](auto& h, auto&) {
                        own_dir(h);
                        Make(h + "/duduzuvez210/registry.db" + suffix, kOther, 0666, false);
                      },
                      false});
  }
  return places;
}

TEST(RegistryFaults, OnlyAPlaceOfTheUsersOwnIsUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to run parts as two other users";
  TempDir top;
  ASSERT_EQ(chmod(top.path().c_str(), 0755), 0);
  int n = 0;
  for (const Place& place : Places()) {
    SCOPED_TRACE(place.what);
    const std::string home = top.File("home" + std::to_string(++n));
    const std::string outside = top.File("outside" + std::to_string(n));
    Make(outside, 0, 01777, true);
    place.plant(home, outside);
    const std::string db = home + "/duduzuvez210/registry.db";
    const auto planted = [&](const char* suffix) { return ReadFileBytes(db + suffix); };
    const std::string wal = planted("-wal"), shm = planted("-shm"), journal = planted("-journal");
    const int status = dzv::testing::RunAsUser(place.user, place.user, [&] {
      SqliteRegistry reg(db, nullptr);
      reg.SetBusyTimeoutForTesting(milliseconds(100));
      if (!place.usable) return CallsThatSucceeded(reg).empty() ? 0 : 1;
      RegKey key = nullptr;
      if (reg.CreateKey(kHkcu, "Software\\App", kKeyAllAccess, &key) != kErrorSuccess) return 2;
      return reg.SetValue(key, "v", kRegSz, reinterpret_cast<const uint8_t*>("x"), 2);
    });
    if (status == 126) GTEST_SKIP() << "cannot become another user here";
    EXPECT_EQ(status, 0) << "1: a call succeeded; 2 or more: the user's own place was refused";
    EXPECT_FALSE(dzv::testing::FileExists(outside + "/made.db")) << "a link was followed";
    EXPECT_EQ(planted("-wal") + planted("-shm") + planted("-journal"), wal + shm + journal)
        << "another user's file was written";
  }
}

}  // namespace
}  // namespace dzv::platform
