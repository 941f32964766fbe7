// dzv model: statistics and outlines of model files.
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

// ---- Model files -----------------------------------------------------------

TEST_F(DzvTest, ModelStatsCountsKindsNestingAndTheFinalLevel) {
  const Result r = Dzv({"model", "stats", HostPath(DZV_SOURCE_DIR "/examples/data/orders.mdl")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("final level: 0\n"));
  EXPECT_THAT(r.out, HasSubstr("State_Machine object                 9         1\n"));
  EXPECT_THAT(r.out, HasSubstr("Operation object                     3         6\n"));

  // A file cut short is left open; one with a stray ")" falls below 0.
  Write("open.mdl", "(object Petal\n    version \t47\n(object Design \"x\"\n    a (list b)\n");
  const Result open = Dzv({"model", "stats", "open.mdl"});
  EXPECT_THAT(open.out, HasSubstr("4 lines\n"));
  EXPECT_THAT(open.out, HasSubstr("deepest nesting: 2\n"));
  EXPECT_THAT(open.out, HasSubstr("final level: 2 (unbalanced: 2 left open)\n"));
  Write("closed.mdl", "(a)\r\n)\r\n(b\r\n");
  const Result closed = Dzv({"model", "stats", "closed.mdl"});
  EXPECT_THAT(closed.out, HasSubstr("final level: 0\n"));
  EXPECT_THAT(closed.out, HasSubstr("the level first falls below 0 at line 2\n"));

  const Result missing = Dzv({"model", "stats", "absent.mdl"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("absent.mdl: no such file"));
}

TEST_F(DzvTest, ModelOutlineIndentsObjectsByLevel) {
  Write("m.mdl",
        "(object Petal\n"
        "    version \t47)\n"
        "(object Design \"Logical View\"\n"
        "    root \t(object Class_Category \"Top\"\n"
        "\tdocumentation \t\"not (object x\"\n"
        "|(object Text \"in a text\"\n"
        "\titems \t(list x\n"
        "\t    (object Class \"A\")))\n"
        "    machine \t(object State_Machine \"Life\"))\n");
  const Result r = Dzv({"model", "outline", "--line-numbers", "m.mdl"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "1: Petal\n"
            "3: Design \"Logical View\"\n"
            "4:   Class_Category \"Top\"\n"
            "8:       Class \"A\"\n"
            "9:   State_Machine \"Life\"\n");
}

TEST_F(DzvTest, ModelProgressGoesToStandardErrorOnly) {
  const std::string file = HostPath(DZV_SOURCE_DIR "/examples/data/orders.mdl");
  const Result quiet = Dzv({"model", "stats", file});
  const Result bar = Dzv({"model", "stats", "--progress", file});
  EXPECT_EQ(bar.out, quiet.out);
  EXPECT_EQ(quiet.err, "");
  EXPECT_THAT(bar.err, HasSubstr("100%"));
}

TEST_F(DzvTest, RealModelFilesBalanceAndEveryLineIsCounted) {
  const std::filesystem::path dir = SharedDataDir() / "rose";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no model files in " << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".mdl") continue;
    const std::string bytes = ReadFileBytes(entry.path().string());
    const Result r = Dzv({"model", "stats", HostPath(entry.path().string())});
    ASSERT_EQ(r.status, 0) << entry.path();
    const auto lines = std::count(bytes.begin(), bytes.end(), '\n');
    EXPECT_THAT(r.out, HasSubstr(": " + std::to_string(lines) + " lines\n")) << entry.path();
    EXPECT_THAT(r.out, HasSubstr("final level: 0\n")) << entry.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace dzv::cli_test
