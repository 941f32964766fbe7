// The dictionary text form: DictionaryPackSize, DictionaryPack,
// DictionaryUnpack, DictionaryImport and DictionaryExport.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dictionary_files_util.h"
#include "duduzuvez210.h"
#include "memory_dir.h"

namespace dzv::testing {
namespace {

constexpr size_t kLineLimit = 32257;

// DictionaryPack's output, checked against DictionaryPackSize.
std::string Packed(const Dict& d) {
  const int32_t size = DictionaryPackSize(d.h());
  std::string buffer(static_cast<size_t>(size) + 16, '#');
  EXPECT_EQ(DictionaryPack(d.h(), buffer.data()), 1);
  EXPECT_EQ(buffer[static_cast<size_t>(size) - 1], '\0') << "the size counts the final zero";
  EXPECT_EQ(buffer[static_cast<size_t>(size)], '#') << "nothing is written past the size";
  return buffer.substr(0, static_cast<size_t>(size) - 1);
}

Items Sorted(Items items) {
  std::sort(items.begin(), items.end());
  return items;
}

TEST(TextPack, SmallExamples) {
  Dict d(Items{{"b", "2"}, {"a", "1"}});
  EXPECT_EQ(DictionaryPackSize(d.h()), 11);
  EXPECT_EQ(Packed(d), "a=1\r\nb=2\r\n");
  Dict empty;
  EXPECT_EQ(DictionaryPackSize(empty.h()), 1);
  EXPECT_EQ(Packed(empty), "");
  Dict blanks(Items{{"", "v"}, {"k", ""}});
  EXPECT_EQ(Packed(blanks), "=v\r\nk=\r\n");
}

TEST(TextPack, EqualsSignTakesPartInTheOrder) {
  Dict d(Items{{"a", "1"}, {"a.b", "2"}, {"B", "3"}, {"aZ", "4"}, {"\xE9", "5"}, {"~", "6"}});
  EXPECT_EQ(Packed(d), "B=3\r\na.b=2\r\na=1\r\naZ=4\r\n~=6\r\n\xE9=5\r\n");
  // Two items that make the same line both appear.
  Dict same(Items{{"a", "b=c"}, {"a=b", "c"}});
  EXPECT_EQ(Packed(same), "a=b=c\r\na=b=c\r\n");
}

// Random keys with long common beginnings, "=" and high bytes, against
// std::string's own ordering of the lines (unsigned bytes, shorter first).
TEST(TextPack, OrderMatchesPlainByteComparison) {
  std::mt19937 rng(11);
  const std::string alphabet = "ab=.Z\x7F\x80\xFF";
  Dict d;
  std::vector<std::string> lines;
  for (int i = 0; i < 3000; ++i) {
    std::string key = rng() % 2 ? "section.entry" : "";
    for (size_t n = rng() % 12; n > 0; --n) key += alphabet[rng() % alphabet.size()];
    std::string value;
    for (size_t n = rng() % 6; n > 0; --n) value += alphabet[rng() % alphabet.size()];
    d.Add(key, value);
  }
  d.map().ForEach([&](std::string_view k, std::string_view v) {
    lines.push_back(std::string(k) + "=" + std::string(v));
  });
  std::sort(lines.begin(), lines.end());
  std::string expected;
  for (const std::string& line : lines) expected += line + "\r\n";
  EXPECT_TRUE(Packed(d) == expected);
}

// Lines that share ever longer beginnings: the sort must look past any
// depth it examines byte by byte, and a line that ends sorts before the
// lines it begins.
TEST(TextPack, LongSharedBeginningsSortByteWise) {
  Dict d;
  std::vector<std::string> lines;
  for (int i = 1; i <= 300; ++i) {
    const std::string key(static_cast<size_t>(i), 'a');
    const std::string value = i % 3 == 0 ? "" : std::string(static_cast<size_t>(i % 7), 'a');
    d.Add(key, value);
    lines.push_back(key + "=" + value);
    if (i % 3 == 0) {  // "aaa=" and "aaa==b"
      d.Add(key + "=", "b");
      lines.push_back(key + "==b");
    }
  }
  std::sort(lines.begin(), lines.end());
  std::string expected;
  for (const std::string& line : lines) expected += line + "\r\n";
  EXPECT_TRUE(Packed(d) == expected);
}

TEST(TextPack, InvalidHandleLeavesTheBufferAlone) {
  char buffer[4] = "abc";
  EXPECT_EQ(DictionaryPackSize(9999), 0);
  EXPECT_EQ(DictionaryPack(9999, buffer), 0);
  EXPECT_STREQ(buffer, "abc");
  Dict d;
  EXPECT_EQ(DictionaryPack(d.h(), nullptr), 0);
}

TEST(TextPack, LinesLongerThanTheLimitAreWrittenWhole) {
  const std::string value(40000, 'v');
  Dict d(Items{{"k", value}, {"a", "1"}});
  EXPECT_EQ(DictionaryPackSize(d.h()), (1 + 40000 + 3) + (1 + 1 + 3) + 1);
  EXPECT_EQ(Packed(d), "a=1\r\nk=" + value + "\r\n");
}

TEST(TextUnpack, Examples) {
  Dict d;
  EXPECT_EQ(DictionaryUnpack(d.h(), "x=1\r\ny\r\n=2\r\nk=a=b"), 1);
  EXPECT_EQ(Sorted(d.items()), (Items{{"", "2"}, {"k", "a=b"}, {"x", "1"}}));
  Dict bare;
  EXPECT_EQ(DictionaryUnpack(bare.h(), "a=12\nb=3\nc=4"), 1);
  EXPECT_EQ(Sorted(bare.items()), (Items{{"a", "1"}, {"b", ""}, {"c", "4"}}));
  Dict empty;
  EXPECT_EQ(DictionaryUnpack(empty.h(), ""), 1);
  EXPECT_EQ(DictionaryItemCount(empty.h()), 0);
  EXPECT_EQ(DictionaryUnpack(9999, "a=1\r\n"), 0);
  EXPECT_EQ(DictionaryUnpack(empty.h(), nullptr), 0);
}

TEST(TextUnpack, AddsWithoutClearingAndLaterLinesWin) {
  Dict d(Items{{"keep", "1"}, {"k", "old"}});
  EXPECT_EQ(DictionaryUnpack(d.h(), "k=first\r\nk=second\r\n\r\n"), 1);
  EXPECT_EQ(Sorted(d.items()), (Items{{"k", "second"}, {"keep", "1"}}));
}

TEST(TextUnpack, LongLinesAreCutAndTheirRestSkipped) {
  const std::string long_value(40000, 'v');
  const std::string late_eq = std::string(kLineLimit, 'x') + "=1";
  const std::string exact = "e=" + std::string(kLineLimit - 2, 'w');
  const std::string text =
      "k=" + long_value + "\r\nnext=1\r\n" + late_eq + "\r\n" + exact + "\r\nz=" + long_value;
  Dict d;
  EXPECT_EQ(DictionaryUnpack(d.h(), text.c_str()), 1);
  EXPECT_EQ(Sorted(d.items()), (Items{{"e", std::string(kLineLimit - 2, 'w')},
                                      {"k", std::string(kLineLimit - 2, 'v')},
                                      {"next", "1"},
                                      {"z", std::string(kLineLimit - 2, 'v')}}));
}

// The reading rules, spelled out with the exported line reader: read each
// line into a buffer of the limit's size and split it at its first "=".
Items UnpackWithLineReader(const std::string& text) {
  Dict d;
  std::vector<char> line(kLineLimit + 1);
  int32_t cursor = 0;
  while (StrLineGet(text.c_str(), &cursor, line.data(), static_cast<int32_t>(line.size()))) {
    char* eq = std::strchr(line.data(), '=');
    if (eq == nullptr) continue;
    *eq = '\0';
    d.Add(line.data(), eq + 1);
  }
  return d.items();
}

TEST(TextUnpack, AgreesWithTheLineReader) {
  std::mt19937 rng(5);
  const std::string pieces[] = {"a",
                                "b",
                                "=",
                                "\r",
                                "\n",
                                "\r\n",
                                "key",
                                "\xFF",
                                std::string(kLineLimit - 3, 'L'),
                                std::string(12, '=')};
  for (int round = 0; round < 40; ++round) {
    std::string text;
    for (size_t n = rng() % 60; n > 0; --n) text += pieces[rng() % std::size(pieces)];
    Dict d;
    ASSERT_EQ(DictionaryUnpack(d.h(), text.c_str()), 1);
    EXPECT_TRUE(d.items() == UnpackWithLineReader(text)) << "round " << round;
  }
}

TEST(TextForm, PackThenUnpackGivesTheItemsBack) {
  Items items = {{"plain", "value"}, {"cr\r", "in\rthe\rmiddle\r"}, {"", "empty key"},
                 {"eq", "a=b=c"},    {"hi\x80\xFF", "\x01\x7F"},    {"empty", ""}};
  Dict d(items);
  const std::string text = Packed(d);
  Dict back;
  ASSERT_EQ(DictionaryUnpack(back.h(), text.c_str()), 1);
  EXPECT_EQ(Sorted(back.items()), Sorted(items));
}

TEST(TextFiles, ExportWritesTheTextWithoutTheZeroByte) {
  MemoryDir dir;
  const std::string path = dir.File("a.txt");
  dir.Write(path, std::string(1000, 'o'));
  Dict d(Items{{"b", "2"}, {"a", "1"}});
  EXPECT_EQ(DictionaryExport(d.h(), path.c_str()), 1);
  EXPECT_EQ(dir.Read(path), "a=1\r\nb=2\r\n");
  Dict empty;
  EXPECT_EQ(DictionaryExport(empty.h(), path.c_str()), 1);
  EXPECT_TRUE(dir.Exists(path));
  EXPECT_EQ(dir.Read(path), "");
  dir.Write(path, "old");
  EXPECT_EQ(DictionaryExport(9999, path.c_str()), 0);
  EXPECT_EQ(dir.Read(path), "old");
  EXPECT_EQ(DictionaryExport(d.h(), nullptr), 0);
}

TEST(TextFiles, ImportReadsUpToTheFirstZeroByte) {
  MemoryDir dir;
  const std::string path = dir.File("a.txt");
  dir.Write(path, std::string("a=1\r\nb=23\0c=3\r\n", 15));
  Dict d(Items{{"keep", "k"}});
  EXPECT_EQ(DictionaryImport(d.h(), path.c_str()), 1);
  // "b=23" is cut by the zero byte: a last line, with nothing dropped.
  EXPECT_EQ(Sorted(d.items()), (Items{{"a", "1"}, {"b", "23"}, {"keep", "k"}}));
  EXPECT_EQ(DictionaryImport(d.h(), dir.File("missing.txt").c_str()), 0);
  EXPECT_EQ(DictionaryImport(9999, path.c_str()), 0);
  EXPECT_EQ(DictionaryImport(d.h(), nullptr), 0);
  EXPECT_EQ(DictionaryImport(d.h(), dir.path().c_str()), 0) << "a directory";
  dir.Write(path, "");
  EXPECT_EQ(DictionaryImport(d.h(), path.c_str()), 1);
  EXPECT_EQ(DictionaryItemCount(d.h()), 3);
}

TEST(TextFiles, ExportThenImportGivesTheItemsBack) {
  Dict d;
  for (int i = 0; i < 5000; ++i) d.Add("key." + std::to_string(i), std::string(i % 70, 'x'));
  MemoryDir dir;
  const std::string path = dir.File("big.txt");
  ASSERT_EQ(DictionaryExport(d.h(), path.c_str()), 1);
  EXPECT_EQ(dir.Read(path), Packed(d));
  Dict back;
  ASSERT_EQ(DictionaryImport(back.h(), path.c_str()), 1);
  EXPECT_EQ(Sorted(back.items()), Sorted(d.items()));
}

}  // namespace
}  // namespace dzv::testing
