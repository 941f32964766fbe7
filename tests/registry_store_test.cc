// The Linux registry's own: its database file, where it lives, and several
// processes at once.
#include "platform/linux/registry_store.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "test_util.h"

extern char** environ;

namespace dzv::platform {
namespace {

using dzv::testing::TempDir;

const RegKey kHkcu = DZV_HKEY_CURRENT_USER;

// The backend's database file; what every backend does is in
// registry_contract_test.cc.
class RegistryStore : public ::testing::Test {
 protected:
  TempDir dir_;
  SqliteRegistry reg_{dir_.File("config/duduzuvez210/registry.db"), nullptr};
};

TEST_F(RegistryStore, DataSurviveReopeningAndTheFileIsPrivate) {
  RegKey key = nullptr;
  ASSERT_EQ(reg_.CreateKey(kHkcu, "Persist", kKeyAllAccess, &key), kErrorSuccess);
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
