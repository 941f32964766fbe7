// dzv profile: the two layers of a profile.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli_test_util.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dzv::cli_test {
namespace {

// ---- Profiles ------------------------------------------------------------

TEST_F(DzvTest, ProfileLayersAreReadInOrderAndWrittenOneAtATime) {
  EXPECT_EQ(
      Dzv({"profile", "set", "--layer", "default", "--default", "d.dict", "Win", "Left", "100"})
          .status,
      0);
  EXPECT_EQ(Dzv({"profile", "set", "--layer", "default", "--default", "d.dict", "Win", "Top", "50"})
                .status,
            0);
  const Result set = Dzv({"profile", "set", "--user", "u.dict", "Win", "Left", "120"});
  EXPECT_EQ(set.status, 0);
  EXPECT_THAT(set.out, HasSubstr("user layer u.dict"));
  // Each layer is an archive of its own: "section.entry" items.
  EXPECT_EQ(Dzv({"dict", "get", "u.dict", "Win.Left"}).out, "120\n");
  EXPECT_EQ(Dzv({"dict", "show", "--text", "d.dict"}).out, "Win.Left=100\nWin.Top=50\n");

  const std::vector<std::string> layers = {"--user", "u.dict", "--default", "d.dict"};
  auto profile = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 2, layers.begin(), layers.end());
    return Dzv(args);
  };
  EXPECT_EQ(profile({"profile", "get", "Win", "Left"}).out, "120\n");
  EXPECT_EQ(profile({"profile", "get", "Win", "Top"}).out, "50\n");
  const Result list = profile({"profile", "list", "Win"});
  EXPECT_THAT(list.out, HasSubstr("user     Left=120\n"));
  EXPECT_THAT(list.out, HasSubstr("default  Top=50\n"));
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2);

  const Result deleted = profile({"profile", "delete", "Win", "Left"});
  EXPECT_EQ(deleted.status, 0);
  EXPECT_THAT(deleted.out, HasSubstr("now reads 100 from the default layer"));
  EXPECT_EQ(profile({"profile", "get", "Win", "Left"}).out, "100\n");

  const std::string user_before = Read("u.dict");
  const Result again = profile({"profile", "delete", "Win", "Left"});
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.err, HasSubstr("not set in the user layer u.dict"));
  EXPECT_EQ(Read("u.dict"), user_before);

  const Result nowhere = profile({"profile", "get", "Win", "Width"});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_THAT(nowhere.err, HasSubstr("[Win] Width: set in neither layer"));

  const Result section =
      Dzv({"profile", "delete-section", "--layer", "default", "--default", "d.dict", "Win"});
  EXPECT_EQ(section.status, 0);
  EXPECT_THAT(section.out, HasSubstr("deleted 2 settings"));
  EXPECT_EQ(Dzv({"dict", "show", "d.dict"}).out, "");
}

TEST_F(DzvTest, ProfileEntriesKeepTheirEscapesAndLongKeysAreRefused) {
  EXPECT_EQ(Dzv({"profile", "set", "--user", "u.dict", "S", "a,b.c=d", "v"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "u.dict", "S.a<comma>b<dot>c<equal>d"}).out, "v\n");
  EXPECT_EQ(Dzv({"profile", "list", "--user", "u.dict", "S"}).out,
            "user     a<comma>b<dot>c<equal>d=v\n");
  EXPECT_EQ(Dzv({"profile", "get", "--user", "u.dict", "S", "a<comma>b<dot>c<equal>d"}).out, "v\n");
  // 250 bytes of section, "." and five "," escaped to 35 bytes: 286.
  const Result longer =
      Dzv({"profile", "set", "--user", "u.dict", std::string(250, 's'), ",,,,,", "v"});
  EXPECT_EQ(longer.status, 1);
  EXPECT_THAT(longer.err, HasSubstr("its key would have 286 bytes"));
}

}  // namespace
}  // namespace dzv::cli_test
