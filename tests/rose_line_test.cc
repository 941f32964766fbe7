// Model-file lines: classification, nesting level and quoted text, on
// single lines, on a model file of our own and on real model files.
#include "text/rose_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "duduzuvez210.h"
#include "test_util.h"

namespace dzv::text {
namespace {

struct Keyword {
  std::string text;
  int32_t code;
};

const std::vector<Keyword> kObjectTypes = {
    {"ClassAttribute", 1},   {"Attribute", 2},
    {"Operation", 3},        {"Inheritance_Relationship", 4},
    {"Has_Relationship", 5}, {"Uses_Relationship", 6},
    {"State ", 7},           {"Parameter", 8},
    {"State_Machine", 9},
};

const std::vector<Keyword> kProperties = {
    {"documentation", 11},
    {"exportControl", 12},
    {"space", 13},
    {"result", 14},
    {"qualification", 15},
    {"opExportControl", 16},
    {"pre_condition", 17},
    {"semantics", 18},
    {"post_condition", 19},
    {"supplier ", 20},
    {"Containment", 21},
    {"label", 22},
    {"supplier_cardinality", 23},
    {"client_cardinality", 24},
    {"is_navigable", 25},
    {"is_aggregate", 26},
};

// A copy of `line` in a heap block of exactly its size and the zero byte,
// so that the sanitizers catch a read on either side of it.
std::unique_ptr<char[]> ExactCopy(const std::string& line) {
  auto copy = std::make_unique<char[]>(line.size() + 1);
  std::memcpy(copy.get(), line.c_str(), line.size() + 1);
  return copy;
}

int32_t Parse(const std::string& line) { return ::ParseRoseLine(ExactCopy(line).get()); }

TEST(ParseRoseLine, ObjectTypes) {
  for (const Keyword& k : kObjectTypes) {
    SCOPED_TRACE(k.text);
    EXPECT_EQ(Parse("(object " + k.text + " \"Name\""), k.code);
    EXPECT_EQ(Parse("(object " + k.text + "s"), k.code);  // whatever follows
    EXPECT_EQ(Parse("(object\t" + k.text),
              k.code);  // the skipped byte is any byte
    EXPECT_EQ(Parse("(objectX" + k.text), k.code);
    // Near misses are other objects.
    EXPECT_EQ(Parse("(object " + k.text.substr(0, k.text.size() - 1)), 10);
    EXPECT_EQ(Parse("(object  " + k.text), 10);
    std::string lower = k.text;
    lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
    EXPECT_EQ(Parse("(object " + lower), 10);
    // Not an object line.
    EXPECT_EQ(Parse(" (object " + k.text), 0);
    EXPECT_EQ(Parse("(Object " + k.text), 0);
    EXPECT_EQ(Parse(k.text + " x"), 0);
  }
  EXPECT_EQ(Parse("(object Class \"Foo\""), 10);
  EXPECT_EQ(Parse("(object State_Machine S"), 9);
  EXPECT_EQ(Parse("(object State S"), 7);
  EXPECT_EQ(Parse("(object State"), 10);  // no blank after State
  EXPECT_EQ(Parse("(object State\r\n"), 10);
  EXPECT_EQ(Parse("(object State_"), 10);
  EXPECT_EQ(Parse("(object label x"), 10);  // property keywords are not types
}

TEST(ParseRoseLine, ShortObjectLinesHaveAnEmptyTypeName) {
  EXPECT_EQ(Parse("(object"), 10);
  EXPECT_EQ(Parse("(object "), 10);
  EXPECT_EQ(Parse("(objectS"), 10);
  EXPECT_EQ(Parse("(objec"), 0);
  EXPECT_EQ(Parse(""), 0);
  EXPECT_EQ(::ParseRoseLine(nullptr), 0);
}

TEST(ParseRoseLine, PropertyKeywords) {
  for (const Keyword& k : kProperties) {
    SCOPED_TRACE(k.text);
    EXPECT_EQ(Parse(k.text + " \tTRUE"), k.code);
    EXPECT_EQ(Parse(k.text + "s\r\n"), k.code);
    EXPECT_EQ(Parse(k.text.substr(0, k.text.size() - 1)), 0);
    EXPECT_EQ(Parse(" " + k.text + " x"), 0);
    EXPECT_EQ(Parse("\t" + k.text + " x"), 0);
    std::string upper = k.text;
    upper[0] = static_cast<char>(upper[0] ^ 0x20);
    EXPECT_EQ(Parse(upper + " x"), 0);
  }
  EXPECT_EQ(Parse("documentation text"), 11);
  EXPECT_EQ(Parse("spaces"), 13);
  EXPECT_EQ(Parse("labelled"), 22);
  EXPECT_EQ(Parse("supplier"), 0);  // no blank after supplier
  EXPECT_EQ(Parse("supplier\t\"x\""), 0);
  EXPECT_EQ(Parse("supplier_"), 0);
  EXPECT_EQ(Parse("quid"), 0);
}

struct Level {
  std::string line;
  int32_t change;
  std::string text;
};

// Runs AdjustParLevel through the export on exact copies of the line and of
// a 300-byte output area.
int32_t Adjust(const std::string& line, std::string* text) {
  auto out = std::make_unique<char[]>(kRoseOutputSize);
  std::memset(out.get(), '#', kRoseOutputSize);
  const int32_t change = ::AdjustParLevel(ExactCopy(line).get(), out.get());
  const char* end = static_cast<const char*>(std::memchr(out.get(), '\0', kRoseOutputSize));
  EXPECT_NE(end, nullptr) << "no terminating zero in the output area";
  *text =
      end == nullptr ? std::string() : std::string(out.get(), static_cast<size_t>(end - out.get()));
  return change;
}

TEST(AdjustParLevel, CountsOutsideTheQuotes) {
  const std::string q = "\"";
  const Level cases[] = {
      {"(object Class " + q + "Foo" + q, 1, "Foo"},
      {"(object Attribute " + q + "a(b)" + q + " (x)", 0, "a(b)"},
      {"))", -2, ""},
      {")", -1, ""},
      {"(a (b", 2, ""},
      {"", 0, ""},
      {"(a " + q + "b", 1, ""},       // one quote: no text
      {"(a " + q + "b )", 0, ""},     // the one quote is first and last
      {"(a " + q + q + " )", 0, ""},  // adjacent quotes: empty text
      {"((x " + q + "a" + q + " ( " + q + "b" + q + " )", 1, "a\" ( \"b"},
      {q + "(" + q + " (", 0, "("},  // "(" after the first quote: not counted
      {") " + q + ")" + q, 0, ")"},  // ")" before the last quote: not counted
      {"x" + q + "))" + q + ")\r\n", -1, "))"},
      {"(value Text", 1, ""},
      {"(list (a) (b) ((c)", 2, ""},
  };
  for (const Level& c : cases) {
    SCOPED_TRACE(c.line);
    std::string text;
    EXPECT_EQ(Adjust(c.line, &text), c.change);
    EXPECT_EQ(text, c.text);
  }
}

TEST(AdjustParLevel, QuotedTextUpTo299Bytes) {
  for (size_t len : {298, 299, 300, 301, 5000}) {
    SCOPED_TRACE(len);
    const std::string inner(len, 'x');
    std::string text;
    EXPECT_EQ(Adjust("(a (\"" + inner + "\")", &text), 1);
    EXPECT_EQ(text, len <= 299 ? inner : "");
  }
}

TEST(AdjustParLevel, TextLinesLeaveTheOutputAlone) {
  char out[kRoseOutputSize];
  std::memset(out, '#', sizeof(out));
  const std::array<char, kRoseOutputSize> before = std::to_array(out);
  EXPECT_EQ(::AdjustParLevel("| text (with (parens \"q\"", out), 0);
  EXPECT_EQ(::AdjustParLevel("|", out), 0);
  EXPECT_EQ(::AdjustParLevel(nullptr, out), 0);
  EXPECT_EQ(std::to_array(out), before);
  // Only the first byte marks a text line.
  EXPECT_EQ(::AdjustParLevel(" | (", out), 1);
  EXPECT_EQ(out[0], '\0');
}

TEST(AdjustParLevel, OutputMayBeTheLinesOwnBuffer) {
  char buffer[kRoseOutputSize] = "((a \"xy)z\" ) x)";
  EXPECT_EQ(::AdjustParLevel(buffer, buffer), 0);
  EXPECT_STREQ(buffer, "xy)z");
}

TEST(AdjustParLevel, NullOutputIsNotWritten) {
  EXPECT_EQ(::AdjustParLevel("(a \"b\" ))", nullptr), -1);
  EXPECT_EQ(AdjustParLevel(std::string_view("(a \"b\" ))"), nullptr), -1);
}

// Lines of a model file split as a reader of such files does: at each LF,
// the CR of a CRLF staying in the line.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < bytes.size()) {
    size_t lf = bytes.find('\n', from);
    if (lf == std::string::npos) lf = bytes.size();
    lines.push_back(bytes.substr(from, lf - from));
    from = lf + 1;
  }
  return lines;
}

struct FileWalk {
  int32_t final_level = 0;
  int32_t lowest_level = 0;
  int returns_to_zero = 0;         // objects closed at the top level
  std::array<int, 27> codes{};     // ParseRoseLine of each line as it is
  std::array<int, 27> indented{};  // of each line without its leading blanks
  bool codes_in_range = true;
};

// Runs both functions over every line, keeping the running nesting level.
FileWalk WalkModel(const std::string& bytes) {
  FileWalk walk;
  auto out = std::make_unique<char[]>(kRoseOutputSize);
  for (const std::string& line : SplitLines(bytes)) {
    const int32_t level = walk.final_level + ::AdjustParLevel(ExactCopy(line).get(), out.get());
    if (walk.final_level > 0 && level == 0) ++walk.returns_to_zero;
    walk.final_level = level;
    walk.lowest_level = std::min(walk.lowest_level, level);

    const size_t first = line.find_first_not_of(" \t");
    const std::string trimmed = first == std::string::npos ? "" : line.substr(first);
    const int32_t code = ::ParseRoseLine(line.c_str());
    const int32_t indented = ::ParseRoseLine(trimmed.c_str());
    if (code < 0 || code > 26 || indented < 0 || indented > 26) {
      walk.codes_in_range = false;
      continue;
    }
    ++walk.codes[code];
    ++walk.indented[indented];
  }
  return walk;
}

TEST(RoseModelFile, OwnSampleInBothLineEnds) {
  const std::string dir = std::string(DZV_SOURCE_DIR) + "/tests/data/";
  const std::string lf = testing::ReadFileBytes(dir + "sample.mdl");
  const std::string crlf = testing::ReadFileBytes(dir + "sample_crlf.mdl");
  ASSERT_FALSE(lf.empty());
  ASSERT_EQ(lf.find('\r'), std::string::npos);
  ASSERT_NE(crlf.find("\r\n"), std::string::npos);

  // Per code: 8 other objects (Petal, Design, two classes, an association,
  // two roles, a State with nothing after it); a line "supplier" without
  // its blank and a line "spaces" among the properties.
  const std::array<int, 27> expected = {0, 2, 1, 1, 1, 1, 1, 1, 1, 1, 8,  // code 0 is not compared
                                        1, 3, 2, 1, 1, 1, 1, 1, 1, 4, 1, 5, 1, 1, 2, 1};
  for (const std::string* bytes : {&lf, &crlf}) {
    const FileWalk walk = WalkModel(*bytes);
    EXPECT_EQ(walk.final_level, 0);
    EXPECT_EQ(walk.lowest_level, 0);
    EXPECT_EQ(walk.returns_to_zero, 2);
    ASSERT_TRUE(walk.codes_in_range);
    for (int code = 1; code <= 26; ++code) {
      EXPECT_EQ(walk.indented[code], expected[code]) << "code " << code;
    }
    // As they stand, only the two top-level lines begin with a keyword.
    EXPECT_EQ(walk.codes[10], 2);
    EXPECT_EQ(walk.codes[0], static_cast<int>(SplitLines(*bytes).size()) - 2);
  }
}

// Real model files, read where they are kept; absent on machines without
// the shared data.
TEST(RoseModelFile, RealFilesBalance) {
  const std::filesystem::path dir = dzv::testing::SharedDataDir() / "rose";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) GTEST_SKIP() << "no model files in " << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".mdl") continue;
    ++files;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string bytes = testing::ReadFileBytes(entry.path().string());
    const FileWalk walk = WalkModel(bytes);
    EXPECT_EQ(walk.final_level, 0);
    EXPECT_EQ(walk.lowest_level, 0);
    // Each file holds two top-level objects, Petal and Design; every other
    // line is indented or a text line.
    EXPECT_EQ(walk.returns_to_zero, 2);
    ASSERT_TRUE(walk.codes_in_range);
    EXPECT_EQ(walk.codes[10], 2);
    EXPECT_EQ(walk.codes[0], static_cast<int>(SplitLines(bytes).size()) - 2);
    EXPECT_GT(walk.indented[kRoseAttribute] + walk.indented[kRoseOperation], 0);
  }
  if (files == 0) GTEST_SKIP() << "no model files in " << dir;
}

}  // namespace
}  // namespace dzv::text
