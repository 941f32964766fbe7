// What every loader backend must do, whatever system lies under it. The
// libraries loaded are the stand-ins of the credential tests (tests/fakes):
// in the directory "sibling" a devidoz.dll whose _RetrievePrivateData returns
// 7. Each backend of the build is instantiated at the end of this file.
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstdint>
#include <fstream>
#include <string>

#include "duduzuvez210.h"
#include "platform/loader.h"
#include "test_util.h"

namespace dzv::platform {
namespace {

struct LoaderBackend {
  const char* name;
  Loader& (*get)();
  // The directory of stand-ins built for this backend's system.
  const char* fakes;
  // Goes on in a process whose library search path is `dir` (true where the
  // test goes on; see testing::InChildProcess).
  bool (*search_only)(const std::string& dir);
  // Whether the process has a library of this file name loaded.
  bool (*loaded)(const char* file_name);
};

class LoaderContract : public ::testing::TestWithParam<LoaderBackend> {
 protected:
  // _RetrievePrivateData of the stand-in `library`, called; -1 when missing.
  int32_t CallRetrieve(Library* library) {
    using Fn = int32_t(DZV_CALL*)(int32_t, int32_t);
    Fn fn = reinterpret_cast<Fn>(loader_.FindSymbol(library, "_RetrievePrivateData"));
    return fn != nullptr ? fn(1, 2) : -1;
  }
  std::string Sibling(const char* variant) const {
    return std::string(GetParam().fakes) + "/" + variant + "/devidoz.dll";
  }

  const LoaderBackend& backend_ = GetParam();
  Loader& loader_ = backend_.get();
};

TEST_P(LoaderContract, BareNameIsLookedForAlongTheSearchPath) {
  if (!backend_.search_only(std::string(backend_.fakes) + "/sibling")) return;
  EXPECT_EQ(loader_.Load("Oci.dll"), nullptr);  // not on the path
  Library* library = loader_.Load("devidoz.dll");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(CallRetrieve(library), 7);
  EXPECT_EQ(loader_.FindSymbol(library, "_NoSuchExport"), nullptr);
  EXPECT_EQ(loader_.FindSymbol(library, "_retrieveprivatedata"), nullptr);
  loader_.Unload(library);
  EXPECT_FALSE(backend_.loaded("devidoz.dll"));
}

TEST_P(LoaderContract, EveryLoadIsCountedUntilItsUnload) {
  const std::string path = Sibling("sibling");
  Library* first = loader_.Load(path.c_str());
  Library* second = loader_.Load(path.c_str());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  loader_.Unload(first);
  EXPECT_TRUE(backend_.loaded("devidoz.dll"));
  EXPECT_EQ(CallRetrieve(second), 7);
  loader_.Unload(second);
  EXPECT_FALSE(backend_.loaded("devidoz.dll"));
}

TEST_P(LoaderContract, WhatCannotBeLoadedGivesNull) {
  // The search path of the test's process has no stand-ins on it.
  EXPECT_EQ(loader_.Load("devidoz.dll"), nullptr);
  EXPECT_EQ(loader_.Load(Sibling("none").c_str()), nullptr);
  EXPECT_EQ(loader_.Load(nullptr), nullptr);  // never the program itself
  testing::TempDir dir;
  std::ofstream(dir.File("devidoz.dll")) << "not a library";
  EXPECT_EQ(loader_.Load(dir.File("devidoz.dll").c_str()), nullptr);
  // A library without the export.
  ScopedLibrary lsa_only(loader_, Sibling("sibling_lsa_only").c_str());
  ASSERT_TRUE(lsa_only.loaded());
  EXPECT_NE(lsa_only.Find<Loader::Symbol>("_LsaAvailable"), nullptr);
  EXPECT_EQ(lsa_only.Find<Loader::Symbol>("_RetrievePrivateData"), nullptr);
}

void PrintTo(const LoaderBackend& backend, std::ostream* os) { *os << backend.name; }

std::string BackendName(const ::testing::TestParamInfo<LoaderBackend>& info) {
  return info.param.name;
}

#if defined(__linux__)
bool MappedInProcess(const char* file_name) {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.ends_with(std::string("/") + file_name)) return true;
  }
  return false;
}

INSTANTIATE_TEST_SUITE_P(Backends, LoaderContract,
                         ::testing::Values(LoaderBackend{"Linux", &Loader::Default, DZV_FAKES_DIR,
                                                         &testing::WithLibrarySearchPath,
                                                         &MappedInProcess}),
                         BackendName);
#elif defined(_WIN32)
bool ModuleInProcess(const char* file_name) { return GetModuleHandleA(file_name) != nullptr; }

INSTANTIATE_TEST_SUITE_P(Backends, LoaderContract,
                         ::testing::Values(LoaderBackend{"Win32", &Loader::Default, DZV_FAKES_DIR,
                                                         &testing::WithLibrarySearchPath,
                                                         &ModuleInProcess}),
                         BackendName);
#endif

}  // namespace
}  // namespace dzv::platform
