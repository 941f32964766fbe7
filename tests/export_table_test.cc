// The export list (cmake/exports.txt) is the one statement of the library's
// exports: the shared library exports exactly its names, the header declares
// exactly them, and the Windows module-definition file made from it gives
// each name its ordinal.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Export {
  std::string name;
  int ordinal;
  bool operator==(const Export&) const = default;
};

// The "Name @ordinal" lines of a file, in file order; `skipped` receives
// every other line that is neither blank nor a comment.
std::vector<Export> ReadExports(const char* path, std::vector<std::string>* skipped) {
  std::ifstream in(path);
  std::vector<Export> exports;
  const std::regex entry(R"(^\s*([A-Za-z_][A-Za-z0-9_]*) @([0-9]+)\s*$)");
  const std::regex blank(R"(^\s*(#.*)?$)");
  std::string line;
  while (std::getline(in, line)) {
    std::smatch m;
    if (std::regex_match(line, m, entry)) {
      exports.push_back({m[1], std::stoi(m[2])});
    } else if (!std::regex_match(line, blank)) {
      skipped->push_back(line);
    }
  }
  return exports;
}

std::vector<Export> ExportList() {
  std::vector<std::string> skipped;
  std::vector<Export> list = ReadExports(DZV_EXPORT_LIST_PATH, &skipped);
  EXPECT_TRUE(skipped.empty()) << "not \"Name @ordinal\": " << skipped.front();
  return list;
}

std::set<std::string> Names(const std::vector<Export>& list) {
  std::set<std::string> names;
  for (const Export& e : list) names.insert(e.name);
  return names;
}

std::set<std::string> HeaderDeclarations() {
  std::ifstream in(DZV_HEADER_PATH);
  std::set<std::string> names;
  const std::regex decl(R"(^DZV_API [^(]*?([A-Za-z_][A-Za-z0-9_]*)\()");
  std::string line;
  while (std::getline(in, line)) {
    std::smatch m;
    if (std::regex_search(line, m, decl)) names.insert(m[1]);
  }
  return names;
}

std::set<std::string> DynamicSymbols() {
  std::set<std::string> names;
  std::string cmd = std::string("nm -D --defined-only ") + DZV_SHARED_LIBRARY_PATH;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return names;
  char line[1024];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    char addr[64], type[8], name[512];
    if (std::sscanf(line, "%63s %7s %511s", addr, type, name) == 3) names.insert(name);
  }
  pclose(p);
  return names;
}

TEST(ExportTable, ListNumbersFiftyOneNamesFromTwo) {
  const std::vector<Export> list = ExportList();
  ASSERT_EQ(list.size(), 51u);
  EXPECT_EQ(Names(list).size(), 51u) << "a name is listed twice";
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].ordinal, static_cast<int>(i) + 2) << list[i].name;
  }
  // Clients may import by ordinal: the ends and the model-line pair keep
  // their numbers, so a reordered (say, sorted) list fails here.
  EXPECT_EQ(list.front(), (Export{"StrLength", 2}));
  EXPECT_EQ(list[36], (Export{"AdjustParLevel", 38}));
  EXPECT_EQ(list.back(), (Export{"_DlgOpenFile1", 52}));
}

TEST(ExportTable, HeaderDeclaresExactlyTheList) {
  EXPECT_EQ(HeaderDeclarations(), Names(ExportList()));
}

TEST(ExportTable, SharedLibraryExportsExactlyTheList) {
  std::set<std::string> exported = DynamicSymbols();
  ASSERT_FALSE(exported.empty()) << "nm could not read " << DZV_SHARED_LIBRARY_PATH;
  EXPECT_EQ(exported, Names(ExportList()));
}

TEST(ExportTable, EveryListedNameResolves) {
  void* lib = dlopen(DZV_SHARED_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const Export& e : ExportList()) {
    EXPECT_NE(dlsym(lib, e.name.c_str()), nullptr) << e.name;
  }
  EXPECT_EQ(dlsym(lib, "_ZN3dzv4dict18CMapStringToString5ClearEv"), nullptr);
  dlclose(lib);
}

TEST(ExportTable, ModuleDefinitionNamesTheDllAndEveryOrdinal) {
  std::ifstream in(DZV_MODULE_DEFINITION_PATH);
  std::string library, exports;
  ASSERT_TRUE(std::getline(in, library) && std::getline(in, exports)) << DZV_MODULE_DEFINITION_PATH;
  EXPECT_EQ(library, "LIBRARY DUDUZUVEZ210.dll");
  EXPECT_EQ(exports, "EXPORTS");
  std::vector<std::string> other;
  EXPECT_EQ(ReadExports(DZV_MODULE_DEFINITION_PATH, &other), ExportList());
  EXPECT_EQ(other, (std::vector<std::string>{library, exports}));
}

}  // namespace
