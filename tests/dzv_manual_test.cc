// The manual page of dzv (tools/dzv.1) describes every command: each command
// that dzv's command tables give (as its help lists them) has an entry whose
// tag begins with the family and the command.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What `dzv <words> --help` prints.
std::string Help(const std::string& words) {
  const std::string command = std::string("'") + DZV_CLI_PATH + "' " + words + " --help";
  FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return "";
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, out)) > 0) text.append(buffer, n);
  EXPECT_EQ(pclose(out), 0) << command;
  return text;
}

// The first word of each line indented by two blanks after the line
// `heading`, up to the next empty line.
std::vector<std::string> Listed(const std::string& text, const std::string& heading) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line) && line != heading) {
  }
  std::vector<std::string> names;
  while (std::getline(in, line) && !line.empty()) {
    if (line.rfind("  ", 0) != 0 || line[2] == ' ') continue;  // a continued summary
    names.push_back(line.substr(2, line.find(' ', 2) - 2));
  }
  return names;
}

// The tags of the manual page's entries (the line after each .TP, and after
// each .TQ that adds a tag to an entry), with the font macro, quotes and
// escapes taken out.
std::set<std::string> ManualTags() {
  std::ifstream in(std::string(DZV_SOURCE_DIR) + "/tools/dzv.1");
  std::set<std::string> tags;
  std::string line;
  bool tag_next = false;
  while (std::getline(in, line)) {
    if (tag_next) {
      std::string tag;
      for (char c : line.substr(line.find(' ') + 1)) {
        if (c != '"' && c != '\\') tag += c;
      }
      tags.insert(tag);
    }
    tag_next = line == ".TP" || line == ".TQ";
  }
  return tags;
}

TEST(DzvManual, NamesEveryCommandOfTheCommandTables) {
  const std::vector<std::string> families = Listed(Help(""), "Families:");
  ASSERT_GE(families.size(), 7u);
  const std::set<std::string> tags = ManualTags();
  ASSERT_FALSE(tags.empty());
  int commands = 0;
  for (const std::string& family : families) {
    for (const std::string& command : Listed(Help(family), "Commands:")) {
      ++commands;
      const std::string name = family + " " + command;
      bool described = false;
      for (const std::string& tag : tags) {
        described = described || tag == name || tag.rfind(name + " ", 0) == 0;
      }
      EXPECT_TRUE(described) << "tools/dzv.1 has no entry for 'dzv " << name << "'";
    }
  }
  EXPECT_GE(commands, 20);
}

}  // namespace
