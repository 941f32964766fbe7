// The Linux registry itself: the key tree and its names, access rights, the
// codes of the calls, the database file, and several processes at once.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "platform/linux/registry_store.h"
#include "test_util.h"
#include "text/mbcs.h"

extern char** environ;

namespace dzv::platform {
namespace {

using dzv::testing::TempDir;

const RegKey kHkcu = DZV_HKEY_CURRENT_USER;

class RegistryStore : public ::testing::Test {
 protected:
  RegKey Create(const char* path, uint32_t access = kKeyAllAccess) {
    RegKey key = nullptr;
    EXPECT_EQ(reg_.CreateKey(kHkcu, path, access, &key), kErrorSuccess) << path;
    return key;
  }
  int32_t Open(const char* path, uint32_t access, RegKey* key) {
    return reg_.OpenKey(kHkcu, path, access, key);
  }
  void Set(RegKey key, const char* name, std::string_view data, uint32_t type = kRegSz) {
    EXPECT_EQ(reg_.SetValue(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                            static_cast<uint32_t>(data.size())),
              kErrorSuccess);
  }
  // Names at index 0, 1, ... until the enumeration ends.
  std::vector<std::string> ValueNames(RegKey key) {
    std::vector<std::string> names;
    char name[256];
    for (uint32_t i = 0;; ++i) {
      uint32_t size = sizeof name;
      if (reg_.EnumValue(key, i, name, &size, nullptr, nullptr, nullptr) != kErrorSuccess) break;
      names.emplace_back(name, size);
    }
    return names;
  }
  std::vector<std::string> KeyNames(RegKey key) {
    std::vector<std::string> names;
    char name[256];
    for (uint32_t i = 0;; ++i) {
      uint32_t size = sizeof name;
      if (reg_.EnumKey(key, i, name, &size) != kErrorSuccess) break;
      names.emplace_back(name, size);
    }
    return names;
  }

  TempDir dir_;
  SqliteRegistry reg_{dir_.File("config/duduzuvez210/registry.db"), nullptr};
};

TEST_F(RegistryStore, NamesKeepTheirCaseAndCompareWithoutIt) {
  RegKey app = Create("Software\\MyApp");
  Set(app, "Color", "red");
  Set(app, "COLOR", "blue");  // the same value
  EXPECT_EQ(ValueNames(app), std::vector<std::string>{"Color"});

  RegKey same = nullptr;
  ASSERT_EQ(Open("SOFTWARE\\myapp", kKeyRead, &same), kErrorSuccess);
  uint8_t data[16];
  uint32_t size = sizeof data;
  uint32_t type = 0;
  ASSERT_EQ(reg_.QueryValue(same, "color", &type, data, &size), kErrorSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), "blue");
  EXPECT_EQ(type, kRegSz);

  RegKey software = nullptr;
  ASSERT_EQ(Open("software", kKeyRead, &software), kErrorSuccess);
  EXPECT_EQ(KeyNames(software), std::vector<std::string>{"MyApp"});
  for (RegKey k : {app, same, software}) EXPECT_EQ(reg_.CloseKey(k), kErrorSuccess);
}

TEST_F(RegistryStore, SecondBytesOfDoubleByteCharactersAreNotFolded) {
  // In code page 932, 0x83 0x41 and 0x83 0x61 are two different characters.
  text::LeadByteTable sjis;
  sjis.SetRange(0x81, 0x9F);
  sjis.SetRange(0xE0, 0xFC);
  SqliteRegistry reg(dir_.File("sjis.db"), &sjis);
  RegKey key = nullptr;
  ASSERT_EQ(reg.CreateKey(kHkcu, "K", kKeyAllAccess, &key), kErrorSuccess);
  const uint8_t one = 1;
  for (const char* name : {"\x83\x41", "\x83\x61", "a\x83\x41", "A\x83\x41"}) {
    ASSERT_EQ(reg.SetValue(key, name, kRegBinary, &one, 1), kErrorSuccess);
  }
  char name[16];
  uint32_t size = sizeof name;
  EXPECT_EQ(reg.EnumValue(key, 2, name, &size, nullptr, nullptr, nullptr), kErrorSuccess);
  EXPECT_EQ(reg.EnumValue(key, 3, name, &size, nullptr, nullptr, nullptr), kErrorNoMoreItems);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
}

TEST_F(RegistryStore, AccessRightsOfTheHandleAreEnforced) {
  Set(Create("Rights\\Sub"), "v", "x");
  RegKey query = nullptr, write = nullptr, list = nullptr;
  ASSERT_EQ(Open("Rights", kKeyQueryValue, &query), kErrorSuccess);
  ASSERT_EQ(Open("Rights\\Sub", kKeyWrite, &write), kErrorSuccess);
  ASSERT_EQ(Open("Rights", kKeyEnumerateSubKeys, &list), kErrorSuccess);
  const uint8_t byte = 0;
  uint32_t size = 1;
  char name[8];

  EXPECT_EQ(reg_.SetValue(query, "v", kRegSz, &byte, 1), kErrorAccessDenied);
  EXPECT_EQ(reg_.DeleteValue(query, "v"), kErrorAccessDenied);
  EXPECT_EQ(reg_.EnumKey(query, 0, name, &size), kErrorAccessDenied);
  RegKey created = nullptr;
  EXPECT_EQ(reg_.CreateKey(query, "New", kKeyRead, &created), kErrorAccessDenied);
  EXPECT_EQ(reg_.CreateKey(list, "Sub", kKeyRead, &created), kErrorSuccess)
      << "opening an existing key needs no right to create";
  EXPECT_EQ(reg_.QueryValue(write, "v", nullptr, nullptr, &size), kErrorAccessDenied);
  EXPECT_EQ(reg_.EnumValue(list, 0, name, &size, nullptr, nullptr, nullptr), kErrorAccessDenied);
  size = sizeof name;
  EXPECT_EQ(reg_.EnumKey(list, 0, name, &size), kErrorSuccess);
  EXPECT_EQ(reg_.DeleteValue(write, "v"), kErrorSuccess);
  for (RegKey k : {query, write, list, created}) EXPECT_EQ(reg_.CloseKey(k), kErrorSuccess);
}

TEST_F(RegistryStore, AreasTooSmallGiveMoreData) {
  RegKey key = Create("Sizes");
  Set(key, "Name5", "123456");
  Create("Sizes\\Child");
  char area[16];

  uint32_t size = 5;
  std::memset(area, 'x', sizeof area);
  EXPECT_EQ(reg_.QueryValue(key, "Name5", nullptr, reinterpret_cast<uint8_t*>(area), &size),
            kErrorMoreData);
  EXPECT_EQ(size, 6u) << "the length needed";
  EXPECT_EQ(area[0], 'x') << "nothing is copied when the data do not fit";

  size = 5;  // "Child" needs 6 bytes with its zero
  EXPECT_EQ(reg_.EnumKey(key, 0, area, &size), kErrorMoreData);
  size = 6;
  EXPECT_EQ(reg_.EnumKey(key, 0, area, &size), kErrorSuccess);
  EXPECT_EQ(size, 5u);
  EXPECT_STREQ(area, "Child");

  uint32_t name_size = 5, data_size = sizeof area;
  EXPECT_EQ(reg_.EnumValue(key, 0, area, &name_size, nullptr, reinterpret_cast<uint8_t*>(area),
                           &data_size),
            kErrorMoreData);
  uint8_t data[4];
  name_size = sizeof area;
  data_size = sizeof data;
  EXPECT_EQ(reg_.EnumValue(key, 0, area, &name_size, nullptr, data, &data_size), kErrorMoreData);
  EXPECT_EQ(data_size, 6u);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
}

TEST_F(RegistryStore, ValuesKeepCreationOrderAndKeysSortByName) {
  RegKey key = Create("Order");
  for (const char* name : {"zeta", "Alpha", "mid", ""}) Set(key, name, "1");
  Set(key, "ALPHA", "2");  // replacing keeps the place
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"zeta", "Alpha", "mid", ""}));
  EXPECT_EQ(reg_.DeleteValue(key, "zeta"), kErrorSuccess);
  Set(key, "Zeta", "3");  // created anew: last
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"Alpha", "mid", "", "Zeta"}));

  for (const char* sub : {"Order\\b", "Order\\C", "Order\\a", "Order\\_"}) Create(sub);
  EXPECT_EQ(KeyNames(key), (std::vector<std::string>{"a", "b", "C", "_"}));
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
}

// Indexes asked for in turn are answered from the previous one; a change in
// between, by this connection or another, must not shift the answer.
TEST_F(RegistryStore, EnumerationByIndexSeesChangesBetweenCalls) {
  RegKey key = Create("Walk");
  SqliteRegistry other(reg_.path(), nullptr);
  RegKey other_key = nullptr;
  ASSERT_EQ(other.OpenKey(kHkcu, "Walk", kKeyAllAccess, &other_key), kErrorSuccess);
  char name[8];
  uint32_t size;
  auto at = [&](uint32_t index) {
    size = sizeof name;
    return reg_.EnumValue(key, index, name, &size, nullptr, nullptr, nullptr) == kErrorSuccess
               ? std::string(name)
               : std::string("<end>");
  };
  for (const char* n : {"a", "b", "c", "d", "e"}) Set(key, n, "1");
  EXPECT_EQ(at(0), "a");
  EXPECT_EQ(at(1), "b");
  EXPECT_EQ(reg_.DeleteValue(key, "a"), kErrorSuccess);
  EXPECT_EQ(at(2), "d");
  EXPECT_EQ(other.DeleteValue(other_key, "b"), kErrorSuccess);
  EXPECT_EQ(at(3), "<end>");
  EXPECT_EQ(at(2), "e");
  EXPECT_EQ(at(1), "d");
  EXPECT_EQ(at(2), "e");
  EXPECT_EQ(other.CloseKey(other_key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
}

TEST_F(RegistryStore, MissingThingsAndEndsOfEnumerations) {
  RegKey key = Create("A\\B\\C");  // the keys above are made too
  RegKey out = nullptr;
  EXPECT_EQ(Open("A\\B", kKeyRead, &out), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(out), kErrorSuccess);
  EXPECT_EQ(Open("A\\Missing", kKeyRead, &out), kErrorFileNotFound);
  uint32_t size = 0;
  EXPECT_EQ(reg_.QueryValue(key, "none", nullptr, nullptr, &size), kErrorFileNotFound);
  EXPECT_EQ(reg_.DeleteValue(key, "none"), kErrorFileNotFound);
  char name[8];
  size = sizeof name;
  EXPECT_EQ(reg_.EnumKey(key, 0, name, &size), kErrorNoMoreItems);
  EXPECT_EQ(reg_.EnumValue(key, 0, name, &size, nullptr, nullptr, nullptr), kErrorNoMoreItems);
  EXPECT_EQ(reg_.DeleteKey(kHkcu, "A\\Missing"), kErrorFileNotFound);
  EXPECT_NE(reg_.DeleteKey(kHkcu, "A\\B"), kErrorSuccess) << "a key with sub-keys stays";
  EXPECT_EQ(Open("A\\B\\C", kKeyRead, &out), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(out), kErrorSuccess);
  EXPECT_EQ(reg_.CreateKey(kHkcu, "A\\\\B", kKeyRead, &out), kErrorBadPathname);
  EXPECT_EQ(reg_.CreateKey(kHkcu, nullptr, kKeyRead, &out), kErrorInvalidParameter);
  EXPECT_EQ(reg_.CreateKey(kHkcu, std::string(256, 'k').c_str(), kKeyRead, &out),
            kErrorInvalidParameter);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
}

TEST_F(RegistryStore, StaleAndForeignHandlesGiveCodes) {
  RegKey key = Create("Gone\\Child");
  RegKey parent = Create("Gone");
  EXPECT_EQ(reg_.DeleteKey(parent, "child"), kErrorSuccess);
  const uint8_t byte = 0;
  uint32_t size = 1;
  EXPECT_EQ(reg_.SetValue(key, "v", kRegSz, &byte, 1), kErrorKeyDeleted);
  EXPECT_EQ(reg_.QueryValue(key, "v", nullptr, nullptr, &size), kErrorKeyDeleted);
  RegKey again = Create("Gone\\Child");  // a new key of the same name
  EXPECT_EQ(reg_.SetValue(key, "v", kRegSz, &byte, 1), kErrorKeyDeleted);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(key), kErrorInvalidHandle);
  EXPECT_EQ(reg_.SetValue(key, "v", kRegSz, &byte, 1), kErrorInvalidHandle);

  for (uintptr_t garbage : {uintptr_t{0}, uintptr_t{1}, uintptr_t{0xdeadbeef},
                            static_cast<uintptr_t>(0x80000004u),
                            static_cast<uintptr_t>(intptr_t{-5})}) {
    const RegKey bad = reinterpret_cast<RegKey>(garbage);
    EXPECT_EQ(reg_.SetValue(bad, "v", kRegSz, &byte, 1), kErrorInvalidHandle);
    EXPECT_EQ(reg_.CloseKey(bad), kErrorInvalidHandle);
  }
  EXPECT_EQ(reg_.CloseKey(kHkcu), kErrorSuccess) << "closing a root is allowed";
  EXPECT_EQ(reg_.CreateKey(kHkcu, "StillOpen", kKeyRead, &key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(again), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(parent), kErrorSuccess);
}

TEST_F(RegistryStore, RootsAreSeparateTrees) {
  RegKey key = nullptr;
  ASSERT_EQ(reg_.CreateKey(DZV_HKEY_LOCAL_MACHINE, "Shared", kKeyWrite, &key), kErrorSuccess);
  EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(Open("Shared", kKeyRead, &key), kErrorFileNotFound);
  EXPECT_EQ(reinterpret_cast<intptr_t>(DZV_HKEY_CLASSES_ROOT), intptr_t{INT32_MIN});
  for (RegKey root : {DZV_HKEY_CLASSES_ROOT, DZV_HKEY_USERS, DZV_HKEY_CURRENT_CONFIG}) {
    EXPECT_TRUE(IsPredefinedKey(root));
    EXPECT_EQ(reg_.OpenKey(root, "", kKeyRead, &key), kErrorSuccess);
    EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
  }
}

TEST_F(RegistryStore, DataSurviveReopeningAndTheFileIsPrivate) {
  RegKey key = Create("Persist");
  const uint8_t binary[] = {0, 1, 2, 0xFF};
  ASSERT_EQ(reg_.SetValue(key, "bin", kRegBinary, binary, sizeof binary), kErrorSuccess);
  ASSERT_EQ(reg_.SetValue(key, "empty", kRegNone, nullptr, 0), kErrorSuccess);
  reg_.Close(false);
  EXPECT_EQ(reg_.SetValue(key, "bin", kRegBinary, binary, 1), kErrorInvalidHandle)
      << "closing the database releases every handle";

  SqliteRegistry other(reg_.path(), nullptr);
  ASSERT_EQ(other.OpenKey(kHkcu, "persist", kKeyRead, &key), kErrorSuccess);
  uint8_t data[8];
  uint32_t size = sizeof data, type = 0;
  ASSERT_EQ(other.QueryValue(key, "BIN", &type, data, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(std::vector<uint8_t>(data, data + size), std::vector<uint8_t>(binary, binary + 4));
  ASSERT_EQ(other.QueryValue(key, "empty", &type, data, &size), kErrorSuccess);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, kRegNone);
  EXPECT_EQ(other.CloseKey(key), kErrorSuccess);

  struct stat st;
  ASSERT_EQ(stat(reg_.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(dir_.File("config/duduzuvez210").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(RegistryStore, UnusableDatabasesMakeCallsFail) {
  dzv::testing::WriteFileBytes(dir_.File("corrupt.db"),
                               std::string(4096, '\x5A') + "not a database");
  dzv::testing::WriteFileBytes(dir_.File("file"), "x");
  for (const std::string& path : {dir_.File("corrupt.db"), dir_.File("file/registry.db")}) {
    SqliteRegistry broken(path, nullptr);
    RegKey key = nullptr;
    EXPECT_NE(broken.CreateKey(kHkcu, "K", kKeyWrite, &key), kErrorSuccess) << path;
    uint32_t size = 0;
    EXPECT_NE(broken.QueryValue(kHkcu, "v", nullptr, nullptr, &size), kErrorSuccess) << path;
  }
  EXPECT_EQ(dzv::testing::ReadFileBytes(dir_.File("corrupt.db")).size(), 4096u + 14u);
}

TEST(RegistryLocation, FollowsTheConfigDirectoryConvention) {
  EXPECT_EQ(RegistryDatabasePath("/cfg", "/home/u"), "/cfg/duduzuvez210/registry.db");
  EXPECT_EQ(RegistryDatabasePath("/cfg/", "/home/u"), "/cfg/duduzuvez210/registry.db");
  EXPECT_EQ(RegistryDatabasePath(nullptr, "/home/u"), "/home/u/.config/duduzuvez210/registry.db");
  EXPECT_EQ(RegistryDatabasePath("", "/home/u"), "/home/u/.config/duduzuvez210/registry.db");
  EXPECT_EQ(RegistryDatabasePath("relative", "/home/u"),
            "/home/u/.config/duduzuvez210/registry.db");
  EXPECT_EQ(RegistryDatabasePath(nullptr, nullptr), "");
}

TEST(RegistryLocation, TheDefaultRegistryOpensOnFirstUse) {
  TempDir home;
  const std::string env = "XDG_CONFIG_HOME=" + home.path();
  if (!dzv::testing::InChildProcess({env.c_str()})) {
    EXPECT_TRUE(dzv::testing::FileExists(home.File("duduzuvez210/registry.db")));
    return;
  }
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  ASSERT_NE(xdg, nullptr);
  const std::string db = std::string(xdg) + "/duduzuvez210/registry.db";
  EXPECT_FALSE(dzv::testing::FileExists(db)) << "nothing is opened at load";
  ASSERT_EQ(_ProfileRegistryWrite(DZV_HKEY_CURRENT_USER, "Software\\Dzv", "Where", "here"), 1);
  EXPECT_TRUE(dzv::testing::FileExists(db));
}

// Starts the writer program with XDG_CONFIG_HOME set; its process id.
pid_t StartWriter(const std::string& config_home, const std::string& prefix, int count) {
  std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config_home};
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0) env.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = DZV_REGISTRY_WRITER_PATH;
  std::string path = "Software\\Crowd";
  std::string count_text = std::to_string(count);
  std::vector<char*> argv = {program.data(), path.data(), const_cast<char*>(prefix.c_str()),
                             count_text.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
    return -1;
  }
  return pid;
}

// Processes that find no registry yet all make it at once: each must see
// either no registry or the whole of one, and none may fail for it.
TEST(RegistryProcesses, ProcessesThatCreateTheRegistryTogetherAllSucceed) {
  constexpr int kRounds = 6;
  constexpr int kWriters = 12;
  for (int round = 0; round < kRounds; ++round) {
    TempDir home;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w) {
      pids.push_back(StartWriter(home.path(), "p" + std::to_string(w) + "-", 2));
      ASSERT_GT(pids.back(), 0);
    }
    int failed = 0;
    for (pid_t pid : pids) {
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    }
    EXPECT_EQ(failed, 0) << "round " << round << ": writers failed on a registry made at once";
  }
}

TEST(RegistryProcesses, EightWritersLoseNothing) {
  constexpr int kWriters = 8;
  constexpr int kValuesEach = 500;
  TempDir home;
  std::vector<pid_t> pids;
  for (int w = 0; w < kWriters; ++w) {
    pids.push_back(StartWriter(home.path(), "w" + std::to_string(w) + "-", kValuesEach));
    ASSERT_GT(pids.back(), 0);
  }
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
  }

  const std::string db = home.File("duduzuvez210/registry.db");
  SqliteRegistry reg(db, nullptr);
  RegKey key = nullptr;
  ASSERT_EQ(reg.OpenKey(kHkcu, "Software\\Crowd", kKeyRead, &key), kErrorSuccess);
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
      char data[64];
      uint32_t size = sizeof data;
      ASSERT_EQ(reg.QueryValue(key, name.c_str(), nullptr, reinterpret_cast<uint8_t*>(data), &size),
                kErrorSuccess)
          << name;
      EXPECT_EQ(std::string(data), "value of " + name);
    }
  }
  char name[32];
  uint32_t size = sizeof name;
  EXPECT_EQ(reg.EnumValue(key, kWriters * kValuesEach, name, &size, nullptr, nullptr, nullptr),
            kErrorNoMoreItems);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
  reg.Close(false);

  sqlite3* conn = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db.c_str(), &conn, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  std::string check;
  sqlite3_exec(
      conn, "PRAGMA integrity_check",
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += values[0] != nullptr ? values[0] : "";
        return 0;
      },
      &check, nullptr);
  std::string mode;
  sqlite3_exec(
      conn, "PRAGMA journal_mode",
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0] != nullptr ? values[0] : "";
        return 0;
      },
      &mode, nullptr);
  sqlite3_close(conn);
  EXPECT_EQ(check, "ok");
  EXPECT_EQ(mode, "wal");
}

}  // namespace
}  // namespace dzv::platform
