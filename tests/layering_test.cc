// The layers of src/ and what each may include: the export layer over the
// subsystems, the subsystems over the text rules, everything over the
// platform's interfaces, and each backend folder over those interfaces
// alone. The public header may be included anywhere. And how a service is
// reached: only the export layer calls a service's Current() or reads the
// process's lead-byte table; the subsystems are given both, and a backend is
// given the services it uses when it is made (a backend's Default() makes it
// with the other services' defaults and the process's table).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

// The folders a folder of src/ may include from, besides itself and the
// public header. A backend folder (platform/<system>) may include the
// platform's interfaces and its own folder.
const std::map<std::string, std::set<std::string>>& Allowed() {
  static const std::map<std::string, std::set<std::string>> allowed = {
      {"library", {"credentials", "desktop", "dictionary", "profile", "text", "platform"}},
      {"profile", {"dictionary", "text", "platform"}},
      {"dictionary", {"text", "platform"}},
      {"desktop", {"text", "platform"}},
      {"credentials", {"text", "platform"}},
      {"text", {"platform"}},
      {"platform", {}},
  };
  return allowed;
}

// Why `from` (a folder of src/) may not include `included` (a path as
// written in the #include); empty when it may.
std::string Violation(const std::string& from, const std::string& included) {
  const size_t slash = included.rfind('/');
  if (slash == std::string::npos) {
    return included == "duduzuvez210.h" ? "" : "a file outside the layers";
  }
  const std::string to = included.substr(0, slash);
  if (to == from) return "";
  const bool backend = from.rfind("platform/", 0) == 0;
  const std::string layer = backend ? "platform" : from;
  const auto rule = Allowed().find(layer);
  if (rule == Allowed().end()) return "a folder that has no layer";
  if (backend && to == "platform") return "";
  if (!backend && rule->second.count(to) != 0) return "";
  return "an include from " + from + " into " + to;
}

// Whether code in `from` (a folder of src/) may reach for a service's
// instance (its Current(), or the default behind it) or the process's
// lead-byte table as `line` (a line of source) does; empty when it may or
// does not.
std::string ServiceViolation(const std::string& from, const std::string& line) {
  if (from == "library") return "";
  const bool platform = from == "platform" || from.rfind("platform/", 0) == 0;
  // The slot behind every Current() is the one call the platform makes.
  static const std::regex slot(R"re(ServiceSlot\s*<\s*\w+\s*>\s*::\s*Current\s*\()re");
  static const std::regex current_call(R"re(::\s*Current\s*\()re");
  static const std::regex default_call(R"re(::\s*Default\s*\()re");
  static const std::regex table_call(R"re(\bProcessLeadBytes\s*\()re");
  std::string code = line.substr(0, line.find("//"));
  code = std::regex_replace(code, slot, "");
  if (std::regex_search(code, current_call)) return "a service's Current() in " + from;
  if (platform) return "";
  if (std::regex_search(code, default_call)) return "a service's Default() in " + from;
  if (std::regex_search(code, table_call)) return "the process's lead bytes read in " + from;
  return "";
}

TEST(Layering, NoFolderIncludesALayerAboveItOrReachesForAService) {
  const fs::path src = fs::path(DZV_SOURCE_DIR) / "src";
  const std::regex include_line(R"re(^\s*#\s*include\s*"([^"]+)")re");
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext != ".cc" && ext != ".h") continue;
    ++files;
    const std::string from = entry.path().parent_path().lexically_relative(src).generic_string();
    std::ifstream in(entry.path());
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      const std::string where = entry.path().lexically_relative(src).generic_string();
      EXPECT_EQ(ServiceViolation(from, line), "") << where << ":" << n << ": " << line;
      std::smatch m;
      if (!std::regex_search(line, m, include_line)) continue;
      EXPECT_EQ(Violation(from, m[1]), "") << where << ":" << n << " includes " << m[1];
    }
  }
  EXPECT_GT(files, 50);  // the tree was found
}

TEST(Layering, TheRulesRefuseWhatTheyMust) {
  EXPECT_NE(Violation("platform", "text/mbcs.h"), "");
  EXPECT_NE(Violation("platform/linux", "text/mbcs.h"), "");
  EXPECT_NE(Violation("platform", "platform/linux/files.h"), "");
  EXPECT_NE(Violation("platform/linux", "platform/win32/files.h"), "");
  EXPECT_NE(Violation("text", "dictionary/string_map.h"), "");
  EXPECT_NE(Violation("dictionary", "profile/profile.h"), "");
  EXPECT_NE(Violation("dictionary", "library/guard.h"), "");
  EXPECT_NE(Violation("tools", "platform/files.h"), "");
  EXPECT_EQ(Violation("platform/linux", "platform/files.h"), "");
  EXPECT_EQ(Violation("profile", "dictionary/items.h"), "");
}

TEST(Layering, TheServiceRuleRefusesWhatItMust) {
  EXPECT_NE(ServiceViolation("dictionary", "  Files& f = platform::Files::Current();"), "");
  EXPECT_NE(ServiceViolation("desktop", "  : windows_(Windows::Current ()) {"), "");
  EXPECT_NE(ServiceViolation("credentials", "  Loader& l = Loader::Default();"), "");
  EXPECT_EQ(ServiceViolation("desktop", "// through platform::Dialogs::Current()."), "");
  EXPECT_EQ(ServiceViolation("library", "  return Write(Registry::Current(), root);"), "");
  EXPECT_NE(ServiceViolation("platform/linux", "  CodePage::Current().ToUtf8(t, cp, &u);"), "");
  EXPECT_NE(ServiceViolation("platform", "  CodePage& cp = CodePage::Current();"), "");
  EXPECT_NE(ServiceViolation("dictionary", "  return Find(platform::ProcessLeadBytes (), v);"), "");
  EXPECT_NE(ServiceViolation("desktop", "  const LeadByteTable& t = ProcessLeadBytes();"), "");
  EXPECT_EQ(ServiceViolation("library", "  Find(ProcessLeadBytes(), CodePage::Current());"), "");
  EXPECT_EQ(ServiceViolation("platform",
                             "  static Files& Current() { return ServiceSlot<Files>::Current(); }"),
            "");
  EXPECT_EQ(
      ServiceViolation("platform/linux",
                       "  static const DesktopText t{CodePage::Default(), ProcessLeadBytes()};"),
      "");
  EXPECT_EQ(ServiceViolation("dictionary", "  // the process's ProcessLeadBytes(), resolved above"),
            "");
}

}  // namespace
