// dzv dict: archives, edits at the same time, text forms, merge and
// attributes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "cli_test_util.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dzv::cli_test {
namespace {

// ---- Dictionary archives -------------------------------------------------

TEST_F(DzvTest, SetGetDeleteRoundTripThroughTheArchive) {
  EXPECT_EQ(Dzv({"dict", "set", "a.dict", "Window.Left", "120"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "set", "a.dict", "Window.Top", "80"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "set", "a.dict", "Window.Left", "130"}).status, 0);
  const Result get = Dzv({"dict", "get", "a.dict", "Window.Left"});
  EXPECT_EQ(get.status, 0);
  EXPECT_EQ(get.out, "130\n");
  // The file is the library's archive: two items, each key and value
  // length-prefixed.
  const std::string bytes = Read("a.dict");
  EXPECT_EQ(bytes.substr(0, 2), std::string("\x02\x00", 2));
  EXPECT_EQ(bytes.size(), 2u + 1 + 11 + 1 + 3 + 1 + 10 + 1 + 2);

  const Result deleted = Dzv({"dict", "delete", "a.dict", "Window.Left"});
  EXPECT_EQ(deleted.status, 0);
  EXPECT_THAT(deleted.out, HasSubstr("1 item left"));
  const Result gone = Dzv({"dict", "get", "a.dict", "Window.Left"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, HasSubstr("a.dict: no key 'Window.Left'"));

  const std::string before = Read("a.dict");
  const Result absent = Dzv({"dict", "delete", "a.dict", "Window.Left"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(Read("a.dict"), before);
}

TEST_F(DzvTest, ShowListsEveryItemInArchiveOrderWithControlBytesVisible) {
  Write("a.dict", Archive({{"z", "last"},
                           {"list", std::string("a\x1f"
                                                "b\x1f")},
                           {"k=ey", "back\\slash\ttab"},
                           {"a", "first"}}));
  const Result shown = Dzv({"dict", "show", "a.dict"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  // Distinct buckets: the library enumerates by bucket; the file's order
  // does not decide it, so compare as a set of lines and check the form.
  EXPECT_THAT(shown.out, HasSubstr("list=a\\x1fb\\x1f\n"));
  EXPECT_THAT(shown.out, HasSubstr("k\\x3dey=back\\\\slash\\ttab\n"));
  EXPECT_THAT(shown.out, HasSubstr("z=last\n"));
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 4);

  const Result text = Dzv({"dict", "show", "--text", "a.dict"});
  EXPECT_EQ(text.out, "a=first\nk=ey=back\\\\slash\\ttab\nlist=a\\x1fb\\x1f\nz=last\n");

  // The escapes read back: get and set with --escapes.
  const Result get = Dzv({"dict", "get", "--escapes", "a.dict", "list"});
  EXPECT_EQ(get.out, "a\\x1fb\\x1f\n");
  EXPECT_EQ(Dzv({"dict", "set", "--escapes", "a.dict", "tab\\tkey", "v\\x1c1\\x1d"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "a.dict", "tab\tkey"}).out,
            "v\x1c"
            "1\x1d\n");
}

TEST_F(DzvTest, UnreadableArchivesAreNamedExplainedAndNeverChanged) {
  const std::string whole = Archive({{"alpha", "1"}, {"beta", "22"}, {"gamma", "333"}});
  Write("cut.dict", whole.substr(0, whole.size() - 2));
  Write("empty.dict", "");
  Write("text.dict", "a=1\r\nb=2\r\n");
  std::filesystem::create_directory(File("folder.dict"));
  const struct {
    const char* file;
    const char* says;
  } cases[] = {
      {"missing.dict", "missing.dict: no such file"},
      {"cut.dict", "cut.dict: truncated, or not a dictionary archive: it announces 3 items"},
      {"empty.dict", "empty.dict: the file is empty"},
      {"text.dict", "text.dict: truncated, or not a dictionary archive"},
      {"folder.dict", "folder.dict: is a directory"},
  };
  for (const auto& c : cases) {
    const std::string before = FileExists(File(c.file)) ? Read(c.file) : "";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dict", "show", c.file},
          std::vector<std::string>{"dict", "delete", c.file, "alpha"},
          std::vector<std::string>{"dict", "export", c.file, "out.txt"},
          std::vector<std::string>{"profile", "set", "--user", c.file, "S", "E", "V"}}) {
      if (std::string(c.file) == "missing.dict" && args[1] == "set") continue;  // creates it
      const Result r = Dzv(args);
      EXPECT_EQ(r.status, 1) << c.file << " " << args[1];
      EXPECT_THAT(r.err, HasSubstr(c.says)) << args[1];
      EXPECT_EQ(r.out, "");
    }
    if (std::string(c.file) != "folder.dict") {
      EXPECT_EQ(FileExists(File(c.file)) ? Read(c.file) : "", before) << c.file;
    }
  }
  EXPECT_THAT(Dzv({"dict", "show", "cut.dict"}).err, HasSubstr("(2 complete before it)"));
  EXPECT_FALSE(FileExists(File("out.txt")));
}

TEST_F(DzvTest, BytesAfterTheLastItemAreReportedAndNeverDroppedBySaving) {
  const std::string bytes = Archive({{"k", "v"}}) + "trailing";
  Write("a.dict", bytes);
  const Result shown = Dzv({"dict", "show", "a.dict"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, "k=v\n");
  EXPECT_THAT(shown.err, HasSubstr("warning: a.dict: 8 bytes follow its last item"));
  const Result set = Dzv({"dict", "set", "a.dict", "k", "w"});
  EXPECT_EQ(set.status, 1);
  EXPECT_THAT(set.err, HasSubstr("saving would drop them"));
  EXPECT_EQ(Read("a.dict"), bytes);
}

TEST_F(DzvTest, RepeatedKeysAreReportedWithTheLastValueKept) {
  Write("a.dict", Archive({{"k", "first"}, {"k", "second"}}));
  const Result shown = Dzv({"dict", "show", "a.dict"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, "k=second\n");
  EXPECT_THAT(shown.err, HasSubstr("holds 2 items but only 1 different keys"));
}

TEST_F(DzvTest, ASaveThatCannotBeDoneIsReported) {
  const Result r = Dzv({"dict", "set", "nodir/a.dict", "k", "v"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("nodir/a.dict: could not be saved: the directory 'nodir' does "
                               "not exist"));
}

// ---- Edits at the same time, outputs that are no files ----------------------

TEST_F(DzvTest, EditsOfOneArchiveAtTheSameTimeAreAllKept) {
  Write("a.dict", Archive({{"base", "1"}}));
#ifndef _WIN32
  ASSERT_EQ(chmod(File("a.dict").c_str(), 0640), 0);
#endif
  std::vector<Run> runs;
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i);
    runs.push_back(Start({"dict", "set", "a.dict", "k" + n, "v"}, "", "d" + n));
    runs.push_back(Start({"profile", "set", "--user", "a.dict", "S", "E" + n, "v"}, "", "p" + n));
  }
  for (const Run& run : runs) {
    const Result r = Finish(run);
    EXPECT_EQ(r.status, 0) << r.err;
  }
  const Result shown = Dzv({"dict", "show", "--text", "a.dict"});
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 21) << shown.out;
  // The lock file stays beside the archive, empty, with the archive's bits.
  EXPECT_EQ(Read(".a.dict.lock"), "");
#ifndef _WIN32
  struct stat lock {};
  ASSERT_EQ(stat(File(".a.dict.lock").c_str(), &lock), 0);
  EXPECT_EQ(lock.st_size, 0);
  EXPECT_EQ(lock.st_mode & 07777, 0640u);
#endif
}

TEST_F(DzvTest, AnEditLocksBesideTheLinkedFileAndGivesUpOnAHeldLock) {
  DZV_LINUX_ONLY("symbolic links and flock; Windows: AnEditGivesUpOnALockHeldByAnotherProcess");
#ifndef _WIN32
  mkdir(File("real").c_str(), 0700);
  Write("real/a.dict", Archive({{"k", "v"}}));
  ASSERT_EQ(symlink("real/a.dict", File("link.dict").c_str()), 0);
  const std::string before = Read("real/a.dict");
  char* real = realpath(File("real").c_str(), nullptr);
  const std::string lock = std::string(real) + "/.a.dict.lock";
  std::free(real);
  const int held = open(lock.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const Result waited = Dzv({"dict", "set", "link.dict", "k", "w"});
  EXPECT_EQ(waited.status, 1);
  EXPECT_THAT(waited.err, HasSubstr(lock + ": another process has held the lock of link.dict"));
  EXPECT_EQ(Read("real/a.dict"), before);
  close(held);
  EXPECT_EQ(Dzv({"dict", "set", "link.dict", "k", "w"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "get", "real/a.dict", "k"}).out, "w\n");

  // A link planted where a lock file goes is not followed.
  ASSERT_EQ(symlink(File("elsewhere").c_str(), File(".b.dict.lock").c_str()), 0);
  const Result planted = Dzv({"profile", "set", "--user", "b.dict", "S", "E", "V"});
  EXPECT_EQ(planted.status, 1);
  EXPECT_THAT(planted.err, HasSubstr(".b.dict.lock: the lock file of b.dict cannot be used: "
                                     "it is a symbolic link"));
  EXPECT_FALSE(FileExists(File("elsewhere")));
  EXPECT_FALSE(FileExists(File("b.dict")));
#endif
}

// A link that another user planted in a sticky directory that everyone may
// write (/tmp) is followed neither by the library nor by dzv, at the end of
// the path or on the way: no lock file, no archive, anywhere it leads.
TEST_F(DzvTest, ALinkPlantedByAnotherUserIsRefusedBeforeAnyLockIsMade) {
  DZV_LINUX_ONLY("sticky directories and users of POSIX");
#ifndef _WIN32
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to plant the links as another user";
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  mkdir(File("pub").c_str(), 0777);
  ASSERT_EQ(chmod(File("pub").c_str(), 01777), 0);
  mkdir(File("target").c_str(), 0755);
  const std::string target = File("target");
  const int planted = dzv::testing::RunAsUser(65534, 65534, [&] {
    return symlink((target + "/a.dict").c_str(), File("pub/a.dict").c_str()) == 0 &&
                   symlink(target.c_str(), File("pub/dir").c_str()) == 0
               ? 0
               : 1;
  });
  if (planted == 126) GTEST_SKIP() << "cannot become another user here";
  ASSERT_EQ(planted, 0);
  for (const std::vector<std::string>& args : {
           std::vector<std::string>{"dict", "set", "pub/a.dict", "k", "v"},
           std::vector<std::string>{"dict", "set", "pub/dir/b.dict", "k", "v"},
           std::vector<std::string>{"profile", "set", "--user", "pub/dir/c.dict", "S", "E", "V"},
       }) {
    const Result r = Dzv(args);
    EXPECT_EQ(r.status, 1) << ::testing::PrintToString(args);
    EXPECT_THAT(r.err, HasSubstr("is a link planted by another user (uid 65534) in the sticky"))
        << ::testing::PrintToString(args);
    EXPECT_THAT(r.err, Not(HasSubstr("disk may be full")));
  }
  EXPECT_EQ(dzv::testing::Listing(target), std::set<std::string>());
  // The same link of the directory's owner is followed.
  ASSERT_EQ(symlink(target.c_str(), File("pub/own").c_str()), 0);
  EXPECT_EQ(Dzv({"dict", "set", "pub/own/d.dict", "k", "v"}).status, 0);
  EXPECT_TRUE(FileExists(target + "/d.dict"));
#endif
}

TEST_F(DzvTest, OutputsThatAreNotRegularFilesAreRefused) {
  DZV_LINUX_ONLY("FIFOs and /dev/null; Windows: NulAPipeAndAHeldFileAreNoOutputs");
#ifndef _WIN32
  Write("a.dict", Archive({{"k", "v"}}));
  Write("a.txt", "x=1\r\n");
  ASSERT_EQ(mkfifo(File("fifo").c_str(), 0600), 0);
  // A reader on the FIFO, so that a run writing into it does not wait.
  const int reader = open(File("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"dict", "export", "a.dict", "fifo"},
      {"dict", "import", "a.txt", "fifo"},
      {"dict", "merge", "a.dict", "a.dict", "fifo"},
      {"dict", "set", "fifo", "k", "v"},
      {"profile", "set", "--user", "fifo", "S", "E", "V"},
      {"dict", "export", "a.dict", "/dev/null"},
  };
  for (const auto& args : commands) {
    const Result r = Dzv(args);
    EXPECT_EQ(r.status, 1) << ::testing::PrintToString(args);
    EXPECT_THAT(r.err, ::testing::AnyOf(HasSubstr("fifo: is a FIFO (named pipe), not a regular"),
                                        HasSubstr("/dev/null: is a device, not a regular")))
        << ::testing::PrintToString(args);
  }
  char byte;
  EXPECT_LE(read(reader, &byte, 1), 0) << "something was written into the FIFO";
  close(reader);
#endif
}

// ---- Text forms ------------------------------------------------------------

TEST_F(DzvTest, ExportAndImportRoundTripTheItems) {
  Write("a.dict", Archive({{"b", "2"}, {"a", "1"}, {"list", "x\x1fy\x1f"}}));
  const Result exported = Dzv({"dict", "export", "a.dict", "a.txt"});
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(Read("a.txt"), "a=1\r\nb=2\r\nlist=x\x1fy\x1f\r\n");
  EXPECT_EQ(Dzv({"dict", "import", "a.txt", "b.dict"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "--text", "b.dict"}).out,
            Dzv({"dict", "show", "--text", "a.dict"}).out);

  // --add keeps the archive's other items; without it the text replaces them.
  Write("more.txt", "c=3\r\na=10\r\n");
  EXPECT_EQ(Dzv({"dict", "import", "--add", "more.txt", "b.dict"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "--text", "b.dict"}).out, "a=10\nb=2\nc=3\nlist=x\\x1fy\\x1f\n");
  EXPECT_EQ(Dzv({"dict", "import", "more.txt", "b.dict"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "--text", "b.dict"}).out, "a=10\nc=3\n");
}

TEST_F(DzvTest, ImportRefusesTextsWithoutItemsAndWarnsAtAZeroByte) {
  Write("a.dict", Archive({{"keep", "me"}}));
  const std::string before = Read("a.dict");
  Write("notes.txt", "no items here\r\njust words\r\n");
  const Result none = Dzv({"dict", "import", "notes.txt", "a.dict"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("notes.txt: holds no items"));
  EXPECT_EQ(Read("a.dict"), before);
  const Result missing = Dzv({"dict", "import", "absent.txt", "a.dict"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("absent.txt: no such file"));

  Write("zero.txt", std::string("a=1\r\nb=2\0c=3\r\n", 14));
  const Result zero = Dzv({"dict", "import", "zero.txt", "z.dict"});
  EXPECT_EQ(zero.status, 0);
  EXPECT_THAT(zero.err, HasSubstr("a zero byte at offset 8"));
  EXPECT_EQ(Dzv({"dict", "show", "--text", "z.dict"}).out, "a=1\nb=2\n");
}

TEST_F(DzvTest, ArgumentsInTheWrongOrderNeverReplaceAFile) {
  Write("a.dict", Archive({{"k", "v"}}));
  Write("a.txt", "x=1\r\n");
  const std::string archive = Read("a.dict");
  const Result export_over_archive = Dzv({"dict", "export", "a.dict", "a.dict"});
  EXPECT_EQ(export_over_archive.status, 1);
  EXPECT_THAT(export_over_archive.err, HasSubstr("a.dict: is a dictionary archive"));
  const Result import_over_text = Dzv({"dict", "import", "a.txt", "a.txt"});
  EXPECT_EQ(import_over_text.status, 1);
  EXPECT_THAT(import_over_text.err, HasSubstr("a.txt: exists and is not a dictionary archive"));
  const Result merge_over_text = Dzv({"dict", "merge", "a.dict", "a.dict", "a.txt"});
  EXPECT_EQ(merge_over_text.status, 1);
  EXPECT_EQ(Read("a.dict"), archive);
  EXPECT_EQ(Read("a.txt"), "x=1\r\n");
  // Replacing an archive with an archive is what import and merge are for.
  EXPECT_EQ(Dzv({"dict", "import", "a.txt", "a.dict"}).status, 0);
  EXPECT_EQ(Dzv({"dict", "show", "a.dict"}).out, "x=1\n");
}

TEST_F(DzvTest, ExportNamesItemsThatWillNotReadBack) {
  Write("a.dict", Archive({{"a=b", "c"}, {"line", "one\ntwo"}, {"fine", "x"}}));
  const Result r = Dzv({"dict", "export", "a.dict", "a.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.err, HasSubstr("the item 'a=b' will not read back"));
  EXPECT_THAT(r.err, HasSubstr("the item 'line' will not read back"));
  EXPECT_THAT(r.err, Not(HasSubstr("'fine'")));
}

// ---- Merge and attributes ----------------------------------------------

TEST_F(DzvTest, MergeTakesThePrefixedItemsAndMergesLists) {
  Write("first.dict", Archive({{"App.QueryList",
                                "a\x1f"
                                "b\x1f"},
                               {"App.X", "1"},
                               {"Other", "o"}}));
  Write("second.dict", Archive({{"App.QueryList",
                                 "c\x1f"
                                 "a\x1f"},
                                {"App.X", "2"}}));
  const Result r =
      Dzv({"dict", "merge", "--prefix", "App.", "first.dict", "second.dict", "out.dict"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Dzv({"dict", "show", "--text", "out.dict"}).out,
            "App.QueryList=c\\x1fa\\x1fb\\x1f\nApp.X=2\n");
  const Result missing = Dzv({"dict", "merge", "first.dict", "nope.dict", "out2.dict"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("nope.dict: no such file"));
  EXPECT_FALSE(FileExists(File("out2.dict")));
}

TEST_F(DzvTest, AttrReadsStructuredValuesAndTheAttributeItems) {
  Write("a.dict", Archive({{"F",
                            "Title\x1c"
                            "Customer\x1dLabel\x1c"
                            "Cust.\x1d"},
                           {"G.Status Text", "help"}}));
  EXPECT_EQ(Dzv({"dict", "attr", "a.dict", "F", "Label"}).out, "Cust.\n");
  EXPECT_EQ(Dzv({"dict", "attr", "a.dict", "G", "S"}).out, "help\n");
  const Result none = Dzv({"dict", "attr", "a.dict", "F", "Width"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("the key 'F' has no attribute 'Width'"));
}

}  // namespace
}  // namespace dzv::cli_test
