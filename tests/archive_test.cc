// Dictionary archive files: the bytes DictionarySave writes, what
// DictionaryOpen makes of every kind of file, and the reader's buffering.
#include "dictionary/archive.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "fault/alloc.h"
#include "fault/files.h"
#include "memory_dir.h"
#include "platform/files.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

std::string Saved(const Dict& d) {
  MemoryDir dir;
  const std::string path = dir.File("a.dic");
  EXPECT_EQ(DictionarySave(d.h(), path.c_str()), 1);
  return dir.Read(path);
}

// Opens `bytes` as an archive file into `d`; returns DictionaryOpen's result.
int32_t OpenBytes(const Dict& d, const std::string& bytes) {
  MemoryDir dir;
  const std::string path = dir.File("in.dic");
  dir.Write(path, bytes);
  return DictionaryOpen(d.h(), path.c_str());
}

TEST(ArchiveSave, SmallExamples) {
  Dict empty;
  EXPECT_EQ(Saved(empty), std::string("\0\0", 2));
  Dict one(Items{{"a", "b"}});
  EXPECT_EQ(Saved(one), std::string("\x01\x00\x01"
                                    "a\x01"
                                    "b",
                                    6));
  // Enumeration order: bucket 0 ('vj', then the newer 'gqh' before it),
  // then bucket 97 ('a'); empty values are a single zero byte.
  Dict three(Items{{"vj", "1"}, {"gqh", ""}, {"a", "xyz"}});
  EXPECT_EQ(Saved(three),
            Count(3) + Str("gqh") + Str("") + Str("vj") + Str("1") + Str("a") + Str("xyz"));
}

TEST(ArchiveSave, LengthPrefixBoundaries) {
  struct Case {
    size_t length;
    std::string prefix;
  } cases[] = {
      {254, "\xFE"},
      {255, std::string("\xFF\xFF\x00", 3)},
      {300, "\xFF\x2C\x01"},
      {65533, "\xFF\xFD\xFF"},
      {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
      {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
  };
  for (const Case& c : cases) {
    const std::string value(c.length, 'v');
    Dict d(Items{{"k", value}});
    EXPECT_EQ(Saved(d), Count(1) + "\x01k" + c.prefix + value) << c.length;
    // The same length as a key.
    Dict k(Items{{value, ""}});
    EXPECT_EQ(Saved(k), Count(1) + c.prefix + value + std::string(1, '\0')) << c.length;
  }
}

TEST(ArchiveSave, CountPrefixBoundaries) {
  for (uint32_t n : {65534u, 65535u, 70000u}) {
    Dict d;
    for (uint32_t i = 0; i < n; ++i) d.Add(std::to_string(i), "");
    const std::string bytes = Saved(d);
    const std::string expected_prefix = n == 65534   ? "\xFE\xFF"
                                        : n == 65535 ? std::string("\xFF\xFF\xFF\xFF\x00\x00", 6)
                                                     : std::string("\xFF\xFF\x70\x11\x01\x00", 6);
    EXPECT_EQ(bytes.substr(0, expected_prefix.size()), expected_prefix) << n;
    Dict back;
    EXPECT_EQ(OpenBytes(back, bytes), 1);
    EXPECT_EQ(DictionaryItemCount(back.h()), static_cast<int32_t>(n));
  }
}

TEST(ArchiveSave, ReopeningReversesEachBucketAndSavesTheSamePairs) {
  Dict d(Items{{"vj", "1"}, {"gqh", "2"}, {"a", "3"}, {"abc", "4"}});
  MemoryDir dir;
  const std::string first = dir.File("first.dic"), second = dir.File("second.dic");
  ASSERT_EQ(DictionarySave(d.h(), first.c_str()), 1);
  Dict back;
  ASSERT_EQ(DictionaryOpen(back.h(), first.c_str()), 1);
  ASSERT_EQ(DictionarySave(back.h(), second.c_str()), 1);
  EXPECT_EQ(dir.Read(first), Count(4) + Str("gqh") + Str("2") + Str("vj") + Str("1") + Str("a") +
                                 Str("3") + Str("abc") + Str("4"));
  EXPECT_EQ(dir.Read(second), Count(4) + Str("vj") + Str("1") + Str("gqh") + Str("2") + Str("a") +
                                  Str("3") + Str("abc") + Str("4"));
}

TEST(ArchiveSave, ReplacesALongerFileWhole) {
  MemoryDir dir;
  const std::string path = dir.File("a.dic");
  dir.Write(path, std::string(5000, 'x'));
  Dict d(Items{{"a", "b"}});
  ASSERT_EQ(DictionarySave(d.h(), path.c_str()), 1);
  EXPECT_EQ(dir.Read(path), std::string("\x01\x00\x01"
                                        "a\x01"
                                        "b",
                                        6));
}

TEST(ArchiveSave, InvalidHandleOrPathTouchesNothing) {
  MemoryDir dir;
  const std::string path = dir.File("a.dic");
  EXPECT_EQ(DictionarySave(9999, path.c_str()), 0);
  EXPECT_FALSE(dir.Exists(path));
  dir.Write(path, "old");
  EXPECT_EQ(DictionarySave(0, path.c_str()), 0);
  EXPECT_EQ(DictionaryOpen(-3, path.c_str()), 0);
  EXPECT_EQ(dir.Read(path), "old");
  Dict d(Items{{"k", "v"}});
  EXPECT_EQ(DictionarySave(d.h(), nullptr), 0);
  EXPECT_EQ(DictionarySave(d.h(), dir.File("missing/a.dic").c_str()), 0);
  EXPECT_EQ(d.items(), (Items{{"k", "v"}}));
}

TEST(ArchiveOpen, ClearsTheDictionaryFirst) {
  Dict d(Items{{"old", "1"}});
  EXPECT_EQ(OpenBytes(d, Count(1) + Str("new") + Str("2")), 1);
  EXPECT_EQ(d.items(), (Items{{"new", "2"}}));
  d.Add("old", "1");
  MemoryDir dir;
  EXPECT_EQ(DictionaryOpen(d.h(), dir.File("missing.dic").c_str()), 0);
  EXPECT_EQ(DictionaryItemCount(d.h()), 0);
  d.Add("old", "1");
  EXPECT_EQ(DictionaryOpen(d.h(), nullptr), 0);
  EXPECT_EQ(DictionaryItemCount(d.h()), 0);
}

TEST(ArchiveOpen, AcceptsEveryLengthForm) {
  Dict d;
  // FF 05 00: a 16-bit length below 255; FF FF FF + 32 bits: a short string.
  const std::string bytes = Count(2) + std::string("\xFF\x05\x00", 3) + "hello" + Str("1") +
                            std::string("\xFF\xFF\xFF\x02\x00\x00\x00", 7) + "hi" +
                            std::string("\xFF\x00\x00", 3);
  EXPECT_EQ(OpenBytes(d, bytes), 1);
  EXPECT_EQ(d.items(), (Items{{"hello", "1"}, {"hi", ""}}));
}

TEST(ArchiveOpen, CountRulesWhatIsRead) {
  const std::string pairs = Str("a") + Str("1") + Str("b") + Str("2");
  Dict fewer;
  EXPECT_EQ(OpenBytes(fewer, Count(1) + pairs + "trailing junk"), 1);
  EXPECT_EQ(fewer.items(), (Items{{"a", "1"}}));
  Dict more;
  EXPECT_EQ(OpenBytes(more, Count(3) + pairs), 0);
  EXPECT_EQ(more.items(), (Items{{"a", "1"}, {"b", "2"}}));
  Dict wide_count;
  EXPECT_EQ(OpenBytes(wide_count, U16(0xFFFF) + U32(2) + pairs), 1);
  EXPECT_EQ(DictionaryItemCount(wide_count.h()), 2);
}

TEST(ArchiveOpen, TruncatedFilesKeepThePairsReadWhole) {
  const std::string whole = Count(2) + Str("a") + Str("1") + Str("bb") + Str(std::string(300, 'v'));
  struct Case {
    const char* where;
    size_t cut;
    Items expected;
  } cases[] = {
      {"empty file", 0, {}},
      {"in the count", 1, {}},
      {"in the 32-bit count", 0, {}},  // replaced below
      {"before a pair", 6, {{"a", "1"}}},
      {"in a key", 8, {{"a", "1"}}},
      {"in a 16-bit length", 11, {{"a", "1"}}},
      {"in a value", 200, {{"a", "1"}}},
      {"one byte short", whole.size() - 1, {{"a", "1"}}},
  };
  for (const Case& c : cases) {
    std::string bytes = whole.substr(0, c.cut);
    if (std::string(c.where) == "in the 32-bit count") bytes = U16(0xFFFF) + "\x02\x00";
    Dict d(Items{{"old", "x"}});
    EXPECT_EQ(OpenBytes(d, bytes), 0) << c.where;
    EXPECT_EQ(d.items(), c.expected) << c.where;
  }
  Dict d;
  EXPECT_EQ(OpenBytes(d, whole), 1);
  EXPECT_EQ(DictionaryItemCount(d.h()), 2);
}

TEST(ArchiveOpen, LaterDuplicatesWinAtTheFirstPlace) {
  Dict d;
  EXPECT_EQ(
      OpenBytes(d, Count(3) + Str("vj") + Str("1") + Str("gqh") + Str("2") + Str("vj") + Str("3")),
      1);
  EXPECT_EQ(d.items(), (Items{{"gqh", "2"}, {"vj", "3"}}));
}

TEST(ArchiveOpen, StringsEndAtTheirFirstZeroByte) {
  Dict d;
  EXPECT_EQ(OpenBytes(d, Count(1) + Str(std::string("ke\0y", 4)) + Str(std::string("\0v", 2))), 1);
  EXPECT_EQ(d.items(), (Items{{"ke", ""}}));
}

TEST(ArchiveOpen, WideStringsUnderCodePage1252) {
  if (!InChildProcess({"LC_ALL=C"})) return;
  Dict d;
  const std::string bytes = Count(4) + Wide(u"k\u00E9y") + Wide(u"\u20AC 5") +  // both in 1252
                            Str("cut") +
                            Wide(std::u16string(u"ab\0cd", 5)) +   // a zero unit ends the text
                            Wide(u"\u3042") + Wide(u"x\xD800y") +  // missing, unpaired: '?'
                            Str("long") + "\xFF\xFE\xFF\xFF\xFF\xFF" + U32(2) + U16('o') + U16('k');
  EXPECT_EQ(OpenBytes(d, bytes), 1);
  // In bucket order: 63, 1808, 3788, 3885.
  EXPECT_EQ(d.items(), (Items{{"?", "x?y"}, {"long", "ok"}, {"cut", "ab"}, {"k\xE9y", "\x80 5"}}));
}

TEST(ArchiveOpen, WideStringsUnderCodePage932) {
  if (!InChildProcess({"LC_ALL=ja_JP.SJIS"})) return;
  Dict d;
  EXPECT_EQ(OpenBytes(d, Count(1) + Str("k") + Wide(u"\u3042\uFF71x")), 1);
  EXPECT_EQ(d.items(), (Items{{"k", "\x82\xA0\xB1x"}}));
}

TEST(ArchiveOpen, AMarkerWhereALengthBelongsFails) {
  Dict d;
  EXPECT_EQ(OpenBytes(d, Count(2) + Str("a") + Str("1") + Str("b") + "\xFF\xFE\xFF\xFF\xFE\xFF"),
            0);
  EXPECT_EQ(d.items(), (Items{{"a", "1"}}));
}

// Lengths and counts that the file cannot back allocate nothing for them.
TEST(ArchiveOpen, HostileLengthsFailAtOnce) {
  const std::string before = Count(2) + Str("a") + Str("1");
  const std::string hostile[] = {
      before + std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7) + std::string(20, 'x'),
      before + Str("b") + "\xFF\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF" + std::string(20, 'x'),
      U16(0xFFFF) + U32(0xFFFFFFFF) + Str("a") + Str("1"),
  };
  for (bool known_size : {true, false}) {
    for (const std::string& bytes : hostile) {
      MemoryDir dir;
      const std::string path = dir.File("in.dic");
      dir.Write(path, bytes);
      FaultyFiles files;
      if (!known_size) files.FailAlways(FileOp::kSize);  // as for a pipe
      platform::ScopedService<platform::Files> use(&files);
      Dict d;
      size_t largest;
      {
        AllocationWatch watch;
        EXPECT_EQ(DictionaryOpen(d.h(), path.c_str()), 0);
        largest = watch.largest();
      }
      EXPECT_LT(largest, size_t{4} << 20) << "known size: " << known_size;
      EXPECT_EQ(d.items(), (Items{{"a", "1"}}));
    }
  }
}

// Reads an archive through buffers of many sizes, so that every field
// falls across a refill somewhere.
TEST(ArchiveReader, SmallBuffersReadTheSamePairs) {
  Items items;
  std::mt19937 rng(7);
  for (int i = 0; i < 60; ++i) {
    const size_t lengths[] = {0, 1, 7, 254, 255, 300, 70000};
    items.emplace_back("k" + std::to_string(i), std::string(lengths[rng() % 7], 'a' + i % 26));
  }
  Dict d(items);
  MemoryDir dir;
  const std::string path = dir.File("a.dic");
  ASSERT_EQ(DictionarySave(d.h(), path.c_str()), 1);
  dir.Write(path, dir.Read(path) + "\xFF\xFE\xFF\x02" + U16('w') + U16('!'));
  for (size_t capacity : {16, 17, 23, 64, 255, 1000, 4096}) {
    dict::CMapStringToString map(platform::ProcessLeadBytes());
    map.SetBucketCount(4000, true);
    std::unique_ptr<platform::File> file;
    ASSERT_EQ(dir.files().OpenForReading(path, &file), platform::FileStatus::kOk);
    dict::ArchiveReader reader(*file, platform::CodePage::Current(),
                               platform::ProcessLeadBytes().code_page(), capacity);
    ASSERT_TRUE(dict::ReadArchive(reader, map)) << capacity;
    Items back = ItemsOf(map);
    std::sort(back.begin(), back.end());
    Items expected = items;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(back, expected) << capacity;
  }
}

TEST(ArchiveSave, LargeArchivesRoundTrip) {
  // More than one write buffer of pairs, and one value larger than it; 65535
  // pairs, the first count that takes the long prefix.
  Dict d;
  Items items;
  for (int i = 0; i < 65534; ++i) {
    items.emplace_back("key" + std::to_string(i), std::string(static_cast<size_t>(i % 50), 'v'));
  }
  items.emplace_back("big", std::string((size_t{3} << 20) + 5, 'b'));
  for (const auto& [k, v] : items) d.Add(k, v);
  std::string expected = Count(static_cast<uint32_t>(items.size()));
  d.map().ForEach([&](std::string_view k, std::string_view v) { expected += Str(k) + Str(v); });
  const std::string bytes = Saved(d);
  EXPECT_TRUE(bytes == expected) << "the archive differs from its pairs' encoding";
  Dict back;
  EXPECT_EQ(OpenBytes(back, bytes), 1);
  EXPECT_EQ(back.items().size(), items.size());
  char value[64];
  EXPECT_EQ(DictionaryLookup(back.h(), "key39999", value), 1);
  EXPECT_EQ(std::string(value), std::string(39999 % 50, 'v'));
}

// A pair with a wide string is read by the slow path, which applies the
// same rules as the buffered one: a string ends at its first zero byte. The
// buffered path must see the marker as a marker even where the buffer holds
// the 65534 bytes it would stand for as a length.
TEST(ArchiveReader, BothPathsApplyTheSameRules) {
  const std::string big(70000, 'b');
  Dict d;
  EXPECT_EQ(
      OpenBytes(d, Count(4) + Str("k") + Wide(u"w!") + Str(std::string("ke\0y", 4)) + Wide(u"v") +
                       Wide(u"x") + Str(std::string("v\0tail", 6)) + Str("big") + Str(big)),
      1);
  Items items = d.items();
  std::sort(items.begin(), items.end());
  EXPECT_EQ(items, (Items{{"big", big}, {"k", "w!"}, {"ke", "v"}, {"x", "v"}}));
}

}  // namespace
}  // namespace dzv::testing
