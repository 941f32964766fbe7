// Where the Windows loader looks for a library given by file name alone:
// never in the current folder, and along PATH only through its full-path
// entries. The libraries are the stand-ins of tests/fakes, whose
// devidoz.dll returns 7 from _RetrievePrivateData and -5 from
// _StorePrivateData, and whose Oci.dll has the client's entry points.
#include "platform/loader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "duduzuvez210.h"
#include "test_util.h"

namespace dzv::testing {
namespace {

// The stand-ins' folder `variant` by its full Windows path.
std::string Fakes(const char* variant) {
  const std::string given = std::string(DZV_FAKES_DIR) + "/" + variant;
  char full[MAX_PATH];
  const DWORD length = ::GetFullPathNameA(given.c_str(), MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(full, length) : given;
}

// Runs in a process whose current folder holds both stand-ins and whose
// PATH has neither.
TEST(Win32Loader, NothingIsLoadedFromTheCurrentFolder) {
  const std::string path = "PATH=" + Fakes("none");
  if (!InChildProcess({path.c_str()})) return;
  ASSERT_EQ(::GetModuleHandleA("devidoz.dll"), nullptr);
  TempDir current;
  for (const char* variant : {"sibling", "oci"}) {
    const std::string name = variant[0] == 's' ? "devidoz.dll" : "Oci.dll";
    ASSERT_TRUE(::CopyFileA((Fakes(variant) + "\\" + name).c_str(),
                            (current.path() + "\\" + name).c_str(), TRUE));
  }
  ASSERT_TRUE(::SetCurrentDirectoryA(current.path().c_str()));
  platform::Loader& loader = platform::Loader::Default();
  EXPECT_EQ(loader.Load("devidoz.dll"), nullptr);
  EXPECT_EQ(loader.Load("Oci.dll"), nullptr);
  // The stand-in's _LsaAvailable aborts the process if it is ever run.
  EXPECT_EQ(_LsaAvailable(), 0);
  EXPECT_EQ(_StorePrivateData(1, 2), 0);
  EXPECT_EQ(_CanChangePassword(), 0);
  // A name with a directory is the caller's choice, relative or not.
  platform::Library* named = loader.Load(".\\devidoz.dll");
  EXPECT_NE(named, nullptr);
  loader.Unload(named);
  ::SetCurrentDirectoryA(Fakes("none").c_str());
}

// PATH's entries in order, skipping the empty and relative ones, which name
// the current folder or folders beneath it.
TEST(Win32Loader, OnlyFullPathEntriesOfPathAreSearched) {
  const std::string fakes = Fakes("");
  const std::string relative_only =
      "PATH=;.;sibling;\\" + fakes.substr(3) + "sibling;" + fakes.substr(0, 2) + "sibling;\"\"";
  if (!InChildProcess({relative_only.c_str()})) return;
  ASSERT_TRUE(::SetCurrentDirectoryA(fakes.c_str()));
  platform::Loader& loader = platform::Loader::Default();
  EXPECT_EQ(loader.Load("devidoz.dll"), nullptr);

  // Quoted or not, with or without a final separator; the first that has
  // the library gives it.
  const std::string full = relative_only.substr(5) + ";\"" + Fakes("none") + "\";" +
                           Fakes("sibling_lsa_only") + "\\;" + Fakes("sibling");
  ASSERT_TRUE(::SetEnvironmentVariableA("PATH", full.c_str()));
  platform::ScopedLibrary first(loader, "devidoz.dll");
  ASSERT_TRUE(first.loaded());
  EXPECT_EQ(first.Find<platform::Loader::Symbol>("_RetrievePrivateData"), nullptr)
      << "not the first entry that has it";
  ::SetCurrentDirectoryA(Fakes("none").c_str());
}

}  // namespace
}  // namespace dzv::testing
