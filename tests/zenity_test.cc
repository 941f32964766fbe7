// What the Linux dialogs ask of zenity and how its answers are laid out.
#include "platform/linux/zenity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dzv::platform {
namespace {

using Strings = std::vector<std::string>;

TEST(Zenity, FiltersBecomeCaseBlindGlobs) {
  const char list[] = "Text\0*.txt;*.doc\0All\0*.*\0Odd\0";
  const std::vector<FilterPair> pairs = FilterPairs(list);
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[1], FilterPair("All", "*.*"));
  EXPECT_TRUE(FilterPairs(nullptr).empty());

  EXPECT_EQ(ZenityFileFilter(pairs[0]), "Text | *.[tT][xX][tT] *.[dD][oO][cC]");
  EXPECT_EQ(ZenityFileFilter(pairs[1]), "All | *");
  EXPECT_EQ(ZenityFileFilter({"", " a b ; [x]?.1 "}), " a b ; [x]?.1  | [aA]?[bB] [[][xX]]?.1");
}

TEST(Zenity, CommandLine) {
  ZenityFileRequest request;
  request.multiple = true;
  request.has_title = true;
  request.title = "Öffnen";
  request.filters = {{"A", "*.a"}, {"B", "*.b"}, {"C", "*.c"}};
  request.filter_index = 2;
  request.filename = "/home/u/x y.txt";
  request.attach = 0x400008;
  // The selected pair goes first: zenity opens with its first filter.
  EXPECT_EQ(ZenityFileCommand("/usr/bin/zenity", request),
            (Strings{"/usr/bin/zenity", "--file-selection", "--multiple", "--separator=/",
                     "--title=Öffnen", "--filename=/home/u/x y.txt", "--file-filter=B | *.[bB]",
                     "--file-filter=A | *.[aA]", "--file-filter=C | *.[cC]", "--modal",
                     "--attach=4194312"}));

  // An index out of range keeps the order; a folder selection, no title.
  ZenityFileRequest folder;
  folder.directory = true;
  folder.filters = {{"A", "*.a"}, {"B", "*.b"}};
  folder.filter_index = 7;
  EXPECT_EQ(ZenityFileCommand("z", folder),
            (Strings{"z", "--file-selection", "--directory", "--file-filter=A | *.[aA]",
                     "--file-filter=B | *.[bB]"}));
}

TEST(Zenity, EnvironmentSpeaksUtf8AndKeepsTheLanguage) {
  EXPECT_EQ(ZenityEnvironment({"HOME=/h", "LC_CTYPE=ja_JP.SJIS", "LANG=de_DE.UTF-8"}),
            (Strings{"HOME=/h", "LANG=de_DE.UTF-8", "LC_CTYPE=C.UTF-8"}));
  EXPECT_EQ(ZenityEnvironment({"LC_MESSAGES=fr_FR", "LC_ALL=ja_JP.SJIS", "LANG=C", "X=1"}),
            (Strings{"X=1", "LANG=ja_JP.SJIS", "LC_CTYPE=C.UTF-8"}));
}

TEST(Zenity, OutputSplitsIntoPaths) {
  EXPECT_EQ(SplitZenityPaths("/a/b.txt\n"), (Strings{"/a/b.txt"}));
  EXPECT_EQ(SplitZenityPaths("/a/b//a/c d//x\ny\n"), (Strings{"/a/b", "/a/c d", "/x\ny"}));
  EXPECT_EQ(SplitZenityPaths("/x//y\n"), (Strings{"/x", "/y"}));
  EXPECT_EQ(SplitZenityPaths("/\n"), (Strings{"/"}));
  EXPECT_TRUE(SplitZenityPaths("\n").empty());
}

TEST(Zenity, SelectionLayout) {
  EXPECT_EQ(LayOutSelection({"/a/b.txt"}, true), std::string("/a/b.txt\0\0", 10));
  EXPECT_EQ(LayOutSelection({"/a/b.txt", "/a/c.txt"}, true),
            std::string("/a/\0b.txt\0c.txt\0\0", 17));
  EXPECT_EQ(LayOutSelection({"/a/bx", "/a/by"}, false), std::string("/a/ bx by\0\0", 11));
  // Files from different folders: the folder that holds them all.
  EXPECT_EQ(LayOutSelection({"/a/b/x", "/a/c/y", "/a/b/z"}, true),
            std::string("/a/\0b/x\0c/y\0b/z\0\0", 17));
  EXPECT_EQ(LayOutSelection({"/x", "/y"}, true), std::string("/\0x\0y\0\0", 7));
  EXPECT_EQ(LayOutSelection({}, true), "");
}

}  // namespace
}  // namespace dzv::platform
