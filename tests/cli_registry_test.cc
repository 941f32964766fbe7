// dzv registry: values and keys of the registry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli_test_util.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dzv::cli_test {
namespace {

// ---- Registry ----------------------------------------------------------------

TEST_F(DzvTest, RegistryValuesRoundTripAndMissingKeysAreNamed) {
  const std::string key = "HKCU\\Software\\Acme\\Orders";
  EXPECT_EQ(Dzv({"registry", "write", key, "Server", "db1"}).status, 0);
  EXPECT_EQ(Dzv({"registry", "write", "HKEY_CURRENT_USER\\Software\\Acme\\Orders", "Port", "1521"})
                .status,
            0);
#ifdef _WIN32
  // The system's registry promises no order of values (Wine sorts them).
  const std::string listed = Dzv({"registry", "list", key}).out;
  EXPECT_TRUE(listed == "Server\nPort\n" || listed == "Port\nServer\n") << listed;
#else
  EXPECT_EQ(Dzv({"registry", "list", key}).out, "Server\nPort\n");
#endif
  EXPECT_EQ(Dzv({"registry", "read", "hkcu\\software\\acme\\orders", "server"}).out, "db1\n");
  EXPECT_EQ(Dzv({"registry", "read", "--raw", key, "Port"}).out, std::string("1521\0", 5));
  // The roots are separate trees.
  EXPECT_EQ(Dzv({"registry", "read", "HKLM\\Software\\Acme\\Orders", "Server"}).status, 1);

  const Result no_value = Dzv({"registry", "read", key, "Nope"});
  EXPECT_EQ(no_value.status, 1);
  EXPECT_THAT(no_value.err, HasSubstr(key + ": no value 'Nope'"));
  const Result no_key = Dzv({"registry", "read", key + "\\Deeper", "Server"});
  EXPECT_EQ(no_key.status, 1);
  EXPECT_THAT(no_key.err, HasSubstr(key + "\\Deeper: no such registry key"));

  EXPECT_EQ(Dzv({"registry", "delete", key, "Port"}).status, 0);
  EXPECT_EQ(Dzv({"registry", "list", key}).out, "Server\n");
  EXPECT_EQ(Dzv({"registry", "delete", key, "Port"}).status, 1);
  EXPECT_EQ(Dzv({"registry", "delete-key", "HKCU\\Software\\Acme"}).status, 0);
  const Result gone = Dzv({"registry", "list", key});
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, HasSubstr("no such registry key"));
  EXPECT_EQ(Dzv({"registry", "delete-key", "HKCU\\Software\\Acme"}).status, 1);
}

TEST_F(DzvTest, ARegistryThatCannotBeOpenedIsSaidSo) {
  DZV_LINUX_ONLY("the registry is a database file of the user's");
#ifndef _WIN32
  Write("config", "a file where the registry's directory should be");
  const Result r = Dzv({"registry", "read", "HKCU\\Software", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("the registry (" + File("config") +
                               "/duduzuvez210/registry.db) cannot be opened"));
  EXPECT_EQ(Dzv({"registry", "write", "HKCU\\Software", "x", "y"}).status, 1);

  // A place that is not the user's own alone: the path and the reason.
  const std::string dir = File("config") + "/duduzuvez210";
  ASSERT_EQ(unlink(File("config").c_str()), 0);
  ASSERT_EQ(mkdir(File("config").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  const struct {
    std::function<void()> make;
    std::string reason;
  } places[] = {
      {[&] { EXPECT_EQ(chmod(dir.c_str(), 0777), 0); }, dir + " may be written by other users"},
      {[&] {
         EXPECT_EQ(chmod(dir.c_str(), 0700), 0);
         EXPECT_EQ(symlink(File("elsewhere.db").c_str(), (dir + "/registry.db").c_str()), 0);
       },
       dir + "/registry.db is a symbolic link"},
  };
  for (const auto& place : places) {
    place.make();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"registry", "write", "HKCU\\Software", "x", "y"},
          {"registry", "read", "HKCU\\Software", "x"}}) {
      const Result r = Dzv(args);
      EXPECT_EQ(r.status, 1) << args[1];
      EXPECT_THAT(r.err, HasSubstr(place.reason)) << args[1];
    }
  }
  EXPECT_FALSE(dzv::testing::FileExists(File("elsewhere.db"))) << "the link was followed";
#endif
}

TEST_F(DzvTest, ARegistryLockedByAnotherProcessIsSaidSo) {
  DZV_LINUX_ONLY("the registry is a database file that another process can lock");
#ifndef _WIN32
  const std::string key = "HKCU\\Software\\Acme";
  ASSERT_EQ(Dzv({"registry", "write", key, "v", "1"}).status, 0);
  const std::string database = File("config") + "/duduzuvez210/registry.db";
  {
    // Another process's write transaction: reads go on, writes wait the
    // library's 10 s and fail.
    dzv::testing::SqliteLockHolder writer(database,
                                          "BEGIN IMMEDIATE; DELETE FROM reg_value "
                                          "WHERE 0");
    ASSERT_TRUE(writer.holding());
    const Run deleting = Start({"registry", "delete", key, "v"}, "", "1");
    const Run writing = Start({"registry", "write", key, "w", "2"}, "", "2");
    EXPECT_EQ(Dzv({"registry", "read", key, "v"}).out, "1\n");
    for (const Run& run : {deleting, writing}) {
      const Result r = Finish(run);
      EXPECT_EQ(r.status, 1);
      EXPECT_THAT(r.err, HasSubstr("the registry (" + database + ") is locked by another process"));
    }
  }
  EXPECT_EQ(Dzv({"registry", "delete", key, "v"}).status, 0);
#endif
}

}  // namespace
}  // namespace dzv::cli_test
