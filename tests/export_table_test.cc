// The shared library exports exactly the functions that the public header
// declares, under the names client programs link against.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// Every name that client programs know, in ordinal order (2 to 52).
const std::vector<std::string> kKnownExports = {
    "StrLength", "StrHash", "StrLineGet", "DictionaryItemAdd", "DictionaryItemFind",
    "DictionaryLookup", "DictionaryItemCount", "DictionaryItemGetInit",
    "DictionaryItemGetNext", "DictionarySave", "DictionaryOpen", "DictionaryNew",
    "DictionaryFree", "DictionaryItemDelete", "DictionaryCopy", "DictionaryMerge",
    "DictionaryPack", "DictionaryPackSize", "DictionaryUnpack", "DictionaryImport",
    "DictionaryExport", "DictionaryClear", "DictionaryAttributeGet", "_ProfileNew",
    "_ProfileFree", "_ProfileValueSet", "_ProfileValueGet", "_ProfileEntryDelete",
    "_ProfileEntryEnumerate", "_ProfileSectionDelete", "_ProfileValueLookup",
    "_ProfileRegistryWrite", "_ProfileRegistryRead", "_PalStrFindFirstIn",
    "_PalStrFindFirstNotIn", "_DlgOpenFile", "AdjustParLevel", "ParseRoseLine",
    "_ProfileRegistryDeleteValue", "_ProfileRegistryDeleteKey",
    "_ProfileRegistryEnumValues", "_DlgBrowseForFolder", "_GetClipboardData",
    "_GetClipboardDataLength", "_SetClipboardData", "_RetrievePrivateData",
    "_StorePrivateData", "_LsaAvailable", "_CanChangePassword", "_ChangePassword",
    "_DlgOpenFile1",
};

std::set<std::string> HeaderDeclarations() {
  std::ifstream in(DZV_HEADER_PATH);
  std::set<std::string> names;
  std::regex decl(R"(^DZV_API [^(]*?([A-Za-z_][A-Za-z0-9_]*)\()");
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

TEST(ExportTable, HeaderDeclaresOnlyKnownNames) {
  std::set<std::string> declared = HeaderDeclarations();
  ASSERT_FALSE(declared.empty());
  for (const auto& name : declared) {
    EXPECT_NE(std::find(kKnownExports.begin(), kKnownExports.end(), name), kKnownExports.end())
        << name << " is not one of the library's exports";
  }
  EXPECT_EQ(kKnownExports.size(), 51u);
  EXPECT_EQ(std::set<std::string>(kKnownExports.begin(), kKnownExports.end()).size(), 51u);
}

TEST(ExportTable, SharedLibraryExportsExactlyTheHeader) {
  std::set<std::string> exported = DynamicSymbols();
  ASSERT_FALSE(exported.empty()) << "nm could not read " << DZV_SHARED_LIBRARY_PATH;
  EXPECT_EQ(exported, HeaderDeclarations());
}

TEST(ExportTable, EveryDeclaredNameResolves) {
  void* lib = dlopen(DZV_SHARED_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const auto& name : HeaderDeclarations()) {
    EXPECT_NE(dlsym(lib, name.c_str()), nullptr) << name;
  }
  EXPECT_EQ(dlsym(lib, "_ZN3dzv4dict18CMapStringToString5ClearEv"), nullptr);
  dlclose(lib);
}

}  // namespace
